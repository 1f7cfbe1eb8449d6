// Which file runs when the login window opens an application: the
// executable an application bundle names, or a plain executable as it is.
#pragma once

#include <string>

namespace loginwindow {

struct Executable {
    std::string path;     // set when there is something to run
    std::string refusal;  // set when there is not: "missing", "not an application: ...", ...

    bool found() const { return refusal.empty(); }
};

// For a directory (X.app): Contents/MacOS/<CFBundleExecutable of
// Contents/Info.plist>. For a regular file: the file itself. The path must
// be absolute; the result must be a regular file the user may execute.
Executable find_executable(const std::string &application);

}  // namespace loginwindow
