// glissor: opens the Glissor pane in the host's window, or tells which
// install runs and what the event service applied.
//
//   glissor                  the pane, in a window (what the menu entry runs)
//   glissor status [ARG...]  `hidctl backend ARG...` of this install
//
// The other programs stay in the install's own folder: their names are too
// general for everyone's PATH.
#include "installed_tree.h"
#include "session_start.h"

#include <cli/cli.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const cli::Program kProgram{
    "glissor",
    "glissor\n"
    "       glissor status [ARGUMENT...]\n"
    "       glissor --help | --version",
    "With no argument, opens the Glissor pane in the preference host's window: two\n"
    "sliders for the pointer's acceleration, stored when the window closes.\n"
    "\n"
    "  status     which install this is and which one the session starts (the\n"
    "             autostart entries that count), then what the event service\n"
    "             applied: the output of this install's `hidctl backend`. Given\n"
    "             arguments, it runs `hidctl backend ARGUMENT...` and prints only that.\n"
    "  --help     this text\n"
    "  --version  the program's version\n"
    "\n"
    "Exit status: that of the host or of hidctl; 1 when the install is broken,\n"
    "2 for a wrong command line.\n"};

constexpr const char *kServiceEntry = "org.glissor.Glissor.EventService.desktop";
constexpr const char *kLoginEntry = "org.glissor.Glissor.Login.desktop";

int fail(const std::string &line) {
    std::fprintf(stderr, "glissor: %s\n", line.c_str());
    return 1;
}

int run(const std::vector<std::string> &arguments) {
    std::vector<char *> argv;
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    execv(argv[0], argv.data());
    return fail(arguments[0] + ": cannot run it: " + std::strerror(errno));
}

void print_entry(const char *role, const char *what, const std::string &name) {
    glissor::AutostartEntry entry = glissor::session_entry(name, glissor::autostart_folders());
    if (entry.file.empty()) {
        std::printf("%-15s not %s at session start: no autostart entry named %s\n", role, what, name.c_str());
        return;
    }
    if (entry.hidden)
        std::printf("%-15s %s has Hidden=true: the session starts nothing", role, entry.file.c_str());
    else
        std::printf("%-15s %s at session start by %s: %s", role, what, entry.file.c_str(), entry.exec.c_str());
    for (const std::string &behind : entry.behind) std::printf(" (it hides %s)", behind.c_str());
    std::printf("\n");
}

int status(const glissor::InstalledTree &tree, const std::string &self, char **arguments) {
    std::vector<std::string> command = {tree.programs + "/hidctl", "backend"};
    for (char **argument = arguments; *argument; ++argument) command.emplace_back(*argument);
    if (command.size() == 2) {
        std::printf("%-15s %s, Glissor %s from %s\n", "this glissor:", self.c_str(), cli::version(),
                    glissor::installed_by(tree).c_str());
        print_entry("event service:", "started", kServiceEntry);
        print_entry("login items:", "opened", kLoginEntry);
        std::printf("\n");
    }
    return run(command);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], "--help") == 0) return cli::print_help(kProgram);
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) return cli::print_version(kProgram);
    if (argc > 1 && std::strcmp(argv[1], "status") != 0)
        return cli::usage_error(kProgram, std::string("unknown command ") + argv[1]);
    Result<std::string> self = glissor::own_executable();
    if (!self) return fail(self.message());
    Result<glissor::InstalledTree> tree = glissor::find_tree(*self);
    if (!tree) return fail(tree.message());
    if (argc > 1) return status(*tree, *self, argv + 2);
    return run({tree->programs + "/prefhost", tree->pane});
}
