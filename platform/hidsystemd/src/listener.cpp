#include "listener.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace hidsystemd {

namespace {

// True when something accepts connections at the address.
bool socket_is_live(const sockaddr_un &address) {
    int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    bool live = connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(probe);
    return live;
}

}  // namespace

Listener::~Listener() {
    if (fd_ >= 0) close(fd_);
    if (lock_fd_ >= 0) close(lock_fd_);
}

bool Listener::open(const hidsystem::SocketPath &path, hidsystem::ErrorText &error) {
    path_ = path;
    return take_lock(error) && clear_stale_socket(error) && bind_and_listen(error);
}

bool Listener::take_lock(hidsystem::ErrorText &error) {
    char lock_path[sizeof path_.text + 8];
    std::snprintf(lock_path, sizeof lock_path, "%s.lock", path_.c_str());
    lock_fd_ = ::open(lock_path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lock_fd_ < 0) {
        error.set("cannot open the lock file %s: %s", lock_path, std::strerror(errno));
        return false;
    }
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK)
        error.set("another hidsystemd is already serving %s", path_.c_str());
    else
        error.set("cannot lock %s: %s", lock_path, std::strerror(errno));
    return false;
}

bool Listener::clear_stale_socket(hidsystem::ErrorText &error) {
    struct stat status {};
    if (lstat(path_.c_str(), &status) != 0) {
        if (errno == ENOENT) return true;
        error.set("cannot inspect %s: %s", path_.c_str(), std::strerror(errno));
        return false;
    }
    // Never delete what is not a socket: it is somebody's file.
    if (!S_ISSOCK(status.st_mode)) {
        error.set("%s exists and is not a socket", path_.c_str());
        return false;
    }
    if (socket_is_live(hidsystem::socket_address(path_))) {
        error.set("another event service is already serving %s", path_.c_str());
        return false;
    }
    if (unlink(path_.c_str()) != 0) {
        error.set("cannot remove the stale socket %s: %s", path_.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

bool Listener::bind_and_listen(hidsystem::ErrorText &error) {
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error.set("cannot make a socket: %s", std::strerror(errno));
        return false;
    }
    sockaddr_un address = hidsystem::socket_address(path_);
    // The umask makes the file 0600 the moment it appears, with no window in
    // which another user could connect.
    mode_t old_mask = umask(0177);
    int bound = bind(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    int bind_errno = errno;
    umask(old_mask);
    if (bound != 0) {
        error.set("cannot bind %s: %s", path_.c_str(), std::strerror(bind_errno));
        return false;
    }
    struct stat status {};
    if (chmod(path_.c_str(), 0600) != 0 || lstat(path_.c_str(), &status) != 0) {
        error.set("cannot secure %s: %s", path_.c_str(), std::strerror(errno));
        unlink(path_.c_str());
        return false;
    }
    device_ = status.st_dev;
    inode_ = status.st_ino;
    if (listen(fd_, SOMAXCONN) != 0) {
        error.set("cannot listen on %s: %s", path_.c_str(), std::strerror(errno));
        unlink(path_.c_str());
        return false;
    }
    return true;
}

void Listener::close_and_remove() {
    if (fd_ < 0) return;
    close(fd_);
    fd_ = -1;
    struct stat status {};
    if (lstat(path_.c_str(), &status) == 0 && S_ISSOCK(status.st_mode) && status.st_dev == device_ &&
        status.st_ino == inode_)
        unlink(path_.c_str());
}

}  // namespace hidsystemd
