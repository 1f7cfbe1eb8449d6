#include "session_start.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace glissor {
namespace {

std::string environment(const char *name) {
    const char *value = std::getenv(name);
    return value ? value : "";
}

// KEY=value of the [Desktop Entry] group, as written; empty when absent.
std::string entry_value(const std::string &file, const std::string &key) {
    std::ifstream in(file);
    bool in_group = false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] == '[') in_group = line == "[Desktop Entry]";
        else if (in_group && line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return "";
}

bool readable(const std::string &file) { return std::ifstream(file).good(); }

}  // namespace

std::vector<std::string> autostart_folders() {
    std::vector<std::string> folders;
    std::string home = environment("XDG_CONFIG_HOME");
    if (home.empty() || home[0] != '/') home = environment("HOME") + "/.config";
    folders.push_back(home + "/autostart");
    std::string dirs = environment("XDG_CONFIG_DIRS");
    if (dirs.empty()) dirs = "/etc/xdg";
    std::istringstream list(dirs);
    for (std::string dir; std::getline(list, dir, ':');)
        if (!dir.empty() && dir[0] == '/') folders.push_back(dir + "/autostart");
    return folders;
}

AutostartEntry session_entry(const std::string &name, const std::vector<std::string> &folders) {
    AutostartEntry entry;
    for (const std::string &folder : folders) {
        std::string file = folder + "/" + name;
        if (!readable(file)) continue;
        if (!entry.file.empty()) {
            entry.behind.push_back(file);
            continue;
        }
        entry.file = file;
        entry.exec = entry_value(file, "Exec");
        entry.hidden = entry_value(file, "Hidden") == "true";
    }
    return entry;
}

}  // namespace glissor
