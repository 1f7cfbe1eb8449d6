#include "domain_file.h"

#include <CFRef.h>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string file_name_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Only a regular file is read: a FIFO or a device at the path would block
// or never end, so it is refused (without blocking on the open) as a
// directory is.
bool read_all(const std::string &path, std::string &bytes) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        int saved = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = saved;
        return false;
    }
    char buffer[65536];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(got));
    int saved = errno;
    close(fd);
    errno = saved;
    return got == 0;
}

bool write_all(int fd, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

}  // namespace

std::string directory_of(const std::string &path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

FileLook look_at_file(const std::string &path) {
    FileLook look;
    std::string bytes;
    if (!read_all(path, bytes)) {
        look.state = errno == ENOENT ? FileState::Missing : FileState::Unreadable;
        look.error = errno;
        return look;
    }
    if (bytes.empty()) return look;  // the store reads an empty file as an empty domain
    auto data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes.data()), static_cast<CFIndex>(bytes.size())));
    auto value = CFRef<CFPropertyListRef>::adopt(
        CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), 0, nullptr, nullptr));
    if (!value || CFGetTypeID(value.get()) != CFDictionaryGetTypeID()) {
        look.state = FileState::NotPropertyList;
        return look;
    }
    look.state = FileState::PropertyList;
    look.value = value.release();
    return look;
}

bool make_directories(const std::string &dir) {
    struct stat info;
    if (stat(dir.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (errno != ENOENT) return false;
    std::string parent = directory_of(dir);
    if (parent != dir && !make_directories(parent)) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

int why_not_writable(const std::string &path) {
    std::string dir = directory_of(path);
    if (!make_directories(dir)) return errno;
    std::string pattern = dir + "/.defaults-probe-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return errno;
    close(fd);
    unlink(name.data());
    FileLook look = look_at_file(path);
    if (look.value) CFRelease(look.value);
    return look.state == FileState::Unreadable ? look.error : 0;
}

bool replace_file(const std::string &path, const std::string &bytes) {
    std::string pattern = directory_of(path) + "/." + file_name_of(path) + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = write_all(fd, bytes) && fsync(fd) == 0;
    int saved = errno;
    close(fd);
    if (ok && rename(name.data(), path.c_str()) == 0) return true;
    saved = ok ? errno : saved;
    unlink(name.data());
    errno = saved;
    return false;
}

std::set<std::string> kept_aside_copies(const std::string &path) {
    std::set<std::string> found;
    std::string prefix = file_name_of(path) + ".corrupt-";
    DIR *listing = opendir(directory_of(path).c_str());
    if (!listing) return found;
    while (const dirent *entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.starts_with(prefix)) found.insert(directory_of(path) + "/" + name);
    }
    closedir(listing);
    return found;
}
