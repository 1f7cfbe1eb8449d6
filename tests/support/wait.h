// Waiting for something another process does: poll until it shows, never
// sleep for a guessed time.
#pragma once

#include <chrono>
#include <thread>

namespace glissor_test {

// Polls `check` until it holds or the limit passes; its last answer. The
// default limit is generous: the suite runs two tests at a time on two
// cores, with X servers and buses of their own, some under sanitizers.
template <typename Check>
bool eventually(Check check, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!check()) {
        if (std::chrono::steady_clock::now() >= deadline) return check();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace glissor_test
