#include "file_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

Result<std::string> readWholeFile(const std::string &path, const std::string &name) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Failure("cannot read " + name + ": " + std::strerror(errno));
    std::string bytes;
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(got));
    int readError = errno;
    ::close(fd);
    if (got < 0) return Failure("cannot read " + name + ": " + std::strerror(readError));
    return bytes;
}
