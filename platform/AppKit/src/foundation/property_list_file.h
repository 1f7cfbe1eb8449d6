// Reading a property-list file into Core Foundation values.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

// The parsed file, owned by the caller; NULL with *error set when the file
// cannot be read or does not parse.
CFPropertyListRef ns_copy_property_list_file(const std::string &path, std::string *error);
