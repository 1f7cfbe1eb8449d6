#include "words.h"

#include <limits>

namespace hidsystem {

bool is_printable_word(std::string_view word) {
    if (word.empty()) return false;
    for (char c : word) {
        if (c <= ' ' || c > '~') return false;
    }
    return true;
}

std::optional<std::string_view> Words::next() {
    if (malformed_ || rest_.empty()) return std::nullopt;
    if (started_) {
        // Words after the first are introduced by exactly one space.
        if (rest_.front() != ' ') {
            malformed_ = true;
            return std::nullopt;
        }
        rest_.remove_prefix(1);
    }
    started_ = true;
    std::size_t end = rest_.find(' ');
    std::string_view word = rest_.substr(0, end);
    rest_.remove_prefix(word.size());
    if (!is_printable_word(word)) {
        malformed_ = true;
        return std::nullopt;
    }
    return word;
}

std::optional<std::uint64_t> parse_decimal(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (kMax - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> parse_hex32(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit = hex_digit(c);
        if (digit < 0) return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace hidsystem
