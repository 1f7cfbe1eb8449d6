#include "speeds_in_force.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include <hidsystem/pointer_policy.h>

namespace hidctl {

namespace {

constexpr std::string_view kMouseKey = "HIDMouseAcceleration";
constexpr std::string_view kTrackpadKey = "HIDTrackpadAcceleration";

// What the log tells of one key.
struct KeyHistory {
    bool set = false;                 // the log holds a change of it
    std::optional<double> last_good;  // decoded as the service does, in order
};

struct History {
    bool complete = true;  // the log still holds its first entry
    KeyHistory mouse, trackpad;
};

std::optional<std::int32_t> fixed_in(const hidsystem::ParameterBytes &value) {
    if (value.size != sizeof(std::int32_t)) return std::nullopt;
    std::int32_t fixed = 0;
    std::memcpy(&fixed, value.data.data(), sizeof fixed);
    return fixed;
}

void record(History &history, const hidsystem::LogEntry &entry) {
    KeyHistory *key = entry.key == kMouseKey ? &history.mouse : entry.key == kTrackpadKey ? &history.trackpad : nullptr;
    auto fixed = fixed_in(entry.value);
    if (!key || !fixed) return;
    key->set = true;
    key->last_good = hidsystem::decode_speed(*fixed, key->last_good);
}

// Every entry the log keeps, oldest first, one round trip each.
Result<History> read_history(Session &session) {
    History history;
    for (std::uint64_t next = 0;;) {
        hidsystem::Line request, reply;
        hidsystem::encode_log(request, next);
        auto answer = session.request(request, reply);
        if (!answer) return answer.failure();
        if (!answer->ok) return Failure("log: " + std::string(answer->rest));
        hidsystem::LogEntry entry;
        bool at_end = false;
        if (!hidsystem::parse_log_reply(answer->rest, entry, at_end))
            return Failure("log: the service sent an unknown entry");
        if (at_end) return history;
        if (next == 0 && entry.sequence != 0) history.complete = false;
        record(history, entry);
        next = entry.sequence + 1;
    }
}

// The value of a key now, as the service holds it; nullopt when it has none.
Result<std::optional<std::int32_t>> value_now(Session &session, std::string_view key) {
    hidsystem::Line request, reply;
    hidsystem::encode_get(request, key);
    auto answer = session.request(request, reply);
    if (!answer) return answer.failure();
    hidsystem::ParameterBytes value;
    if (!answer->ok || !hidsystem::parse_hex(answer->rest, value)) return std::optional<std::int32_t>();
    return fixed_in(value);
}

Result<std::optional<std::int32_t>> speed_in_force(Session &session, std::string_view key, const KeyHistory &history,
                                                   bool log_complete) {
    if (!history.set && log_complete) return std::optional<std::int32_t>();
    auto now = value_now(session, key);
    if (!now) return now.failure();
    // A key the log has lost track of was set when it holds anything but
    // the value it starts with.
    bool unset = !history.set && *now == hidsystem::kDefaultAccelerationFixed;
    if (!*now || unset) return std::optional<std::int32_t>();
    std::optional<double> speed = hidsystem::decode_speed(**now, history.last_good);
    if (!speed) return std::optional<std::int32_t>();
    return std::optional<std::int32_t>(static_cast<std::int32_t>(std::lround(*speed * 65536.0)));
}

}  // namespace

Result<hidsystem::SpeedPair> speeds_in_force(Session &session) {
    auto history = read_history(session);
    if (!history) return history.failure();
    auto mouse = speed_in_force(session, kMouseKey, history->mouse, history->complete);
    if (!mouse) return mouse.failure();
    auto trackpad = speed_in_force(session, kTrackpadKey, history->trackpad, history->complete);
    if (!trackpad) return trackpad.failure();
    return hidsystem::SpeedPair{*mouse, *trackpad};
}

}  // namespace hidctl
