// hidctl: asks the event service for its parameters and its log.
#include <cstdio>
#include <cstring>
#include <string_view>

#include <hidsystem/protocol.h>
#include <hidsystem/socket_path.h>

#include "commands.h"

namespace {

constexpr const char *kUsage = "usage: hidctl [--socket PATH] get KEY | log | ping";

int usage() {
    std::fprintf(stderr, "%s\n", kUsage);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    int next = 1;
    const char *socket_option = nullptr;
    if (next < argc && std::strcmp(argv[next], "--socket") == 0) {
        if (next + 1 >= argc) return usage();
        socket_option = argv[next + 1];
        next += 2;
    }
    if (next >= argc) return usage();
    std::string_view command = argv[next++];
    int remaining = argc - next;
    bool known = (command == "get" && remaining == 1) || ((command == "log" || command == "ping") && remaining == 0);
    if (!known) return usage();
    if (command == "get" && !hidsystem::is_valid_key(argv[next])) {
        std::fprintf(stderr, "hidctl: %s is not a parameter key\n", argv[next]);
        return 2;
    }

    hidsystem::SocketPath path;
    hidsystem::ErrorText error;
    if (!hidsystem::resolve_socket_path(socket_option, path, error)) {
        std::fprintf(stderr, "hidctl: %s\n", error.c_str());
        return 1;
    }
    if (command == "get") return hidctl::run_get(path, argv[next]);
    if (command == "log") return hidctl::run_log(path);
    return hidctl::run_ping(path);
}
