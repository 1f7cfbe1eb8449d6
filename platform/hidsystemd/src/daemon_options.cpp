#include "daemon_options.h"

#include <cstring>

#include <hidsystem/protocol.h>

namespace hidsystemd {

bool parse_options(int argc, char **argv, DaemonOptions &options, hidsystem::ErrorText &error) {
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            options.help = true;
            continue;
        }
        bool takes_value = std::strcmp(argument, "--socket") == 0 || std::strcmp(argument, "--refuse") == 0;
        if (!takes_value) {
            error.set("unknown argument %s", argument);
            return false;
        }
        if (i + 1 >= argc) {
            error.set("%s needs a value", argument);
            return false;
        }
        const char *value = argv[++i];
        if (std::strcmp(argument, "--socket") == 0) {
            options.socket_path = value;
        } else if (hidsystem::is_valid_key(value)) {
            options.refused_keys.emplace_back(value);
        } else {
            error.set("--refuse: %s is not a parameter key", value);
            return false;
        }
    }
    return true;
}

}  // namespace hidsystemd
