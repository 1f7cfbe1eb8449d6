#include "backend_program.h"

#include <glib-unix.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <hidsystem/backend_channel.h>

#include "knobs.h"

namespace hidsystemd_backend {

namespace {

using Clock = std::chrono::steady_clock;

struct Backend {
    GMainLoop *loop = nullptr;
    std::unique_ptr<Knobs> knobs;
    int channel = -1;
    std::optional<hidsystem::ApplyMessage> pending;  // the newest APPLY not written yet
    std::uint64_t applied = 0;  // the last APPLY written in full
    std::uint64_t done = 0;     // the last APPLY written or refused
    std::string refusal;        // why `done` was not written in full
    std::optional<Clock::time_point> last_write;
    guint write_timer = 0;
    bool lost = false;
};

void send_report(const Backend &backend, const hidsystem::BackendReport &report) {
    std::string text = hidsystem::encode_report(report);
    [[maybe_unused]] ssize_t sent = send(backend.channel, text.data(), text.size(), MSG_NOSIGNAL);
}

hidsystem::BackendReport counted(const Backend &backend) {
    hidsystem::BackendReport report;
    report.applied_sequence = backend.applied;
    if (backend.done > backend.applied) report.done_sequence = backend.done;
    return report;
}

void report_now(const Backend &backend) {
    hidsystem::BackendReport report = counted(backend);
    backend.knobs->describe(report);
    if (!backend.refusal.empty()) report.error = backend.refusal;
    send_report(backend, report);
}

void report_failure(const Backend &backend, const std::string &error) {
    hidsystem::BackendReport report = counted(backend);
    report.state = "failed";
    report.error = error;
    send_report(backend, report);
}

void write_pending(Backend &backend) {
    if (!backend.pending || backend.lost) return;
    backend.knobs->set_speeds(backend.pending->speeds);
    backend.done = backend.pending->sequence;
    Status written = backend.knobs->last_write();
    if (written) backend.applied = backend.done;
    backend.refusal = written ? "" : written.message();
    backend.pending.reset();
    backend.last_write = Clock::now();
    if (!backend.lost) report_now(backend);
}

gboolean on_write_timer(gpointer data) {
    auto &backend = *static_cast<Backend *>(data);
    backend.write_timer = 0;
    write_pending(backend);
    return G_SOURCE_REMOVE;
}

// Writes at once when the last write is old enough, else when it is: values
// arriving meanwhile replace the pending one, and the last always goes out.
void schedule_write(Backend &backend) {
    if (backend.write_timer) return;
    auto interval = backend.knobs->write_interval();
    auto since = backend.last_write ? Clock::now() - *backend.last_write : Clock::duration::max();
    if (since >= interval) {
        write_pending(backend);
        return;
    }
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(interval - since);
    backend.write_timer = g_timeout_add(static_cast<guint>(wait.count()), on_write_timer, &backend);
}

// Reads every APPLY waiting; only the newest matters. False at the end of
// the channel.
bool drain_channel(Backend &backend) {
    char buffer[hidsystem::kMaxChannelMessage];
    for (;;) {
        ssize_t got = recv(backend.channel, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0) return false;
        if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        if (auto message = hidsystem::parse_apply({buffer, static_cast<std::size_t>(got)})) backend.pending = message;
    }
}

gboolean on_channel(gint, GIOCondition, gpointer data) {
    auto &backend = *static_cast<Backend *>(data);
    bool open = drain_channel(backend);
    if (!open) {
        g_main_loop_quit(backend.loop);
        return G_SOURCE_REMOVE;
    }
    if (backend.pending) schedule_write(backend);
    return G_SOURCE_CONTINUE;
}

gboolean on_shutdown_signal(gpointer data) {
    g_main_loop_quit(static_cast<Backend *>(data)->loop);
    return G_SOURCE_CONTINUE;
}

// A shutdown signal must reach the loop, whatever mask the process was
// started with: a blocked SIGTERM would leave the desktop's values in place.
void watch_shutdown_signals(Backend &backend) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_UNBLOCK, &signals, nullptr);
    g_unix_signal_add(SIGTERM, on_shutdown_signal, &backend);
    g_unix_signal_add(SIGINT, on_shutdown_signal, &backend);
}

struct Arguments {
    std::string kind;
    int channel = -1;
    bool help = false;
    bool version = false;
};

std::optional<int> parse_descriptor(const char *text) {
    char *end = nullptr;
    errno = 0;
    long fd = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || fd < 0 || fd > INT32_MAX) return std::nullopt;
    return static_cast<int>(fd);
}

std::optional<Arguments> parse_arguments(int argc, char **argv, std::string_view default_kind) {
    Arguments arguments;
    arguments.kind = default_kind;
    for (int i = 1; i < argc; ++i) {
        std::string_view option = argv[i];
        if (option == "--help") {
            arguments.help = true;
        } else if (option == "--version") {
            arguments.version = true;
        } else if (option == "--kind" && i + 1 < argc) {
            arguments.kind = argv[++i];
        } else if (option == "--channel" && i + 1 < argc) {
            auto fd = parse_descriptor(argv[++i]);
            if (!fd) return std::nullopt;
            arguments.channel = *fd;
        } else {
            return std::nullopt;
        }
    }
    if (!arguments.help && !arguments.version && (arguments.channel < 0 || arguments.kind.empty()))
        return std::nullopt;
    return arguments;
}

int serve(Backend &backend) {
    std::unique_ptr<GMainLoop, decltype(&g_main_loop_unref)> loop(g_main_loop_new(nullptr, FALSE), g_main_loop_unref);
    backend.loop = loop.get();
    watch_shutdown_signals(backend);
    backend.knobs->on_lost = [&backend](const std::string &why) {
        if (backend.lost) return;
        backend.lost = true;
        report_failure(backend, why);
        g_main_loop_quit(backend.loop);
    };
    // After the desktop is lost, its failure stays the last word.
    backend.knobs->on_changed = [&backend] {
        if (!backend.lost) report_now(backend);
    };
    if (Status connected = backend.knobs->connect(); !connected) {
        report_failure(backend, connected.message());
        return kExitNoDesktop;
    }
    report_now(backend);
    g_unix_fd_add(backend.channel, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_channel, &backend);
    g_main_loop_run(backend.loop);
    // A desktop that went away cannot be written; a persistent one is
    // mended from the snapshot file at the next start.
    if (!backend.lost) backend.knobs->restore();
    int status = backend.lost ? kExitDesktopLost : 0;
    backend.knobs.reset();
    return status;
}

}  // namespace

int run_backend(int argc, char **argv, std::string_view program, std::string_view default_kind) {
    std::string usage = std::string("usage: ") + std::string(program) + " [--kind KIND] --channel FD  (started by hidsystemd)";
    auto arguments = parse_arguments(argc, argv, default_kind);
    if (!arguments) {
        std::fprintf(stderr, "%s\n", usage.c_str());
        return kExitUsage;
    }
    if (arguments->help || arguments->version) {
        std::printf("%s\n", arguments->help ? usage.c_str() : (std::string(program) + " " + GLISSOR_VERSION).c_str());
        return 0;
    }
    Backend backend;
    backend.channel = arguments->channel;
    backend.knobs = make_knobs(arguments->kind);
    if (!backend.knobs) {
        std::fprintf(stderr, "%.*s: %s: no such backend kind in this program\n", static_cast<int>(program.size()),
                     program.data(), arguments->kind.c_str());
        return kExitUsage;
    }
    return serve(backend);
}

}  // namespace hidsystemd_backend
