// Strings from printf formats.
#include "string_storage.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace {

// The conversion a '%' at format[i] starts, after its flags, width,
// precision, length and argument position; 0 when the format ends first.
char conversion_at(const char *format, size_t &i) {
    ++i;
    while (format[i] && strchr("0123456789$-+ #'*.hlLqjzt", format[i])) ++i;
    return format[i];
}

// True when vsnprintf may be given the format: every conversion is a
// standard one. %@ (an object) is not supported, and %n, which writes
// through a pointer, is refused.
bool is_supported_format(const char *format) {
    for (size_t i = 0; format[i]; ++i) {
        if (format[i] != '%') continue;
        char conversion = conversion_at(format, i);
        if (!conversion || !strchr("diouxXeEfFgGaAcsp%", conversion)) return false;
    }
    return true;
}

// Formats under the "C" locale on this thread for the scope's life, so
// "%.1f" gives "2.5" whatever setlocale the process called.
class CLocaleScope {
public:
    CLocaleScope() {
        static locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
        previous_ = c_locale ? uselocale(c_locale) : static_cast<locale_t>(nullptr);
    }
    ~CLocaleScope() {
        if (previous_) uselocale(previous_);
    }
    CLocaleScope(const CLocaleScope &) = delete;
    CLocaleScope &operator=(const CLocaleScope &) = delete;

private:
    locale_t previous_;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
CFStringRef format_string(const char *format, va_list arguments) noexcept {
    CLocaleScope c_locale;
    va_list measure;
    va_copy(measure, arguments);
    int length = vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length < 0) return nullptr;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
    // A %s argument may bring bytes that are not UTF-8: then there is no string.
    return cf::create_string_from_utf8(text);
}
#pragma GCC diagnostic pop

}  // namespace

CFStringRef CFStringCreateWithFormatAndArguments(CFAllocatorRef, CFTypeRef, CFStringRef format, va_list arguments) {
    const char *text = cf::checked_string(format, "CFStringCreateWithFormatAndArguments")->utf8.c_str();
    if (!is_supported_format(text)) return nullptr;
    return format_string(text, arguments);
}

CFStringRef CFStringCreateWithFormat(CFAllocatorRef allocator, CFTypeRef options, CFStringRef format, ...) {
    cf::checked_string(format, "CFStringCreateWithFormat");
    va_list arguments;
    va_start(arguments, format);
    CFStringRef result = CFStringCreateWithFormatAndArguments(allocator, options, format, arguments);
    va_end(arguments);
    return result;
}
