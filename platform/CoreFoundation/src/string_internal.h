// String helpers for the rest of the value layer.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <string>

// An immortal string that is not shared with CFSTR: a constant whose
// identity matters (the preference scopes) must not equal, by reference, a
// literal with the same text.
CFStringRef _CFStringMakeImmortal(const char *utf8);

// The text as UTF-8 bytes, borrowed: valid while the string lives.
const char *_CFStringGetUTF8(CFStringRef string);
// Its length in bytes.
size_t _CFStringGetUTF8Length(CFStringRef string);
