// What the backends read from a compositor's JSON answers: a text that may
// not be JSON at all, and fields that may hold another type.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace hidsystemd_backend {

using Json = nlohmann::json;

// A discarded value (is_discarded()) when the text is not JSON; never throws.
inline Json parse_json(std::string_view text) { return Json::parse(text.begin(), text.end(), nullptr, false); }

// The field's text, or "" when it is missing or no string.
inline std::string string_field(const Json &object, const char *key) {
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace hidsystemd_backend
