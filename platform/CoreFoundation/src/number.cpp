// CFNumber: an integer or real of a fixed width, compared by value.
#include "number_conversion.h"
#include "runtime.h"
#include "string_storage.h"

#include <charconv>

struct __CFNumber : cf::RuntimeBase {
    __CFNumber(CFNumberType stored_type, cf::NumberValue stored_value) noexcept
        : RuntimeBase(cf::kNumberTypeID), type(stored_type), value(stored_value) {}

    const CFNumberType type;  // canonical: SInt8..SInt64, Float32, Float64
    const cf::NumberValue value;
};

namespace {

const __CFNumber *checked_number(CFNumberRef number, const char *function) {
    return cf::checked<__CFNumber>(number, cf::kNumberTypeID, function);
}

const __CFNumber *as_number(CFTypeRef value) { return static_cast<const __CFNumber *>(value); }

Boolean number_equal(CFTypeRef a, CFTypeRef b) {
    return cf::compare_number_values(as_number(a)->value, as_number(b)->value) == 0;
}

CFHashCode number_hash(CFTypeRef value) { return cf::hash_number_value(as_number(value)->value); }

// Integers in decimal; reals in the shortest text that reads back as the
// same value of their own width.
CFStringRef number_copy_description(CFTypeRef value) {
    const __CFNumber *number = as_number(value);
    char text[64];
    std::to_chars_result end{};
    if (!number->value.is_real) {
        end = std::to_chars(text, text + sizeof text, number->value.integer);
    } else if (number->type == kCFNumberFloat32Type) {
        end = std::to_chars(text, text + sizeof text, static_cast<float>(number->value.real));
    } else {
        end = std::to_chars(text, text + sizeof text, number->value.real);
    }
    return cf::create_string_from_utf8(std::string_view(text, static_cast<size_t>(end.ptr - text)));
}

}  // namespace

const cf::RuntimeClass cf::kNumberClass = {
    "CFNumber", cf::destroy_value<__CFNumber>, number_equal, number_hash, number_copy_description,
};

CFTypeID CFNumberGetTypeID(void) { return cf::kNumberTypeID; }

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void *valuePtr) {
    CFNumberType stored = cf::canonical_number_type(theType);
    if (!stored) return nullptr;
    if (!valuePtr) cf::fatal("CFNumberCreate", "NULL value pointer");
    return cf::create_value<__CFNumber>(stored, cf::read_number_value(stored, valuePtr));
}

CFNumberType CFNumberGetType(CFNumberRef number) {
    return checked_number(number, "CFNumberGetType")->type;
}

CFIndex CFNumberGetByteSize(CFNumberRef number) {
    switch (checked_number(number, "CFNumberGetByteSize")->type) {
        case kCFNumberSInt8Type: return 1;
        case kCFNumberSInt16Type: return 2;
        case kCFNumberSInt32Type:
        case kCFNumberFloat32Type: return 4;
        default: return 8;
    }
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
    return checked_number(number, "CFNumberIsFloatType")->value.is_real;
}

// An unknown type writes nothing and reports false.
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void *valuePtr) {
    const __CFNumber *self = checked_number(number, "CFNumberGetValue");
    CFNumberType target = cf::canonical_number_type(theType);
    if (!target) return false;
    if (!valuePtr) cf::fatal("CFNumberGetValue", "NULL value pointer");
    return cf::write_number_value(self->value, target, valuePtr);
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void *) {
    const __CFNumber *first = checked_number(number, "CFNumberCompare");
    const __CFNumber *second = checked_number(otherNumber, "CFNumberCompare");
    int order = cf::compare_number_values(first->value, second->value);
    return order < 0 ? kCFCompareLessThan : (order > 0 ? kCFCompareGreaterThan : kCFCompareEqualTo);
}
