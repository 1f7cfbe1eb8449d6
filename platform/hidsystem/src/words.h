// Splits a protocol line into its words: exactly one space between words,
// and every word of printable ASCII.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace hidsystem {

class Words {
public:
    explicit Words(std::string_view line) : rest_(line) {}

    // The next word; nullopt at the end or at a malformed word. After a
    // malformed word, malformed() is true.
    std::optional<std::string_view> next();
    // Everything not read yet, unsplit.
    std::string_view rest() const { return rest_; }
    bool at_end() const { return !malformed_ && rest_.empty(); }
    bool malformed() const { return malformed_; }

private:
    std::string_view rest_;
    bool started_ = false;
    bool malformed_ = false;
};

bool is_printable_word(std::string_view word);
std::optional<std::uint64_t> parse_decimal(std::string_view text);
// Exactly eight hex digits.
std::optional<std::uint32_t> parse_hex32(std::string_view text);
// The value of one hex digit, either case; -1 for anything else.
int hex_digit(char c);

}  // namespace hidsystem
