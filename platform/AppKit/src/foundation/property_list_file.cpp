#include "foundation/property_list_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

// Larger than any bundle's Info.plist or layout; the property-list reader
// refuses more anyway.
constexpr off_t kLargestFile = off_t{64} << 20;

// The whole file, unless it is not a regular file that can be read.
// O_NONBLOCK: a FIFO at the path must not block the opening.
Result<std::string> read_regular_file(const std::string &path) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return Failure("cannot read " + path + ": " + std::strerror(errno));
    struct stat info {};
    bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular || info.st_size > kLargestFile) {
        close(fd);
        return Failure("cannot read " + path + (regular ? ": too large" : ": not a regular file"));
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || static_cast<off_t>(bytes.size()) + got > kLargestFile) {
            std::string reason = got < 0 ? std::strerror(errno) : "too large";
            close(fd);
            return Failure("cannot read " + path + ": " + reason);
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return bytes;
}

}  // namespace

Result<CFRef<CFPropertyListRef>> ns_read_property_list_file(const std::string &path) {
    Result<std::string> bytes = read_regular_file(path);
    if (!bytes) return bytes.failure();
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(
        CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes->data()),
                     static_cast<CFIndex>(bytes->size())));
    CFRef<CFPropertyListRef> list = CFRef<CFPropertyListRef>::adopt(
        data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), kCFPropertyListImmutable,
                                            nullptr, nullptr)
             : nullptr);
    if (!list) return Failure(path + ": not a property list");
    return list;
}
