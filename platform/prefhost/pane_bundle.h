// A .prefPane bundle, opened: its code loaded and its principal class found.
#pragma once

#include <PreferencePanes/PreferencePanes.h>

#include <memory>
#include <string>

#include "status.h"

class PaneBundle {
public:
    // Loads the bundle's code and finds its principal class, an
    // NSPreferencePane; on failure *error says why.
    static std::unique_ptr<PaneBundle> open(const std::string &path, std::string *error);
    ~PaneBundle();
    PaneBundle(const PaneBundle &) = delete;
    PaneBundle &operator=(const PaneBundle &) = delete;

    NSBundle *bundle() const { return bundle_; }
    Class principalClass() const { return principalClass_; }

private:
    PaneBundle(NSBundle *bundle, Class principalClass)
        : bundle_(bundle), principalClass_(principalClass) {}
    NSBundle *bundle_;  // owned
    Class principalClass_;
};
