// setMouseFix round trips against the real event service, and beside them,
// in the same run, the cost of starting one small process: what a tool
// that spawns a command for every change pays.
#include "timing.h"

#include "MouseFix.h"
#include "event_daemon.h"

#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>

using namespace glissor_bench;

extern char **environ;

namespace {

void run_true() {
    char program[] = "/bin/true";
    char *argv[] = {program, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) return;
    int status = 0;
    waitpid(pid, &status, 0);
}

// One round of figures against a fresh daemon, which inherits this
// process's CPU affinity.
int measure_round(const char *label) {
    glissor_test::EventDaemon daemon;
    if (setMouseFix(1.0f, 1.0f) != kMouseFixSuccess) {
        fprintf(stderr, "mouse_fix_bench: the event service did not accept the speeds\n");
        return 1;
    }
    float speed = 0.5f;
    auto apply = [&] {
        speed = speed > 3.0f ? 0.5f : speed + 0.01f;
        setMouseFix(speed, speed);
    };
    Figures fix = measure(5000, apply);
    // A drag sends an action every few milliseconds: the service has gone
    // back to sleep by the next one.
    Figures paced = measure(500, apply, 10, std::chrono::milliseconds(8));
    Figures spawn = measure(300, run_true, 10);
    printf("-- %s\n", label);
    report("setMouseFix round trip, back to back", fix);
    report("setMouseFix round trip, one every 8 ms", paced);
    report("start and wait for /bin/true", spawn);
    printf("%-48s %9.1fx (medians)\n", "process start / setMouseFix", spawn.median_us / fix.median_us);
    return 0;
}

}  // namespace

int main() {
    // Where the scheduler puts the client and the daemon on different cores,
    // every round trip pays a cross-core wake-up; on one core it does not.
    // Both are reported.
    if (measure_round("client and service placed by the scheduler") != 0) return 1;
    cpu_set_t one_core;
    CPU_ZERO(&one_core);
    CPU_SET(0, &one_core);
    if (sched_setaffinity(0, sizeof one_core, &one_core) != 0) return 0;
    return measure_round("client and service on one core");
}
