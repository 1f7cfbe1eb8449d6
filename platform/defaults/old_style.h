// Old-style property-list text, the form users type after `defaults write`:
//   "quoted string", unquoted_string, (item, item), {key = value; ...}, <0fa3>
// Everything but data is text: `(1,2)` is an array of two strings.
//
// Containers nest at most kOldStyleMaxDepth deep, as deep as a property
// list may (the parser recurses once per level, so the bound is also what
// keeps it within its stack, whatever the text).
#pragma once

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>
#include <Result.h>

#include <string>

constexpr int kOldStyleMaxDepth = 512;

// The value, owned; or what was wrong and where ("expected ';' after a
// dictionary value at offset 12").
Result<CFRef<CFPropertyListRef>> parse_old_style(const std::string &text);
