#include "launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

extern char **environ;

namespace loginwindow {
namespace {

// What a child that could not become the application tells the parent.
enum class Step : int { Session, Directory, NullDevice, Exec };

struct StartFailure {
    Step step;
    int error;
};

const char *step_name(Step step) {
    switch (step) {
    case Step::Session: return "setsid: ";
    case Step::Directory: return "chdir /: ";
    case Step::NullDevice: return "/dev/null: ";
    case Step::Exec: return "";
    }
    return "";
}

std::vector<std::string> child_environment(bool hidden) {
    std::string hint = std::string(kHideVariable) + "=";
    std::vector<std::string> entries;
    for (char **entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, hint.c_str(), hint.size()) != 0) entries.emplace_back(*entry);
    if (hidden) entries.push_back(hint + "1");
    return entries;
}

std::vector<char *> pointers(std::vector<std::string> &strings) {
    std::vector<char *> result;
    for (auto &text : strings) result.push_back(text.data());
    result.push_back(nullptr);
    return result;
}

// Everything from here on runs in the child between fork and exec, so it
// calls only async-signal-safe functions.

[[noreturn]] void fail_in_child(int report_fd, Step step) {
    StartFailure failure{step, errno};
    ssize_t ignored = write(report_fd, &failure, sizeof failure);
    (void)ignored;
    _exit(127);
}

// Ignored signals and the blocked mask survive exec; the application
// starts with neither, whatever the login window was started with.
void reset_signals() {
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &default_action, nullptr);  // some refuse; fine
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

// None of the login window's descriptors reach the application.
void close_on_exec_from(int first, int max_fd) {
    if (close_range(static_cast<unsigned>(first), ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
    for (int fd = first; fd < max_fd; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
}

[[noreturn]] void become_application(char *const argv[], char *const envp[], int report_fd, int max_fd) {
    if (report_fd <= STDERR_FILENO) {
        // Started with a standard descriptor closed: keep the report pipe
        // clear of the descriptors about to be replaced.
        report_fd = fcntl(report_fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        if (report_fd < 0) _exit(127);
    }
    if (setsid() < 0) fail_in_child(report_fd, Step::Session);
    if (chdir("/") != 0) fail_in_child(report_fd, Step::Directory);
    int null_fd = open("/dev/null", O_RDWR);
    if (null_fd < 0) fail_in_child(report_fd, Step::NullDevice);
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (null_fd != fd && dup2(null_fd, fd) < 0) fail_in_child(report_fd, Step::NullDevice);
    if (null_fd > STDERR_FILENO) close(null_fd);
    close_on_exec_from(STDERR_FILENO + 1, max_fd);
    reset_signals();
    execve(argv[0], argv, envp);
    fail_in_child(report_fd, Step::Exec);
}

// Reads the child's report: 0 bytes means exec succeeded and closed the pipe.
ssize_t read_report(int fd, StartFailure *failure) {
    ssize_t n;
    do {
        n = read(fd, failure, sizeof *failure);
    } while (n < 0 && errno == EINTR);
    return n;
}

Started failed(const std::string &what) {
    Started result;
    result.error = "cannot start: " + what;
    return result;
}

int highest_descriptor_bound() {
    long limit = sysconf(_SC_OPEN_MAX);
    return limit > 0 && limit < 65536 ? static_cast<int>(limit) : 65536;
}

}  // namespace

Started open_application(const std::string &executable, bool hidden) {
    std::vector<std::string> environment = child_environment(hidden);
    std::vector<char *> envp = pointers(environment);
    std::vector<std::string> arguments = {executable};
    std::vector<char *> argv = pointers(arguments);
    int max_fd = highest_descriptor_bound();

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return failed(std::strerror(errno));
    pid_t pid = fork();
    if (pid < 0) {
        int error = errno;
        close(report[0]);
        close(report[1]);
        return failed(std::string("fork: ") + std::strerror(error));
    }
    if (pid == 0) {
        close(report[0]);
        become_application(argv.data(), envp.data(), report[1], max_fd);
    }
    close(report[1]);
    StartFailure failure{};
    ssize_t n = read_report(report[0], &failure);
    close(report[0]);
    if (n == 0) {
        Started result;
        result.pid = pid;
        return result;
    }
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (n != static_cast<ssize_t>(sizeof failure)) return failed("the new process ended before it ran");
    return failed(std::string(step_name(failure.step)) + std::strerror(failure.error));
}

}  // namespace loginwindow
