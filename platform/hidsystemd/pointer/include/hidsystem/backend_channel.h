// What the event service and its desktop backend process say to each other
// over their socket pair (SOCK_SEQPACKET: one message a datagram, text).
//
// service -> backend  "APPLY SEQ MOUSE TRACKPAD": the speeds to apply, each
//                     decoded and clamped, as 16.16 fixed point, or "-" for
//                     a speed no client has set (that class stays untouched).
// backend -> service  a report: "REPORT SEQ" (the last APPLY done, all of
//                     it written), or "REPORT SEQ DONE" when a later APPLY,
//                     DONE, is done but the desktop refused some of it (a
//                     locked key, say); then one line each for state,
//                     display and last error, then one line per device,
//                     fields separated by tabs:
//                     id, class, knob, value last applied, name.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <hidsystem/pointer_policy.h>

namespace hidsystem {

inline constexpr std::size_t kMaxChannelMessage = 16384;
inline constexpr std::size_t kMaxReportedDevices = 64;
inline constexpr std::size_t kMaxReportField = 200;

// How a backend process says why it ended, besides its last report: it
// could not reach its desktop, or lost it after reaching it. The service
// then keeps trying, so that a compositor or bus that comes back gets the
// values again.
inline constexpr int kBackendExitNoDesktop = 3;
inline constexpr int kBackendExitDesktopLost = 4;

struct SpeedPair {
    std::optional<std::int32_t> mouse;     // 16.16, decoded and clamped
    std::optional<std::int32_t> trackpad;
    bool operator==(const SpeedPair &) const = default;

    // The 16.16 speed for a class of device, and the same as a factor;
    // nullopt while no client has set one.
    const std::optional<std::int32_t> &fixed_for(PointerClass kind) const {
        return kind == PointerClass::Touchpad ? trackpad : mouse;
    }
    std::optional<double> speed_for(PointerClass kind) const {
        const auto &fixed = fixed_for(kind);
        return fixed ? std::optional<double>(*fixed / 65536.0) : std::nullopt;
    }
};

struct ApplyMessage {
    std::uint64_t sequence = 0;
    SpeedPair speeds;
};

std::string encode_apply(const ApplyMessage &message);
std::optional<ApplyMessage> parse_apply(std::string_view text);

struct ReportedDevice {
    int id = 0;
    std::string device_class;  // "mouse" or "touchpad"
    std::string knob;          // "PtrFeedback", "libinput", "none"
    std::string value;         // what was last applied, or "-"
    std::string name;
};

struct BackendReport {
    std::uint64_t applied_sequence = 0;  // the last APPLY written in full: what counts as applied
    // The last APPLY done, when the desktop refused some of it or of one
    // before it since applied_sequence; the service paces its sends by it.
    std::optional<std::uint64_t> done_sequence;
    std::uint64_t last_done() const { return std::max(applied_sequence, done_sequence.value_or(0)); }
    std::string state;  // "connected", "failed", ...
    std::string display;
    std::string error;  // empty: none
    std::vector<ReportedDevice> devices;
};

// Fields are cut to kMaxReportField bytes, tabs and line ends replaced, and
// at most kMaxReportedDevices devices kept, as many as fit a message.
std::string encode_report(const BackendReport &report);
std::optional<BackendReport> parse_report(std::string_view text);

}  // namespace hidsystem
