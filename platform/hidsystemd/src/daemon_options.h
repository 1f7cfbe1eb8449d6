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
    bool list_backends = false;
};

// The usage line, with the backend kinds of the table.
std::string usage_text();
// The --help text: the usage line and every option described.
std::string help_text();
// --list-backends: the table of kinds as a Markdown table, the one the
// README shows.
std::string backends_table();

// False, with the reason, when the arguments are not understood.
bool parse_options(int argc, char **argv, DaemonOptions &options, hidsystem::ErrorText &error);

}  // namespace hidsystemd
