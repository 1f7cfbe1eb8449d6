// hidctl: asks the event service for its parameters, its log and its backend.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <string_view>

#include <hidsystem/protocol.h>
#include <hidsystem/socket_path.h>

#include "commands.h"

namespace {

constexpr const char *kUsage = "usage: hidctl [--socket PATH] get KEY | log | ping | backend [--json]";

constexpr const char *kHelp =
    "usage: hidctl [OPTION]... COMMAND\n"
    "Asks the pointer-event service (hidsystemd) what it holds.\n"
    "\n"
    "Commands:\n"
    "  get KEY        print the value of parameter KEY on one line\n"
    "  log            print the accepted changes, oldest first: TIME KEY VALUE\n"
    "  ping           exit 0 when the service answers\n"
    "  backend        print the desktop backend: its kind, why it was chosen, what it writes,\n"
    "                 its state, what it talks to, its last error, and per device its id,\n"
    "                 class, knob, value last applied and name; for a compositor that reads\n"
    "                 its pointer settings only from your own file, the lines to add there\n"
    "  backend --json the same as one JSON object, for scripts\n"
    "\n"
    "Options:\n"
    "  --socket PATH  talk to the service on PATH (else $HIDSYSTEM_SOCKET,\n"
    "                 $XDG_RUNTIME_DIR/hidsystem.sock, /tmp/hidsystem-UID/hidsystem.sock)\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when the service cannot be reached or refuses,\n"
    "2 for bad usage.\n";

// One line on stderr: the usage alone when nothing was asked, else the
// problem with the usage after it.
int usage(const char *problem = nullptr, const char *detail = "") {
    if (problem)
        std::fprintf(stderr, "hidctl: %s%s (%s)\n", problem, detail, kUsage);
    else
        std::fprintf(stderr, "%s\n", kUsage);
    return 2;
}

constexpr option kLongOptions[] = {
    {"socket", required_argument, nullptr, 's'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// The number of arguments a command takes, or -1 for an unknown command.
int arguments_of(std::string_view command) {
    if (command == "get") return 1;
    if (command == "log" || command == "ping" || command == "backend") return 0;
    return -1;
}

}  // namespace

int main(int argc, char **argv) {
    const char *socket_option = nullptr;
    opterr = 0;
    // "+": options end at the command, so a key that starts with '-' stays an argument.
    for (int chosen; (chosen = getopt_long(argc, argv, "+:hV", kLongOptions, nullptr)) != -1;) {
        switch (chosen) {
        case 's': socket_option = optarg; break;
        case 'h': std::fputs(kHelp, stdout); return 0;
        case 'V': std::printf("hidctl %s\n", GLISSOR_VERSION); return 0;
        case ':': return usage("option needs a value: ", argv[optind - 1]);
        default: return usage("unknown option: ", argv[optind - 1]);
        }
    }
    if (optind >= argc) return usage();
    std::string_view command = argv[optind++];
    int wanted = arguments_of(command);
    if (wanted < 0) return usage("unknown command: ", argv[optind - 1]);
    bool json = command == "backend" && argc - optind == 1 && std::strcmp(argv[optind], "--json") == 0;
    if (argc - optind != wanted + (json ? 1 : 0)) return usage("wrong number of arguments for ", argv[optind - 1]);
    if (command == "get" && !hidsystem::is_valid_key(argv[optind])) {
        std::fprintf(stderr, "hidctl: %s is not a parameter key\n", argv[optind]);
        return 2;
    }

    hidsystem::SocketPath path;
    hidsystem::ErrorText error;
    if (!hidsystem::resolve_socket_path(socket_option, path, error)) {
        std::fprintf(stderr, "hidctl: %s\n", error.c_str());
        return 1;
    }
    if (command == "get") return hidctl::run_get(path, argv[optind]);
    if (command == "log") return hidctl::run_log(path);
    if (command == "backend") return hidctl::run_backend(path, json ? hidctl::Output::Json : hidctl::Output::Text);
    return hidctl::run_ping(path);
}
