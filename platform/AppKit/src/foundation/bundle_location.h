// Where bundles are: from a file of code up to the bundle that holds it.
#pragma once

#include <string>

// The bundle root for a file at ROOT/Contents/MacOS/NAME; empty otherwise.
std::string ns_bundle_root_of_executable(const std::string &file);
// The file of the loaded library (or program) that holds the address;
// empty when none does.
std::string ns_file_holding_address(const void *address);
// The running program's file.
std::string ns_program_file();
