// The X11 backend's latency and coalescing, on a private Xvfb: from
// setMouseFix returning to the X server holding the new mouse value, and a
// 10-second drag paced at 8 ms: how many pairs reached the server, and
// whether the last one did.
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "MouseFix.h"
#include "backend_status.h"
#include "event_daemon.h"
#include "private_x.h"
#include "process.h"
#include "timing.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int numerator_for(float speed) { return 10 + static_cast<int>(std::lround(10 * speed)); }

std::string backend_values(const glissor_test::EventDaemon &daemon) {
    auto status = hidsystem_test::backend_status(daemon.env());
    if (!status) return "(hidctl backend did not answer)";
    return "values: " + std::to_string(status->received) + " received, " + std::to_string(status->sent) + " sent, " +
           std::to_string(status->applied) + " applied";
}

}  // namespace

int main() {
    glissor_test::XServer x;
    int mouse = hidsystem_test::device_id(x.connection(), "Xvfb mouse");
    glissor_test::EventDaemon daemon({}, {"--backend", "x11", "--display", x.display()});
    auto holds = [&](int numerator) {
        auto feedback = hidsystem_test::feedback(x.connection(), mouse);
        return feedback && feedback->numerator == numerator;
    };

    std::vector<double> micros;
    for (int i = 0; i < 300; ++i) {
        float speed = 0.5f + static_cast<float>(i % 20) * 0.1f;
        if (setMouseFix(speed, 1.0f) != kMouseFixSuccess) {
            std::fprintf(stderr, "x11_backend_bench: the event service did not accept the speeds\n");
            return 1;
        }
        auto returned = Clock::now();
        while (!holds(numerator_for(speed))) {
            if (Clock::now() - returned > 3s) {
                std::fprintf(stderr, "x11_backend_bench: the X server never got %.1f\n", speed);
                return 1;
            }
        }
        if (i >= 20) micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - returned).count());
        std::this_thread::sleep_for(2ms);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("setMouseFix returning -> Xvfb holding the value: median %.0f us, p99 %.0f us (%zu samples)\n",
                micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.size());

    std::string before = backend_values(daemon);
    int calls = 0;
    float speed = 0;
    auto end = Clock::now() + 10s;
    for (auto next = Clock::now(); next < end; next += 8ms, ++calls) {
        std::this_thread::sleep_until(next);
        speed = static_cast<float>(calls % 25) * 0.1f + 0.1f;
        setMouseFix(speed, 1.0f);
    }
    bool last = hidsystem_test::eventually([&] { return holds(numerator_for(speed)); });
    std::printf("a 10 s drag at 8 ms: %d calls; backend before: %s; after: %s; last pair on the server: %s\n", calls,
                before.c_str(), backend_values(daemon).c_str(), last ? "yes" : "NO");
    return last ? 0 : 1;
}
