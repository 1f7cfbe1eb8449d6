#include "daemon_options.h"

#include <getopt.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include <hidsystem/protocol.h>
#include <wayland_display.h>

namespace hidsystemd {

namespace {

// The session's variables first. A Wayland compositor that sets none of its
// own (river, weston) is told by the globals its display offers: asked
// only then, and for at most a second, so a stalled display costs little.
hidsystem::BackendChoice choose_for_this_session() {
    auto facts = hidsystem::SessionFacts::from_environment();
    hidsystem::BackendChoice choice = hidsystem::choose_backend(facts);
    if (choice.kind != &hidsystem::no_backend() || !facts.is_wayland() || !facts.has("WAYLAND_DISPLAY")) return choice;
    facts.set_wayland_globals(hidsystemd_wayland::wayland_global_names("", std::chrono::milliseconds(1000)));
    return hidsystem::choose_backend(facts);
}

enum Option { kSocket = 's', kRefuse = 'r', kBackend = 'b', kDisplay = 'd', kHelp = 'h', kVersion = 'V', kList = 'L' };

constexpr option kLongOptions[] = {
    {"socket", required_argument, nullptr, kSocket},   {"refuse", required_argument, nullptr, kRefuse},
    {"backend", required_argument, nullptr, kBackend}, {"display", required_argument, nullptr, kDisplay},
    {"help", no_argument, nullptr, kHelp},             {"version", no_argument, nullptr, kVersion},
    {"list-backends", no_argument, nullptr, kList},
    {nullptr, 0, nullptr, 0},
};

bool set_backend(const char *name, BackendOptions &backend, hidsystem::ErrorText &error) {
    backend.automatic = std::strcmp(name, "auto") == 0;
    if (backend.automatic) return true;
    const hidsystem::BackendKind *kind = hidsystem::find_backend_kind(name);
    if (!kind) {
        error.set("--backend: %s is not a backend (auto, %s)", name, hidsystem::backend_kind_names().c_str());
        return false;
    }
    backend.kind = kind;
    backend.reason = std::string("--backend ") + name;
    return true;
}

std::string backend_kind_help() {
    std::string text;
    for (const hidsystem::BackendKind &kind : hidsystem::backend_kinds()) {
        std::string name(kind.name);
        name.resize(std::max<std::size_t>(name.size(), 8), ' ');
        text += "                      " + name + std::string(kind.desktops) + ": " + std::string(kind.writes) + "\n";
    }
    return text;
}

}  // namespace

std::string usage_text() {
    std::string kinds;
    for (const hidsystem::BackendKind &kind : hidsystem::backend_kinds()) kinds += "|" + std::string(kind.name);
    return "usage: hidsystemd [--socket PATH] [--refuse KEY]... [--backend auto" + kinds + "] [--display NAME]";
}

std::string help_text() {
    return usage_text() +
           "\nThe pointer-event service: holds the pointer acceleration parameters for one user,\n"
           "on a Unix socket, and hands the speeds to a desktop backend that applies them.\n"
           "\n"
           "  --socket PATH     listen on PATH (else $HIDSYSTEM_SOCKET, $XDG_RUNTIME_DIR/hidsystem.sock,\n"
           "                    /tmp/hidsystem-UID/hidsystem.sock)\n"
           "  --refuse KEY      refuse every SET of KEY (repeatable; legacy-mouse-acceleration\n"
           "                    refuses the legacy call)\n"
           "  --backend KIND    where the speeds go besides the service's own record (default: none):\n" +
           backend_kind_help() +
           "                    auto: the first of these, in this order, that the session's\n"
           "                    environment names\n"
           "  --display NAME    the X display for the x11 backend (default: $DISPLAY)\n"
           "  --list-backends   print the backend kinds as a table (what each writes, how long it\n"
           "                    lasts, how to undo it) and exit\n"
           "  --help            print this help and exit\n"
           "  --version         print the version and exit\n"
           "\n"
           "Runs in the foreground; SIGTERM or SIGINT end it cleanly, and the backend first puts\n"
           "back every pointer setting that still holds the value it wrote.\n"
           "Exit status: 0 after a clean end, 1 when it cannot start, 2 for bad arguments.\n";
}

std::string backends_table() {
    std::string table = "| Desktop | `--backend` | What Glissor writes | Lasts | To undo by hand |\n"
                        "|---|---|---|---|---|\n";
    for (const hidsystem::BackendKind &kind : hidsystem::backend_kinds()) {
        auto cell = [](std::string_view text) { return " " + std::string(text) + " |"; };
        table += "|" + cell(kind.desktops) + cell("`" + std::string(kind.name) + "`") + cell(kind.writes) +
                 cell(kind.lasts) + cell(kind.undo) + "\n";
    }
    return table;
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
        case kList: options.list_backends = true; break;
        case ':': error.set("%s needs a value", argv[previous]); return false;
        default: error.set("unknown argument %s", argv[previous]); return false;
        }
    }
    if (optind < argc) {
        error.set("unknown argument %s", argv[optind]);
        return false;
    }
    if (display_given && options.backend.kind->program != hidsystem::BackendProgram::X11 && !options.backend.automatic) {
        error.set("--display needs --backend x11 or auto");
        return false;
    }
    if (options.backend.automatic) {
        hidsystem::BackendChoice choice = choose_for_this_session();
        options.backend.kind = choice.kind;
        options.backend.reason = "--backend auto: " + choice.reason;
    }
    return true;
}

}  // namespace hidsystemd
