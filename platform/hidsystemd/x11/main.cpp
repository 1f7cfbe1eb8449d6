// hidsystemd-x11: the event service's X11 backend, one process per X server
// connection. The service starts it with one end of a socket pair; it applies
// the speeds it is sent to the server's slave pointers, reports after each
// change, and puts back what it changed when the service closes the pair or
// a shutdown signal arrives. When the X server goes away it reports that and
// exits; the service decides when to start another.
#include <X11/Xlib.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <hidsystem/backend_channel.h>

#include "pointer_session.h"
#include "x_errors.h"

namespace {

// Exit statuses the service reads.
constexpr int kExitUsage = 2;
constexpr int kExitNoDisplay = 3;
constexpr int kExitDisplayLost = 4;

int channel_fd = -1;
std::string display_name;

void send_report(const hidsystem::BackendReport &report) {
    std::string text = hidsystem::encode_report(report);
    [[maybe_unused]] ssize_t sent = send(channel_fd, text.data(), text.size(), MSG_NOSIGNAL);
}

void report_failure(const std::string &error) {
    hidsystem::BackendReport report;
    report.state = "failed";
    report.display = display_name;
    report.error = error;
    send_report(report);
}

[[noreturn]] void on_display_lost() {
    report_failure("lost the connection to the X server " + display_name);
    _exit(kExitDisplayLost);
}

int open_signal_fd() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    return signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

// Reads every APPLY waiting; only the newest matters. False at the end of
// the channel.
bool drain_channel(std::optional<hidsystem::ApplyMessage> &newest) {
    char buffer[hidsystem::kMaxChannelMessage];
    for (;;) {
        ssize_t got = recv(channel_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0) return false;
        if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (auto message = hidsystem::parse_apply({buffer, static_cast<std::size_t>(got)})) newest = message;
    }
}

int serve(Display *display, hidsystemd_x11::PointerSession &session, int signal_fd) {
    std::uint64_t applied = 0;
    send_report(session.report(applied));
    for (;;) {
        bool changed = false;
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            session.on_event(event);
            changed = true;
        }
        if (changed) send_report(session.report(applied));
        pollfd fds[3] = {{ConnectionNumber(display), POLLIN, 0}, {channel_fd, POLLIN, 0}, {signal_fd, POLLIN, 0}};
        if (poll(fds, 3, -1) < 0 && errno != EINTR) return 1;
        if (fds[2].revents) break;
        if (fds[1].revents) {
            std::optional<hidsystem::ApplyMessage> newest;
            bool open = drain_channel(newest);
            if (newest) {
                session.set_speeds(newest->speeds);
                applied = newest->sequence;
                send_report(session.report(applied));
            }
            if (!open) break;
        }
    }
    session.restore();
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3 || std::strcmp(argv[1], "--channel") != 0) {
        std::fprintf(stderr, "usage: hidsystemd-x11 --channel FD  (started by hidsystemd)\n");
        return kExitUsage;
    }
    channel_fd = std::atoi(argv[2]);
    int signal_fd = open_signal_fd();
    const char *name = std::getenv("DISPLAY");
    display_name = name ? name : "";
    hidsystemd_x11::install_error_handlers(on_display_lost);
    Display *display = XOpenDisplay(display_name.c_str());
    if (!display) {
        report_failure("cannot open the X display \"" + display_name + "\"");
        return kExitNoDisplay;
    }
    hidsystemd_x11::PointerSession session(display);
    std::string error;
    if (!session.start(error)) {
        report_failure(error);
        XCloseDisplay(display);
        return kExitNoDisplay;
    }
    int status = serve(display, session, signal_fd);
    XCloseDisplay(display);
    return status;
}
