// Where the programs and the pane of this glissor are: the tree
// PREFIX/lib/glissor beside PREFIX/bin/glissor once installed, or the build
// folder itself when glissor runs from build/bin.
#pragma once

#include <Result.h>

#include <string>

namespace glissor {

struct InstalledTree {
    std::string prefix;    // PREFIX, or the build folder
    std::string programs;  // the folder of prefhost, hidctl, ...
    std::string pane;      // Glissor.prefPane
    bool installed = false;  // false in a build folder
};

// The tree of the executable at `self` (a resolved absolute path).
Result<InstalledTree> find_tree(const std::string &self);

// The absolute path of the running executable.
Result<std::string> own_executable();

// How the tree got there: "the Debian package glissor", "make install"
// (its list of files is there) or "cmake --install".
std::string installed_by(const InstalledTree &tree);

}  // namespace glissor
