// CFText: UTF-8 text to a Core Foundation string and back, the one pair of
// conversions every program and framework here uses. Header-only and written
// against the framework's public calls, so it works on the real platform too.
#pragma once

#include "CFRef.h"

#include <cstring>
#include <string>
#include <string_view>

// A new string holding the text, or NULL when the text is not valid UTF-8.
// The text ends at its first NUL, as a C string does.
inline CFRef<CFStringRef> CFStringFromUTF8(std::string_view text) {
    std::string terminated(text);
    return CFRef<CFStringRef>::adopt(
        CFStringCreateWithCString(kCFAllocatorDefault, terminated.c_str(), kCFStringEncodingUTF8));
}

// The string's text as UTF-8; empty for NULL. A NUL inside the string ends
// the text there: callers that must not lose the rest check with
// CFStringContainsNUL first.
inline std::string UTF8FromCFString(CFStringRef string) {
    if (!string) return {};
    if (const char *direct = CFStringGetCStringPtr(string, kCFStringEncodingUTF8)) return direct;
    CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    std::string buffer(static_cast<size_t>(size), '\0');
    if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8)) return {};
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

// Whether the string holds U+0000, which a C string cannot carry.
inline bool CFStringContainsNUL(CFStringRef string) {
    CFIndex length = string ? CFStringGetLength(string) : 0;
    for (CFIndex i = 0; i < length; ++i)
        if (CFStringGetCharacterAtIndex(string, i) == 0) return true;
    return false;
}
