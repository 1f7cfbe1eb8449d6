#include "value_parse.h"

#include "old_style.h"
#include "shown_text.h"

#include <CFText.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <strings.h>

namespace {

ParsedValue failure(const std::string &why) { return ParsedValue{nullptr, why}; }
ParsedValue success(CFPropertyListRef value) { return ParsedValue{value, {}}; }

CFPropertyListRef make_string(const std::string &text) { return CFStringFromUTF8(text).release(); }

// from_chars reads numbers the same way in every locale.
ParsedValue parse_integer(const std::string &text) {
    long long value = 0;
    const char *begin = text.c_str() + (text.starts_with('+') ? 1 : 0);
    auto [end, error] = std::from_chars(begin, text.c_str() + text.size(), value);
    if (error == std::errc::result_out_of_range) return failure("integer out of range: " + text);
    if (text.empty() || error != std::errc() || end != text.c_str() + text.size())
        return failure("not an integer: " + text);
    return success(CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &value));
}

// A real that is no number (nan), infinite, or beyond the type's range is
// refused: stored, it would show as "nan" or "inf" wherever it is used.
template <typename Real>
ParsedValue parse_real(const std::string &text, CFNumberType type, const char *type_name) {
    double value = 0;
    const char *begin = text.c_str() + (text.starts_with('+') ? 1 : 0);
    auto [end, error] = std::from_chars(begin, text.c_str() + text.size(), value);
    if (text.empty() || (error != std::errc() && error != std::errc::result_out_of_range) ||
        end != text.c_str() + text.size())
        return failure("not a number: " + text);
    if (std::isnan(value)) return failure(std::string("not a number (nan is refused for a ") + type_name + "): " + text);
    if (error == std::errc::result_out_of_range && std::fabs(value) > 1) value = HUGE_VAL;
    if (std::isinf(value) || std::fabs(value) > std::numeric_limits<Real>::max())
        return failure(std::string("out of range for a ") + type_name + ": " + text);
    Real narrow = static_cast<Real>(value);
    return success(CFNumberCreate(kCFAllocatorDefault, type, &narrow));
}

ParsedValue parse_boolean(const std::string &text) {
    for (const char *yes : {"true", "yes", "1"})
        if (strcasecmp(text.c_str(), yes) == 0) return success(CFRetain(kCFBooleanTrue));
    for (const char *no : {"false", "no", "0"})
        if (strcasecmp(text.c_str(), no) == 0) return success(CFRetain(kCFBooleanFalse));
    return failure("not a boolean (YES, NO, true, false, 1, 0): " + text);
}

// "2024-05-01 12:30:00 +0000", "2024-05-01T12:30:00Z", or "2024-05-01".
ParsedValue parse_date(const std::string &text) {
    struct tm parts = {};
    int used = 0;
    char sign = '+';
    unsigned zone = 0;
    bool ok = false;
    const char *s = text.c_str();
    if (sscanf(s, "%4d-%2d-%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &used) == 3 && s[used] == '\0') {
        ok = true;
    } else if (sscanf(s, "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday, &parts.tm_hour,
                      &parts.tm_min, &parts.tm_sec, &used) == 6 && s[used] == '\0') {
        ok = true;
    } else if (sscanf(s, "%4d-%2d-%2d %2d:%2d:%2d %c%4u%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                      &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &sign, &zone, &used) == 8 &&
               s[used] == '\0' && (sign == '+' || sign == '-')) {
        ok = true;
    }
    if (!ok || parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 || parts.tm_mday > 31 ||
        parts.tm_hour > 23 || parts.tm_min > 59 || parts.tm_sec > 60 || zone % 100 > 59)
        return failure("not a date (YYYY-MM-DD HH:MM:SS +ZZZZ, YYYY-MM-DDTHH:MM:SSZ or YYYY-MM-DD): " + text);
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    long offset = static_cast<long>(zone / 100 * 3600 + zone % 100 * 60) * (sign == '-' ? -1 : 1);
    double unix_time = static_cast<double>(timegm(&parts) - offset);
    return success(CFDateCreate(kCFAllocatorDefault, unix_time - kCFAbsoluteTimeIntervalSince1970));
}

ParsedValue parse_data(const std::string &text) {
    std::string digits = text;
    if (digits.starts_with('<') && digits.ends_with('>')) digits = digits.substr(1, digits.size() - 2);
    auto parsed = parse_old_style("<" + digits + ">");
    if (!parsed) return failure("not hex data (pairs of hex digits): " + text);
    return success(parsed->release());
}

// A plain value: old-style text or XML when it parses as one, else text.
// Text that opens like a container or data but does not parse is refused
// rather than stored as a string the user did not mean.
ParsedValue parse_plain(const std::string &text) {
    if (text.starts_with("<?xml") || text.starts_with("<plist")) {
        auto data = CFRef<CFDataRef>::adopt(CFDataCreate(
            kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(text.data()), static_cast<CFIndex>(text.size())));
        CFPropertyListRef value = CFPropertyListCreateWithData(kCFAllocatorDefault, data.get(), 0, nullptr, nullptr);
        if (!value) return failure("could not parse the XML property list: " + shown_text(text));
        return success(value);
    }
    auto parsed = parse_old_style(text);
    if (parsed) return success(parsed->release());
    size_t first = text.find_first_not_of(" \t\n");
    if (first != std::string::npos && std::string("({<\"'").find(text[first]) != std::string::npos)
        return failure("could not parse " + shown_text(text) + " as property-list text: " + parsed.message() +
                       " (quote the whole value for the shell, or use -string)");
    return success(make_string(text));
}

bool is_scalar_flag(const std::string &word) {
    for (const char *flag : {"-string", "-int", "-integer", "-float", "-double", "-bool", "-boolean", "-date", "-data"})
        if (word == flag) return true;
    return false;
}

ParsedValue parse_scalar(const std::string &flag, const std::string &text) {
    if (flag == "-string") return success(make_string(text));
    if (flag == "-int" || flag == "-integer") return parse_integer(text);
    if (flag == "-float") return parse_real<float>(text, kCFNumberFloatType, "float");
    if (flag == "-double") return parse_real<double>(text, kCFNumberDoubleType, "double");
    if (flag == "-date") return parse_date(text);
    if (flag == "-data") return parse_data(text);
    return parse_boolean(text);
}

// One item at words[i]: a type flag and its value, or a plain value.
ParsedValue parse_item(const std::vector<std::string> &words, size_t &i) {
    if (is_scalar_flag(words[i])) {
        if (i + 1 == words.size()) return failure("missing value after " + words[i]);
        i += 2;
        return parse_scalar(words[i - 2], words[i - 1]);
    }
    return parse_plain(words[i++]);
}

ParsedValue parse_array(const std::vector<std::string> &items) {
    auto array = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    for (size_t i = 0; i < items.size();) {
        ParsedValue item = parse_item(items, i);
        if (!item.value) return item;
        auto held = CFRef<CFPropertyListRef>::adopt(item.value);
        CFArrayAppendValue(array.get(), held.get());
    }
    return success(array.release());
}

ParsedValue parse_dictionary(const std::vector<std::string> &words) {
    auto dictionary = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    for (size_t i = 0; i < words.size();) {
        auto key = CFRef<CFStringRef>::adopt(static_cast<CFStringRef>(make_string(words[i])));
        if (!key) return failure("not a valid key: " + words[i]);
        if (++i == words.size()) return failure("the key " + words[i - 1] + " has no value");
        ParsedValue value = parse_item(words, i);
        if (!value.value) return value;
        auto held = CFRef<CFPropertyListRef>::adopt(value.value);
        CFDictionarySetValue(dictionary.get(), key.get(), held.get());
    }
    return success(dictionary.release());
}

ParsedValue with_kind(ParsedValue parsed, WriteKind kind) {
    parsed.kind = kind;
    return parsed;
}

}  // namespace

ParsedValue parse_value(const std::vector<std::string> &words) {
    if (words.empty()) return failure("missing value");
    const std::string &first = words[0];
    std::vector<std::string> rest(words.begin() + 1, words.end());
    if (first == "-array") return parse_array(rest);
    if (first == "-array-add") return with_kind(parse_array(rest), WriteKind::ArrayAdd);
    if (first == "-dict") return parse_dictionary(rest);
    if (first == "-dict-add") return with_kind(parse_dictionary(rest), WriteKind::DictAdd);
    if (is_scalar_flag(first)) {
        if (words.size() != 2) return failure("expected one value after " + first);
        return parse_scalar(first, words[1]);
    }
    if (words.size() != 1) return failure("expected one value (quote text with spaces)");
    return parse_plain(first);
}
