#include <hidsystem/protocol.h>

#include "words.h"

namespace hidsystem {

namespace {

constexpr std::string_view kOk = "OK";
constexpr std::string_view kError = "ERR";
constexpr std::string_view kEntry = "ENTRY";
constexpr std::string_view kEnd = "END";

// "S.UUUUUU" into seconds and microseconds.
bool parse_time(std::string_view text, LogEntry &entry) {
    std::size_t dot = text.find('.');
    if (dot == std::string_view::npos || text.size() - dot - 1 != 6) return false;
    auto seconds = parse_decimal(text.substr(0, dot));
    auto micros = parse_decimal(text.substr(dot + 1));
    if (!seconds || !micros || *seconds > static_cast<std::uint64_t>(INT64_MAX)) return false;
    entry.seconds = static_cast<std::int64_t>(*seconds);
    entry.microseconds = static_cast<std::int32_t>(*micros);
    return true;
}

}  // namespace

bool encode_ok(Line &line, std::string_view words) {
    line.word(kProtocolTag).word(kOk);
    if (!words.empty()) line.word(words);
    return line.finish();
}

bool encode_ok_value(Line &line, std::span<const unsigned char> value) {
    return line.word(kProtocolTag).word(kOk).hex(value).finish();
}

bool encode_error(Line &line, std::int32_t code, std::string_view reason) {
    return line.word(kProtocolTag).word(kError).code(code).word(reason).finish();
}

bool encode_log_entry(Line &line, const LogEntry &entry) {
    return line.word(kProtocolTag)
        .word(kOk)
        .word(kEntry)
        .number(entry.sequence)
        .time(entry.seconds, entry.microseconds)
        .word(entry.key)
        .hex(entry.value.bytes())
        .finish();
}

bool encode_log_end(Line &line) { return encode_ok(line, kEnd); }

std::optional<Reply> parse_reply(std::string_view line) {
    Words words(line);
    auto tag = words.next();
    auto status = words.next();
    if (!tag || *tag != kProtocolTag || !status) return std::nullopt;
    Reply reply;
    if (*status == kOk) {
        reply.ok = true;
        reply.rest = words.rest().empty() ? words.rest() : words.rest().substr(1);
        return reply;
    }
    if (*status != kError) return std::nullopt;
    auto code = words.next();
    auto value = code ? parse_hex32(*code) : std::nullopt;
    if (!value || *value == 0) return std::nullopt;
    reply.code = static_cast<std::int32_t>(*value);
    reply.rest = words.rest().empty() ? words.rest() : words.rest().substr(1);
    return reply;
}

bool parse_log_reply(std::string_view rest, LogEntry &entry, bool &at_end) {
    Words words(rest);
    auto kind = words.next();
    if (!kind) return false;
    if (*kind == kEnd) {
        at_end = true;
        return words.at_end();
    }
    at_end = false;
    if (*kind != kEntry) return false;
    auto sequence_word = words.next();
    auto time_word = words.next();
    auto key_word = words.next();
    auto value_word = words.next();
    if (!sequence_word || !time_word || !key_word || !value_word || !words.at_end()) return false;
    auto sequence = parse_decimal(*sequence_word);
    if (!sequence || !parse_time(*time_word, entry) || !is_valid_key(*key_word) ||
        !parse_hex(*value_word, entry.value))
        return false;
    entry.sequence = *sequence;
    entry.key = *key_word;
    return true;
}

}  // namespace hidsystem
