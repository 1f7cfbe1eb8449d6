// The daemon's listening socket. Startup is guarded by a lock file beside
// the socket ("<socket>.lock", held with flock for the daemon's life): a
// second daemon finds it held and refuses to start, and once a daemon holds
// it, a socket file still at the path can only be a crashed daemon's and is
// replaced. The lock file itself stays; an unheld one means nothing.
#pragma once

#include <sys/types.h>

#include <hidsystem/error_text.h>
#include <hidsystem/socket_path.h>

namespace hidsystemd {

class Listener {
public:
    Listener() = default;
    ~Listener();
    Listener(const Listener &) = delete;
    Listener &operator=(const Listener &) = delete;

    // Binds and listens at path (mode 0600, non-blocking). False, with one
    // line of reason, when another daemon serves it or the path is unusable.
    bool open(const hidsystem::SocketPath &path, hidsystem::ErrorText &error);
    int fd() const { return fd_; }
    // Closes the socket and removes its file, if the file still is ours.
    void close_and_remove();

private:
    bool take_lock(hidsystem::ErrorText &error);
    bool clear_stale_socket(hidsystem::ErrorText &error);
    bool bind_and_listen(hidsystem::ErrorText &error);

    hidsystem::SocketPath path_;
    int fd_ = -1;
    int lock_fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace hidsystemd
