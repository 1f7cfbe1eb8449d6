#include "value_parse.h"

#include <CFRef.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <strings.h>

namespace {

ParsedValue failure(const std::string &why) { return ParsedValue{nullptr, why}; }

CFPropertyListRef make_string(const std::string &text) {
    return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

ParsedValue parse_integer(const std::string &text) {
    errno = 0;
    char *end = nullptr;
    long long value = strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno == ERANGE) return failure("not an integer: " + text);
    return ParsedValue{CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &value), {}};
}

ParsedValue parse_float(const std::string &text) {
    char *end = nullptr;
    float value = strtof(text.c_str(), &end);
    if (text.empty() || *end) return failure("not a number: " + text);
    return ParsedValue{CFNumberCreate(kCFAllocatorDefault, kCFNumberFloatType, &value), {}};
}

ParsedValue parse_double(const std::string &text) {
    char *end = nullptr;
    double value = strtod(text.c_str(), &end);
    if (text.empty() || *end) return failure("not a number: " + text);
    return ParsedValue{CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, &value), {}};
}

ParsedValue parse_boolean(const std::string &text) {
    for (const char *yes : {"true", "yes", "1"})
        if (strcasecmp(text.c_str(), yes) == 0) return ParsedValue{CFRetain(kCFBooleanTrue), {}};
    for (const char *no : {"false", "no", "0"})
        if (strcasecmp(text.c_str(), no) == 0) return ParsedValue{CFRetain(kCFBooleanFalse), {}};
    return failure("not a boolean (true, false, yes, no, 1, 0): " + text);
}

bool is_scalar_flag(const std::string &word) {
    for (const char *flag : {"-string", "-int", "-integer", "-float", "-double", "-bool", "-boolean"})
        if (word == flag) return true;
    return false;
}

ParsedValue parse_scalar(const std::string &flag, const std::string &text) {
    if (flag == "-string") return ParsedValue{make_string(text), {}};
    if (flag == "-int" || flag == "-integer") return parse_integer(text);
    if (flag == "-float") return parse_float(text);
    if (flag == "-double") return parse_double(text);
    return parse_boolean(text);
}

ParsedValue parse_array(const std::vector<std::string> &items) {
    auto array = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    for (size_t i = 0; i < items.size(); ++i) {
        ParsedValue item;
        if (is_scalar_flag(items[i])) {
            if (i + 1 == items.size()) return failure("missing value after " + items[i]);
            item = parse_scalar(items[i], items[i + 1]);
            ++i;
        } else {
            item = ParsedValue{make_string(items[i]), {}};
        }
        if (!item.value) return item;
        auto held = CFRef<CFPropertyListRef>::adopt(item.value);
        CFArrayAppendValue(array.get(), held.get());
    }
    return ParsedValue{array.release(), {}};
}

}  // namespace

ParsedValue parse_value(const std::vector<std::string> &words) {
    if (words.empty()) return failure("missing value");
    const std::string &first = words[0];
    if (first == "-array") return parse_array({words.begin() + 1, words.end()});
    if (is_scalar_flag(first)) {
        if (words.size() != 2) return failure("expected one value after " + first);
        return parse_scalar(first, words[1]);
    }
    if (words.size() != 1) return failure("expected one value (quote text with spaces)");
    return ParsedValue{make_string(first), {}};
}
