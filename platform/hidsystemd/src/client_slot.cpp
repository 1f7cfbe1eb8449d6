#include "client_slot.h"

#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace hidsystemd {

void ClientSlot::attach(int fd, Clock::time_point now) {
    release();
    fd_ = fd;
    last_activity_ = now;
}

void ClientSlot::release() {
    if (epoll_fd_ >= 0) epoll_ctl(epoll_fd_, EPOLL_CTL_DEL, fd_, nullptr);
    epoll_fd_ = -1;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    closing_ = false;
    finished_sending_ = false;
    input_length_ = 0;
    output_length_ = 0;
    output_sent_ = 0;
}

bool ClientSlot::watch(int epoll_fd, std::uint32_t events) {
    if (watched() && events == watched_events_) return true;
    epoll_event interest{};
    interest.events = events;
    interest.data.ptr = this;
    if (epoll_ctl(epoll_fd, watched() ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd_, &interest) != 0) return false;
    epoll_fd_ = epoll_fd;
    watched_events_ = events;
    return true;
}

ClientSlot::Received ClientSlot::receive() {
    for (;;) {
        ssize_t got = recv(fd_, input_.data() + input_length_, input_.size() - input_length_, 0);
        if (got > 0) {
            input_length_ += static_cast<std::size_t>(got);
            return Received::Something;
        }
        if (got == 0) {
            finished_sending_ = true;
            return Received::Something;
        }
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? Received::Nothing : Received::Failed;
    }
}

std::optional<std::string_view> ClientSlot::peek_line() const {
    const void *newline = std::memchr(input_.data(), '\n', input_length_);
    if (!newline) return std::nullopt;
    auto length = static_cast<std::size_t>(static_cast<const char *>(newline) - input_.data());
    return std::string_view(input_.data(), length);
}

void ClientSlot::consume_line() {
    auto line = peek_line();
    if (!line) return;
    std::size_t used = line->size() + 1;
    std::memmove(input_.data(), input_.data() + used, input_length_ - used);
    input_length_ -= used;
}

void ClientSlot::queue(std::string_view line) {
    std::size_t length = std::min(line.size(), output_.size() - output_length_);
    std::memcpy(output_.data() + output_length_, line.data(), length);
    output_length_ += length;
}

bool ClientSlot::flush() {
    while (output_pending()) {
        ssize_t sent = send(fd_, output_.data() + output_sent_, output_length_ - output_sent_,
                            MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            output_sent_ += static_cast<std::size_t>(sent);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            return sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        }
    }
    output_length_ = output_sent_ = 0;
    return true;
}

}  // namespace hidsystemd
