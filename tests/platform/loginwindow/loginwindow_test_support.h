// Building login items lists and applications for the login window's tests.
#pragma once

#include <CFText.h>
#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <string>
#include <vector>

namespace loginwindow_test {

// {Path: path, Hide: hidden}.
CFRef<CFDictionaryRef> record(const std::string &path, bool hidden);
// Any dictionary, for records that are not the login window's kind.
CFRef<CFDictionaryRef> dictionary(const std::vector<std::pair<const char *, CFTypeRef>> &entries);

// Stores the value under the list's key for the current user, as the
// programs that edit the list do; NULL removes it.
void store_value(CFPropertyListRef value);
// Stores an array of the records.
void store_list(const std::vector<CFRef<CFTypeRef>> &records);
std::string list_file();

// A shell script with the given mode.
void write_script(const std::string &path, const std::string &body, int mode = 0755);
// A script that writes how it was started (arguments, pid, session,
// working directory, hint, descriptors) into the file `record_path`.
std::string recorder_script(const std::string &record_path);
// DIR/NAME with Contents/Info.plist holding `info_entries` (the XML inside
// the top dictionary) and an empty Contents/MacOS; returns its path.
std::string make_bundle(const std::string &dir, const std::string &name, const std::string &info_entries);
// Info.plist entries naming the bundle's executable.
std::string info_naming(const std::string &executable);

// The "KEY=VALUE" lines of a recorder's file.
std::map<std::string, std::string> read_record(const std::string &path);
// The login window's lines about list item `index`.
std::vector<std::string> lines_about(const std::string &err, size_t index);
// The pid in "..., pid N, ..."; -1 when there is none.
long pid_in(const std::string &line);

}  // namespace loginwindow_test
