#include "preferences/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

namespace cfprefs {
namespace {

std::string directory_of(const std::string &path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string file_name_of(const std::string &path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporaries are hidden files whose names start with this prefix.
std::string temporary_prefix(const std::string &path) { return "." + file_name_of(path) + ".tmp-"; }

FileIdentity identity_from(const struct stat &info) {
    FileIdentity id;
    id.device = info.st_dev;
    id.inode = info.st_ino;
    id.size = info.st_size;
    id.modified_ns = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    id.changed_ns = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
    id.regular = S_ISREG(info.st_mode);
    return id;
}

bool write_all(int fd, const std::string &bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool sync_directory(const std::string &dir) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = fsync(fd) == 0;
    close(fd);
    return ok;
}

}  // namespace

std::optional<FileIdentity> identity_of(const std::string &path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return identity_from(info);
}

FileContent read_whole_file(const std::string &path, const std::optional<FileIdentity> &looked) {
    FileContent content;
    // Looked at before opening: opening a FIFO waits for a writer, and
    // opening a device may do something to it.
    struct stat info;
    if (!(looked && looked->regular)) {
        if (stat(path.c_str(), &info) != 0) {
            content.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
            return content;
        }
        if (!S_ISREG(info.st_mode)) {
            content.status = ReadStatus::Failed;
            return content;
        }
    }
    content.status = ReadStatus::Failed;
    // Non-blocking in case the path was swapped for a FIFO since.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) content.status = ReadStatus::Missing;
        return content;
    }
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        content.identity = identity_from(info);
        content.ownership = {static_cast<mode_t>(info.st_mode & 07777), info.st_uid, info.st_gid};
        content.bytes.resize(static_cast<size_t>(info.st_size));
        size_t done = 0;
        while (done < content.bytes.size()) {
            ssize_t n = read(fd, content.bytes.data() + done, content.bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        content.bytes.resize(done);
        content.status = ReadStatus::Read;
    }
    close(fd);
    return content;
}

std::optional<std::string> write_target_of(const std::string &path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved)) return std::nullopt;
    return std::string(resolved);
}

bool make_directories(const std::string &dir) {
    struct stat info;
    if (stat(dir.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    std::string parent = directory_of(dir);
    if (parent != dir && !make_directories(parent)) return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

namespace {

// The kept permissions and owner on the new file. Only root can give a
// file to another owner; anyone else keeps their own and carries on.
bool give_ownership(int fd, const std::optional<FileOwnership> &keep) {
    if (!keep) return true;
    if (geteuid() == 0 && fchown(fd, keep->owner, keep->group) != 0) return false;
    return fchmod(fd, keep->permissions) == 0;
}

}  // namespace

std::optional<WrittenFile> replace_file_atomically(const std::string &path, const std::string &bytes,
                                                  const std::optional<FileOwnership> &keep) {
    std::string dir = directory_of(path);
    std::string pattern = dir + "/" + temporary_prefix(path) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    bool written = give_ownership(fd, keep) && write_all(fd, bytes) && fsync(fd) == 0;
    // A second descriptor stays open across the rename, to take the
    // identity of the written file as it stands at the path (a rename
    // changes its status-change time) without a lookup by name that another
    // writer's file could answer. The first is closed before the rename, as
    // a failed close (a late write error) must leave the old file in place.
    int witness = written ? dup(fd) : -1;
    written = close(fd) == 0 && witness >= 0;
    struct stat info;
    bool renamed = written && rename(name.data(), path.c_str()) == 0;
    bool known = renamed && fstat(witness, &info) == 0;
    if (witness >= 0) close(witness);
    if (!renamed) {
        unlink(name.data());
        return std::nullopt;
    }
    if (!sync_directory(dir)) return std::nullopt;
    if (!known) return WrittenFile{};
    return WrittenFile{identity_from(info), FileOwnership{info.st_mode & 07777, info.st_uid, info.st_gid}};
}

bool keep_aside(const std::string &path) {
    char stamp[32];
    time_t now = time(nullptr);
    struct tm parts;
    strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", gmtime_r(&now, &parts));
    std::string base = path + ".corrupt-" + stamp;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string aside = attempt == 0 ? base : base + "-" + std::to_string(attempt);
        // link() never replaces an existing file, unlike rename(); the
        // original stays in place until the new file is renamed over it.
        if (link(path.c_str(), aside.c_str()) == 0) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

void remove_stale_temporaries(const std::string &path) {
    std::string dir = directory_of(path);
    std::string prefix = temporary_prefix(path);
    DIR *listing = opendir(dir.c_str());
    if (!listing) return;
    while (const dirent *entry = readdir(listing)) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) == 0) unlinkat(dirfd(listing), name.c_str(), 0);
    }
    closedir(listing);
}

DomainLock::DomainLock(const std::string &path, std::chrono::milliseconds longest_wait) {
    std::string lock_path = directory_of(path) + "/." + file_name_of(path) + ".lock";
    // Never through a link, and never blocking on whatever else was put there.
    fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    struct stat info;
    bool locked = fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
    auto deadline = std::chrono::steady_clock::now() + longest_wait;
    auto pause = std::chrono::microseconds(100);
    while (locked && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            locked = false;
            break;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(500));
    }
    if (!locked) {
        close(fd_);
        fd_ = -1;
    }
}

DomainLock::~DomainLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
}

}  // namespace cfprefs
