// Byte encodings to and from UTF-16 text.
#include "string_encoding.h"

namespace cf {
namespace {

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void append_code_point(std::u16string &out, char32_t code_point) {
    if (code_point < 0x10000) {
        out.push_back(static_cast<char16_t>(code_point));
    } else {
        code_point -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
    }
}

// The length of the sequence a lead byte starts and the range its second
// byte must fall in, which is what rules out overlong forms, surrogates
// and code points beyond U+10FFFF. Length 0: not a lead byte.
struct LeadByte {
    int length;
    unsigned char second_low;
    unsigned char second_high;
};

LeadByte classify_lead(unsigned char byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
    if (byte == 0xE0) return {3, 0xA0, 0xBF};
    if (byte == 0xED) return {3, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
    if (byte == 0xF0) return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
    if (byte == 0xF4) return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

std::u16string decode_single_bytes(std::string_view bytes, UniChar (*map)(unsigned char)) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char byte : bytes) out.push_back(map(static_cast<unsigned char>(byte)));
    return out;
}

UniChar latin1_to_unicode(unsigned char byte) { return byte; }

}  // namespace

bool is_supported_encoding(CFStringEncoding encoding) noexcept {
    return encoding == kCFStringEncodingUTF8 || encoding == kCFStringEncodingASCII ||
           encoding == kCFStringEncodingISOLatin1 || encoding == kCFStringEncodingMacRoman;
}

std::optional<std::u16string> decode_utf8(std::string_view bytes) noexcept {
    std::u16string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        LeadByte kind = classify_lead(lead);
        if (kind.length == 0 || bytes.size() - i < static_cast<size_t>(kind.length)) {
            return std::nullopt;
        }
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < kind.second_low || second > kind.second_high) return std::nullopt;
        char32_t code_point = lead & (0xFF >> (kind.length + 1));
        for (int k = 1; k < kind.length; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            if (!is_continuation(next)) return std::nullopt;
            code_point = (code_point << 6) | (next & 0x3F);
        }
        append_code_point(out, code_point);
        i += kind.length;
    }
    return out;
}

std::optional<std::u16string> decode_bytes(std::string_view bytes,
                                           CFStringEncoding encoding) noexcept {
    switch (encoding) {
        case kCFStringEncodingUTF8:
            return decode_utf8(bytes);
        case kCFStringEncodingASCII:
            for (char byte : bytes) {
                if (static_cast<unsigned char>(byte) > 0x7F) return std::nullopt;
            }
            return decode_single_bytes(bytes, latin1_to_unicode);
        case kCFStringEncodingISOLatin1:
            return decode_single_bytes(bytes, latin1_to_unicode);
        case kCFStringEncodingMacRoman:
            return decode_single_bytes(bytes, mac_roman_to_unicode);
        default:
            return std::nullopt;
    }
}

std::string encode_utf8(std::u16string_view text) noexcept {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::optional<std::string> encode_bytes(std::u16string_view text,
                                        CFStringEncoding encoding) noexcept {
    if (encoding == kCFStringEncodingUTF8) return encode_utf8(text);
    if (!is_supported_encoding(encoding)) return std::nullopt;
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        int byte = -1;
        if (encoding == kCFStringEncodingASCII) {
            byte = c < 0x80 ? c : -1;
        } else if (encoding == kCFStringEncodingISOLatin1) {
            byte = c < 0x100 ? c : -1;
        } else {
            byte = unicode_to_mac_roman(c);
        }
        if (byte < 0) return std::nullopt;
        out.push_back(static_cast<char>(byte));
    }
    return out;
}

}  // namespace cf
