#include <hidsystem/error_text.h>

#include <cstdarg>
#include <cstdio>

namespace hidsystem {

void ErrorText::set(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text_.data(), text_.size(), format, arguments);
    va_end(arguments);
}

}  // namespace hidsystem
