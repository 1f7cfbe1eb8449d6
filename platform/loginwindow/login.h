// One simulated login: open what the login items list holds and, when
// asked, stay until it has all ended. Every step is one line on standard
// error, prefixed "loginwindow: ".
#pragma once

#include "login_items.h"

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace loginwindow {

struct OpenedApplication {
    size_t index = 0;  // its place in the list
    std::string path;  // as listed
    pid_t pid = -1;
};

// Opens every item it can, in list order, and reports each: opened (pid,
// hidden or not) or why not. An item that cannot be opened is skipped.
std::vector<OpenedApplication> open_login_items(const LoginItems &list);

// Waits until every opened application has ended, reporting each exit.
void wait_for_applications(std::vector<OpenedApplication> opened);

}  // namespace loginwindow
