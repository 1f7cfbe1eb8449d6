// The login items list as the login window sees it: read once at login and
// never written. The list belongs to the user and to the programs that
// edit it.
#pragma once

#include <string>
#include <vector>

namespace loginwindow {

// One record of the list: what to open, or why it names nothing to open.
struct ListedItem {
    std::string path;     // set when the record is usable
    bool hidden = false;  // only a "Hide" of boolean true hides
    std::string problem;  // set when the record is not usable

    bool usable() const { return problem.empty(); }
};

enum class ListState {
    Empty,     // nothing stored, or an empty list
    NotAList,  // something other than an array under the key
    Listed     // an array with at least one record
};

struct LoginItems {
    ListState state = ListState::Empty;
    std::vector<ListedItem> items;  // in list order; set when Listed
};

// The current user's list, domain "loginwindow", key
// "AutoLaunchedApplicationDictionary", any host.
LoginItems read_login_items();

}  // namespace loginwindow
