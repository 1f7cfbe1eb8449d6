#include "parameter_key.h"

#include <cstring>

namespace iokit {

std::optional<std::string_view> parameter_key(CFStringRef key, KeyBuffer &buffer) {
    if (!key) return std::nullopt;
    const char *text = CFStringGetCStringPtr(key, kCFStringEncodingUTF8);
    if (!text) {
        if (!CFStringGetCString(key, buffer.data(), static_cast<CFIndex>(buffer.size()), kCFStringEncodingUTF8))
            return std::nullopt;
        text = buffer.data();
    }
    std::string_view view(text, strnlen(text, buffer.size()));
    if (!hidsystem::is_valid_key(view)) return std::nullopt;
    return view;
}

}  // namespace iokit
