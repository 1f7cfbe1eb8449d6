// The daemon's one loop: epoll over the shutdown signal, the listening
// socket, the backend's channel and every client, all non-blocking. A
// client that misbehaves gets an error reply or is dropped; no client can
// stall or starve the others. When it polls instead of sleeping, and which
// client it reads directly meanwhile, is the wake policy's to say.
#pragma once

#include <sys/epoll.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

#include <hidsystem/error_text.h>
#include <hidsystem/service_limits.h>

#include "client_slot.h"
#include "service_state.h"
#include "wake_policy.h"

namespace hidsystemd {

class EventLoop {
public:
    EventLoop(int listen_fd, ServiceState &state);
    ~EventLoop();
    EventLoop(const EventLoop &) = delete;
    EventLoop &operator=(const EventLoop &) = delete;

    // Serves until SIGTERM or SIGINT. False, with the reason, when the loop
    // cannot run at all.
    bool run(hidsystem::ErrorText &error);

private:
    using Clock = WakePolicy::Clock;

    // What became ready besides the clients in one wait.
    struct FixedSources {
        bool signal = false;
        bool listener = false;
        short backend = 0;  // poll-style revents
    };

    bool watch_fixed_sources(hidsystem::ErrorText &error);
    void update_interest(Clock::time_point now);
    void watch_listener(Clock::time_point now);
    void watch_backend();
    FixedSources fixed_sources_ready(int ready) const;
    // Serves the clients that became ready; true when there were any.
    // `still_connected`: the last of them still connected, or nullptr.
    bool serve_ready_clients(int ready, ClientSlot *&still_connected);
    int next_timeout() const;
    void close_idle_clients();
    void forget_released_clients();
    // True when it took a pass of the loop without waiting on every socket.
    bool serve_conversation_directly();
    // How many clients it took on.
    int accept_clients();
    // The slot the client took, or nullptr when it was turned away.
    ClientSlot *admit(int fd);
    void serve(ClientSlot &client);
    // Queues replies to the whole requests buffered, while they fit; how many.
    int answer_whole_requests(ClientSlot &client);
    void on_ready(ClientSlot &client, short revents);
    bool shutdown_requested();

    int listen_fd_;
    int signal_fd_ = -1;
    ServiceState &state_;
    std::vector<ClientSlot> clients_;
    // The slots in use and the free ones, so that a pass of the loop costs
    // what the connected clients cost, not what the table holds.
    std::vector<ClientSlot *> active_;
    std::vector<ClientSlot *> free_;
    int epoll_fd_ = -1;
    std::vector<epoll_event> ready_;
    // Set when accept() ran out of descriptors; the listener rests until then.
    std::optional<Clock::time_point> accept_paused_until_;
    bool listener_watched_ = false;
    // The backend channel in the set, by number and generation; -1: none.
    int watched_backend_fd_ = -1;
    std::uint64_t watched_backend_generation_ = 0;
    // Of the clients connected, the last activity of the one silent longest.
    std::optional<Clock::time_point> oldest_activity_;
    WakePolicy wake_;
};

}  // namespace hidsystemd
