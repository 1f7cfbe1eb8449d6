// The string value: its text held twice, as UTF-8 (for direct pointers and
// the file formats) and as UTF-16 (lengths, indexes and ordering are in
// UTF-16 code units). The text is always well-formed Unicode.
#pragma once

#include "runtime.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

struct __CFString : cf::RuntimeBase {
    __CFString(std::string utf8_text, std::u16string utf16_text) noexcept;

    const std::string utf8;
    const std::u16string utf16;
    // Every character is ASCII, so the UTF-8 bytes are also the text in
    // ASCII, Latin-1 and Mac Roman.
    const bool ascii;
    // What the property-list writers found out about the text, kept so a
    // string written again (a long list rewritten for one change) is not
    // scanned again; 0 until first asked. The text never changes, so any
    // thread may set it, and all would set the same.
    mutable std::atomic<std::uint8_t> text_marks{0};
};

namespace cf {

const __CFString *checked_string(CFStringRef string, const char *function);

// New strings, owned by the caller; NULL when the allocation fails.
CFStringRef create_string(std::string utf8, std::u16string utf16) noexcept;
CFStringRef create_string_from_utf16(std::u16string_view text) noexcept;
// Also NULL when the bytes are not valid UTF-8.
CFStringRef create_string_from_utf8(std::string_view bytes) noexcept;

}  // namespace cf
