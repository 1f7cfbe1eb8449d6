// A domain as `defaults` names it: an application domain in the store's
// scope, the global domain (-g, -globalDomain, NSGlobalDomain), another
// host's file (-host NAME), or a property-list file given by path.
#pragma once

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>
#include <vector>

struct Scope {
    CFStringRef user = kCFPreferencesCurrentUser;
    CFStringRef host = kCFPreferencesAnyHost;
    std::string host_name;  // -host NAME; empty otherwise
};

struct Loaded {
    CFRef<CFDictionaryRef> values;  // NULL when it could not be read
    bool exists = false;            // a file holding at least one key
    bool not_property_list = false; // the file is there but is not one
    std::string error;              // one line, when values is NULL
    int read_error = 0;             // errno, when the file could not be read
};

class Domain {
public:
    // NULL with *error set when the name is refused.
    static std::optional<Domain> resolve(const std::string &argument, const Scope &scope, std::string *error);

    const std::string &label() const { return label_; }
    const std::string &file() const { return file_; }

    // Everything in the domain; an absent domain is an empty dictionary.
    Loaded load() const;
    // Sets each key of set (may be NULL) and removes each key of remove,
    // then writes. Returns an error line, or empty; *note receives a line
    // worth telling the user even on success (a broken file kept aside).
    std::string apply(CFDictionaryRef set, const std::vector<CFStringRef> &remove, std::string *note) const;

private:
    std::string label_;       // as messages name it
    std::string file_;        // where it lives
    CFRef<CFStringRef> name_; // the store's name; NULL for a file used directly
    Scope scope_;
    bool make_directory_ = false;  // a host's file: its ByHost directory is made on write

    std::string apply_to_store(CFDictionaryRef set, const std::vector<CFStringRef> &remove, std::string *note) const;
    std::string apply_to_file(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const;
};

// The application domains that have a file in the scope, sorted (the
// global domain not among them).
std::vector<std::string> domain_names(const Scope &scope);
