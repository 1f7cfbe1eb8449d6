#include <hidsystem/protocol.h>

#include <cstring>

#include "words.h"

namespace hidsystem {

namespace {

std::span<const unsigned char> bytes_of(const double &value) {
    return {reinterpret_cast<const unsigned char *>(&value), sizeof value};
}

Line &start_request(Line &line, std::string_view verb) { return line.word(kProtocolTag).word(verb); }

std::optional<Verb> verb_named(std::string_view name) {
    if (name == "HELLO") return Verb::Hello;
    if (name == "ACCEL") return Verb::Accel;
    if (name == "SET") return Verb::Set;
    if (name == "GET") return Verb::Get;
    if (name == "LOG") return Verb::Log;
    if (name == "BACKEND") return Verb::Backend;
    return std::nullopt;
}

// Reads the arguments each verb takes; the words must end exactly there.
bool parse_arguments(Words &words, Request &request) {
    switch (request.verb) {
    case Verb::Hello:
        break;
    case Verb::Accel: {
        auto value = words.next();
        if (!value || !parse_hex(*value, request.value)) return false;
        break;
    }
    case Verb::Set: {
        auto key = words.next();
        auto value = words.next();
        if (!key || !is_valid_key(*key) || !value || !parse_hex(*value, request.value)) return false;
        request.key = *key;
        break;
    }
    case Verb::Get: {
        auto key = words.next();
        if (!key || !is_valid_key(*key)) return false;
        request.key = *key;
        break;
    }
    case Verb::Log:
    case Verb::Backend: {
        auto from = words.next();
        auto number = from ? parse_decimal(*from) : std::nullopt;
        if (!number) return false;
        request.log_from = *number;
        break;
    }
    }
    return words.at_end();
}

}  // namespace

bool is_valid_key(std::string_view key) { return key.size() <= kMaxKeyLength && is_printable_word(key); }

bool encode_hello(Line &line) { return start_request(line, "HELLO").finish(); }

bool encode_accel(Line &line, double acceleration) {
    return start_request(line, "ACCEL").hex(bytes_of(acceleration)).finish();
}

bool encode_set(Line &line, std::string_view key, std::span<const unsigned char> value) {
    if (!is_valid_key(key) || value.empty() || value.size() > kMaxParameterSize) return false;
    return start_request(line, "SET").word(key).hex(value).finish();
}

bool encode_get(Line &line, std::string_view key) {
    if (!is_valid_key(key)) return false;
    return start_request(line, "GET").word(key).finish();
}

bool encode_log(Line &line, std::uint64_t from) { return start_request(line, "LOG").number(from).finish(); }

bool encode_backend(Line &line, std::uint64_t item) { return start_request(line, "BACKEND").number(item).finish(); }

RequestError parse_request(std::string_view line, Request &request) {
    Words words(line);
    auto tag = words.next();
    if (!tag) return RequestError::Malformed;
    if (*tag != kProtocolTag) {
        // Another version of this protocol is told so; anything else is noise.
        bool other_version = tag->starts_with(kProtocolTag.substr(0, kProtocolTag.find('/') + 1));
        return other_version ? RequestError::BadVersion : RequestError::Malformed;
    }
    auto verb_word = words.next();
    if (!verb_word) return RequestError::Malformed;
    auto verb = verb_named(*verb_word);
    if (!verb) return RequestError::UnknownVerb;
    request = Request{};
    request.verb = *verb;
    return parse_arguments(words, request) ? RequestError::None : RequestError::Malformed;
}

}  // namespace hidsystem
