// The least a paced call can cost on this machine: one byte to a process
// asleep in read, and the same byte back. A call that finds the event
// service asleep pays this wake-up at least once, whatever the service does.
#pragma once

#include <sys/types.h>

namespace glissor_bench {

class SleepingEcho {
public:
    // Forks the echoing process.
    SleepingEcho();
    ~SleepingEcho();
    SleepingEcho(const SleepingEcho &) = delete;
    SleepingEcho &operator=(const SleepingEcho &) = delete;

    // Sends a byte and waits awake for its echo; false when the echo is lost.
    bool round_trip() const;

private:
    int to_echo_ = -1;
    int from_echo_ = -1;
    pid_t pid_ = -1;
};

}  // namespace glissor_bench
