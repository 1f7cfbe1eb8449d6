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
// While a client that has just been served keeps its connection open, the
// loop stays awake up to this long for its next request: a client applying
// both speeds sends it within microseconds, and a sleeping daemon on another
// core takes tens of microseconds to wake. Once the client closes, the loop
// sleeps at once.
constexpr long long kAwakeNanoseconds = 200'000;
// Direct reads of a client mid-conversation between two polls of every socket.
constexpr int kDirectPassesPerPoll = 16;

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
    poll_fds_.reserve(kMaxClients + kFirstClientIndex);
    poll_owners_.reserve(kMaxClients + kFirstClientIndex);
    active_.reserve(kMaxClients);
    free_.reserve(kMaxClients);
    // Handed out from the back: the first slot first.
    for (auto slot = clients_.rbegin(); slot != clients_.rend(); ++slot) free_.push_back(&*slot);
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
        bool awake = awake_until_ != 0 && now_nanoseconds() < awake_until_;
        if (awake && serve_conversation_directly()) continue;
        prepare_poll();
        int timeout = awake ? 0 : next_timeout();
        int ready = poll(poll_fds_.data(), poll_fds_.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            error.set("poll failed: %s", std::strerror(errno));
            return false;
        }
        if (ready == 0 && awake) sched_yield();
        direct_passes_left_ = kDirectPassesPerPoll;
        state_.backend.on_timer();
        close_idle_clients();
        if (ready <= 0) {
            forget_released_clients();
            continue;
        }
        if (poll_fds_[0].revents && shutdown_requested()) break;
        if (poll_fds_[kBackendIndex].revents) state_.backend.on_ready(poll_fds_[kBackendIndex].revents);
        bool served = false;
        conversation_ = nullptr;
        for (std::size_t i = kFirstClientIndex; i < poll_fds_.size(); ++i) {
            if (!poll_fds_[i].revents) continue;
            ClientSlot &client = *poll_owners_[i];
            on_ready(client, poll_fds_[i].revents);
            served = true;
            if (client.in_use()) conversation_ = &client;
        }
        if (served) stay_awake_after(conversation_ != nullptr);
        forget_released_clients();
        // A client just admitted is about to send its next request.
        if (poll_fds_[1].revents && accept_clients() > 0) stay_awake_after(true);
    }
    for (ClientSlot *client : active_) client->release();
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
    if (active_.empty()) {
        oldest_activity_ms_ = -1;
        return;
    }
    long long now = now_milliseconds();
    oldest_activity_ms_ = -1;
    for (ClientSlot *client : active_) {
        if (!client->in_use()) continue;
        if (now - client->last_activity_ms() >= kIdleLimitMs) {
            client->release();
            continue;
        }
        if (oldest_activity_ms_ < 0 || client->last_activity_ms() < oldest_activity_ms_)
            oldest_activity_ms_ = client->last_activity_ms();
    }
}

// Slots released anywhere in a pass go back to the free list here, keeping
// the active list in the order clients came.
// In place, as std::stable_partition may allocate.
void EventLoop::forget_released_clients() {
    std::size_t kept = 0;
    for (ClientSlot *client : active_) {
        if (client->in_use())
            active_[kept++] = client;
        else
            free_.push_back(client);
    }
    active_.resize(kept);
    // With nobody connected there is no silence to time: the loop sleeps
    // until somebody comes, not until the last client would have timed out.
    if (active_.empty()) oldest_activity_ms_ = -1;
}

// While a client is mid-conversation, its next request is read straight
// from its socket: one system call where a poll over every socket and then
// a read take two. Every few passes the loop polls all the same, so that a
// client that never stops talking cannot keep the others waiting.
bool EventLoop::serve_conversation_directly() {
    ClientSlot *client = conversation_;
    if (!client || direct_passes_left_ == 0 || !client->wants_input()) return false;
    --direct_passes_left_;
    ClientSlot::Received received = client->receive();
    if (received == ClientSlot::Received::Nothing) {
        sched_yield();
        return true;
    }
    if (received == ClientSlot::Received::Failed) {
        client->release();
    } else {
        client->touch(now_milliseconds());
        serve(*client);
    }
    stay_awake_after(client->in_use());
    if (!client->in_use()) {
        conversation_ = nullptr;
        forget_released_clients();
    }
    return true;
}

// Awake while the conversation goes on; asleep as soon as no client that
// was just served is still connected.
void EventLoop::stay_awake_after(bool conversation_open) {
    awake_until_ = conversation_open ? now_nanoseconds() + kAwakeNanoseconds : 0;
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
    for (ClientSlot *client : active_) {
        short events = 0;
        if (client->wants_input()) events |= POLLIN;
        if (client->output_pending()) events |= POLLOUT;
        poll_fds_.push_back({client->fd(), events, 0});
        poll_owners_.push_back(client);
    }
}

int EventLoop::accept_clients() {
    int admitted = 0;
    for (int round = 0; round < kAcceptsPerRound; ++round) {
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            ClientSlot *client = admit(fd);
            if (!client) continue;
            ++admitted;
            // A newcomer mid-conversation is about to send its next
            // request: it is read before more are accepted. The listener
            // stays ready for the next pass.
            if (client->in_use()) {
                conversation_ = client;
                break;
            }
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            accept_paused_until_ = now_milliseconds() + kAcceptPauseMilliseconds;
        break;
    }
    return admitted;
}

ClientSlot *EventLoop::admit(int fd) {
    if (!peer_is_owner(fd)) {
        send_and_close(fd, reply_not_owner);
        return nullptr;
    }
    long long now = now_milliseconds();
    ClientSlot *slot = nullptr;
    if (!free_.empty()) {
        slot = free_.back();
        free_.pop_back();
    } else {
        // A new client is served ahead of one that has been silent a while.
        auto most_idle = std::min_element(active_.begin(), active_.end(), [](ClientSlot *a, ClientSlot *b) {
            return a->last_activity_ms() < b->last_activity_ms();
        });
        if (most_idle != active_.end() && now - (*most_idle)->last_activity_ms() >= kIdleEvictionMs) {
            slot = *most_idle;
            active_.erase(most_idle);
        }
    }
    if (!slot) {
        send_and_close(fd, reply_busy);
        return nullptr;
    }
    slot->attach(fd, now);
    active_.push_back(slot);
    if (oldest_activity_ms_ < 0) oldest_activity_ms_ = now;
    // A client sends its first requests right after connecting: they are
    // usually there already, and answering them now saves a pass of the loop.
    on_ready(*slot, POLLIN);
    return slot;
}

void EventLoop::on_ready(ClientSlot &client, short revents) {
    client.touch(now_milliseconds());
    if ((revents & POLLIN) && client.receive() == ClientSlot::Received::Failed) {
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

// Answers the requests read so far, as many at a time as the reply buffer
// holds, and sends their replies in one write; the next ones only once
// those are fully sent.
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
        if (answer_whole_requests(client) > 0) continue;
        // All answered; a partial line left at the end is dropped.
        if (client.finished_sending()) client.release();
        return;
    }
}

int EventLoop::answer_whole_requests(ClientSlot &client) {
    int answered = 0;
    while (!client.closing() && client.has_room_for_reply()) {
        auto line = client.peek_line();
        hidsystem::Line reply;
        if (line) {
            handle_request(*line, state_, reply);
            client.consume_line();
        } else if (client.input_full()) {
            reply_line_too_long(reply);
            client.close_after_reply();
        } else {
            break;
        }
        client.queue(reply.text());
        ++answered;
    }
    return answered;
}

}  // namespace hidsystemd
