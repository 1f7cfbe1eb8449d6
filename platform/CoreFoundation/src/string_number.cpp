// The numbers a string's text starts with.
#include "string_storage.h"

#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <locale.h>

namespace {

// Whatever the process's locale, numbers read with a '.' decimal point.
locale_t c_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

double CFStringGetDoubleValue(CFStringRef str) {
    const char *text = cf::checked_string(str, "CFStringGetDoubleValue")->utf8.c_str();
    char *end = nullptr;
    locale_t locale = c_locale();
    double value = locale ? strtod_l(text, &end, locale) : strtod(text, &end);
    return end == text ? 0.0 : value;
}

// Leading white space, an optional sign and decimal digits; 0 when there are
// none, INT32_MAX or INT32_MIN when the number does not fit.
SInt32 CFStringGetIntValue(CFStringRef str) {
    const char *text = cf::checked_string(str, "CFStringGetIntValue")->utf8.c_str();
    while (is_space(*text)) ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    int64_t magnitude = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > INT64_C(1) << 31) break;
    }
    int64_t value = negative ? -magnitude : magnitude;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<SInt32>(value);
}
