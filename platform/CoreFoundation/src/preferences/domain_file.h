// One preference domain in one scope, backed by one property-list file.
//
// The file is the truth; this object holds the last version read (checked
// against the file's identity on every access, so another process's write
// is seen at once) and this process's pending changes.
//
// Missing file: an empty domain, no error. Unparsable file (or one whose
// top level is not a dictionary): read as empty, and kept aside under a
// new name before a write replaces it, so it is never silently destroyed.
// Unreadable file: read as empty, and never overwritten: synchronize fails.
#pragma once

#include "preferences/file_io.h"

#include <CoreFoundation/CoreFoundation.h>
#include <plist/plist.h>

#include <map>
#include <string>
#include <vector>

namespace cfprefs {

class DomainFile {
public:
    explicit DomainFile(std::string path);
    ~DomainFile();
    DomainFile(const DomainFile &) = delete;
    DomainFile &operator=(const DomainFile &) = delete;

    // Owned by the caller; NULL when absent (or removed by a pending change).
    CFPropertyListRef copy_value(const std::string &key);
    // Every key with its value, pending changes applied. Owned by the caller.
    CFDictionaryRef copy_all();
    // value NULL: remove. Retained until synchronized.
    void set_value(const std::string &key, CFPropertyListRef value);
    // Writes pending changes under the domain lock, merged into the file as
    // it is now. False when they did not reach storage; they stay pending.
    bool synchronize();

private:
    struct Pending {
        CFPropertyListRef value;  // owned; NULL means remove
    };

    void refresh();
    void adopt_snapshot(FileContent content);
    plist_t merged_with_pending(plist_t base) const;
    void clear_pending();

    std::string path_;
    plist_t snapshot_ = nullptr;  // the dictionary last read, owned
    bool snapshot_corrupt_ = false;
    bool snapshot_unreadable_ = false;
    bool snapshot_missing_ = true;
    FileIdentity identity_;
    // Ordered by key so that what is written does not depend on call order.
    std::map<std::string, Pending> pending_;
};

}  // namespace cfprefs
