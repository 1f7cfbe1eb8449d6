#include "value_text.h"

#include <CFText.h>

#include <algorithm>
#include <cstdint>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

bool needs_quotes(const std::string &text) {
    if (text.empty()) return true;
    for (unsigned char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return true;
    return false;
}

// Control characters as octal escapes ("\001", "\000"), which the old-style
// text `defaults write` reads turns back into the same characters.
std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                char escape[8];
                snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(static_cast<unsigned char>(c)));
                out += escape;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// The string's whole text in UTF-8, U+0000 included (a C string would end
// there).
std::string whole_text(CFStringRef string) {
    if (!CFStringContainsNUL(string)) return UTF8FromCFString(string);
    std::string out;
    CFIndex length = CFStringGetLength(string);
    for (CFIndex i = 0; i < length; ++i) {
        uint32_t code = CFStringGetCharacterAtIndex(string, i);
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < length) {
            uint32_t low = CFStringGetCharacterAtIndex(string, i + 1);
            if (low >= 0xdc00 && low < 0xe000) {
                code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                ++i;
            }
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

std::string string_text(const std::string &text) { return needs_quotes(text) ? quoted(text) : text; }

// The shortest text that reads back as the same value; a value that is
// exactly a float is shown as that float (1.1, not 1.100000023841858).
std::string real_text(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    float narrow = static_cast<float>(value);
    bool is_float = std::fabs(value) <= 3.4028234663852886e38 && static_cast<double>(narrow) == value;
    auto result = is_float ? std::to_chars(buffer, buffer + sizeof buffer, narrow)
                           : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string number_text(CFNumberRef number) {
    if (CFNumberIsFloatType(number)) {
        double value = 0;
        CFNumberGetValue(number, kCFNumberDoubleType, &value);
        return real_text(value);
    }
    long long value = 0;
    CFNumberGetValue(number, kCFNumberLongLongType, &value);
    return std::to_string(value);
}

std::string data_text(CFDataRef data) {
    std::string out = "<";
    const UInt8 *bytes = CFDataGetBytePtr(data);
    for (CFIndex i = 0; i < CFDataGetLength(data); ++i) {
        char hex[3];
        snprintf(hex, sizeof hex, "%02x", bytes[i]);
        out += hex;
    }
    return out + ">";
}

std::string date_text(CFDateRef date) {
    double unix_time = CFDateGetAbsoluteTime(date) + kCFAbsoluteTimeIntervalSince1970;
    time_t seconds = static_cast<time_t>(std::floor(unix_time));
    struct tm parts;
    char buffer[40];
    strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S +0000", gmtime_r(&seconds, &parts));
    return buffer;
}

// Indentation stops growing here, so a deeply nested value prints in time
// and text linear in its size (as the codec's XML writer does).
constexpr int kMaxIndent = 32;

void append_pad(std::string &out, int indent) { out.append(static_cast<size_t>(std::min(indent, kMaxIndent)) * 4, ' '); }

void append_value(std::string &out, CFPropertyListRef value, int indent);

// A container opens with its own indentation, even after "key = ": the
// form the platform's command prints, which scripts may rely on.
void append_array(std::string &out, CFArrayRef array, int indent) {
    CFIndex count = CFArrayGetCount(array);
    append_pad(out, indent);
    out += "(\n";
    for (CFIndex i = 0; i < count; ++i) {
        append_pad(out, indent + 1);
        append_value(out, CFArrayGetValueAtIndex(array, i), indent + 1);
        out += i + 1 < count ? ",\n" : "\n";
    }
    append_pad(out, indent);
    out += ")";
}

void append_dictionary(std::string &out, CFDictionaryRef dictionary, int indent) {
    CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    std::vector<std::pair<std::string, const void *>> entries;
    for (size_t i = 0; i < keys.size(); ++i) entries.emplace_back(whole_text(static_cast<CFStringRef>(keys[i])), values[i]);
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    append_pad(out, indent);
    out += "{\n";
    for (const auto &[key, value] : entries) {
        append_pad(out, indent + 1);
        out += string_text(key) + " = ";
        append_value(out, value, indent + 1);
        out += ";\n";
    }
    append_pad(out, indent);
    out += "}";
}

void append_value(std::string &out, CFPropertyListRef value, int indent) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) out += string_text(whole_text(static_cast<CFStringRef>(value)));
    else if (type == CFNumberGetTypeID()) out += number_text(static_cast<CFNumberRef>(value));
    else if (type == CFBooleanGetTypeID()) out += CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "1" : "0";
    else if (type == CFArrayGetTypeID()) append_array(out, static_cast<CFArrayRef>(value), indent);
    else if (type == CFDictionaryGetTypeID()) append_dictionary(out, static_cast<CFDictionaryRef>(value), indent);
    else if (type == CFDataGetTypeID()) out += data_text(static_cast<CFDataRef>(value));
    else if (type == CFDateGetTypeID()) out += quoted(date_text(static_cast<CFDateRef>(value)));
    else out += "?";
}

}  // namespace

std::string value_text(CFPropertyListRef value, int indent) {
    std::string out;
    append_value(out, value, indent);
    return out;
}

std::string value_text_bare(CFPropertyListRef value) {
    if (CFGetTypeID(value) == CFStringGetTypeID()) return whole_text(static_cast<CFStringRef>(value));
    if (CFGetTypeID(value) == CFDateGetTypeID()) return date_text(static_cast<CFDateRef>(value));
    return value_text(value);
}

std::string value_type_name(CFPropertyListRef value) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) return "string";
    if (type == CFNumberGetTypeID())
        return CFNumberIsFloatType(static_cast<CFNumberRef>(value)) ? "float" : "integer";
    if (type == CFBooleanGetTypeID()) return "boolean";
    if (type == CFArrayGetTypeID()) return "array";
    if (type == CFDictionaryGetTypeID()) return "dictionary";
    if (type == CFDataGetTypeID()) return "data";
    if (type == CFDateGetTypeID()) return "date";
    return "unknown";
}
