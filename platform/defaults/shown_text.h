// Text the user typed, as a message shows it: whole when short, else its
// start and its size, so a mistyped megabyte never becomes a megabyte of
// error message.
#pragma once

#include <string>

inline std::string shown_text(const std::string &text) {
    constexpr size_t kLongest = 80;
    if (text.size() <= kLongest) return text;
    size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xc0) == 0x80) --cut;  // not inside a character
    return text.substr(0, cut) + "... (" + std::to_string(text.size()) + " bytes)";
}
