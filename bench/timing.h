// A small timing harness for figures that need percentiles: run a call
// many times, keep every duration, report median and p99.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace glissor_bench {

struct Figures {
    double median_us = 0;
    double p99_us = 0;
    size_t samples = 0;
};

namespace detail {
inline Figures figures_of(std::vector<double> &micros) {
    std::sort(micros.begin(), micros.end());
    Figures figures;
    figures.samples = micros.size();
    figures.median_us = micros[micros.size() / 2];
    figures.p99_us = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    return figures;
}

template <typename Call>
double timed_us(Call &call) {
    auto start = std::chrono::steady_clock::now();
    call();
    auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(end - start).count();
}
}  // namespace detail

// pause: an untimed gap before each timed call, as between a user's events.
inline Figures measure(size_t iterations, const std::function<void()> &call, size_t warmup = 50,
                       std::chrono::microseconds pause = {}) {
    for (size_t i = 0; i < warmup; ++i) call();
    std::vector<double> micros;
    micros.reserve(iterations);
    for (size_t i = 0; i < iterations; ++i) {
        if (pause.count() > 0) std::this_thread::sleep_for(pause);
        micros.push_back(detail::timed_us(call));
    }
    return detail::figures_of(micros);
}

// Runs both, the first one first in even rounds and second in odd ones, so
// that neither always comes after the other.
template <typename First, typename Second>
void in_turn(size_t round, First &&first, Second &&second) {
    if (round % 2 == 0) {
        first();
        second();
    } else {
        second();
        first();
    }
}

// Two calls timed in alternating blocks, the first one first in even
// blocks and second in odd ones, so that both see the same machine: a
// virtual machine's speed drifts by a factor of two from one minute to the
// next, which makes a ratio of figures taken one after the other mostly
// noise. Within a block a call runs back to back, as it would alone.
inline std::pair<Figures, Figures> measure_side_by_side(size_t iterations, const std::function<void()> &first,
                                                        const std::function<void()> &second, size_t warmup = 50,
                                                        std::chrono::microseconds pause = {}) {
    constexpr size_t kBlocks = 20;
    std::vector<double> first_micros, second_micros;
    first_micros.reserve(iterations);
    second_micros.reserve(iterations);
    auto take_block = [&](const std::function<void()> &call, std::vector<double> &micros, size_t count) {
        for (size_t i = 0; i < warmup / kBlocks + 1; ++i) call();
        for (size_t i = 0; i < count; ++i) {
            if (pause.count() > 0) std::this_thread::sleep_for(pause);
            micros.push_back(detail::timed_us(call));
        }
    };
    for (size_t block = 0; block < kBlocks; ++block) {
        size_t count = iterations * (block + 1) / kBlocks - iterations * block / kBlocks;
        in_turn(block, [&] { take_block(first, first_micros, count); },
                [&] { take_block(second, second_micros, count); });
    }
    return {detail::figures_of(first_micros), detail::figures_of(second_micros)};
}

inline void report(const std::string &name, const Figures &figures) {
    printf("%-48s median %9.2f us   p99 %9.2f us   (%zu runs)\n", name.c_str(), figures.median_us,
           figures.p99_us, figures.samples);
}

}  // namespace glissor_bench
