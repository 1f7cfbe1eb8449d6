#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char **environ;

namespace glissor_test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> merged_environment(const std::map<std::string, std::string> &overrides) {
    std::map<std::string, std::string> all;
    for (char **entry = environ; *entry; ++entry) {
        std::string text(*entry);
        auto equals = text.find('=');
        if (equals != std::string::npos) all[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto &[key, value] : overrides) all[key] = value;
    std::vector<std::string> result;
    for (const auto &[key, value] : all) result.push_back(key + "=" + value);
    return result;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> result;
    for (auto &s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

int decode_status(int status, int *signal_out) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status) && signal_out) *signal_out = WTERMSIG(status);
    return -1;
}

pid_t spawn(const std::vector<std::string> &argv, const std::map<std::string, std::string> &env,
            posix_spawn_file_actions_t *actions) {
    std::vector<std::string> args = argv;
    std::vector<std::string> environment = merged_environment(env);
    auto arg_pointers = pointers(args);
    auto env_pointers = pointers(environment);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // Each program gets its own process group, so a test can end all of it.
    // It starts with no signal blocked and the ending ones at their default,
    // whatever its parent holds: a parent that waits for them on a signalfd
    // blocks them, and one started in the background by a shell ignores
    // SIGINT, and a server that inherited either would outlive its stop().
    sigset_t none, ending;
    sigemptyset(&none);
    sigemptyset(&ending);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&ending, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &ending);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, args[0].c_str(), actions, &attributes, arg_pointers.data(),
                         env_pointers.data());
    posix_spawnattr_destroy(&attributes);
    if (rc != 0) throw std::runtime_error("cannot start " + args[0] + ": " + strerror(rc));
    return pid;
}

}  // namespace

std::string bin_path(const std::string &program) { return std::string(GLISSOR_BIN_DIR) + "/" + program; }

ProcessResult run_process(const std::vector<std::string> &argv, const ProcessOptions &options) {
    int in_pipe[2], out_pipe[2], err_pipe[2];
    if (pipe2(in_pipe, O_CLOEXEC) || pipe2(out_pipe, O_CLOEXEC) || pipe2(err_pipe, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
    auto started = Clock::now();
    pid_t pid = spawn(argv, options.env, &actions);
    posix_spawn_file_actions_destroy(&actions);
    close(in_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[1]);

    signal(SIGPIPE, SIG_IGN);
    size_t written = 0;
    const std::string &input = options.stdin_text;
    if (input.empty()) {
        close(in_pipe[1]);
        in_pipe[1] = -1;
    } else {
        fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
    }

    ProcessResult result;
    auto deadline = started + options.timeout;
    int open_outputs = 2;
    while (open_outputs > 0) {
        pollfd fds[3] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}, {in_pipe[1], POLLOUT, 0}};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            result.timed_out = true;
            kill(-pid, SIGKILL);
            break;
        }
        int ready = poll(fds, in_pipe[1] >= 0 ? 3 : 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[4096];
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                close(fds[i].fd);
                (i == 0 ? out_pipe[0] : err_pipe[0]) = -1;
                --open_outputs;
            }
        }
        if (in_pipe[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            ssize_t n = write(in_pipe[1], input.data() + written, input.size() - written);
            if (n > 0) written += static_cast<size_t>(n);
            if (n < 0 || written == input.size()) {
                close(in_pipe[1]);
                in_pipe[1] = -1;
            }
        }
    }
    for (int fd : {out_pipe[0], err_pipe[0], in_pipe[1]})
        if (fd >= 0) close(fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    result.exit_code = decode_status(status, &result.signal);
    return result;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string> &argv,
                                     const std::map<std::string, std::string> &env)
    : pid_(spawn(argv, env, nullptr)) {}

BackgroundProcess::BackgroundProcess(BackgroundProcess &&other) noexcept
    : pid_(other.pid_), status_(other.status_) {
    other.pid_ = -1;
}

BackgroundProcess &BackgroundProcess::operator=(BackgroundProcess &&other) noexcept {
    if (this != &other) {
        if (pid_ > 0 && !status_) stop(SIGTERM);
        pid_ = other.pid_;
        status_ = other.status_;
        other.pid_ = -1;
    }
    return *this;
}

BackgroundProcess::~BackgroundProcess() {
    if (pid_ > 0 && !status_ && !stop(SIGTERM)) stop(SIGKILL);
}

bool BackgroundProcess::running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = decode_status(status, nullptr);
        return false;
    }
    return true;
}

std::optional<int> BackgroundProcess::wait(std::chrono::milliseconds limit) {
    auto deadline = Clock::now() + limit;
    while (running()) {
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return status_;
}

std::optional<int> BackgroundProcess::stop(int sig, std::chrono::milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    if (running()) kill(pid_, sig);
    return wait(limit);
}

}  // namespace glissor_test
