#include "foundation/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

__attribute__((format(printf, 1, 0))) void printLine(const char *format, va_list arguments) {
    std::fputs("AppKit: ", stderr);
    std::vfprintf(stderr, format, arguments);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace

void ns_fatal(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    printLine(format, arguments);
    va_end(arguments);
    std::abort();
}

void ns_warn(const char *format, ...) {
    va_list arguments;
    va_start(arguments, format);
    printLine(format, arguments);
    va_end(arguments);
}
