// Hands the accepted speeds to the desktop backend, a child process
// (hidsystemd-x11, or hidsystemd-desktop with a kind) fed over a socket
// pair, and keeps what it reports.
//
// Nothing here waits for the desktop: a set is answered before the backend
// sees it. One APPLY is in flight at a time; values that arrive meanwhile
// replace each other, so the backend gets the latest pair as fast as it can
// take it, and the last pair always. A backend that dies, or does not answer
// within kBackendAnswerLimit, is ended and restarted after a back-off: at
// once for a value it took and did not apply (a few times), else at the next
// value; the service's values are never lost with it. A backend that ended
// because its desktop was away (a compositor restarting, a bus gone) is
// started again and again, at most 8 s apart, while there are values to send.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <hidsystem/backend_channel.h>
#include <hidsystem/protocol.h>

#include <hidsystem/backend_kinds.h>

namespace hidsystemd {

struct BackendOptions {
    const hidsystem::BackendKind *kind = &hidsystem::no_backend();
    bool automatic = false;  // --backend auto: kind and reason found at parse time
    std::string reason = "the default (no --backend given)";
    std::string display;  // empty: $DISPLAY
};

// What `hidctl backend` shows.
struct BackendStatus {
    const char *kind = "none";
    std::string reason;  // why this kind
    std::string state;  // off, advice, idle, starting, connected, waiting, failed, stopped
    std::string display;  // what the backend talks to: X display, settings store, bus, socket
    std::string error;
    pid_t pid = 0;
    std::uint64_t received = 0;  // speeds handed over by clients
    std::uint64_t sent = 0;      // APPLY messages sent (pairs after coalescing)
    std::uint64_t applied = 0;   // the last APPLY the backend reported written in full
    hidsystem::BackendReport report;
};

class BackendSupervisor {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kBackendAnswerLimit{3000};

    // A backend of a persistent store whose snapshot file is left from a
    // run that crashed starts at once, to put the user's values back.
    explicit BackendSupervisor(const BackendOptions &options);
    ~BackendSupervisor();
    BackendSupervisor(const BackendSupervisor &) = delete;
    BackendSupervisor &operator=(const BackendSupervisor &) = delete;

    // An accepted SET. Only the two acceleration keys matter here.
    void offer(std::string_view key, const hidsystem::ParameterBytes &value);

    // For the event loop: the channel to watch (-1 when none), what arrived
    // on it, and the time until the next timer (-1: none).
    int fd() const { return channel_fd_; }
    // Counts the channels opened: a restarted backend's channel may reuse
    // the number of the one before, and this tells them apart.
    std::uint64_t channel_generation() const { return channel_generation_; }
    void on_ready(short revents);
    int milliseconds_to_next_timer() const;
    void on_timer();

    const BackendStatus &status() const { return status_; }
    // Lets the backend put the desktop back, waiting a little for it.
    void shutdown();

private:
    void pump();
    bool start();
    void send_pending();
    void read_reports();
    void child_ended(const std::string &why);
    std::chrono::milliseconds back_off() const;
    bool mends_leftovers() const;
    bool has_backend() const { return options_.kind->program != hidsystem::BackendProgram::None; }

    BackendOptions options_;
    std::string helper_path_;
    BackendStatus status_;
    int channel_fd_ = -1;
    std::uint64_t channel_generation_ = 0;
    pid_t pid_ = -1;
    hidsystem::SpeedPair wanted_;
    std::optional<double> last_good_mouse_, last_good_trackpad_;
    bool pending_ = false;
    std::optional<std::uint64_t> in_flight_;
    Clock::time_point waiting_since_{};  // start, or the APPLY in flight
    bool reported_since_start_ = false;
    bool error_is_reported_ = false;  // status_.error is the running backend's own
    Clock::time_point started_at_{};
    Clock::time_point next_start_{};
    int failures_ = 0;
};

}  // namespace hidsystemd
