// Reading a property-list file into Core Foundation values.
#pragma once

#include <CFRef.h>
#include <Result.h>

#include <string>

// The parsed file, or why it cannot be read or does not parse.
Result<CFRef<CFPropertyListRef>> ns_read_property_list_file(const std::string &path);
