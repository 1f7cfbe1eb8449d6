// String helpers for the rest of the value layer.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

namespace cf {

// An immortal string that is not shared with CFSTR: a constant whose
// identity matters (the preference scopes) must not equal, by reference, a
// literal with the same text.
CFStringRef make_immortal_string(const char *utf8);

// The text as UTF-8 bytes, borrowed: valid while the string lives.
const char *string_utf8(CFStringRef string);
// Its length in bytes.
size_t string_utf8_length(CFStringRef string);

}  // namespace cf
