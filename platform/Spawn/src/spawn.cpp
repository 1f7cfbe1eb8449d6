#include <Spawn/spawn.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char **environ;

namespace spawn {
namespace {

// What a child that could not become the program tells the parent.
enum class Step : int { Session, Directory, NullDevice, Descriptor, Exec };

struct StepFailure {
    Step step;
    int error;
};

// The step's name before the reason; the exec itself needs none.
const char *step_prefix(Step step) {
    switch (step) {
    case Step::Session: return "setsid: ";
    case Step::Directory: return "chdir /: ";
    case Step::NullDevice: return "/dev/null: ";
    case Step::Descriptor: return "the inherited descriptors: ";
    case Step::Exec: return "";
    }
    return "";
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> result;
    for (auto &text : strings) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

int highest_descriptor_bound() {
    long limit = sysconf(_SC_OPEN_MAX);
    return limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;
}

// Everything from here on runs in the child between fork and exec, so it
// calls only async-signal-safe functions and allocates nothing.

[[noreturn]] void fail_in_child(int report_fd, Step step) {
    StepFailure failure{step, errno};
    [[maybe_unused]] ssize_t ignored = write(report_fd, &failure, sizeof failure);
    _exit(127);
}

void reset_signals() {
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &default_action, nullptr);  // some refuse; fine
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

void close_on_exec_from(int first, int max_fd) {
    if (close_range(static_cast<unsigned>(first), ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
    for (int fd = first; fd < max_fd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
}

void detach(int report_fd) {
    if (setsid() < 0) fail_in_child(report_fd, Step::Session);
    if (chdir("/") != 0) fail_in_child(report_fd, Step::Directory);
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd < 0) fail_in_child(report_fd, Step::NullDevice);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (null_fd != fd && dup2(null_fd, fd) < 0) fail_in_child(report_fd, Step::NullDevice);
    if (null_fd > STDERR_FILENO) close(null_fd);
}

[[noreturn]] void become(char *const argv[], char *const envp[], const int *inherit, std::size_t inherit_count,
                         bool detached, int report_fd, int max_fd) {
    if (report_fd <= STDERR_FILENO) {
        // Started with a standard descriptor closed: keep the report pipe
        // clear of the descriptors about to be replaced.
        report_fd = fcntl(report_fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        if (report_fd < 0) _exit(127);
    }
    if (detached) detach(report_fd);
    close_on_exec_from(STDERR_FILENO + 1, max_fd);
    for (std::size_t i = 0; i < inherit_count; ++i)
        if (fcntl(inherit[i], F_SETFD, 0) != 0) fail_in_child(report_fd, Step::Descriptor);
    reset_signals();
    execve(argv[0], argv, envp);
    fail_in_child(report_fd, Step::Exec);
}

// 0 bytes: exec succeeded and closed the pipe.
ssize_t read_report(int fd, StepFailure *failure) {
    ssize_t n;
    do {
        n = read(fd, failure, sizeof *failure);
    } while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace

Result<pid_t> start(const Request &request) {
    if (request.argv.empty() || request.argv[0].empty()) return Failure("no program to start");
    // Everything the child needs is made before fork.
    std::vector<std::string> arguments = request.argv;
    std::vector<std::string> environment = request.environment;
    std::vector<char *> argv = pointers(arguments);
    std::vector<char *> envp = pointers(environment);
    int max_fd = highest_descriptor_bound();

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return Failure(std::string("cannot make a pipe: ") + std::strerror(errno));
    pid_t pid = fork();
    if (pid < 0) {
        int error = errno;
        close(report[0]);
        close(report[1]);
        return Failure(std::string("cannot fork: ") + std::strerror(error));
    }
    if (pid == 0) {
        close(report[0]);
        become(argv.data(), envp.data(), request.inherit.data(), request.inherit.size(), request.detach, report[1],
               max_fd);
    }
    close(report[1]);
    StepFailure failure{};
    ssize_t n = read_report(report[0], &failure);
    close(report[0]);
    if (n == 0) return pid;
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (n != static_cast<ssize_t>(sizeof failure)) return Failure("the new process ended before it ran");
    return Failure(std::string(step_prefix(failure.step)) + std::strerror(failure.error));
}

std::vector<std::string> environment_with(const std::vector<std::string> &drop, const std::vector<std::string> &add) {
    auto name_of = [](const std::string &entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> names = drop;
    for (const std::string &entry : add) names.push_back(name_of(entry));
    std::vector<std::string> entries;
    for (char **entry = environ; *entry; ++entry) {
        std::string text = *entry;
        if (std::find(names.begin(), names.end(), name_of(text)) == names.end()) entries.push_back(std::move(text));
    }
    entries.insert(entries.end(), add.begin(), add.end());
    return entries;
}

}  // namespace spawn
