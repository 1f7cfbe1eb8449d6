// hidsystemd-desktop: the event service's backend for desktops that keep
// the pointer settings themselves (GNOME, KDE Plasma, sway). The service
// starts it with one end of a socket pair and the kind of desktop; it writes
// the speeds it is sent into that desktop's settings, at most as often as
// the desktop absorbs them, reports after each write, and puts back what it
// changed when the service closes the pair or a shutdown signal arrives.
// When the desktop goes away it reports that and exits; the service decides
// when to start another.
#include <glib-unix.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include <hidsystem/backend_channel.h>

#include "desktop_knobs.h"

namespace {

// Exit statuses the service reads, as the X11 backend's.
constexpr int kExitUsage = 2;
constexpr int kExitNoDesktop = 3;
constexpr int kExitDesktopLost = 4;

constexpr const char *kUsage = "usage: hidsystemd-desktop --kind gnome|kde|sway --channel FD  (started by hidsystemd)";

struct Backend {
    GMainLoop *loop = nullptr;
    std::unique_ptr<hidsystemd_desktop::DesktopKnobs> knobs;
    int channel = -1;
    std::optional<hidsystem::ApplyMessage> pending;  // the newest APPLY not written yet
    std::uint64_t applied = 0;
    gint64 last_write_us = 0;
    guint write_timer = 0;
    bool lost = false;
};

void send_report(const Backend &backend, const hidsystem::BackendReport &report) {
    std::string text = hidsystem::encode_report(report);
    [[maybe_unused]] ssize_t sent = send(backend.channel, text.data(), text.size(), MSG_NOSIGNAL);
}

void report_now(const Backend &backend) {
    hidsystem::BackendReport report;
    report.applied_sequence = backend.applied;
    backend.knobs->describe(report);
    send_report(backend, report);
}

void report_failure(const Backend &backend, const std::string &error) {
    hidsystem::BackendReport report;
    report.applied_sequence = backend.applied;
    report.state = "failed";
    report.error = error;
    send_report(backend, report);
}

void write_pending(Backend &backend) {
    if (!backend.pending || backend.lost) return;
    backend.knobs->set_speeds(backend.pending->speeds);
    backend.applied = backend.pending->sequence;
    backend.pending.reset();
    backend.last_write_us = g_get_monotonic_time();
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
    gint64 interval_us = backend.knobs->write_interval_ms() * gint64{1000};
    gint64 since_us = g_get_monotonic_time() - backend.last_write_us;
    if (backend.last_write_us == 0 || since_us >= interval_us) {
        write_pending(backend);
        return;
    }
    auto wait_ms = static_cast<guint>((interval_us - since_us + 999) / 1000);
    backend.write_timer = g_timeout_add(wait_ms, on_write_timer, &backend);
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

std::unique_ptr<hidsystemd_desktop::DesktopKnobs> knobs_for(const std::string &kind) {
    if (kind == "gnome") return hidsystemd_desktop::make_gnome_knobs();
    if (kind == "kde") return hidsystemd_desktop::make_kde_knobs();
    if (kind == "sway") return hidsystemd_desktop::make_sway_knobs();
    return nullptr;
}

bool parse_arguments(int argc, char **argv, std::string &kind, int &channel) {
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--kind") == 0) {
            kind = argv[i + 1];
        } else if (std::strcmp(argv[i], "--channel") == 0) {
            char *end = nullptr;
            long fd = std::strtol(argv[i + 1], &end, 10);
            if (*end != '\0' || fd < 0 || fd > INT32_MAX) return false;
            channel = static_cast<int>(fd);
        } else {
            return false;
        }
    }
    return argc == 5 && channel >= 0 && !kind.empty();
}

}  // namespace

int main(int argc, char **argv) {
    Backend backend;
    std::string kind;
    if (!parse_arguments(argc, argv, kind, backend.channel) || !(backend.knobs = knobs_for(kind))) {
        std::fprintf(stderr, "%s\n", kUsage);
        return kExitUsage;
    }
    std::unique_ptr<GMainLoop, decltype(&g_main_loop_unref)> loop(g_main_loop_new(nullptr, FALSE), g_main_loop_unref);
    backend.loop = loop.get();
    g_unix_signal_add(SIGTERM, on_shutdown_signal, &backend);
    g_unix_signal_add(SIGINT, on_shutdown_signal, &backend);
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

    std::string error;
    if (!backend.knobs->connect(error)) {
        report_failure(backend, error);
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
