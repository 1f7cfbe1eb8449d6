// When the event loop polls instead of sleeping, and which client it reads
// directly meanwhile. Waking a thread asleep in epoll_wait costs tens of
// microseconds when the other side runs on another core, and applying the
// speeds is three requests in a row: so while a conversation goes on the
// loop stays awake, and once it ends the loop sleeps at once, unless calls
// have been coming back to back. The loop asks; this class decides and
// keeps the times.
#pragma once

#include <chrono>

namespace hidsystemd {

class ClientSlot;

class WakePolicy {
public:
    using Clock = std::chrono::steady_clock;

    // How long the loop stays awake for the next request of a client that
    // has just been served and keeps its connection open: a client applying
    // both speeds sends it within microseconds.
    static constexpr Clock::duration kConversationWait = std::chrono::microseconds(200);
    // How long it stays awake after a call ends when calls come back to
    // back, and how soon after the last one a call must come to count as
    // such. A drag's calls, milliseconds apart, never do.
    static constexpr Clock::duration kBetweenCallsWait = std::chrono::microseconds(50);
    // Direct reads of the conversation between two waits on every socket,
    // so that a client that never stops talking keeps nobody waiting long.
    static constexpr int kDirectReadsPerWait = 16;

    // True while the loop should poll rather than sleep.
    bool awake(Clock::time_point now) const { return now < awake_until_; }

    // The client served last that is still connected, or nullptr. While the
    // loop is awake it reads this one's socket directly instead of waiting
    // on it: every other connected client is in the epoll set at every
    // wait, and this one too at every wait that may sleep.
    ClientSlot *conversation() const { return conversation_; }
    bool reads_directly(const ClientSlot *client, Clock::time_point now) const {
        return client && client == conversation_ && awake(now);
    }

    // Counts one direct read of the conversation; false once the bound is
    // reached, when the loop must wait on every socket first.
    bool take_direct_read();
    // The loop waited on every socket: direct reads may start again.
    void waited_on_every_socket() { direct_reads_left_ = kDirectReadsPerWait; }

    // A client connected. Only one that finds nobody else connected tells
    // whether calls come back to back: it follows the last call's end.
    void connected(Clock::time_point now, bool nobody_else_connected);
    // Clients were served; `still_connected` is the last of them still
    // connected, or nullptr when every one of them has gone.
    void served(Clock::time_point now, ClientSlot *still_connected);
    // Clients were accepted, and answered what they had sent with their
    // connection; `newcomer` is the one still connected, or nullptr. A
    // client just accepted is about to send its next request.
    void accepted(Clock::time_point now, ClientSlot *newcomer);
    // The client's slot was released or handed to somebody else.
    void forget(const ClientSlot *client);

private:
    // Polls until then; a time already past (the clock's epoch): asleep.
    Clock::time_point awake_until_{};
    Clock::time_point last_call_ended_{};
    bool calls_back_to_back_ = false;
    ClientSlot *conversation_ = nullptr;
    int direct_reads_left_ = 0;
};

}  // namespace hidsystemd
