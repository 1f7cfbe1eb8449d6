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

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr const char *kUsage = "usage: loginwindow [--wait]";

int usage_error(const char *argument) {
    std::fprintf(stderr, "loginwindow: unknown argument %s\n%s\n", argument, kUsage);
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    bool wait = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wait") == 0) {
            wait = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s\n", kUsage);
            return 0;
        } else {
            return usage_error(argv[i]);
        }
    }
    std::vector<loginwindow::OpenedApplication> opened = loginwindow::open_login_items(loginwindow::read_login_items());
    if (wait) loginwindow::wait_for_applications(std::move(opened));
    return 0;
}
