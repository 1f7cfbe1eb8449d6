#include "event_loop.h"

#include <poll.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "peer_credentials.h"
#include "request_handler.h"
#include "shutdown_signals.h"

namespace hidsystemd {

namespace {

using hidsystem::kIdleEviction;
using hidsystem::kIdleLimit;
using hidsystem::kMaxClients;
using namespace std::chrono_literals;

constexpr auto kAcceptPause = 100ms;
constexpr int kAcceptsPerRound = 64;

// A last word to a client the daemon will not serve; it may not arrive.
void send_and_close(int fd, void (*make_reply)(hidsystem::Line &)) {
    hidsystem::Line reply;
    make_reply(reply);
    std::string_view text = reply.text();
    [[maybe_unused]] ssize_t ignored = send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(fd);
}

// Tags of the sources that are not clients; a client's event carries its
// slot's address, which is never this small.
constexpr std::uint64_t kSignalTag = 1;
constexpr std::uint64_t kListenerTag = 2;
constexpr std::uint64_t kBackendTag = 3;
constexpr std::size_t kFixedSources = 3;

static_assert(EPOLLIN == POLLIN && EPOLLOUT == POLLOUT && EPOLLERR == POLLERR && EPOLLHUP == POLLHUP,
              "epoll's event bits are poll's");

short poll_bits(std::uint32_t events) { return static_cast<short>(events & (EPOLLIN | EPOLLOUT | EPOLLERR | EPOLLHUP)); }

bool add_tagged(int epoll_fd, int fd, std::uint32_t events, std::uint64_t tag) {
    epoll_event interest{};
    interest.events = events;
    interest.data.u64 = tag;
    return epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd, &interest) == 0;
}

}  // namespace

EventLoop::EventLoop(int listen_fd, ServiceState &state)
    : listen_fd_(listen_fd), state_(state), clients_(kMaxClients) {
    ready_.resize(kMaxClients + kFixedSources);
    active_.reserve(kMaxClients);
    free_.reserve(kMaxClients);
    // Handed out from the back: the first slot first.
    for (auto slot = clients_.rbegin(); slot != clients_.rend(); ++slot) free_.push_back(&*slot);
}

EventLoop::~EventLoop() {
    // The slots leave the set before it goes.
    for (ClientSlot &client : clients_) client.release();
    if (epoll_fd_ >= 0) close(epoll_fd_);
    if (signal_fd_ >= 0) close(signal_fd_);
}

bool EventLoop::run(hidsystem::ErrorText &error) {
    if (!watch_fixed_sources(error)) return false;
    for (;;) {
        Clock::time_point now = Clock::now();
        bool awake = wake_.awake(now);
        if (awake && serve_conversation_directly()) continue;
        update_interest(now);
        int timeout = awake ? 0 : next_timeout();
        int ready = epoll_wait(epoll_fd_, ready_.data(), static_cast<int>(ready_.size()), timeout);
        if (ready < 0 && errno != EINTR) {
            error.set("epoll_wait failed: %s", std::strerror(errno));
            return false;
        }
        // Polling: the client on the other side goes first, if it shares the core.
        if (ready == 0 && awake) sched_yield();
        wake_.waited_on_every_socket();
        state_.backend.on_timer();
        close_idle_clients();
        if (ready <= 0) {
            forget_released_clients();
            continue;
        }
        FixedSources sources = fixed_sources_ready(ready);
        if (sources.signal && shutdown_requested()) break;
        if (sources.backend) state_.backend.on_ready(sources.backend);
        ClientSlot *still_connected = nullptr;
        // A pass that served nobody leaves the conversation where it was.
        if (serve_ready_clients(ready, still_connected)) wake_.served(Clock::now(), still_connected);
        forget_released_clients();
        if (sources.listener) accept_clients();
    }
    for (ClientSlot *client : active_) client->release();
    state_.backend.shutdown();
    return true;
}

bool EventLoop::serve_ready_clients(int ready, ClientSlot *&still_connected) {
    bool served = false;
    for (int i = 0; i < ready; ++i) {
        if (ready_[i].data.u64 <= kBackendTag) continue;
        ClientSlot &client = *static_cast<ClientSlot *>(ready_[i].data.ptr);
        // Released earlier in this pass (fell silent too long, say).
        if (!client.in_use()) continue;
        on_ready(client, poll_bits(ready_[i].events));
        served = true;
        if (client.in_use()) still_connected = &client;
    }
    return served;
}

bool EventLoop::watch_fixed_sources(hidsystem::ErrorText &error) {
    signal_fd_ = open_shutdown_signal_fd();
    if (signal_fd_ < 0) {
        error.set("cannot watch for shutdown signals: %s", std::strerror(errno));
        return false;
    }
    epoll_fd_ = epoll_create1(EPOLL_CLOEXEC);
    if (epoll_fd_ < 0 || !add_tagged(epoll_fd_, signal_fd_, EPOLLIN, kSignalTag) ||
        !add_tagged(epoll_fd_, listen_fd_, EPOLLIN, kListenerTag)) {
        error.set("cannot watch the sockets: %s", std::strerror(errno));
        return false;
    }
    listener_watched_ = true;
    return true;
}

// Brings the set up to date before a wait. A client is in it while it is
// connected, with the events it wants now. The one exception is the client
// in conversation while the loop is awake: the loop reads it directly then,
// so a short call never costs the two system calls of joining and leaving.
// An awake loop never sleeps, so that client is never left unheard: it
// joins before any wait that may.
void EventLoop::update_interest(Clock::time_point now) {
    watch_listener(now);
    watch_backend();
    for (ClientSlot *client : active_) {
        if (wake_.reads_directly(client, now) && !client->watched() && client->wants_input()) continue;
        std::uint32_t events = 0;
        if (client->wants_input()) events |= EPOLLIN;
        if (client->output_pending()) events |= EPOLLOUT;
        // Only a full kernel table fails here; the client would never be
        // heard from again, so it goes now.
        if (!client->watch(epoll_fd_, events)) client->release();
    }
    forget_released_clients();
}

// A paused listener stays in the set with no events.
void EventLoop::watch_listener(Clock::time_point now) {
    if (accept_paused_until_ && now >= *accept_paused_until_) accept_paused_until_.reset();
    bool wanted = !accept_paused_until_;
    if (wanted == listener_watched_) return;
    epoll_event interest{};
    interest.events = wanted ? static_cast<std::uint32_t>(EPOLLIN) : 0;
    interest.data.u64 = kListenerTag;
    if (epoll_ctl(epoll_fd_, EPOLL_CTL_MOD, listen_fd_, &interest) == 0) listener_watched_ = wanted;
}

// A backend's channel leaves the set by itself when the supervisor closes
// it; a new one, even under the same number, is added.
void EventLoop::watch_backend() {
    int fd = state_.backend.fd();
    std::uint64_t generation = state_.backend.channel_generation();
    if (fd == watched_backend_fd_ && generation == watched_backend_generation_) return;
    watched_backend_fd_ = -1;
    watched_backend_generation_ = generation;
    if (fd < 0) return;
    if (add_tagged(epoll_fd_, fd, EPOLLIN, kBackendTag) || errno == EEXIST) watched_backend_fd_ = fd;
}

EventLoop::FixedSources EventLoop::fixed_sources_ready(int ready) const {
    FixedSources sources;
    for (int i = 0; i < ready; ++i) {
        std::uint64_t tag = ready_[i].data.u64;
        if (tag == kSignalTag) sources.signal = true;
        if (tag == kListenerTag) sources.listener = true;
        // Only what the channel watched now reports: one a timer of this
        // pass ended, and perhaps replaced, has nothing more to say.
        if (tag == kBackendTag && state_.backend.channel_generation() == watched_backend_generation_ &&
            state_.backend.fd() == watched_backend_fd_)
            sources.backend = poll_bits(ready_[i].events);
    }
    return sources;
}

// In milliseconds, rounded up, as epoll_wait takes it; -1: none.
int EventLoop::next_timeout() const {
    std::optional<Clock::duration> wait;
    auto consider = [&wait](Clock::duration until) { wait = wait ? std::min(*wait, until) : until; };
    if (accept_paused_until_) consider(kAcceptPause);
    if (int backend_ms = state_.backend.milliseconds_to_next_timer(); backend_ms >= 0)
        consider(std::chrono::milliseconds(backend_ms));
    // A little past the limit, so that the client is over it on waking.
    if (oldest_activity_)
        consider(std::max(*oldest_activity_ + kIdleLimit - Clock::now(), Clock::duration::zero()) + 1ms);
    if (!wait) return -1;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*wait).count());
}

// A real client sends its requests at once; one silent for kIdleLimit only
// holds a slot.
void EventLoop::close_idle_clients() {
    oldest_activity_.reset();
    if (active_.empty()) return;
    Clock::time_point now = Clock::now();
    for (ClientSlot *client : active_) {
        if (!client->in_use()) continue;
        if (now - client->last_activity() >= kIdleLimit) {
            client->release();
            continue;
        }
        if (!oldest_activity_ || client->last_activity() < *oldest_activity_)
            oldest_activity_ = client->last_activity();
    }
}

// Slots released anywhere in a pass go back to the free list here, keeping
// the active list in the order clients came.
// In place, as std::stable_partition may allocate.
void EventLoop::forget_released_clients() {
    std::size_t kept = 0;
    for (ClientSlot *client : active_) {
        if (client->in_use()) {
            active_[kept++] = client;
        } else {
            free_.push_back(client);
            wake_.forget(client);
        }
    }
    active_.resize(kept);
    // With nobody connected there is no silence to time: the loop sleeps
    // until somebody comes, not until the last client would have timed out.
    if (active_.empty()) oldest_activity_.reset();
}

// While a client is mid-conversation, its next request is read straight
// from its socket: one system call where a wait on every socket and then
// a read take two. The wake policy bounds how many passes do so between
// two waits on every socket, so that a client that never stops talking
// cannot keep the others waiting.
// Each pass yields the core before it reads: the loop is here right after a
// reply, which the client has yet to read before it can send its next
// request, so a first read would find nothing. Where the client shares the
// core, it runs first and its request is there when the read comes.
bool EventLoop::serve_conversation_directly() {
    ClientSlot *client = wake_.conversation();
    if (!client || !client->wants_input() || !wake_.take_direct_read()) return false;
    sched_yield();
    ClientSlot::Received received = client->receive();
    if (received == ClientSlot::Received::Nothing) return true;
    if (received == ClientSlot::Received::Failed) {
        client->release();
    } else {
        client->touch(Clock::now());
        serve(*client);
    }
    wake_.served(Clock::now(), client->in_use() ? client : nullptr);
    if (!client->in_use()) forget_released_clients();
    return true;
}

bool EventLoop::shutdown_requested() {
    signalfd_siginfo info{};
    return read(signal_fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info);
}

int EventLoop::accept_clients() {
    int admitted = 0;
    ClientSlot *newcomer = nullptr;
    for (int round = 0; round < kAcceptsPerRound && !newcomer; ++round) {
        int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            wake_.connected(Clock::now(), active_.empty());
            ClientSlot *client = admit(fd);
            if (!client) continue;
            ++admitted;
            // A newcomer mid-conversation is about to send its next
            // request: it is read before more are accepted. The listener
            // stays ready for the next pass.
            if (client->in_use()) newcomer = client;
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED) continue;
        if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            accept_paused_until_ = Clock::now() + kAcceptPause;
        break;
    }
    if (admitted > 0) wake_.accepted(Clock::now(), newcomer);
    return admitted;
}

ClientSlot *EventLoop::admit(int fd) {
    if (!peer_is_owner(fd)) {
        send_and_close(fd, reply_not_owner);
        return nullptr;
    }
    Clock::time_point now = Clock::now();
    ClientSlot *slot = nullptr;
    if (!free_.empty()) {
        slot = free_.back();
        free_.pop_back();
    } else {
        // A new client is served ahead of one that has been silent a while.
        auto most_idle = std::min_element(active_.begin(), active_.end(), [](ClientSlot *a, ClientSlot *b) {
            return a->last_activity() < b->last_activity();
        });
        if (most_idle != active_.end() && now - (*most_idle)->last_activity() >= kIdleEviction) {
            slot = *most_idle;
            active_.erase(most_idle);
            wake_.forget(slot);
        }
    }
    if (!slot) {
        send_and_close(fd, reply_busy);
        return nullptr;
    }
    slot->attach(fd, now);
    active_.push_back(slot);
    if (!oldest_activity_) oldest_activity_ = now;
    // A client sends its first requests right after connecting: they are
    // usually there already, and answering them now saves a pass of the loop.
    on_ready(*slot, POLLIN);
    return slot;
}

void EventLoop::on_ready(ClientSlot &client, short revents) {
    client.touch(Clock::now());
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
