// loginwindow: the login window at a simulated login.
//
//   loginwindow [--wait]
//
// Opens each application of the current user's login items list (the
// preferences under $HOME) and reports one line per item on standard
// error. With --wait it stays until the applications it opened have ended
// and reports each one's exit. It never changes the list.
//
// Exit status: 0 once the list has been run through (an item that cannot
// be opened is reported, not a failure of the login window); 2 for a
// wrong command line.
#include "login.h"
#include "login_items.h"

#include <cli/cli.h>

#include <cstdio>
#include <getopt.h>
#include <string>
#include <utility>
#include <vector>

namespace {

const cli::Program kProgram{
    "loginwindow",
    "loginwindow [--wait]\n"
    "       loginwindow --help | --version",
    "Simulates a login: opens each application of the current user's login items\n"
    "(the AutoLaunchedApplicationDictionary array of the loginwindow domain under\n"
    "$HOME; each record a dictionary with a Path string and an optional Hide) and\n"
    "reports one line per item on standard error. It never changes the list.\n"
    "\n"
    "Options:\n"
    "  --wait       stay until the opened applications have ended, reporting each exit\n"
    "  --help       this text\n"
    "  --version    the program's version\n"
    "\n"
    "Exit status: 0 once the list has been run through (an item that cannot be opened\n"
    "is reported, not a failure), 2 for a wrong command line.\n"};

}  // namespace

int main(int argc, char **argv) {
    enum { kWait = 256, kHelp, kVersion };
    static const option kOptions[] = {
        {"wait", no_argument, nullptr, kWait},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    bool wait = false;
    opterr = 0;
    int option;
    while ((option = getopt_long(argc, argv, "", kOptions, nullptr)) != -1) {
        switch (option) {
        case kWait: wait = true; break;
        case kHelp: return cli::print_help(kProgram);
        case kVersion: return cli::print_version(kProgram);
        default: return cli::usage_error(kProgram, std::string("unknown option ") + argv[optind - 1]);
        }
    }
    if (optind < argc) return cli::usage_error(kProgram, std::string("unexpected argument ") + argv[optind]);
    std::vector<loginwindow::OpenedApplication> opened = loginwindow::open_login_items(loginwindow::read_login_items());
    if (wait) loginwindow::wait_for_applications(std::move(opened));
    return 0;
}
