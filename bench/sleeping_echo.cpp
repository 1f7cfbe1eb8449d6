#include "sleeping_echo.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace glissor_bench {

namespace {

[[noreturn]] void echo(int in, int out) {
    char byte = 0;
    while (read(in, &byte, 1) == 1) {
        if (write(out, &byte, 1) != 1) break;
    }
    _exit(0);
}

}  // namespace

SleepingEcho::SleepingEcho() {
    int request[2], reply[2];
    if (pipe2(request, O_CLOEXEC) != 0) return;
    if (pipe2(reply, O_CLOEXEC) != 0) {
        close(request[0]);
        close(request[1]);
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        // Without the other ends, it sees end of file when the benchmark goes.
        close(request[1]);
        close(reply[0]);
        echo(request[0], reply[1]);
    }
    close(request[0]);
    close(reply[1]);
    if (pid_ < 0) {
        close(request[1]);
        close(reply[0]);
        return;
    }
    to_echo_ = request[1];
    from_echo_ = reply[0];
    // The caller waits awake, as a client of the service does.
    fcntl(from_echo_, F_SETFL, O_NONBLOCK);
}

SleepingEcho::~SleepingEcho() {
    if (to_echo_ >= 0) close(to_echo_);
    if (from_echo_ >= 0) close(from_echo_);
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool SleepingEcho::round_trip() const {
    char byte = 'x';
    if (to_echo_ < 0 || write(to_echo_, &byte, 1) != 1) return false;
    for (;;) {
        ssize_t got = read(from_echo_, &byte, 1);
        if (got == 1) return true;
        if (got == 0 || (errno != EAGAIN && errno != EINTR)) return false;
        sched_yield();
    }
}

}  // namespace glissor_bench
