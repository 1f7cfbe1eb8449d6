// Numbers, dates and data in their property-list text forms. Every
// conversion here is independent of the process locale: std::to_chars and
// std::from_chars never consult it.
#include "property_list_codec_internal.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace cfplist::detail {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Days from 1970-01-01 to 2001-01-01, the reference date of CFAbsoluteTime.
constexpr int64_t kReferenceDays = 11323;

bool equals_ignoring_case(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t year_of_era = year - era * 400;
    int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

void civil_from_days(int64_t days, int64_t &year, int64_t &month, int64_t &day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    int64_t day_of_era = days - era * 146097;
    int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    int64_t month_index = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * month_index + 2) / 5 + 1;
    month = month_index < 10 ? month_index + 3 : month_index - 9;
    year = year_of_era + era * 400 + (month <= 2);
}

std::optional<int64_t> fixed_digits(std::string_view text, size_t at, size_t count) {
    if (at + count > text.size()) return std::nullopt;
    int64_t value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64_digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

std::string real_text(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, result.ptr);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::optional<double> parse_real(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    bool negative = !text.empty() && text.front() == '-';
    std::string_view magnitude = negative ? text.substr(1) : text;
    if (equals_ignoring_case(magnitude, "inf") || equals_ignoring_case(magnitude, "infinity")) {
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    if (equals_ignoring_case(magnitude, "nan")) return std::nan("");
    if (magnitude.empty() || magnitude.front() == '+' || magnitude.front() == '-') return std::nullopt;
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    // Out of range: the infinity or zero a reader of text gives, from
    // strtod under a "C" locale object (never the process's locale).
    if (result.ec == std::errc::result_out_of_range && result.ptr == text.data() + text.size()) {
        static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        if (!c_locale) return std::nullopt;
        std::string terminated(text);
        return strtod_l(terminated.c_str(), nullptr, c_locale);
    }
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<SInt64> parse_integer(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
    uint64_t magnitude = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
    if (negative) {
        if (magnitude > uint64_t{1} << 63) return std::nullopt;
        return static_cast<SInt64>(uint64_t{0} - magnitude);  // two's complement, well defined
    }
    return static_cast<SInt64>(magnitude);
}

bool is_storable_date(double at) {
    // Years 1 to 9999, the years the XML form can name.
    static const double earliest = static_cast<double>((days_from_civil(1, 1, 1) - kReferenceDays) * kSecondsPerDay);
    static const double end = static_cast<double>((days_from_civil(10000, 1, 1) - kReferenceDays) * kSecondsPerDay);
    return std::isfinite(at) && at >= earliest && at < end;
}

std::string date_text(double at) {
    auto seconds = static_cast<int64_t>(std::floor(at));
    int64_t days = seconds / kSecondsPerDay - (seconds % kSecondsPerDay < 0);
    int64_t in_day = seconds - days * kSecondsPerDay;
    int64_t year = 0, month = 0, day = 0;
    civil_from_days(days + kReferenceDays, year, month, day);
    char text[160];
    snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
             static_cast<long long>(month), static_cast<long long>(day),
             static_cast<long long>(in_day / 3600), static_cast<long long>(in_day / 60 % 60),
             static_cast<long long>(in_day % 60));
    return text;
}

std::optional<double> parse_date(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':' || text[19] != 'Z') {
        return std::nullopt;
    }
    auto year = fixed_digits(text, 0, 4), month = fixed_digits(text, 5, 2), day = fixed_digits(text, 8, 2);
    auto hour = fixed_digits(text, 11, 2), minute = fixed_digits(text, 14, 2), second = fixed_digits(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
    if (*month < 1 || *month > 12 || *day < 1 || *day > 31 || *hour > 23 || *minute > 59 || *second > 60) {
        return std::nullopt;
    }
    int64_t days = days_from_civil(*year, *month, *day) - kReferenceDays;
    auto at = static_cast<double>(days * kSecondsPerDay + *hour * 3600 + *minute * 60 + *second);
    if (!is_storable_date(at)) return std::nullopt;
    return at;
}

std::string base64_text(std::string_view bytes, std::string_view line_prefix) {
    constexpr size_t kGroupsPerLine = 17;  // 68 characters
    std::string text;
    text.reserve(bytes.size() / 3 * 4 + (bytes.size() / 51 + 1) * (line_prefix.size() + 1) + 4);
    for (size_t at = 0, group = 0; at < bytes.size(); at += 3, ++group) {
        if (group % kGroupsPerLine == 0) text.append(line_prefix);
        uint32_t chunk = static_cast<uint8_t>(bytes[at]) << 16;
        if (at + 1 < bytes.size()) chunk |= static_cast<uint8_t>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) chunk |= static_cast<uint8_t>(bytes[at + 2]);
        text += kBase64Alphabet[chunk >> 18 & 63];
        text += kBase64Alphabet[chunk >> 12 & 63];
        text += at + 1 < bytes.size() ? kBase64Alphabet[chunk >> 6 & 63] : '=';
        text += at + 2 < bytes.size() ? kBase64Alphabet[chunk & 63] : '=';
        if (group % kGroupsPerLine == kGroupsPerLine - 1 || at + 3 >= bytes.size()) text += '\n';
    }
    return text;
}

std::optional<std::string> parse_base64(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() / 4 * 3);
    uint32_t chunk = 0;
    int pending = 0;
    bool ended = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if (c == '=') {
            ended = true;
            continue;
        }
        int digit = base64_digit(c);
        if (digit < 0 || ended) return std::nullopt;
        chunk = chunk << 6 | static_cast<uint32_t>(digit);
        if (++pending == 4) {
            bytes += static_cast<char>(chunk >> 16);
            bytes += static_cast<char>(chunk >> 8 & 0xFF);
            bytes += static_cast<char>(chunk & 0xFF);
            chunk = 0;
            pending = 0;
        }
    }
    if (pending == 1) return std::nullopt;
    if (pending == 2) bytes += static_cast<char>(chunk >> 4);
    if (pending == 3) {
        bytes += static_cast<char>(chunk >> 10);
        bytes += static_cast<char>(chunk >> 2 & 0xFF);
    }
    return bytes;
}

bool is_xml_text(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') return false;
        // U+FFFE and U+FFFF: EF BF BE, EF BF BF.
        if (byte == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE) {
            return false;
        }
    }
    return true;
}

}  // namespace cfplist::detail
