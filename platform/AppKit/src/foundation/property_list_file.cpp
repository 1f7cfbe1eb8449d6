#include "foundation/property_list_file.h"

#include <CFRef.h>

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

// The whole file; false with *error set when it is not a regular file that
// can be read. O_NONBLOCK: a FIFO at the path must not block the opening.
bool read_regular_file(const std::string &path, std::string &bytes, std::string *error) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!regular || info.st_size > kLargestFile) {
        close(fd);
        *error = "cannot read " + path + (regular ? ": too large" : ": not a regular file");
        return false;
    }
    char buffer[65536];
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 || static_cast<off_t>(bytes.size()) + got > kLargestFile) {
            *error = "cannot read " + path + ": " + (got < 0 ? std::strerror(errno) : "too large");
            close(fd);
            return false;
        }
        if (got == 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return true;
}

}  // namespace

CFPropertyListRef ns_copy_property_list_file(const std::string &path, std::string *error) {
    std::string bytes;
    if (!read_regular_file(path, bytes, error)) return nullptr;
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(
        CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()),
                     static_cast<CFIndex>(bytes.size())));
    CFPropertyListRef list =
        data ? CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(),
                                            kCFPropertyListImmutable, nullptr, nullptr)
             : nullptr;
    if (!list) *error = path + ": not a property list";
    return list;
}
