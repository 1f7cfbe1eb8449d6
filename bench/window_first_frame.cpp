// Time from starting prefhost to the first frame of its window: the user's
// wait between asking for the pane and seeing it. Each run is a fresh
// process under a private Xvfb, started with --exit-after-first-frame; the
// clock runs from just before the spawn to the moment the host's "first
// frame" line arrives on its standard output (the host prints it once the
// frame clock's paint phase has put the frame on the window). The host's
// own figure, from its main(), is reported beside it.
#include "process.h"
#include "temp_home.h"
#include "x_server.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    double toLineMs = 0;      // spawn to the "first frame" line
    double insideHostMs = 0;  // the host's own figure, from its main()
};

// One start of prefhost; nullopt (with a line on stderr) when it fails.
std::optional<Run> runOnce(const glissor_test::XServer &server) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return std::nullopt;
    setenv("DISPLAY", server.display().c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    std::string program = glissor_test::bin_path("prefhost");
    std::vector<char *> argv = {program.data(), const_cast<char *>("--exit-after-first-frame"),
                                const_cast<char *>(GLISSOR_PANE_BUNDLE), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    pid_t pid = -1;
    auto start = Clock::now();
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        std::fprintf(stderr, "window_first_frame: cannot start %s: %s\n", program.c_str(), std::strerror(spawned));
        return std::nullopt;
    }
    std::string text;
    std::optional<Run> run;
    char buffer[256];
    for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<size_t>(got));
        if (!run && text.find('\n') != std::string::npos) {
            Run measured;
            measured.toLineMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            if (std::sscanf(text.c_str(), "prefhost: first frame after %lf ms", &measured.insideHostMs) == 1)
                run = measured;
        }
    }
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!run || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "window_first_frame: prefhost did not report a first frame (status %d): %s\n", status,
                     text.c_str());
        return std::nullopt;
    }
    return run;
}

void report(const char *name, std::vector<double> millis) {
    std::sort(millis.begin(), millis.end());
    std::printf("%-40s median %7.1f ms   fastest %7.1f ms   slowest %7.1f ms   (%zu runs)\n", name,
                millis[millis.size() / 2], millis.front(), millis.back(), millis.size());
}

}  // namespace

int main() {
    glissor_test::TempHome home;  // the pane reads and stores its settings here
    glissor_test::XServer server;
    const size_t runs = 21;
    std::vector<double> toLine, insideHost;
    if (!runOnce(server)) return 1;  // a first start warms the file cache
    for (size_t i = 0; i < runs; ++i) {
        std::optional<Run> run = runOnce(server);
        if (!run) return 1;
        toLine.push_back(run->toLineMs);
        insideHost.push_back(run->insideHostMs);
    }
    report("prefhost start to first frame", toLine);
    report("  of which main() to first frame", insideHost);
    return 0;
}
