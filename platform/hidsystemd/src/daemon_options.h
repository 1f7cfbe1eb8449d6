// The daemon's command line, parsed with getopt_long.
#pragma once

#include <string>
#include <vector>

#include <hidsystem/error_text.h>

#include "backend_supervisor.h"

namespace hidsystemd {

struct DaemonOptions {
    const char *socket_path = nullptr;  // --socket; else the resolver decides
    std::vector<std::string> refused_keys;
    BackendOptions backend;
    bool help = false;
    bool version = false;
};

inline constexpr const char *kUsage =
    "usage: hidsystemd [--socket PATH] [--refuse KEY]... [--backend auto|none|x11|gnome|kde|sway] [--display NAME]";

// The --help text: the usage line and every option described.
const char *help_text();

// False, with the reason, when the arguments are not understood.
bool parse_options(int argc, char **argv, DaemonOptions &options, hidsystem::ErrorText &error);

}  // namespace hidsystemd
