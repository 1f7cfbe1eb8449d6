// Running the project's programs from tests: real processes, real pipes.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace glissor_test {

struct ProcessResult {
    int exit_code = -1;      // exit status, or -1 when killed by a signal
    int signal = 0;          // the signal that ended it, or 0
    bool timed_out = false;  // killed because it ran past the limit
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

struct ProcessOptions {
    std::string stdin_text;
    std::map<std::string, std::string> env;  // set on top of this process's environment
    std::chrono::milliseconds timeout{30000};
};

// Runs argv[0] (a path) with the arguments, waits for it and collects its output.
ProcessResult run_process(const std::vector<std::string> &argv, const ProcessOptions &options = {});

// Path of a program the build puts in build/bin.
std::string bin_path(const std::string &program);

// A process started in the background, killed (SIGTERM, then SIGKILL) when dropped.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    explicit BackgroundProcess(const std::vector<std::string> &argv,
                               const std::map<std::string, std::string> &env = {});
    BackgroundProcess(BackgroundProcess &&other) noexcept;
    BackgroundProcess &operator=(BackgroundProcess &&other) noexcept;
    ~BackgroundProcess();

    int pid() const { return pid_; }
    bool running();
    // Sends sig and waits up to the limit; returns the exit status as
    // run_process reports it, or nullopt when it did not end in time.
    std::optional<int> stop(int sig, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Waits for a natural end; nullopt on timeout.
    std::optional<int> wait(std::chrono::milliseconds limit);

private:
    int pid_ = -1;
    std::optional<int> status_;
};

}  // namespace glissor_test
