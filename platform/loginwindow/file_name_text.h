// A Core Foundation string as a file name.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>

namespace loginwindow {

// The UTF-8 text, or nullopt when it cannot name a file: a NUL inside
// would cut the name short and name something else.
std::optional<std::string> file_name_text(CFStringRef string);

}  // namespace loginwindow
