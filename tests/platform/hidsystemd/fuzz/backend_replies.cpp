#include "backend_replies.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <hidsystem/backend_channel.h>

#include "i3_ipc.h"
#include "kconfig_file.h"
#include "sway_replies.h"

namespace hidsystem_test {

namespace {

void require(bool holds, const char *what) {
    if (holds) return;
    std::fprintf(stderr, "backend replies: %s\n", what);
    std::abort();
}

void sway_replies(std::string_view text) {
    if (auto inputs = hidsystemd_backend::parse_sway_inputs(text))
        for (const auto &input : *inputs) require(!input.speed || input.speed == input.speed, "a NaN speed");
    [[maybe_unused]] Status accepted = hidsystemd_backend::parse_sway_command_reply(text);
    hidsystemd_backend::parse_sway_subscribe_reply(text);
    hidsystemd_backend::is_sway_reload_event(hidsystemd_backend::kWorkspaceEvent, text);
}

// What parses is encoded into a message that parses again, and encoding
// is stable from then on (the encoder cleans fields a peer may have sent
// with tabs or NULs in them, so the first encoding may differ from the
// input).
void channel_messages(std::string_view text) {
    if (auto apply = hidsystem::parse_apply(text)) {
        auto again = hidsystem::parse_apply(hidsystem::encode_apply(*apply));
        require(again && again->sequence == apply->sequence && again->speeds == apply->speeds, "APPLY round trip");
    }
    if (auto report = hidsystem::parse_report(text)) {
        std::string encoded = hidsystem::encode_report(*report);
        auto again = hidsystem::parse_report(encoded);
        require(again && again->applied_sequence == report->applied_sequence &&
                    again->last_done() == report->last_done(),
                "REPORT does not parse again");
        require(hidsystem::encode_report(*again) == encoded, "REPORT encoding is not stable");
    }
}

// A file read and written back unchanged is the same bytes; a key set is
// read back, and only that line differs.
void ini_file(std::string_view text) {
    hidsystemd_backend::KConfigText file{std::string(text)};
    require(file.text() == text, "an INI file changed by reading it");
    file.set("Mouse", "XLbInptPointerAcceleration", "0.5");
    require(file.value("Mouse", "XLbInptPointerAcceleration") == "0.5", "a key set is not read back");
    file.remove("Mouse", "XLbInptPointerAcceleration");
    require(!file.value("Mouse", "XLbInptPointerAcceleration"), "a key removed is still there");
}

}  // namespace

void exercise_backend_replies(const std::uint8_t *data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    sway_replies(text);
    channel_messages(text);
    ini_file(text);
}

}  // namespace hidsystem_test
