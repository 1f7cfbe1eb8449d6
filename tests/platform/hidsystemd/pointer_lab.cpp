// x11_pointer_lab: a private Xorg with an inputtest mouse and touchpad for
// the walk-through (scripts/run.sh). Prints "xorg DISPLAY" once it is up
// ("none REASON" when it cannot start), then answers commands on stdin:
//   stroke mouse|touchpad UNITS  -> the pixels a fast stroke moved the pointer
// It ends on "quit", at the end of its input, or on SIGTERM, SIGINT or
// SIGHUP (those not ignored when it started), and always the same way:
// Xorg stopped, the feeders closed, its folder removed. A signal that comes
// while Xorg starts waits until then.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>

#include "x_server.h"

namespace {

using glissor_test::XServer;

// The answer to one command line.
std::string answer(XServer &xorg, const std::string &line) {
    std::istringstream words(line);
    std::string command, device;
    int units = 0;
    words >> command >> device >> units;
    if (command != "stroke" || units <= 0 || (device != "mouse" && device != "touchpad")) return "error: " + line;
    auto &feeder = device == "mouse" ? xorg.mouse() : xorg.touchpad();
    return std::to_string(xorg.stroke(feeder, units));
}

// Serves commands until it is told to end; the signal that ended it, if any.
std::optional<int> serve(XServer &xorg, int signal_fd) {
    pollfd sources[] = {{STDIN_FILENO, POLLIN, 0}, {signal_fd, POLLIN, 0}};
    std::string pending;
    for (;;) {
        if (poll(sources, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (sources[1].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(signal_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
                return static_cast<int>(info.ssi_signo);
        }
        if (!(sources[0].revents & (POLLIN | POLLHUP))) continue;
        char buffer[256];
        ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) return std::nullopt;
        pending.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (line == "quit") return std::nullopt;
            std::printf("%s\n", answer(xorg, line).c_str());
            std::fflush(stdout);
        }
    }
}

}  // namespace

int main() {
    // A signal its starter has it ignore stays ignored, as a shell has it
    // do with SIGINT in what it starts in the background: that Ctrl-C is
    // the starter's to handle, and it then stops the lab with SIGTERM.
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) sigaddset(&ending, signal);
    }
    int signal_fd = -1;
    if (sigprocmask(SIG_BLOCK, &ending, nullptr) != 0 || (signal_fd = signalfd(-1, &ending, SFD_CLOEXEC)) < 0) {
        std::perror("x11_pointer_lab: cannot watch for signals");
        return 1;
    }
    std::string why;
    auto xorg = XServer::try_start(XServer::Kind::XorgInputtest, why);
    if (!xorg) {
        std::printf("none %s\n", why.c_str());
        return 1;
    }
    std::printf("xorg %s\n", xorg->display().c_str());
    std::fflush(stdout);
    std::optional<int> signal = serve(*xorg, signal_fd);
    xorg.reset();
    return signal ? 128 + *signal : 0;
}
