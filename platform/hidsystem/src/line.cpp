#include <hidsystem/protocol.h>

#include <algorithm>
#include <cstring>

#include "words.h"

namespace hidsystem {

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";
}

bool ParameterBytes::assign(std::span<const unsigned char> source) {
    if (source.size() > data.size()) return false;
    std::copy(source.begin(), source.end(), data.begin());
    size = source.size();
    return true;
}

bool parse_hex(std::string_view text, ParameterBytes &bytes) {
    if (text.empty() || text.size() % 2 != 0 || text.size() / 2 > bytes.data.size()) return false;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int high = hex_digit(text[i]);
        int low = hex_digit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.data[i / 2] = static_cast<unsigned char>(high << 4 | low);
    }
    bytes.size = text.size() / 2;
    return true;
}

void Line::append(std::string_view text) {
    // One byte always stays free for the LF that finish() adds.
    if (overflowed_ || text.size() >= buffer_.size() - length_) {
        overflowed_ = true;
        return;
    }
    std::memcpy(buffer_.data() + length_, text.data(), text.size());
    length_ += text.size();
}

Line &Line::word(std::string_view text) {
    if (length_ > 0) append(" ");
    append(text);
    return *this;
}

Line &Line::hex(std::span<const unsigned char> bytes) {
    if (length_ > 0) append(" ");
    for (unsigned char byte : bytes) {
        const char pair[2] = {kHexDigits[byte >> 4], kHexDigits[byte & 0xf]};
        append({pair, 2});
    }
    return *this;
}

Line &Line::number(std::uint64_t value) {
    char digits[20];
    std::size_t count = 0;
    do {
        digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return word({digits + sizeof digits - count, count});
}

Line &Line::code(std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    char digits[8];
    for (int i = 7; i >= 0; --i) {
        digits[i] = kHexDigits[bits & 0xf];
        bits >>= 4;
    }
    return word({digits, sizeof digits});
}

Line &Line::time(std::int64_t seconds, std::int32_t microseconds) {
    number(static_cast<std::uint64_t>(std::max<std::int64_t>(seconds, 0)));
    char fraction[7] = {'.'};
    auto micros = static_cast<std::uint32_t>(std::clamp(microseconds, 0, 999999));
    for (int i = 6; i >= 1; --i) {
        fraction[i] = static_cast<char>('0' + micros % 10);
        micros /= 10;
    }
    append({fraction, sizeof fraction});
    return *this;
}

bool Line::finish() {
    if (overflowed_ || length_ >= buffer_.size()) {
        overflowed_ = true;
        return false;
    }
    buffer_[length_++] = '\n';
    return true;
}

}  // namespace hidsystem
