// hidsystemd: the pointer-event service, one per user, on a Unix socket.
#include <cstdio>
#include <cstring>
#include <memory>

#include <hidsystem/socket_path.h>

#include "daemon_options.h"
#include "event_loop.h"
#include "listener.h"
#include "service_state.h"
#include "shutdown_signals.h"

namespace {

int fail(const char *reason) {
    std::fprintf(stderr, "hidsystemd: %s\n", reason);
    return 1;
}

// Once, at start: a session where nothing can be applied is said so, not
// left to look like success.
void say_when_nothing_is_applied(const hidsystemd::BackendOptions &backend) {
    const hidsystem::BackendKind &kind = *backend.kind;
    if (backend.automatic && &kind == &hidsystem::no_backend())
        std::fprintf(stderr, "hidsystemd: %s; the speeds are recorded and applied to nothing\n",
                     backend.reason.c_str());
    else if (kind.program == hidsystem::BackendProgram::None && kind.advice)
        std::fprintf(stderr,
                     "hidsystemd: %s; %.*s reads its pointer settings only from its own file: "
                     "`hidctl backend` prints the lines to add\n",
                     backend.reason.c_str(), static_cast<int>(kind.desktops.size()), kind.desktops.data());
}

}  // namespace

int main(int argc, char **argv) {
    hidsystem::ErrorText error;
    hidsystemd::DaemonOptions options;
    if (!hidsystemd::parse_options(argc, argv, options, error)) {
        std::fprintf(stderr, "hidsystemd: %s\n%s\n", error.c_str(), hidsystemd::usage_text().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(hidsystemd::help_text().c_str(), stdout);
        return 0;
    }
    if (options.list_backends) {
        std::fputs(hidsystemd::backends_table().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("hidsystemd %s\n", GLISSOR_VERSION);
        return 0;
    }
    say_when_nothing_is_applied(options.backend);
    if (!hidsystemd::block_shutdown_signals()) return fail("cannot block the shutdown signals");

    hidsystem::SocketPath path;
    if (!hidsystem::resolve_socket_path(options.socket_path, path, error)) return fail(error.c_str());
    hidsystemd::Listener listener;
    if (!listener.open(path, error)) return fail(error.c_str());

    auto state = std::make_unique<hidsystemd::ServiceState>(options.refused_keys, options.backend);
    hidsystemd::EventLoop loop(listener.fd(), *state);
    bool served = loop.run(error);
    listener.close_and_remove();
    return served ? 0 : fail(error.c_str());
}
