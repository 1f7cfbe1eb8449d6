#include "foundation/text_scanning.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

const char *skipSpace(const char *text) {
    while (*text && isSpace(*text)) ++text;
    return text;
}

// The length of the decimal number at text (no sign), 0 when there is none.
size_t decimalLength(const char *text, bool *negativeExponent) {
    size_t at = 0;
    size_t digits = 0;
    while (isDigit(text[at])) ++at, ++digits;
    if (text[at] == '.') {
        ++at;
        while (isDigit(text[at])) ++at, ++digits;
    }
    if (digits == 0) return 0;
    if (text[at] == 'e' || text[at] == 'E') {
        size_t exponent = at + 1;
        bool negative = false;
        if (text[exponent] == '+' || text[exponent] == '-') negative = text[exponent++] == '-';
        if (isDigit(text[exponent])) {
            while (isDigit(text[exponent])) ++exponent;
            *negativeExponent = negative;
            at = exponent;
        }
    }
    return at;
}

template <typename T>
std::string shortest(T value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace

double ns_leading_decimal(const char *text) {
    if (!text) return 0;
    text = skipSpace(text);
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    bool negativeExponent = false;
    size_t length = decimalLength(text, &negativeExponent);
    if (length == 0) return 0;
    double value = 0;
    auto result = std::from_chars(text, text + length, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range)
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}

long ns_leading_integer(const char *text) {
    if (!text) return 0;
    text = skipSpace(text);
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    // Accumulate toward the negative side, which holds one more value.
    long value = 0;
    const long lowest = std::numeric_limits<long>::min();
    for (; isDigit(*text); ++text) {
        int digit = *text - '0';
        if (value < (lowest + digit) / 10) {
            value = lowest;
            break;
        }
        value = value * 10 - digit;
    }
    if (negative) return value;
    return value == lowest ? std::numeric_limits<long>::max() : -value;
}

bool ns_leading_bool(const char *text) {
    if (!text) return false;
    text = skipSpace(text);
    if (*text == '+' || *text == '-') ++text;
    while (*text == '0') ++text;
    char c = *text;
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string ns_shortest_text(double value) { return shortest(value); }
std::string ns_shortest_text(float value) { return shortest(value); }
