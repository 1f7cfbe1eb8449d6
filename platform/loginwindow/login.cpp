#include "login.h"

#include "application_path.h"
#include "child_exit.h"
#include "launcher.h"

#include <algorithm>
#include <cstdio>

namespace loginwindow {
namespace {

void report(const std::string &line) { std::fprintf(stderr, "loginwindow: %s\n", line.c_str()); }

std::string item_name(size_t index, const std::string &path) {
    std::string name = "item " + std::to_string(index);
    return path.empty() ? name : name + ": " + path;
}

// Opens one usable item; its pid, or -1 after reporting why not.
pid_t open_item(size_t index, const ListedItem &item) {
    std::string name = item_name(index, item.path);
    Executable executable = find_executable(item.path);
    if (!executable.found()) {
        report(name + ": not opened: " + executable.refusal);
        return -1;
    }
    Started started = open_application(executable.path, item.hidden);
    if (!started.ok()) {
        report(name + ": not opened: " + started.error);
        return -1;
    }
    report(name + ": opened, pid " + std::to_string(started.pid) + (item.hidden ? ", hidden" : ", not hidden"));
    return started.pid;
}

}  // namespace

std::vector<OpenedApplication> open_login_items(const LoginItems &list) {
    std::vector<OpenedApplication> opened;
    if (list.state == ListState::Empty) report("no login items");
    if (list.state == ListState::NotAList) report("the login items list is not an array; nothing opened");
    for (size_t index = 0; index < list.items.size(); ++index) {
        const ListedItem &item = list.items[index];
        if (!item.usable()) {
            report(item_name(index, "") + ": not opened: " + item.problem);
            continue;
        }
        pid_t pid = open_item(index, item);
        if (pid > 0) opened.push_back({index, item.path, pid});
    }
    return opened;
}

void wait_for_applications(std::vector<OpenedApplication> opened) {
    while (!opened.empty()) {
        std::optional<ChildExit> ended = wait_for_child();
        if (!ended) return;  // nothing left to wait for
        auto it = std::find_if(opened.begin(), opened.end(),
                               [&](const OpenedApplication &app) { return app.pid == ended->pid; });
        if (it == opened.end()) continue;
        report(item_name(it->index, it->path) + ": pid " + std::to_string(it->pid) + " " +
               describe_exit(ended->status));
        opened.erase(it);
    }
}

}  // namespace loginwindow
