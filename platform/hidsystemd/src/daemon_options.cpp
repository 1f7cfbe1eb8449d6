#include "daemon_options.h"

#include <getopt.h>

#include <cstring>
#include <string>

#include <hidsystem/protocol.h>

namespace hidsystemd {

namespace {

enum Option { kSocket = 's', kRefuse = 'r', kBackend = 'b', kDisplay = 'd', kHelp = 'h', kVersion = 'V' };

constexpr option kLongOptions[] = {
    {"socket", required_argument, nullptr, kSocket},   {"refuse", required_argument, nullptr, kRefuse},
    {"backend", required_argument, nullptr, kBackend}, {"display", required_argument, nullptr, kDisplay},
    {"help", no_argument, nullptr, kHelp},             {"version", no_argument, nullptr, kVersion},
    {nullptr, 0, nullptr, 0},
};

bool set_backend(const char *name, BackendOptions &backend, hidsystem::ErrorText &error) {
    backend.automatic = std::strcmp(name, "auto") == 0;
    if (backend.automatic) return true;
    auto kind = kind_from_name(name);
    if (!kind) {
        error.set("--backend: %s is not a backend (auto, none, x11, gnome, kde or sway)", name);
        return false;
    }
    backend.kind = *kind;
    backend.reason = std::string("--backend ") + name;
    return true;
}

}  // namespace

const char *help_text() {
    return "usage: hidsystemd [OPTION]...\n"
           "The pointer-event service: holds the pointer acceleration parameters for one user,\n"
           "on a Unix socket, and hands the speeds to a desktop backend that applies them.\n"
           "\n"
           "  --socket PATH     listen on PATH (else $HIDSYSTEM_SOCKET, $XDG_RUNTIME_DIR/hidsystem.sock,\n"
           "                    /tmp/hidsystem-UID/hidsystem.sock)\n"
           "  --refuse KEY      refuse every SET of KEY (repeatable; legacy-mouse-acceleration\n"
           "                    refuses the legacy call)\n"
           "  --backend KIND    none (default): only record the values; x11: also apply them to\n"
           "                    the pointers of an X server; gnome: to GSettings; kde: to KWin's\n"
           "                    input devices; sway: through sway's IPC; auto: GNOME or KDE when\n"
           "                    XDG_CURRENT_DESKTOP names one, else sway when SWAYSOCK is set,\n"
           "                    else x11 when DISPLAY is set, else none\n"
           "  --display NAME    the X display for the x11 backend (default: $DISPLAY)\n"
           "  --help            print this help and exit\n"
           "  --version         print the version and exit\n"
           "\n"
           "Runs in the foreground; SIGTERM or SIGINT end it cleanly, and the backend first puts\n"
           "back every pointer setting that still holds the value it wrote.\n"
           "Exit status: 0 after a clean end, 1 when it cannot start, 2 for bad arguments.\n";
}

bool parse_options(int argc, char **argv, DaemonOptions &options, hidsystem::ErrorText &error) {
    bool display_given = false;
    optind = 1;
    opterr = 0;  // errors are reported by the caller, in one line
    for (;;) {
        int previous = optind;
        int chosen = getopt_long(argc, argv, ":hV", kLongOptions, nullptr);
        if (chosen == -1) break;
        switch (chosen) {
        case kSocket: options.socket_path = optarg; break;
        case kRefuse:
            if (!hidsystem::is_valid_key(optarg)) {
                error.set("--refuse: %s is not a parameter key", optarg);
                return false;
            }
            options.refused_keys.emplace_back(optarg);
            break;
        case kBackend:
            if (!set_backend(optarg, options.backend, error)) return false;
            break;
        case kDisplay:
            options.backend.display = optarg;
            display_given = true;
            break;
        case kHelp: options.help = true; break;
        case kVersion: options.version = true; break;
        case ':': error.set("%s needs a value", argv[previous]); return false;
        default: error.set("unknown argument %s", argv[previous]); return false;
        }
    }
    if (optind < argc) {
        error.set("unknown argument %s", argv[optind]);
        return false;
    }
    if (display_given && options.backend.kind != BackendKind::X11 && !options.backend.automatic) {
        error.set("--display needs --backend x11 or auto");
        return false;
    }
    if (options.backend.automatic) {
        BackendChoice choice = choose_backend_from_environment();
        options.backend.kind = choice.kind;
        options.backend.reason = "--backend auto: " + choice.reason;
    }
    return true;
}

}  // namespace hidsystemd
