// File operations of the preference store, over the platform's one
// durable-file helper (FileIO): whole reads within the codec's limit,
// crash-safe replacement in the user's own folder, and what a file's
// identity and ownership are.
#pragma once

#include <FileIO/durable_file.h>
#include <Result.h>

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

enum class ReadStatus {
    Read,
    Missing,
    TooLarge,  // over the codec's limit: not read, to be kept aside like a broken file
    Failed,    // not a regular file, or not readable
};

// What a completed write left at the path: its identity after the rename,
// taken from the written file itself, so another writer's file that
// replaced it a moment later is never taken for ours.
struct WrittenFile {
    FileIdentity identity;
    FileOwnership ownership;
};

struct FileContent {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;
    FileIdentity identity;
    FileOwnership ownership;  // set when Read
    std::string failure;      // why, when Failed
};

// The identity of the file at path (a link followed), or nothing when there
// is none.
std::optional<FileIdentity> identity_of(const std::string &path);

// The whole domain file at path, through a symbolic link to its final
// target, at most the codec's limit of bytes (fileio::read_whole_file: only
// a regular file, never blocking on a FIFO).
FileContent read_domain_file(const std::string &path);

// Where a write of path must go so that a symbolic link there stays a
// link: its final target. path itself when it is no link (or is missing);
// nothing when the link leads nowhere (dangling or a loop).
std::optional<std::string> write_target_of(const std::string &path);

// Replaces path with bytes durably (fileio::write_file_durably), in a
// folder that must be the user's own. The new file gets keep's permissions
// and owner when given, else 0600 and this process's.
Result<WrittenFile> replace_domain_file(const std::string &path, const std::string &bytes,
                                        const std::optional<FileOwnership> &keep = std::nullopt);

// Moves an unreadable file out of the way under a name of its own, so a
// write never destroys what it could not parse.
bool keep_aside(const std::string &path);

// How long a writer waits for a domain's lock (fileio::WriterLock). A
// writer stopped while holding the lock (or one that hangs) must not stop
// every other writer for good; the bound is generous because a busy disk
// makes honest writers hold the lock for seconds, and a write given up on is
// a change the user may lose.
constexpr std::chrono::milliseconds kLongestLockWait{10000};

}  // namespace cfprefs
