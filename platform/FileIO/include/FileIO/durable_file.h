// FileIO: the one way the platform reads a file whole and replaces a file
// so that a crash never leaves it torn.
//
// Readers: read_whole_file takes a named regular file and nothing else (a
// FIFO, device, directory or symbolic link at the path is refused without
// blocking and without following it); read_to_end takes whatever an open
// descriptor gives (a pipe, standard input). Both stop at a size limit
// while reading, so no file, however large or endless, is held in memory
// past it.
//
// Writer: write_file_durably makes a temporary file beside the target under
// a random name, created exclusively and never through a link, writes all of
// it, flushes it to disk, renames it over the target and flushes the folder.
// A crash at any moment leaves the old file or the new one.
//
// Failures are values: the message is the reason alone, in one line ("too
// large: more than 64 MiB", "Permission denied"), for the caller to put
// after the name of what it was doing. errno is left as the failing call set
// it (EFBIG for a file over the limit, ELOOP for a link, EINVAL for another
// file that is not regular), for callers that must tell "missing" from the
// rest.
#pragma once

#include <Result.h>

#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fileio {

// What a reader got: the bytes, and the file's status taken from the
// descriptor that was read (so it describes exactly the file read).
struct FileBytes {
    std::string bytes;
    struct stat status {};
};

// The whole regular file at path, at most max_bytes of it. The open is
// O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, after an lstat that refuses anything
// but a regular file before it is opened at all. A file larger than
// max_bytes (or one that grows past it while it is read) fails "too large".
// A caller that means to follow a symbolic link resolves it first.
Result<FileBytes> read_whole_file(const std::string &path, size_t max_bytes);

// Where a symbolic link at path finally leads (realpath), for a caller that
// means to follow one before reading or writing: path itself when it is no
// link (or is missing); nothing when the link leads nowhere (dangling, a
// loop).
std::optional<std::string> final_target(const std::string &path);

// Everything fd gives until its end, at most max_bytes ("too large" past
// that, found while reading: an endless stream stops there). For pipes and
// standard input; fd stays open.
Result<std::string> read_to_end(int fd, size_t max_bytes);

// Where the file may be written.
enum class Folder {
    Any,        // any folder the process may write
    OwnedByMe,  // only a folder owned by the effective user; one that belongs
                // to someone else (a link into another user's world-writable
                // folder, say) is refused
};

struct WriteOptions {
    Folder folder = Folder::Any;
    // The owner to give the new file; only root may give one (others keep
    // their own, and this is ignored for them).
    std::optional<uid_t> owner;
    std::optional<gid_t> group;
};

// Replaces the file at path with bytes, durably:
// 1. a temporary file beside path, named "." + name + ".tmp-" + 20 random hex
//    digits (a hash stands in for a long name), created with O_CREAT |
//    O_EXCL | O_NOFOLLOW, so a file or link planted at that name is never
//    opened or followed (another random name is tried);
// 2. its mode set to `mode` exactly, whatever the umask;
// 3. every byte written (a short write is a failure, with the reason the
//    system gave for the rest, "File too large" for instance), then fsync;
// 4. renamed over path, then the folder fsynced.
// On any failure before the rename the temporary is removed and the old file
// is untouched. path must not be a symbolic link the caller wants kept: the
// link itself is replaced (resolve it first).
// On success, the status of the written file as it now stands at path, taken
// from the written file's own descriptor (never by looking path up again,
// which another writer's file could answer).
Result<struct stat> write_file_durably(const std::string &path, std::string_view bytes, mode_t mode,
                                       const WriteOptions &options = {});

// mkdir -p. Every folder made gets exactly `mode`, whatever the umask (a
// umask that clears owner-write must not leave a folder no one can write).
// Existing folders are left as they are. Fails with ENOTDIR when a part of
// the path is not a folder.
Status make_directories(const std::string &dir, mode_t mode = 0700);

// Fails unless dir is a folder owned by the effective user.
Status require_owned_folder(const std::string &dir);

// The prefix of the temporary files write_file_durably makes for path,
// without the folder: ".NAME.tmp-".
std::string temporary_prefix(const std::string &path);

// Removes the temporaries that writers of path killed mid-write left
// beside it. Only safe while no writer of path can be busy: under a
// WriterLock of path, which calls it when taken.
void remove_stale_temporaries(const std::string &path);

// An exclusive advisory lock for the writers of path: flock on
// ".NAME.lock" beside it (a separate file, as the data file itself is
// replaced), opened without following a link and without blocking on what
// else may be there. Taking it removes the temporaries a killed writer left.
class WriterLock {
public:
    // Waits at most longest_wait for the lock: a holder that is stopped or
    // hung must not stop every other writer for good.
    static Result<WriterLock> take(const std::string &path, std::chrono::milliseconds longest_wait);

    WriterLock(WriterLock &&other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    WriterLock &operator=(WriterLock &&other) noexcept;
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;
    ~WriterLock();  // closing releases the lock

private:
    explicit WriterLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// "64 MiB" or "1000 bytes": a limit as messages name it.
std::string size_text(size_t bytes);

}  // namespace fileio
