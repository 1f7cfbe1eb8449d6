// prefhost: loads a .prefPane bundle and shows its pane.
//
//   prefhost PANE.prefPane                 show the pane in a window; closing
//                                          it leaves the pane
//   prefhost --exit-after-first-frame PANE.prefPane
//                                          the same, printing the time to the
//                                          first frame, then closing
//   prefhost --script FILE PANE.prefPane   run a script against the pane
//                                          (FILE "-" reads standard input);
//                                          needs no display
//
// Exit status: 0 when everything ran, 1 when the pane or the script
// failed, 2 for a wrong command line or no display for the window.
#include <PreferencePanes/PreferencePanes.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "pane_bundle.h"
#include "pane_session.h"
#include "script_runner.h"
#include "window_module.h"

namespace {

struct Options {
    std::string script;
    std::string pane;
    bool exitAfterFirstFrame = false;
};

int usage(const std::string &problem) {
    std::fprintf(stderr,
                 "prefhost: %s\n"
                 "usage: prefhost --script FILE PANE.prefPane\n"
                 "       prefhost [--exit-after-first-frame] PANE.prefPane\n",
                 problem.c_str());
    return 2;
}

int fail(const std::string &message) {
    std::cout.flush();
    std::fprintf(stderr, "prefhost: %s\n", message.c_str());
    return 1;
}

int runScripted(const Options &options) {
    std::ifstream file;
    bool fromStdin = options.script == "-";
    if (!fromStdin) {
        file.open(options.script);
        if (!file) return fail("cannot read the script " + options.script);
    }
    std::string error;
    std::unique_ptr<PaneBundle> bundle = PaneBundle::open(options.pane, &error);
    if (!bundle) return fail(error);
    PaneSession session(*bundle);
    Status shown = session.show();
    if (!shown.ok()) return fail(options.pane + ": " + shown.message());
    ScriptRunner runner(session, fromStdin ? "<stdin>" : options.script, std::cout);
    Status ran = runner.run(fromStdin ? std::cin : file);
    std::cout.flush();
    return ran.ok() ? 0 : fail(ran.message());
}

int runWindowed(const Options &options, std::chrono::steady_clock::time_point started) {
    std::string error;
    if (!displayIsSet(&error)) {
        std::fprintf(stderr, "prefhost: %s\n", error.c_str());
        return 2;
    }
    return runWindowModule(options.pane, options.exitAfterFirstFrame, started);
}

int run(int argc, char **argv, std::chrono::steady_clock::time_point started) {
    Options options;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument == "--script") {
            if (++i == argc) return usage("--script needs a file");
            options.script = argv[i];
        } else if (argument == "--exit-after-first-frame") {
            options.exitAfterFirstFrame = true;
        } else if (argument.size() > 1 && argument[0] == '-') {
            return usage("unknown option " + argument);
        } else {
            rest.push_back(argument);
        }
    }
    if (rest.size() != 1) return usage("one PANE.prefPane is needed");
    options.pane = rest[0];
    if (options.script.empty()) return runWindowed(options, started);
    if (options.exitAfterFirstFrame) return usage("--exit-after-first-frame needs the window mode");
    return runScripted(options);
}

}  // namespace

int main(int argc, char **argv) {
    auto started = std::chrono::steady_clock::now();
    // The locale of the environment, in both modes, as GTK sets it for the
    // window: the pane must work under any of them.
    setlocale(LC_ALL, "");
    // Anything autoreleased outside a pane call goes in here.
    NSAutoreleasePool *pool = NSAutoreleasePool::alloc()->init();
    int status = run(argc, argv, started);
    pool->drain();
    return status;
}
