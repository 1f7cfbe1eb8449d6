// A small timing harness for figures that need percentiles: run a call
// many times, keep every duration, report median and p99.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace glissor_bench {

struct Figures {
    double median_us = 0;
    double p99_us = 0;
    size_t samples = 0;
};

// pause: an untimed gap before each timed call, as between a user's events.
inline Figures measure(size_t iterations, const std::function<void()> &call, size_t warmup = 50,
                       std::chrono::microseconds pause = {}) {
    for (size_t i = 0; i < warmup; ++i) call();
    std::vector<double> micros;
    micros.reserve(iterations);
    for (size_t i = 0; i < iterations; ++i) {
        if (pause.count() > 0) std::this_thread::sleep_for(pause);
        auto start = std::chrono::steady_clock::now();
        call();
        auto end = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(micros.begin(), micros.end());
    Figures figures;
    figures.samples = micros.size();
    figures.median_us = micros[micros.size() / 2];
    figures.p99_us = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    return figures;
}

inline void report(const std::string &name, const Figures &figures) {
    printf("%-48s median %9.2f us   p99 %9.2f us   (%zu runs)\n", name.c_str(), figures.median_us,
           figures.p99_us, figures.samples);
}

}  // namespace glissor_bench
