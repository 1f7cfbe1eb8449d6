// String helpers for the rest of the value layer.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
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
// Marks the property-list writers keep on a string's text (0: none yet).
std::uint8_t string_text_marks(CFStringRef string);
void set_string_text_marks(CFStringRef string, std::uint8_t marks);

}  // namespace cf
