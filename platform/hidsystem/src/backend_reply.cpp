#include <hidsystem/protocol.h>

#include "words.h"

namespace hidsystem {

namespace {

constexpr std::string_view kState = "STATE";
constexpr std::string_view kDevice = "DEVICE";
constexpr std::string_view kEnd = "END";
constexpr std::size_t kMaxTextField = 160;
// Three fields of 160 bytes in hex and a reason of 100 stay within a line.
constexpr std::size_t kMaxReasonField = 100;

Line &text_word(Line &line, std::string_view text, std::size_t limit = kMaxTextField) {
    text = text.substr(0, limit);
    if (text.empty()) return line.word("-");
    return line.hex({reinterpret_cast<const unsigned char *>(text.data()), text.size()});
}

bool parse_text(std::string_view word, std::string &text) {
    text.clear();
    if (word == "-") return true;
    ParameterBytes bytes;
    if (!parse_hex(word, bytes)) return false;
    text.assign(reinterpret_cast<const char *>(bytes.data.data()), bytes.size);
    return true;
}

bool parse_number_word(std::optional<std::string_view> word, std::uint64_t &number) {
    auto value = word ? parse_decimal(*word) : std::nullopt;
    if (!value) return false;
    number = *value;
    return true;
}

bool parse_state(Words &words, BackendState &state) {
    auto kind = words.next();
    auto name = words.next();
    if (!kind || !name) return false;
    state.kind = *kind;
    state.state = *name;
    if (!parse_number_word(words.next(), state.pid) || !parse_number_word(words.next(), state.received) ||
        !parse_number_word(words.next(), state.sent) || !parse_number_word(words.next(), state.applied))
        return false;
    auto display = words.next();
    auto error = words.next();
    if (!display || !error || !parse_text(*display, state.display) || !parse_text(*error, state.error)) return false;
    state.reason.clear();
    if (auto reason = words.next(); reason && !parse_text(*reason, state.reason)) return false;
    return words.at_end();
}

bool parse_device(Words &words, BackendDevice &device) {
    if (!parse_number_word(words.next(), device.id)) return false;
    auto device_class = words.next();
    auto knob = words.next();
    auto value = words.next();
    auto name = words.next();
    if (!device_class || !knob || !value || !name) return false;
    device.device_class = *device_class;
    device.knob = *knob;
    return parse_text(*value, device.value) && parse_text(*name, device.name) && words.at_end();
}

}  // namespace

bool encode_backend_state(Line &line, const BackendState &state) {
    line.word(kProtocolTag).word("OK").word(kState).word(state.kind).word(state.state);
    line.number(state.pid).number(state.received).number(state.sent).number(state.applied);
    text_word(line, state.display);
    text_word(line, state.error);
    text_word(line, state.reason, kMaxReasonField);
    return line.finish();
}

bool encode_backend_device(Line &line, const BackendDevice &device) {
    line.word(kProtocolTag).word("OK").word(kDevice).number(device.id).word(device.device_class).word(device.knob);
    text_word(line, device.value);
    text_word(line, device.name);
    return line.finish();
}

bool parse_backend_reply(std::string_view rest, BackendState &state, BackendDevice &device, bool &is_state,
                         bool &at_end) {
    Words words(rest);
    auto kind = words.next();
    if (!kind) return false;
    at_end = *kind == kEnd;
    is_state = *kind == kState;
    if (at_end) return words.at_end();
    if (is_state) return parse_state(words, state);
    return *kind == kDevice && parse_device(words, device);
}

}  // namespace hidsystem
