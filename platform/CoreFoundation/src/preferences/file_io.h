// File operations of the preference store: whole reads, crash-safe
// replacement, and the advisory lock that serializes writers of a domain.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>

namespace cfprefs {

// What identifies one version of a file: a replacement changes the inode,
// an in-place edit the size or modification time.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modified_ns = 0;
    long long changed_ns = 0;
    bool regular = false;  // a regular file, not a FIFO, device, socket or directory
    bool operator==(const FileIdentity &) const = default;
};

// Who owns a file and who may use it; a rewrite gives the new file the same.
struct FileOwnership {
    mode_t permissions = 0600;
    uid_t owner = 0;
    gid_t group = 0;
};

enum class ReadStatus { Read, Missing, Failed };

// What a completed write left at the path: its identity after the rename,
// taken from the written file itself, so another writer's file that
// replaced it a moment later is never taken for ours.
struct WrittenFile {
    std::optional<FileIdentity> identity;  // none in the rare case it could not be taken
    FileOwnership ownership;
};

struct FileContent {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;
    FileIdentity identity;
    FileOwnership ownership;  // set when Read
};

// The identity of the file at path, or nothing when there is none.
std::optional<FileIdentity> identity_of(const std::string &path);

// The whole file. Only a regular file is read: a FIFO, device, socket or
// directory at path is Failed, found without opening it for blocking I/O.
// `looked` is what identity_of just said of path: when it found a regular
// file, that look is not taken again.
FileContent read_whole_file(const std::string &path, const std::optional<FileIdentity> &looked = std::nullopt);

// Where a write of path must go so that a symbolic link there stays a
// link: its final target. path itself when it is no link (or is missing);
// nothing when the link leads nowhere (dangling or a loop).
std::optional<std::string> write_target_of(const std::string &path);

// Creates the directory and its parents (mode 0700 for new ones).
bool make_directories(const std::string &dir);

// Writes bytes to a temporary file beside path, flushes it to disk and
// renames it over path, then flushes the directory: a crash at any moment
// leaves the old file or the new one, never a torn one. The new file gets
// keep's permissions and owner when given, else 0600 and this process's.
std::optional<WrittenFile> replace_file_atomically(const std::string &path, const std::string &bytes,
                                                  const std::optional<FileOwnership> &keep = std::nullopt);

// Moves an unreadable file out of the way under a name of its own, so a
// write never destroys what it could not parse.
bool keep_aside(const std::string &path);

// Removes temporary files that a writer killed mid-write left beside path.
// Only called under the domain's lock, when no other writer can be busy.
void remove_stale_temporaries(const std::string &path);

// An exclusive advisory lock on a domain, held for its lifetime. The lock
// is a separate file because the data file itself is replaced on write.
// The wait for it is bounded: a writer stopped while holding the lock (or
// one that hangs) must not stop every other writer for good. The bound is
// generous because a busy disk makes honest writers hold the lock for
// seconds, and a write given up on is a change the user may lose.
class DomainLock {
public:
    static constexpr std::chrono::milliseconds kLongestWait{10000};

    explicit DomainLock(const std::string &path, std::chrono::milliseconds longest_wait = kLongestWait);
    ~DomainLock();
    DomainLock(const DomainLock &) = delete;
    DomainLock &operator=(const DomainLock &) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace cfprefs
