#include "backend_supervisor.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <hidsystem/pointer_policy.h>
#include <hidsystem/snapshot_path.h>

#include <Spawn/spawn.h>

namespace hidsystemd {

namespace {

using namespace std::chrono_literals;

constexpr std::string_view kMouseKey = "HIDMouseAcceleration";
constexpr std::string_view kTrackpadKey = "HIDTrackpadAcceleration";
constexpr auto kShutdownWait = 2000ms;
// A backend that ran this long before ending was healthy: back-off resets.
constexpr auto kHealthyRun = 10s;
// Starts of a new backend for a value the last one did not apply: with the
// back-off, they span about 2 s before the service waits for a new value.
constexpr int kRetriesForAnUnappliedValue = 4;
// A desktop that went away is asked again no sooner than this, then at the
// growing back-off: a compositor restarting comes back within seconds.
constexpr auto kDesktopAwayFirstRetry = 1000ms;

bool desktop_was_away(int status) {
    return WIFEXITED(status) && (WEXITSTATUS(status) == hidsystem::kBackendExitNoDesktop ||
                                 WEXITSTATUS(status) == hidsystem::kBackendExitDesktopLost);
}

// The backend programs live beside this one.
std::string helper_beside_self(const hidsystem::BackendKind &kind) {
    char self[PATH_MAX] = {0};
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = length > 0 ? std::string(self, static_cast<std::size_t>(length)) : std::string();
    std::size_t slash = path.rfind('/');
    return (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) +
           (kind.program == hidsystem::BackendProgram::X11 ? "/hidsystemd-x11" : "/hidsystemd-desktop");
}

bool is_x11(const BackendOptions &options) { return options.kind->program == hidsystem::BackendProgram::X11; }

std::string variable(std::string_view name) {
    const char *value = std::getenv(std::string(name).c_str());
    return value ? value : "";
}

// What the backend talks to, until it says so itself.
std::string initial_display(const BackendOptions &options) {
    if (is_x11(options) && !options.display.empty()) return options.display;
    const hidsystem::BackendKind &kind = *options.kind;
    std::string value = kind.talks_to_variable.empty() ? "" : variable(kind.talks_to_variable);
    return std::string(kind.talks_to_label) + value;
}

std::int32_t fixed_of(double speed) { return static_cast<std::int32_t>(std::lround(speed * 65536.0)); }

std::string describe_end(int status) {
    if (WIFSIGNALED(status)) return std::string("the backend process died of signal ") + strsignal(WTERMSIG(status));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127) return "the backend program could not be run";
    if (WIFEXITED(status)) return "the backend process exited with status " + std::to_string(WEXITSTATUS(status));
    return "the backend process ended";
}

// A kind with no backend is off, or gives advice when its compositor reads
// a file of the user's own that the user edits.
const char *initial_state(const hidsystem::BackendKind &kind) {
    if (kind.program != hidsystem::BackendProgram::None) return "idle";
    return kind.advice ? "advice" : "off";
}

// The environment for the backend: ours, with DISPLAY as chosen for X11.
std::vector<std::string> backend_environment(const BackendOptions &options) {
    if (!is_x11(options) || options.display.empty()) return spawn::environment_with({}, {});
    return spawn::environment_with({}, {"DISPLAY=" + options.display});
}

}  // namespace

BackendSupervisor::BackendSupervisor(const BackendOptions &options)
    : options_(options), helper_path_(helper_beside_self(*options.kind)) {
    status_.kind = options.kind->name.data();
    status_.reason = options.reason;
    status_.state = initial_state(*options.kind);
    status_.display = initial_display(options);
    if (mends_leftovers()) start();
}

bool BackendSupervisor::mends_leftovers() const {
    if (!options_.kind->persistent) return false;
    std::string path = hidsystem::snapshot_path(options_.kind->name);
    return !path.empty() && access(path.c_str(), F_OK) == 0;
}

BackendSupervisor::~BackendSupervisor() { shutdown(); }

void BackendSupervisor::offer(std::string_view key, const hidsystem::ParameterBytes &value) {
    if ((key != kMouseKey && key != kTrackpadKey) || value.size != sizeof(std::int32_t)) return;
    // Counted for a kind without a backend too: `hidctl backend` then shows
    // speeds received and none sent.
    ++status_.received;
    if (!has_backend()) return;
    std::int32_t fixed = 0;
    std::memcpy(&fixed, value.data.data(), sizeof fixed);
    if (key == kMouseKey) {
        last_good_mouse_ = hidsystem::decode_speed(fixed, last_good_mouse_);
        if (last_good_mouse_) wanted_.mouse = fixed_of(*last_good_mouse_);
    } else {
        last_good_trackpad_ = hidsystem::decode_speed(fixed, last_good_trackpad_);
        if (last_good_trackpad_) wanted_.trackpad = fixed_of(*last_good_trackpad_);
    }
    pending_ = true;
    pump();
}

void BackendSupervisor::pump() {
    if (!pending_) return;
    if (pid_ < 0 && (Clock::now() < next_start_ || !start())) return;
    if (!in_flight_) send_pending();
}

bool BackendSupervisor::start() {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        status_.error = std::string("cannot make the backend's socket pair: ") + std::strerror(errno);
        next_start_ = Clock::now() + back_off();
        return false;
    }
    spawn::Request request;
    request.argv = {helper_path_, "--channel", std::to_string(pair[1])};
    if (!is_x11(options_)) request.argv.insert(request.argv.end(), {"--kind", std::string(options_.kind->name)});
    request.environment = backend_environment(options_);
    request.inherit = {pair[1]};
    Result<pid_t> pid = spawn::start(request);
    close(pair[1]);
    if (!pid) {
        close(pair[0]);
        status_.error = "cannot start the backend " + helper_path_ + ": " + pid.message();
        next_start_ = Clock::now() + back_off();
        return false;
    }
    fcntl(pair[0], F_SETFL, fcntl(pair[0], F_GETFL) | O_NONBLOCK);
    pid_ = *pid;
    channel_fd_ = pair[0];
    ++channel_generation_;
    status_.pid = pid_;
    status_.state = "starting";
    status_.report = {};
    in_flight_.reset();
    reported_since_start_ = false;
    started_at_ = waiting_since_ = Clock::now();
    return true;
}

void BackendSupervisor::send_pending() {
    hidsystem::ApplyMessage message{status_.sent + 1, wanted_};
    std::string text = hidsystem::encode_apply(message);
    if (send(channel_fd_, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) return;
    status_.sent = message.sequence;
    in_flight_ = message.sequence;
    pending_ = false;
    if (reported_since_start_) waiting_since_ = Clock::now();
}

void BackendSupervisor::on_ready(short revents) {
    if (channel_fd_ < 0) return;
    if (revents & POLLIN) read_reports();
    if (channel_fd_ >= 0 && (revents & (POLLHUP | POLLERR | POLLNVAL))) child_ended("");
    pump();
}

void BackendSupervisor::read_reports() {
    char buffer[hidsystem::kMaxChannelMessage];
    for (;;) {
        ssize_t got = recv(channel_fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0) {
            child_ended("");
            return;
        }
        if (got < 0) return;
        auto report = hidsystem::parse_report({buffer, static_cast<std::size_t>(got)});
        if (!report) continue;
        reported_since_start_ = true;
        status_.state = report->state;
        // The running backend's word on its own trouble holds while it says
        // it: one it mended (a missing line the user has since added) goes.
        if (!report->error.empty())
            status_.error = report->error;
        else if (error_is_reported_)
            status_.error.clear();
        error_is_reported_ = !report->error.empty();
        if (!report->display.empty()) status_.display = report->display;
        if (report->applied_sequence > status_.applied) status_.applied = report->applied_sequence;
        // A pair the desktop refused is done, not applied: the next one goes.
        if (in_flight_ && report->last_done() >= *in_flight_) in_flight_.reset();
        if (!in_flight_) waiting_since_ = Clock::now();
        status_.report = std::move(*report);
    }
}

void BackendSupervisor::child_ended(const std::string &why) {
    if (channel_fd_ >= 0) close(channel_fd_);
    channel_fd_ = -1;
    int status = 0;
    if (pid_ > 0) {
        kill(pid_, SIGKILL);  // harmless when it has exited already
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    status_.pid = 0;
    // What it said stays the last error until a later backend says another.
    error_is_reported_ = false;
    // The backend's own last word (the server went away, say) says more
    // than its exit status.
    if (!why.empty())
        status_.error = why;
    else if (status_.state != "failed")
        status_.error = describe_end(status);
    status_.state = "stopped";
    status_.report.devices.clear();
    // A value the backend took and did not apply, or had not been sent yet,
    // would be lost with it: the next backend is started for it after the
    // back-off, a few times. Past that, the next value starts one.
    bool unapplied = in_flight_.has_value() || pending_;
    in_flight_.reset();
    if (Clock::now() - started_at_ >= kHealthyRun) failures_ = 0;
    ++failures_;
    next_start_ = Clock::now() + back_off();
    pending_ = unapplied && failures_ <= kRetriesForAnUnappliedValue;
    // A compositor that restarts forgets what it was sent, and a bus or
    // display may come back: while there are values, the service keeps
    // asking (at most every 8 s) and sends them again once it is reached.
    if (desktop_was_away(status) && (wanted_.mouse || wanted_.trackpad)) {
        next_start_ = std::max(next_start_, Clock::now() + kDesktopAwayFirstRetry);
        pending_ = true;
    }
}

// The first restart after a healthy run is immediate; each further one
// waits twice as long, up to 8 s.
std::chrono::milliseconds BackendSupervisor::back_off() const {
    if (failures_ <= 1) return 0ms;
    return std::min<std::chrono::milliseconds>(250ms * (1 << std::min(failures_ - 2, 5)), 8000ms);
}

int BackendSupervisor::milliseconds_to_next_timer() const {
    using std::chrono::duration_cast;
    using std::chrono::milliseconds;
    auto now = Clock::now();
    long long wait = -1;
    auto consider = [&](Clock::time_point when) {
        long long left = std::max<long long>(0, duration_cast<milliseconds>(when - now).count() + 1);
        wait = wait < 0 ? left : std::min(wait, left);
    };
    if (pid_ > 0 && (in_flight_ || !reported_since_start_)) consider(waiting_since_ + kBackendAnswerLimit);
    if (pid_ < 0 && pending_) consider(next_start_);
    return static_cast<int>(wait);
}

void BackendSupervisor::on_timer() {
    auto now = Clock::now();
    if (pid_ > 0 && (in_flight_ || !reported_since_start_) && now - waiting_since_ >= kBackendAnswerLimit) {
        std::string silent = is_x11(options_) ? "the X display " + status_.display
                                                               : std::string("the ") + status_.kind + " backend";
        child_ended(silent + " did not answer within " + std::to_string(kBackendAnswerLimit.count() / 1000) + " s");
        return;
    }
    pump();
}

void BackendSupervisor::shutdown() {
    if (pid_ < 0) return;
    // The end of the channel tells the backend to put the desktop back.
    close(channel_fd_);
    channel_fd_ = -1;
    auto deadline = Clock::now() + kShutdownWait;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    pid_ = -1;
    status_.pid = 0;
    status_.state = "stopped";
}

}  // namespace hidsystemd
