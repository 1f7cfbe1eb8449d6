// Old-style property-list text, the form users type after `defaults write`:
//   "quoted string", unquoted_string, (item, item), {key = value; ...}, <0fa3>
// Everything but data is text: `(1,2)` is an array of two strings.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

struct OldStyleResult {
    CFPropertyListRef value = nullptr;  // owned by the caller; NULL on error
    std::string error;                  // what was wrong and where, when value is NULL
};

OldStyleResult parse_old_style(const std::string &text);
