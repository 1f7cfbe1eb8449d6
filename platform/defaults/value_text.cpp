#include "value_text.h"

#include <CFText.h>

#include <algorithm>
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

std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out + "\"";
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

std::string pad(int indent) { return std::string(static_cast<size_t>(indent) * 4, ' '); }

// A container opens with its own indentation, even after "key = ": the
// form the platform's command prints, which scripts may rely on.
std::string array_text(CFArrayRef array, int indent) {
    CFIndex count = CFArrayGetCount(array);
    if (count == 0) return pad(indent) + "(\n" + pad(indent) + ")";
    std::string out = pad(indent) + "(\n";
    for (CFIndex i = 0; i < count; ++i) {
        out += pad(indent + 1) + value_text(CFArrayGetValueAtIndex(array, i), indent + 1);
        out += i + 1 < count ? ",\n" : "\n";
    }
    return out + pad(indent) + ")";
}

std::string dictionary_text(CFDictionaryRef dictionary, int indent) {
    CFIndex count = CFDictionaryGetCount(dictionary);
    std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
    CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
    std::vector<std::pair<std::string, const void *>> entries;
    for (size_t i = 0; i < keys.size(); ++i) entries.emplace_back(UTF8FromCFString(static_cast<CFStringRef>(keys[i])), values[i]);
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    std::string out = pad(indent) + "{\n";
    for (const auto &[key, value] : entries)
        out += pad(indent + 1) + string_text(key) + " = " + value_text(value, indent + 1) + ";\n";
    return out + pad(indent) + "}";
}

}  // namespace

std::string value_text(CFPropertyListRef value, int indent) {
    CFTypeID type = CFGetTypeID(value);
    if (type == CFStringGetTypeID()) return string_text(UTF8FromCFString(static_cast<CFStringRef>(value)));
    if (type == CFNumberGetTypeID()) return number_text(static_cast<CFNumberRef>(value));
    if (type == CFBooleanGetTypeID()) return CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? "1" : "0";
    if (type == CFArrayGetTypeID()) return array_text(static_cast<CFArrayRef>(value), indent);
    if (type == CFDictionaryGetTypeID()) return dictionary_text(static_cast<CFDictionaryRef>(value), indent);
    if (type == CFDataGetTypeID()) return data_text(static_cast<CFDataRef>(value));
    if (type == CFDateGetTypeID()) return quoted(date_text(static_cast<CFDateRef>(value)));
    return "?";
}

std::string value_text_bare(CFPropertyListRef value) {
    if (CFGetTypeID(value) == CFStringGetTypeID()) return UTF8FromCFString(static_cast<CFStringRef>(value));
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
