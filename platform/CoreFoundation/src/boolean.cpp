// CFBoolean: the two immortal booleans, a type of their own (not numbers).
#include "runtime.h"

#include "string_internal.h"

struct __CFBoolean : cf::RuntimeBase {
    constexpr explicit __CFBoolean(Boolean is_true)
        : RuntimeBase(cf::kBooleanTypeID, true), value(is_true) {}
    const Boolean value;
};

namespace {

constinit __CFBoolean g_true(true);
constinit __CFBoolean g_false(false);

// The two booleans are the only values of the type, so identity decides.
Boolean boolean_equal(CFTypeRef, CFTypeRef) { return false; }

CFHashCode boolean_hash(CFTypeRef value) {
    return static_cast<const __CFBoolean *>(value)->value ? 1 : 0;
}

CFStringRef boolean_copy_description(CFTypeRef value) {
    return static_cast<const __CFBoolean *>(value)->value ? CFSTR("true") : CFSTR("false");
}

}  // namespace

const cf::RuntimeClass cf::kBooleanClass = {
    "CFBoolean", nullptr, boolean_equal, boolean_hash, boolean_copy_description,
};

const CFBooleanRef kCFBooleanTrue = &g_true;
const CFBooleanRef kCFBooleanFalse = &g_false;

CFTypeID CFBooleanGetTypeID(void) { return cf::kBooleanTypeID; }

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    return cf::checked<__CFBoolean>(boolean, cf::kBooleanTypeID, "CFBooleanGetValue")->value;
}
