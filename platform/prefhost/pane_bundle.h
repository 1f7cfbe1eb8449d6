// A .prefPane bundle, opened: its code loaded and its principal class found.
#pragma once

#include <PreferencePanes/PreferencePanes.h>

#include <memory>
#include <string>

#include <Result.h>

class PaneBundle {
public:
    // Loads the bundle's code and finds its principal class, an
    // NSPreferencePane, or says why it cannot.
    static Result<std::unique_ptr<PaneBundle>> open(const std::string &path);
    PaneBundle(const PaneBundle &) = delete;
    PaneBundle &operator=(const PaneBundle &) = delete;

    NSBundle *bundle() const { return bundle_.get(); }
    Class principalClass() const { return principalClass_; }

private:
    PaneBundle(NSBundle *bundle, Class principalClass) : principalClass_(principalClass) {
        bundle_.retain(bundle);
    }
    NSStrong<NSBundle> bundle_;
    Class principalClass_;
};
