// Loud failure for misuse, and the type checks every type's functions make.
#include "runtime.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace cf {

void fatal(const char *function, const char *format, ...) {
    // One line, written at once, so it is not interleaved with other output.
    char message[512];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    fprintf(stderr, "CoreFoundation: %s: %s\n", function, message);
    fflush(stderr);
    abort();
}

const char *type_name(CFTypeID type_id) {
    const RuntimeClass *type_class = class_of(type_id);
    return type_class ? type_class->name : "unknown type";
}

const RuntimeBase *checked_base(CFTypeRef value, CFTypeID type_id, const char *function) {
    if (!value) fatal(function, "NULL %s", type_name(type_id));
    const auto *base = static_cast<const RuntimeBase *>(value);
    if (base->type_id != type_id) {
        fatal(function, "expected a %s, got a %s (%p)", type_name(type_id),
              type_name(base->type_id), value);
    }
    return base;
}

}  // namespace cf
