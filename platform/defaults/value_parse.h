// Typed values from the command line after `write DOMAIN KEY`:
//   -string TEXT, -int|-integer N, -float X, -double X,
//   -bool|-boolean YES|NO|true|false|1|0, -date DATE, -data HEX,
//   -array ITEM..., -array-add ITEM..., -dict KEY VALUE..., -dict-add KEY VALUE...,
// or one plain value, read as old-style property-list text (or XML) when
// it is one, else as a string. An ITEM or dictionary VALUE is a type flag
// and its value, or a plain value.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>
#include <vector>

enum class WriteKind { Replace, ArrayAdd, DictAdd };

struct ParsedValue {
    CFPropertyListRef value = nullptr;  // owned by the caller; NULL on error
    std::string error;                  // why, when value is NULL
    WriteKind kind = WriteKind::Replace;
};

ParsedValue parse_value(const std::vector<std::string> &words);
