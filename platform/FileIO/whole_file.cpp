// The whole-file readers: a named regular file, or an open stream, each
// stopped at a size limit while it is read.
#include <FileIO/durable_file.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace fileio {
namespace {

Failure failed_with(int error, const std::string &why) {
    errno = error;
    return Failure(why);
}

Failure system_failure() {
    int error = errno;
    return failed_with(error, std::strerror(error));
}

Failure too_large(size_t max_bytes) { return failed_with(EFBIG, "too large: more than " + size_text(max_bytes)); }

// Why a file that is not regular is refused, with the errno that says so.
Failure not_regular(mode_t mode) {
    if (S_ISDIR(mode)) return failed_with(EISDIR, std::strerror(EISDIR));
    if (S_ISLNK(mode)) return failed_with(ELOOP, "a symbolic link, not followed");
    return failed_with(EINVAL, "not a regular file");
}

// Appends what fd gives to bytes until its end; past max_bytes it stops
// with "too large", so an endless or growing source costs at most
// max_bytes + one chunk.
Status append_until_end(int fd, std::string &bytes, size_t max_bytes) {
    constexpr size_t kChunk = 65536;
    for (;;) {
        size_t used = bytes.size();
        size_t want = kChunk;
        if (bytes.capacity() > used) want = std::max(want, bytes.capacity() - used);
        bytes.resize(used + want);
        ssize_t got = read(fd, bytes.data() + used, want);
        if (got < 0) {
            bytes.resize(used);
            if (errno == EINTR) continue;
            return system_failure();
        }
        bytes.resize(used + static_cast<size_t>(got));
        if (bytes.size() > max_bytes) return too_large(max_bytes);
        if (got == 0) return Status::success();
    }
}

}  // namespace

std::string size_text(size_t bytes) {
    constexpr size_t kMiB = size_t{1} << 20;
    if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

Result<FileBytes> read_whole_file(const std::string &path, size_t max_bytes) {
    // Looked at before opening: opening a FIFO may wait for a writer, and
    // opening a device may do something to it.
    struct stat seen {};
    if (lstat(path.c_str(), &seen) != 0) return system_failure();
    if (!S_ISREG(seen.st_mode)) return not_regular(seen.st_mode);
    if (static_cast<unsigned long long>(seen.st_size) > max_bytes) return too_large(max_bytes);
    // Non-blocking and not through a link, in case the path was swapped
    // since the look.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return system_failure();
    FileBytes file;
    Status read_all = Status::success();
    if (fstat(fd, &file.status) != 0) {
        read_all = system_failure();
    } else if (!S_ISREG(file.status.st_mode)) {
        read_all = not_regular(file.status.st_mode);
    } else if (static_cast<unsigned long long>(file.status.st_size) > max_bytes) {
        read_all = too_large(max_bytes);
    } else {
        // One more byte than the size: a file that did not grow is read in
        // one pass and its end seen without a second allocation.
        file.bytes.reserve(static_cast<size_t>(file.status.st_size) + 1);
        read_all = append_until_end(fd, file.bytes, max_bytes);
    }
    int error = errno;
    close(fd);
    errno = error;
    if (!read_all) return read_all.failure();
    return file;
}

std::optional<std::string> final_target(const std::string &path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

Result<std::string> read_to_end(int fd, size_t max_bytes) {
    std::string bytes;
    Status read_all = append_until_end(fd, bytes, max_bytes);
    if (!read_all) return read_all.failure();
    return bytes;
}

}  // namespace fileio
