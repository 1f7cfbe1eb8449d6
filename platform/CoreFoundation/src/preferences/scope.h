// Where a preference domain lives: one file per (domain, user, host).
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>

namespace cfprefs {

// The file that holds the domain in that scope, or nothing when the
// domain name, user or host is not one the service knows. A domain name
// is used as a file name, so one that could leave the directory ("/",
// "..", a leading ".", control characters) is refused.
std::optional<std::string> domain_file_path(CFStringRef domain, CFStringRef user, CFStringRef host);

// The directory of the domain files of that user and host, or nothing when
// either is not one the service knows.
std::optional<std::string> domain_directory(CFStringRef user, CFStringRef host);

// A stable name for this machine, used in its per-host file names: its
// machine id, else its host name.
std::string host_identifier();

}  // namespace cfprefs
