// Typed values from the command line: `-string TEXT`, `-int N`,
// `-float X`, `-double X`, `-bool B`, `-array ITEM...` (an item is text,
// or a type flag and its value), or plain text.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <vector>

struct ParsedValue {
    CFPropertyListRef value = nullptr;  // owned by the caller; NULL on error
    std::string error;                  // why, when value is NULL
};

ParsedValue parse_value(const std::vector<std::string> &words);
