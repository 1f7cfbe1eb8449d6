// Conversions between UTF-16 text and the byte encodings strings support:
// UTF-8, ASCII, ISO Latin 1 and Mac OS Roman.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <optional>
#include <string>
#include <string_view>

namespace cf {

bool is_supported_encoding(CFStringEncoding encoding) noexcept;

// The text of the bytes; nullopt when they are not valid in the encoding
// (UTF-8: malformed, overlong, surrogate or beyond U+10FFFF; ASCII: a byte
// above 127) or the encoding is not supported.
std::optional<std::u16string> decode_bytes(std::string_view bytes,
                                           CFStringEncoding encoding) noexcept;
std::optional<std::u16string> decode_utf8(std::string_view bytes) noexcept;

// The bytes of well-formed text; nullopt when a character has no byte
// sequence in the encoding or the encoding is not supported.
std::optional<std::string> encode_bytes(std::u16string_view text,
                                        CFStringEncoding encoding) noexcept;
std::string encode_utf8(std::u16string_view text) noexcept;

// Mac OS Roman: the character of a byte, and the byte of a character (-1
// when it has none).
UniChar mac_roman_to_unicode(unsigned char byte) noexcept;
int unicode_to_mac_roman(UniChar character) noexcept;

}  // namespace cf
