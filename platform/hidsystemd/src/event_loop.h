// The daemon's one loop: epoll over the shutdown signal, the listening
// socket, the backend's channel and every client, all non-blocking. A
// client that misbehaves gets an error reply or is dropped; no client can
// stall or starve the others.
#pragma once

#include <sys/epoll.h>

#include <cstdint>
#include <vector>

#include <hidsystem/error_text.h>
#include <hidsystem/service_limits.h>

#include "client_slot.h"
#include "service_state.h"

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
    // What became ready besides the clients in one wait.
    struct FixedSources {
        bool signal = false;
        bool listener = false;
        short backend = 0;  // poll-style revents
    };

    bool watch_fixed_sources(hidsystem::ErrorText &error);
    void update_interest(bool awake);
    void watch_listener();
    void watch_backend();
    FixedSources fixed_sources_ready(int ready) const;
    int next_timeout() const;
    void close_idle_clients();
    void forget_released_clients();
    void stay_awake_after(bool conversation_open);
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
    long long accept_paused_until_ = 0;
    bool listener_watched_ = false;
    // The backend channel in the set, by number and generation; -1: none.
    int watched_backend_fd_ = -1;
    std::uint64_t watched_backend_generation_ = 0;
    // While a client is mid-conversation the loop polls without sleeping
    // until then (CLOCK_MONOTONIC ns); 0: sleep in epoll_wait.
    long long awake_until_ = 0;
    // When the last call ended (CLOCK_MONOTONIC ns), and whether the one
    // after it came soon enough to be worth staying awake for the next.
    long long last_call_ended_ = 0;
    bool calls_back_to_back_ = false;
    // The client served last that is still connected, and how many passes
    // may read it directly before the loop waits on every socket again.
    ClientSlot *conversation_ = nullptr;
    int direct_passes_left_ = 0;
    long long oldest_activity_ms_ = -1;  // of the clients connected; -1: none
};

}  // namespace hidsystemd
