// The command-line conventions every platform program follows:
//   --help     usage and a description of each verb and option, on
//              standard output, exit 0
//   --version  "NAME (Glissor) VERSION", exit 0
//   a wrong command line: one line saying what is wrong, the synopsis and
//   a pointer to --help, on standard error, exit 2
#pragma once

#include <cstdio>
#include <string>

#ifndef GLISSOR_VERSION
#error "link the glissor_cli target: it defines GLISSOR_VERSION"
#endif

namespace cli {

constexpr int kUsageExit = 2;

struct Program {
    const char *name;      // "defaults"
    const char *synopsis;  // lines after "usage: ", each starting with the name
    const char *details;   // the description of each verb and option, for --help
};

inline const char *version() { return GLISSOR_VERSION; }

inline int print_version(const Program &program) {
    std::printf("%s (Glissor) %s\n", program.name, version());
    return 0;
}

inline void print_synopsis(const Program &program, FILE *to) {
    std::fprintf(to, "usage: %s\n", program.synopsis);
}

inline int print_help(const Program &program) {
    print_synopsis(program, stdout);
    std::printf("\n%s", program.details);
    return 0;
}

// Reports a wrong command line; returns the exit status for it.
[[nodiscard]] inline int usage_error(const Program &program, const std::string &problem) {
    std::fprintf(stderr, "%s: %s\n", program.name, problem.c_str());
    print_synopsis(program, stderr);
    std::fprintf(stderr, "Try '%s --help' for more information.\n", program.name);
    return kUsageExit;
}


}  // namespace cli
