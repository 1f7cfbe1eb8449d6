#include "event_loop.h"

#include <sched.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "peer_credentials.h"
#include "request_handler.h"
#include "shutdown_signals.h"

namespace hidsystemd {

namespace {

using hidsystem::kIdleEvictionMs;
using hidsystem::kIdleLimitMs;
using hidsystem::kMaxClients;

constexpr int kAcceptPauseMilliseconds = 100;
constexpr int kAcceptsPerRound = 64;
// After serving a request the loop stays awake this long, because a client
// applying both speeds sends its next request within microseconds, and a
// sleeping daemon on another core takes tens of microseconds to wake.
constexpr long long kAwakeNanoseconds = 200'000;

long long now_nanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

long long now_milliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A last word to a client the daemon will not serve; it may not arrive.
void send_and_close(int fd, void (*make_reply)(hidsystem::Line &)) {
    hidsystem::Line reply;
    make_reply(reply);
    std::string_view text = reply.text();
    [[maybe_unused]] ssize_t ignored = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(fd);
}

}  // namespace

EventLoop::EventLoop(int listen_fd, ServiceState &state)
    : listen_fd_(listen_fd), state_(state), clients_(kMaxClients) {
    poll_fds_.reserve(kMaxClients + 2);
    poll_owners_.reserve(kMaxClients + 2);
}

EventLoop::~EventLoop() {
    if (signal_fd_ >= 0) close(signal_fd_);
}

bool EventLoop::run(hidsystem::ErrorText &error) {
    signal_fd_ = open_shutdown_signal_fd();
    if (signal_fd_ < 0) {
        error.set("cannot watch for shutdown signals: %s", std::strerror(errno));
        return false;
    }
    for (;;) {
        prepare_poll();
        bool awake = now_nanoseconds() < awake_until_;
        int timeout = awake ? 0 : next_timeout();
        int ready = poll(poll_fds_.data(), poll_fds_.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            error.set("poll failed: %s", std::strerror(errno));
            return false;
        }
        if (ready == 0 && awake) sched_yield();
        state_.backend.on_timer();
        close_idle_clients();
        if (ready <= 0) continue;
        if (poll_fds_[0].revents && shutdown_requested()) break;
        if (poll_fds_[kBackendIndex].revents) state_.backend.on_ready(poll_fds_[kBackendIndex].revents);
        bool served = false;
        for (std::size_t i = kFirstClientIndex; i < poll_fds_.size(); ++i) {
            if (!poll_fds_[i].revents) continue;
            on_ready(*poll_owners_[i], poll_fds_[i].revents);
            served = true;
        }
        if (served) awake_until_ = now_nanoseconds() + kAwakeNanoseconds;
        if (poll_fds_[1].revents) accept_clients();
    }
    for (ClientSlot &client : clients_) client.release();
    state_.backend.shutdown();
    return true;
}

int EventLoop::next_timeout() const {
    long long wait = accept_paused_until_ ? kAcceptPauseMilliseconds : -1;
    auto consider = [&wait](long long milliseconds) {
        if (milliseconds >= 0) wait = wait < 0 ? milliseconds : std::min(wait, milliseconds);
    };
    consider(state_.backend.milliseconds_to_next_timer());
    if (oldest_activity_ms_ >= 0) consider(std::max(0LL, oldest_activity_ms_ + kIdleLimitMs - now_milliseconds()) + 1);
    return static_cast<int>(wait);
}

// A real client sends its requests at once; one silent for kIdleLimitMs
// only holds a slot.
void EventLoop::close_idle_clients() {
    long long now = now_milliseconds();
    oldest_activity_ms_ = -1;
    for (ClientSlot &client : clients_) {
        if (!client.in_use()) continue;
        if (now - client.last_activity_ms() >= kIdleLimitMs) {
            client.release();
            continue;
        }
        if (oldest_activity_ms_ < 0 || client.last_activity_ms() < oldest_activity_ms_)
            oldest_activity_ms_ = client.last_activity_ms();
    }
}

bool EventLoop::shutdown_requested() {
    signalfd_siginfo info{};
    return read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

void EventLoop::prepare_poll() {
    poll_fds_.clear();
    poll_owners_.clear();
    if (accept_paused_until_ && now_milliseconds() >= accept_paused_until_) accept_paused_until_ = 0;
    poll_fds_.push_back({signal_fd_, POLLIN, 0});
    // A paused listener stays in the set with no events, so indexes hold.
    poll_fds_.push_back({listen_fd_, static_cast<short>(accept_paused_until_ ? 0 : POLLIN), 0});
    // A negative fd (no backend running) is skipped by poll.
    poll_fds_.push_back({state_.backend.fd(), POLLIN, 0});
    poll_owners_.assign(kFirstClientIndex, nullptr);
    for (ClientSlot &client : clients_) {
        if (!client.in_use()) continue;
        short events = 0;
        if (client.wants_input()) events |= POLLIN;
        if (client.output_pending()) events |= POLLOUT;
        poll_fds_.push_back({client.fd(), events, 0});
        poll_owners_.push_back(&client);
    }
}

void EventLoop::accept_clients() {
    for (int round = 0; round < kAcceptsPerRound; ++round) {
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            admit(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            accept_paused_until_ = now_milliseconds() + kAcceptPauseMilliseconds;
        return;
    }
}

void EventLoop::admit(int fd) {
    if (!peer_is_owner(fd)) {
        send_and_close(fd, reply_not_owner);
        return;
    }
    long long now = now_milliseconds();
    ClientSlot *free_slot = nullptr;
    ClientSlot *most_idle = nullptr;
    for (ClientSlot &client : clients_) {
        if (!client.in_use()) {
            free_slot = &client;
            break;
        }
        if (!most_idle || client.last_activity_ms() < most_idle->last_activity_ms()) most_idle = &client;
    }
    // A new client is served ahead of one that has been silent a while.
    if (!free_slot && most_idle && now - most_idle->last_activity_ms() >= kIdleEvictionMs) {
        most_idle->release();
        free_slot = most_idle;
    }
    if (!free_slot) {
        send_and_close(fd, reply_busy);
        return;
    }
    free_slot->attach(fd, now);
    if (oldest_activity_ms_ < 0) oldest_activity_ms_ = now;
}

void EventLoop::on_ready(ClientSlot &client, short revents) {
    client.touch(now_milliseconds());
    if ((revents & POLLIN) && !client.receive()) {
        client.release();
        return;
    }
    if (revents & (POLLERR | POLLNVAL)) {
        client.release();
        return;
    }
    // POLLHUP alone still lets a reply to what was read go out, if it can.
    serve(client);
    if (client.in_use() && (revents & POLLHUP) && !(revents & POLLIN)) client.release();
}

// Answers buffered requests one at a time, each only after the previous
// reply is fully sent.
void EventLoop::serve(ClientSlot &client) {
    for (;;) {
        if (!client.flush()) {
            client.release();
            return;
        }
        if (client.output_pending()) return;
        if (client.closing()) {
            client.release();
            return;
        }
        auto line = client.peek_line();
        hidsystem::Line reply;
        if (line) {
            handle_request(*line, state_, reply);
            client.consume_line();
        } else if (client.input_full()) {
            reply_line_too_long(reply);
            client.close_after_reply();
        } else if (client.finished_sending()) {
            // All answered; a partial line left at the end is dropped.
            client.release();
            return;
        } else {
            return;
        }
        client.queue(reply.text());
    }
}

}  // namespace hidsystemd
