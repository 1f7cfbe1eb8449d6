// What `defaults` finds in a domain's file itself, to explain a failure in
// words the user can act on: the store reads an unreadable or unparsable
// file as an empty domain, and a refused write only as "false".
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <set>
#include <string>

enum class FileState { Missing, PropertyList, Unreadable, NotPropertyList };

struct FileLook {
    FileState state = FileState::Missing;
    int error = 0;                  // errno, when Unreadable
    CFPropertyListRef value = nullptr;  // the parsed top level, owned by the caller, when PropertyList
};

// Reads and parses the file; a top level that is not a dictionary counts
// as not a property list of preferences.
FileLook look_at_file(const std::string &path);

// errno explaining why a file could not be written at path (creating its
// directory, making a file in it), or 0 when nothing visible explains it.
int why_not_writable(const std::string &path);

// mkdir -p; false with errno set when a part cannot be made.
bool make_directories(const std::string &dir);

// Writes bytes beside path, flushes and renames over path; errno on failure.
bool replace_file(const std::string &path, const std::string &bytes);

// The names of the files in path's directory that the store made when it
// kept a broken file aside ("NAME.corrupt-...").
std::set<std::string> kept_aside_copies(const std::string &path);

std::string directory_of(const std::string &path);
