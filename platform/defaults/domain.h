// A domain as `defaults` names it: an application domain in the store's
// scope, the global domain (-g, -globalDomain, NSGlobalDomain), another
// host's file (-host NAME), or a property-list file given by path.
#pragma once

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>
#include <Result.h>

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
    // The file is there but is not one, or is too large to read: the store
    // reads it as empty and keeps it aside before a write replaces it.
    bool not_property_list = false;
    std::string error;              // one line, when values is NULL
    int read_error = 0;             // errno, when the file could not be read
    std::string note;               // one line worth telling even on success (entries left out), or empty
};

class Domain {
public:
    // The domain the argument names, or why the name is refused.
    static Result<Domain> resolve(const std::string &argument, const Scope &scope);

    const std::string &label() const { return label_; }
    const std::string &file() const { return file_; }

    // Everything in the domain; an absent domain is an empty dictionary.
    Loaded load() const;
    // Sets each key of set (may be NULL) and removes each key of remove,
    // then writes. On success, a line still worth telling the user (a
    // broken file kept aside), or empty.
    Result<std::string> apply(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const;

private:
    std::string label_;       // as messages name it
    std::string file_;        // where it lives
    CFRef<CFStringRef> name_; // the store's name; NULL for a file used directly
    Scope scope_;
    bool make_directory_ = false;  // a host's file: its ByHost directory is made on write

    Result<std::string> apply_to_store(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const;
    Status apply_to_file(CFDictionaryRef set, const std::vector<CFStringRef> &remove) const;
};

// The application domains that have a file in the scope, sorted (the
// global domain not among them).
std::vector<std::string> domain_names(const Scope &scope);
