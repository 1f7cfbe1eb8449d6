// What niri's IPC socket answers, read as data: one JSON line a reply,
// `{"Ok": RESPONSE}` or `{"Err": "why"}`. A reply of any other shape is a
// failure that says so, never an exception or a crash.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <Result.h>

namespace hidsystemd_backend {

// The request line for niri's version (a unit request is its JSON string).
inline constexpr std::string_view kNiriVersionRequest = "\"Version\"\n";

// The version text of a reply to it: `{"Ok":{"Version":"25.11 (abc1234)"}}`.
Result<std::string> parse_niri_version_reply(std::string_view reply);

// The release a version text names: niri numbers them YY.MM ("25.08",
// "25.11", "25.05.1"), and a distribution may add words after it.
struct NiriRelease {
    int year = 0;
    int month = 0;
    // niri reads `include "FILE"` at the top of its configuration, and
    // watches the file, from 25.11 on.
    bool includes_files() const { return year > 25 || (year == 25 && month >= 11); }
};
std::optional<NiriRelease> parse_niri_release(std::string_view version);

}  // namespace hidsystemd_backend
