// Which autostart entry a session starts, by the XDG rule: of the files
// with one name in $XDG_CONFIG_HOME/autostart (~/.config/autostart) and in
// each of $XDG_CONFIG_DIRS/autostart (/etc/xdg/autostart), the first one
// found is the one that counts; the others are hidden behind it.
#pragma once

#include <string>
#include <vector>

namespace glissor {

struct AutostartEntry {
    std::string file;                 // the entry that counts; empty when none
    std::string exec;                 // its Exec value, as written
    bool hidden = false;              // Hidden=true: the session starts nothing
    std::vector<std::string> behind;  // same-named entries it hides
};

// The autostart folders, most important first, from the environment.
std::vector<std::string> autostart_folders();

// The entry of that file name (org.glissor.Glissor.EventService.desktop)
// that a session starting now would use.
AutostartEntry session_entry(const std::string &name, const std::vector<std::string> &folders);

}  // namespace glissor
