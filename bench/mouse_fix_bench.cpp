// setMouseFix against the real event service, beside the floor for its
// pattern (a parse-free server answering the same three exchanges) and the
// cost of starting one small process, which a tool that spawns a command
// for every change pays. Then what the service costs the machine: CPU for
// a drag, wake-ups while idle, and heap allocations per call on both sides.
#include "allocation_counter.h"
#include "baseline_server.h"
#include "process_usage.h"
#include "sleeping_echo.h"
#include "timing.h"

#include "MouseFix.h"
#include "event_daemon.h"
#include "temp_home.h"

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>

using namespace glissor_bench;

extern char **environ;

namespace {

constexpr auto kDragInterval = std::chrono::milliseconds(8);
constexpr int kDragCalls = 1250;  // 10 s at one call every 8 ms

void run_true() {
    char program[] = "/bin/true";
    char *argv[] = {program, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) return;
    int status = 0;
    waitpid(pid, &status, 0);
}

float next_speed(float speed) { return speed > 3.0f ? 0.5f : speed + 0.01f; }

// One round of latency figures against a fresh daemon and a fresh floor
// server, both inheriting this process's CPU affinity. Calls to the two
// alternate, so that both are timed on the same machine.
int measure_round(const char *label) {
    glissor_test::EventDaemon daemon;
    if (setMouseFix(1.0f, 1.0f) != kMouseFixSuccess) {
        fprintf(stderr, "mouse_fix_bench: the event service did not accept the speeds\n");
        return 1;
    }
    glissor_test::TempDir dir;
    BaselineServer floor(dir.path() + "/floor.sock");
    if (!floor.three_exchanges()) {
        fprintf(stderr, "mouse_fix_bench: the floor server does not answer\n");
        return 1;
    }
    float speed = 0.5f;
    auto apply = [&] {
        speed = next_speed(speed);
        setMouseFix(speed, speed);
    };
    auto floor_call = [&] { floor.three_exchanges(); };
    auto [fix, bare] = measure_side_by_side(5000, apply, floor_call);
    // A drag sends an action every few milliseconds: both sides sleep between.
    auto [paced, bare_paced] = measure_side_by_side(500, apply, floor_call, 10, kDragInterval);
    SleepingEcho echo;
    if (!echo.round_trip()) {
        fprintf(stderr, "mouse_fix_bench: the sleeping echo does not answer\n");
        return 1;
    }
    Figures wake_up = measure(500, [&] { echo.round_trip(); }, 10, kDragInterval);
    Figures spawn = measure(300, run_true, 10);
    printf("-- %s\n", label);
    report("setMouseFix, back to back", fix);
    report("floor server, three exchanges, back to back", bare);
    printf("%-48s %9.2fx (medians)\n", "setMouseFix / floor server", fix.median_us / bare.median_us);
    report("setMouseFix, one every 8 ms", paced);
    report("floor server, three exchanges, one every 8 ms", bare_paced);
    printf("%-48s %9.2fx (medians)\n", "setMouseFix / floor server, one every 8 ms",
           paced.median_us / bare_paced.median_us);
    report("one byte to a sleeping process, one every 8 ms", wake_up);
    report("start and wait for /bin/true", spawn);
    printf("%-48s %9.1fx (medians)\n", "process start / setMouseFix", spawn.median_us / fix.median_us);
    return 0;
}

// CPU two servers spend on the same 10-second drag, each getting one call
// every 8 ms; they take turns to be called first.
template <typename CallFirst, typename CallSecond>
std::pair<double, double> drag_cpu_ms(pid_t first_server, CallFirst call_first, pid_t second_server,
                                      CallSecond call_second) {
    ProcessUsage first_before = usage_of(first_server);
    ProcessUsage second_before = usage_of(second_server);
    for (int i = 0; i < kDragCalls; ++i) {
        std::this_thread::sleep_for(kDragInterval);
        in_turn(static_cast<size_t>(i), call_first, call_second);
    }
    return {usage_of(first_server).cpu_ms - first_before.cpu_ms,
            usage_of(second_server).cpu_ms - second_before.cpu_ms};
}

void measure_machine_cost() {
    glissor_test::EventDaemon daemon;
    glissor_test::TempDir dir;
    BaselineServer floor(dir.path() + "/floor.sock");
    float speed = 0.5f;
    setMouseFix(1.0f, 1.0f);
    auto [service_ms, floor_ms] = drag_cpu_ms(
        daemon.process().pid(),
        [&] {
            speed = next_speed(speed);
            setMouseFix(speed, speed);
        },
        floor.pid(), [&] { floor.three_exchanges(); });
    printf("-- what the service costs the machine\n");
    printf("%-48s %9.1f ms   floor server %6.1f ms   (%.2fx)\n", "service CPU, 10 s drag at 8 ms", service_ms, floor_ms,
           service_ms / floor_ms);

    // Idle: nothing connected, nothing to apply.
    ProcessUsage before = usage_of(daemon.process().pid());
    std::this_thread::sleep_for(std::chrono::seconds(5));
    ProcessUsage after = usage_of(daemon.process().pid());
    printf("%-48s %9.3f ms CPU   %lld wake-ups\n", "service idle for 5 s", after.cpu_ms - before.cpu_ms,
           after.switches - before.switches);
}

// Allocations per call after the first: in this process (the client)
// by standing in for malloc, in the service by a preloaded counter.
int measure_allocations() {
    if (!allocations_countable()) {
        printf("-- heap allocations: not counted in a sanitized build\n");
        return 0;
    }
    glissor_test::TempDir dir;
    std::string count_path = dir.path() + "/service-mallocs";
    int fd = open(count_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ftruncate(fd, sizeof(std::atomic<long>)) != 0) return 1;
    void *mapped = mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) return 1;
    auto *service_count = static_cast<std::atomic<long> *>(mapped);

    setenv("GLISSOR_MALLOC_COUNT_FILE", count_path.c_str(), 1);
    setenv("LD_PRELOAD", GLISSOR_MALLOC_COUNTER_LIBRARY, 1);
    long service_calls = 0, service_allocations = 0, client_allocations = 0;
    constexpr int kCalls = 1000;
    {
        glissor_test::EventDaemon daemon;
        unsetenv("LD_PRELOAD");
        setMouseFix(1.0f, 1.0f);
        long service_before = service_count->load();
        // Both counters must see allocations, or a zero below means nothing.
        // Through a volatile pointer, so that the pair is not optimised away.
        void *(*volatile allocate)(size_t) = std::malloc;
        count_allocations(true);
        void *probe = allocate(16);
        count_allocations(false);
        std::free(probe);
        if (service_before == 0 || allocations_counted() == 0) {
            fprintf(stderr, "mouse_fix_bench: the allocation counters do not count\n");
            return 1;
        }
        float speed = 0.5f;
        count_allocations(true);
        long client_before = allocations_counted();
        for (int i = 0; i < kCalls; ++i) {
            speed = next_speed(speed);
            service_calls += setMouseFix(speed, speed) == kMouseFixSuccess ? 1 : 0;
        }
        client_allocations = allocations_counted() - client_before;
        count_allocations(false);
        service_allocations = service_count->load() - service_before;
    }
    unsetenv("GLISSOR_MALLOC_COUNT_FILE");
    munmap(mapped, sizeof(std::atomic<long>));
    printf("-- heap allocations over %d calls after the first (%ld accepted)\n", kCalls, service_calls);
    printf("%-48s %9ld\n", "client (this process)", client_allocations);
    printf("%-48s %9ld\n", "service", service_allocations);
    return 0;
}

}  // namespace

int main() {
    // Where the scheduler puts the client and the daemon on different cores,
    // every round trip pays a cross-core wake-up; on one core it does not.
    // Both are reported.
    if (measure_round("client and service placed by the scheduler") != 0) return 1;
    measure_machine_cost();
    if (measure_allocations() != 0) return 1;
    cpu_set_t one_core;
    CPU_ZERO(&one_core);
    CPU_SET(0, &one_core);
    if (sched_setaffinity(0, sizeof one_core, &one_core) != 0) return 0;
    return measure_round("client and service on one core");
}
