// One preference domain in one scope, backed by one property-list file.
//
// The file is the truth; this object holds the last version read, as the
// immutable dictionary the codec made of it, and this process's pending
// changes. Every access checks the file's identity, so another process's
// write is seen at once, and an unchanged file is not read again: the
// values handed out are the snapshot's own, shared (retained, never
// copied), which is what makes reading a long list cheap.
//
// What a file at the domain's path reads as:
// - missing: an empty domain, no error;
// - unparsable, not a dictionary at the top, or beyond the codec's limits
//   (over 64 MiB, not even read): empty, and kept aside under a new name
//   before a write replaces it, so it is never silently destroyed;
// - readable except for some top-level entries whose own value is beyond
//   the codec's limits (nested too deep, say): the other entries read, and
//   the whole file is kept aside before a write replaces it, so the left-out
//   values survive there;
// - not a regular file (FIFO, device, directory), or unreadable: empty, and
//   never overwritten: synchronize fails. Nothing blocks on a FIFO.
//
// Writing:
// - a value that cannot be stored (nested deeper than the codec's limit, a
//   type no property list holds) makes the next synchronize fail and write
//   nothing; that value is then forgotten (it never could be written), the
//   other pending changes stay for the next synchronize;
// - a symbolic link at the path stays a link: the write replaces its final
//   target; a dangling link is not written through (synchronize fails);
// - the folder written in must belong to the user (a link into someone
//   else's folder is refused); folders made are 0700 whatever the umask;
// - the rewritten file keeps the permissions (and, for root, the owner) of
//   the one it replaces; a file its owner may not write is never replaced;
// - the domain lock is waited for a bounded time, then synchronize fails.
// Every failed synchronize keeps its reason, one line, for
// CFPreferencesCopySynchronizeFailure.
//
// Concurrent writers: a key whose stored value was read here, and which is
// then set to an array or a dictionary (the read-change-write of a list),
// is written only if the file still holds the value read. Otherwise
// synchronize fails, writes nothing and keeps the change pending; the
// caller discards it, reads again and redoes its change. A container is
// the one value that can carry another writer's change away when written
// back; a scalar or a removal replaces the whole value, and so does a key
// set without being read (a blind write), so those are always written.
#pragma once

#include "preferences/file_io.h"

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <string>
#include <vector>

namespace cfprefs {

// Whether a value can be stored (in XML, or in binary when XML cannot carry
// its text), checked when it is set; when not, why, in words that follow
// "cannot be stored: ". When nothing in it can change (no mutable
// container) and XML holds it exactly, `text` gets the text the file will
// hold for it, so the check and the writing of that text are one pass;
// otherwise `text` is empty.
Status storable_value(CFPropertyListRef value, std::string &text);

class DomainFile {
public:
    explicit DomainFile(std::string path);
    DomainFile(const DomainFile &) = delete;
    DomainFile &operator=(const DomainFile &) = delete;

    // Owned by the caller; NULL when absent (or removed by a pending change).
    // cf_key is key as a string value.
    CFPropertyListRef copy_value(const std::string &key, CFStringRef cf_key);
    // Every key with its value, pending changes applied; only the given
    // keys when keys is not NULL. Owned by the caller; NULL when the domain
    // could not be read for want of memory (never mistaken for empty).
    CFDictionaryRef copy_values(const std::vector<std::string> *keys);
    // value NULL: remove. Retained until synchronized. `text`, when not
    // empty, is what storable_value wrote of the value.
    void set_value(const std::string &key, CFPropertyListRef value, std::string text = {});
    // A value storable_value refused, and why: pending like any other, so
    // Copy sees it, but the next synchronize fails on it and forgets it.
    void set_unstorable_value(const std::string &key, CFPropertyListRef value, std::string why);
    // Forgets this process's pending change of key.
    void discard_change(const std::string &key);
    // Writes pending changes under the domain lock, merged into the file as
    // it is now. A failure says why; the changes stay pending, but for a
    // value that could not be stored, which is forgotten.
    Status synchronize();
    // Why the last synchronize failed; empty when it did not.
    const std::string &last_failure() const { return last_failure_; }
    // Lets go of the cached file contents and what was read; the next
    // access reads the file again. Pending changes stay.
    void forget_cache();

private:
    enum class Snapshot {
        Unread,      // nothing read yet, or the caches were dropped
        Missing,     // no file: an empty domain
        Whole,       // every entry read
        Partial,     // some entries left out (beyond the codec's limits)
        Corrupt,     // not a domain: read as empty, kept aside on write
        Unreadable,  // not a regular file, or not readable: never overwritten
        NoMemory,    // the file could not be decoded for want of memory
    };

    // Reads file (the domain's path, or the target it links to) unless the
    // snapshot is of the file as it is now.
    void refresh() { refresh(path_); }
    void refresh(const std::string &file);
    void adopt_snapshot(FileContent content);
    Status write_pending();
    Status refuse_unstorable();
    CFPropertyListRef stored_value(CFStringRef key) const;
    void remember_read(const std::string &key, CFStringRef cf_key);
    bool changed_since_read() const;
    CFRef<CFMutableDictionaryRef> merged_with_pending() const;
    Status write_merged(const std::string &target);
    void adopt_written(CFDictionaryRef written, const WrittenFile &file);

    std::string path_;
    Snapshot state_ = Snapshot::Unread;
    CFRef<CFDictionaryRef> snapshot_;  // the dictionary last read; NULL when none
    FileIdentity identity_;
    FileOwnership ownership_;
    std::string read_failure_;  // why the file could not be read, when Unreadable
    std::string last_failure_;
    // Ordered by key so that what is written does not depend on call order.
    // A NULL value means remove.
    std::map<std::string, CFRef<CFPropertyListRef>> pending_;
    // The XML text of pending values written when they were set: the file's
    // text copies it instead of writing those values a second time.
    std::map<std::string, std::string> pending_text_;
    // Pending values that cannot be stored, with why.
    std::map<std::string, std::string> unstorable_;
    // The stored value each key had when it was last read here (NULL:
    // absent), to tell at synchronize whether another writer changed it.
    std::map<std::string, CFRef<CFPropertyListRef>> read_;
};

}  // namespace cfprefs
