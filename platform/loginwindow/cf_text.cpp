#include "cf_text.h"

#include <cstring>

namespace loginwindow {

std::optional<std::string> file_name_text(CFStringRef string) {
    CFIndex length = CFStringGetLength(string);
    for (CFIndex i = 0; i < length; ++i)
        if (CFStringGetCharacterAtIndex(string, i) == 0) return std::nullopt;
    CFIndex size = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
    std::string buffer(static_cast<size_t>(size), '\0');
    if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8)) return std::nullopt;
    buffer.resize(std::strlen(buffer.c_str()));
    return buffer;
}

}  // namespace loginwindow
