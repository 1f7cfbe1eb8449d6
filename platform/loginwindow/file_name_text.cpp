#include "file_name_text.h"

#include <CFText.h>

namespace loginwindow {

std::optional<std::string> file_name_text(CFStringRef string) {
    if (CFStringContainsNUL(string)) return std::nullopt;
    std::string text = UTF8FromCFString(string);
    // Empty text from a string that is not empty: it has no UTF-8 form.
    if (text.empty() && CFStringGetLength(string) > 0) return std::nullopt;
    return text;
}

}  // namespace loginwindow
