#include "niri_replies.h"

#include <charconv>

#include "json_fields.h"

namespace hidsystemd_backend {

namespace {

// Shown in a failure: a short, printable piece of what came.
std::string excerpt(std::string_view text) {
    std::string shown;
    for (char c : text.substr(0, 40)) shown += (c >= ' ' && c < 0x7f) ? c : '?';
    return text.size() > 40 ? shown + "..." : shown;
}

std::optional<int> leading_number(std::string_view &text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || value < 0) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

}  // namespace

Result<std::string> parse_niri_version_reply(std::string_view reply) {
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.remove_suffix(1);
    if (reply.empty()) return Failure("niri closed its socket without answering");
    Json answer = parse_json(reply);
    if (answer.is_object() && answer.size() == 1) {
        auto error = answer.find("Err");
        if (error != answer.end())
            return Failure("niri refused the request" + (error->is_string() ? ": " + excerpt(error->get<std::string>()) : ""));
        auto ok = answer.find("Ok");
        if (ok != answer.end() && ok->is_object()) {
            auto version = ok->find("Version");
            if (version != ok->end() && version->is_string() && !version->get<std::string>().empty())
                return version->get<std::string>();
        }
    }
    return Failure("niri's socket answered no version: " + excerpt(reply));
}

std::optional<NiriRelease> parse_niri_release(std::string_view version) {
    if (version.empty() || version.front() < '0' || version.front() > '9') return std::nullopt;
    auto year = leading_number(version);
    if (!year || version.empty() || version.front() != '.') return std::nullopt;
    version.remove_prefix(1);
    auto month = leading_number(version);
    if (!month) return std::nullopt;
    return NiriRelease{*year, *month};
}

}  // namespace hidsystemd_backend
