// What `defaults` finds in a domain's file itself: to explain a failure in
// words the user can act on (the store reads an unreadable or unparsable
// file as an empty domain), and to read a domain named by its path, which
// `defaults` reads and writes without the store (writing through FileIO).
#pragma once

#include <CFRef.h>
#include <CoreFoundation/CoreFoundation.h>
#include <Result.h>

#include <set>
#include <string>

// Bytes of a domain file or an import: the property-list codec's own limit.
constexpr size_t kLargestPropertyList = size_t{64} << 20;

enum class FileState { Missing, PropertyList, Unreadable, TooLarge, NotPropertyList };

struct FileLook {
    FileState state = FileState::Missing;
    int error = 0;         // errno, when Unreadable
    std::string reason;    // why, when Unreadable or TooLarge ("too large: more than 64 MiB")
    CFRef<CFDictionaryRef> values;  // the top-level dictionary, when PropertyList
    CFIndex omitted = 0;   // top-level entries beyond the property-list limits, left out of values
    mode_t permissions = 0;  // of the file, when it was read
};

// Reads the file (through a symbolic link to its target, as the store
// does) and parses it as the store reads a domain: a top level that is not
// a dictionary is not a property list of preferences, and an entry nested
// beyond the limits is left out and counted, the rest still read.
FileLook look_at_file(const std::string &path);

// One line telling how many entries were left out, for omitted > 0.
std::string omitted_note(const std::string &label, const std::string &path, CFIndex omitted);

// The names of the files in path's directory that the store made when it
// kept a broken file aside ("NAME.corrupt-...").
std::set<std::string> kept_aside_copies(const std::string &path);

std::string directory_of(const std::string &path);
