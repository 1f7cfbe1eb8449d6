// The daemon's command line.
#pragma once

#include <string>
#include <vector>

#include <hidsystem/error_text.h>

namespace hidsystemd {

struct DaemonOptions {
    const char *socket_path = nullptr;  // --socket; else the resolver decides
    std::vector<std::string> refused_keys;
    bool help = false;
};

inline constexpr const char *kUsage = "usage: hidsystemd [--socket PATH] [--refuse KEY]...";

// False, with the reason, when the arguments are not understood.
bool parse_options(int argc, char **argv, DaemonOptions &options, hidsystem::ErrorText &error);

}  // namespace hidsystemd
