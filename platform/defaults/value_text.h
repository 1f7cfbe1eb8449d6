// The readable text `defaults` prints for a stored value. Strings are
// quoted and reals always carry a decimal point, so a float, an integer
// and a string never look alike.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

std::string value_text(CFPropertyListRef value, int indent = 0);

// "string", "integer", "real", "boolean", "array", "dictionary", "data", "date".
std::string value_type_name(CFPropertyListRef value);
