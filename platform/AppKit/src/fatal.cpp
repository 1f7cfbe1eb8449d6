#include "fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void ns_fatal(const char *format, ...) {
    std::fputs("AppKit: ", stderr);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
    std::fputc('\n', stderr);
    std::fflush(stderr);
    std::abort();
}
