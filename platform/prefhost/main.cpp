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

#include <cli/cli.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <getopt.h>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "display.h"
#include "file_text.h"
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

const cli::Program kProgram{
    "prefhost",
    "prefhost --script FILE PANE.prefPane\n"
    "       prefhost [--exit-after-first-frame] PANE.prefPane\n"
    "       prefhost --help | --version",
    "Loads a preference pane bundle and shows its pane in a window; closing the\n"
    "window leaves the pane. With --script it runs a script against the pane\n"
    "instead, needing no display.\n"
    "\n"
    "Options:\n"
    "  --script FILE               run the commands in FILE (- reads standard input):\n"
    "                              set, click, get, show, snapshot, leave, reload\n"
    "  --exit-after-first-frame    print the time to the first frame, then close\n"
    "  --help                      this text\n"
    "  --version                   the program's version\n"
    "\n"
    "Exit status: 0 when everything ran, 1 when the pane or the script failed,\n"
    "2 for a wrong command line or no display for the window.\n"};

int usage(const std::string &problem) { return cli::usage_error(kProgram, problem); }

int fail(const std::string &message) {
    std::cout.flush();
    std::fprintf(stderr, "prefhost: %s\n", message.c_str());
    return 1;
}

// Standard input is read a line at a time as it comes: a program may drive
// the pane command by command, and quit it while it waits for the next one.
Status checkScriptInput() {
    struct stat input {};
    if (::fstat(STDIN_FILENO, &input) != 0 || S_ISDIR(input.st_mode))
        return Failure(std::string("cannot read the script from standard input: ") +
                       std::strerror(S_ISDIR(input.st_mode) ? EISDIR : errno));
    return Status::success();
}

// The script file's text, read whole before the pane is touched, or
// nothing for standard input ("-").
Result<std::string> scriptText(const std::string &script) {
    if (script != "-") return readWholeFile(script, "the script " + script);
    if (Status input = checkScriptInput(); !input) return input.failure();
    return std::string();
}

int runScripted(const Options &options) {
    bool fromStdin = options.script == "-";
    Result<std::string> text = scriptText(options.script);
    if (!text) return fail(text.message());
    std::istringstream file(*text);
    Result<std::unique_ptr<PaneBundle>> opened = PaneBundle::open(options.pane);
    if (!opened) return fail(opened.message());
    std::unique_ptr<PaneBundle> bundle = std::move(*opened);
    PaneSession session(*bundle);
    Status shown = session.show();
    if (!shown.ok()) return fail(options.pane + ": " + shown.message());
    ScriptRunner runner(session, fromStdin ? "<stdin>" : options.script, std::cout);
    Status ran = runner.run(fromStdin ? static_cast<std::istream &>(std::cin) : file);
    std::cout.flush();
    return ran.ok() ? 0 : fail(ran.message());
}

int runWindowed(const Options &options, std::chrono::steady_clock::time_point started) {
    if (Status display = displayIsSet(); !display) {
        std::fprintf(stderr, "prefhost: %s\n", display.message().c_str());
        return 2;
    }
    return runWindowModule(options.pane, options.exitAfterFirstFrame, started);
}

int run(int argc, char **argv, std::chrono::steady_clock::time_point started) {
    enum { kScript = 256, kExitAfterFirstFrame, kHelp, kVersion };
    static const option kOptions[] = {
        {"script", required_argument, nullptr, kScript},
        {"exit-after-first-frame", no_argument, nullptr, kExitAfterFirstFrame},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    Options options;
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, ":", kOptions, nullptr)) != -1) {
        switch (option) {
        case kScript:
            if (!*optarg) return usage("--script needs a file");
            options.script = optarg;
            break;
        case kExitAfterFirstFrame: options.exitAfterFirstFrame = true; break;
        case kHelp: return cli::print_help(kProgram);
        case kVersion: return cli::print_version(kProgram);
        case ':': return usage(std::string(argv[optind - 1]) + " needs a file");
        default: return usage(std::string("unknown option ") + argv[optind - 1]);
        }
    }
    std::vector<std::string> rest(argv + optind, argv + argc);
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
