// What another process has cost the machine so far: CPU time and the
// times it was woken, read from /proc.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace glissor_bench {

struct ProcessUsage {
    double cpu_ms = 0;
    long long switches = 0;  // voluntary and forced context switches
};

inline ProcessUsage usage_of(pid_t pid) {
    ProcessUsage usage;
    std::string base = "/proc/" + std::to_string(pid);
    // Nanoseconds on a CPU, when the kernel keeps them; clock ticks otherwise.
    if (FILE *schedstat = std::fopen((base + "/schedstat").c_str(), "r")) {
        unsigned long long nanoseconds = 0;
        if (std::fscanf(schedstat, "%llu", &nanoseconds) == 1) usage.cpu_ms = static_cast<double>(nanoseconds) / 1e6;
        std::fclose(schedstat);
    }
    FILE *stat = usage.cpu_ms > 0 ? nullptr : std::fopen((base + "/stat").c_str(), "r");
    if (stat) {
        char line[1024] = {};
        if (std::fgets(line, sizeof line, stat)) {
            // Fields after the command name, which may hold spaces: utime and
            // stime are the 14th and 15th fields of the line.
            const char *after_name = std::strrchr(line, ')');
            unsigned long long utime = 0, stime = 0;
            if (after_name &&
                std::sscanf(after_name + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                            &stime) == 2)
                usage.cpu_ms = static_cast<double>(utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
        }
        std::fclose(stat);
    }
    if (FILE *status = std::fopen((base + "/status").c_str(), "r")) {
        char line[256];
        long long count = 0;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "voluntary_ctxt_switches: %lld", &count) == 1 ||
                std::sscanf(line, "nonvoluntary_ctxt_switches: %lld", &count) == 1)
                usage.switches += count;
        }
        std::fclose(status);
    }
    return usage;
}

}  // namespace glissor_bench
