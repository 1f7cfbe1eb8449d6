// Number values across types: reading, writing with exactness, comparing
// and hashing.
#include "number_conversion.h"

#include "runtime.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace cf {
namespace {

static_assert(sizeof(long) == 8 && sizeof(long long) == 8 && sizeof(int) == 4 &&
                  sizeof(short) == 2 && sizeof(CFIndex) == 8,
              "the number types' widths are those of a 64-bit platform");

constexpr double kTwoTo63 = 9223372036854775808.0;

// Compares an integer with a real that is not NaN, exactly.
int compare_integer_with_real(SInt64 integer, double real) {
    if (real >= kTwoTo63) return -1;
    if (real < -kTwoTo63) return 1;
    double whole = std::trunc(real);  // now within SInt64's range
    auto whole_integer = static_cast<SInt64>(whole);
    if (integer != whole_integer) return integer < whole_integer ? -1 : 1;
    if (real == whole) return 0;
    return real > whole ? -1 : 1;
}

template <typename Int>
bool integer_to_integer(SInt64 value, void *out) {
    constexpr SInt64 low = std::numeric_limits<Int>::min();
    constexpr SInt64 high = std::numeric_limits<Int>::max();
    Int result = static_cast<Int>(value < low ? low : (value > high ? high : value));
    memcpy(out, &result, sizeof result);
    return value >= low && value <= high;
}

template <typename Int>
bool real_to_integer(double value, void *out) {
    // 2 to the power of the type's value bits: the first real too large.
    const double limit = std::ldexp(1.0, std::numeric_limits<Int>::digits);
    Int result = 0;
    bool exact = false;
    if (std::isnan(value)) {
        result = 0;
    } else if (value >= limit) {
        result = std::numeric_limits<Int>::max();
    } else if (value < -limit) {
        result = std::numeric_limits<Int>::min();
    } else {
        double whole = std::trunc(value);
        result = static_cast<Int>(whole);
        exact = whole == value;
    }
    memcpy(out, &result, sizeof result);
    return exact;
}

bool real_to_float(double value, void *out) {
    float result = 0;
    bool exact = true;
    if (std::isnan(value)) {
        result = std::numeric_limits<float>::quiet_NaN();
    } else if (std::isinf(value)) {
        result = value > 0 ? std::numeric_limits<float>::infinity()
                           : -std::numeric_limits<float>::infinity();
    } else if (value > FLT_MAX || value < -FLT_MAX) {
        result = value > 0 ? FLT_MAX : -FLT_MAX;
        exact = false;
    } else {
        result = static_cast<float>(value);
        exact = static_cast<double>(result) == value;
    }
    memcpy(out, &result, sizeof result);
    return exact;
}

bool integer_to_real(SInt64 value, CFNumberType type, void *out) {
    if (type == kCFNumberFloat32Type) {
        auto result = static_cast<float>(value);
        memcpy(out, &result, sizeof result);
        return compare_integer_with_real(value, result) == 0;
    }
    auto result = static_cast<double>(value);
    memcpy(out, &result, sizeof result);
    return compare_integer_with_real(value, result) == 0;
}

bool write_integer(SInt64 value, CFNumberType type, void *out) {
    switch (type) {
        case kCFNumberSInt8Type: return integer_to_integer<SInt8>(value, out);
        case kCFNumberSInt16Type: return integer_to_integer<SInt16>(value, out);
        case kCFNumberSInt32Type: return integer_to_integer<SInt32>(value, out);
        case kCFNumberSInt64Type: return integer_to_integer<SInt64>(value, out);
        default: return integer_to_real(value, type, out);
    }
}

bool write_real(double value, CFNumberType type, void *out) {
    switch (type) {
        case kCFNumberSInt8Type: return real_to_integer<SInt8>(value, out);
        case kCFNumberSInt16Type: return real_to_integer<SInt16>(value, out);
        case kCFNumberSInt32Type: return real_to_integer<SInt32>(value, out);
        case kCFNumberSInt64Type: return real_to_integer<SInt64>(value, out);
        case kCFNumberFloat32Type: return real_to_float(value, out);
        default: memcpy(out, &value, sizeof value); return true;
    }
}

template <typename T>
T read_as(const void *valuePtr) {
    T value;
    memcpy(&value, valuePtr, sizeof value);
    return value;
}

}  // namespace

CFNumberType canonical_number_type(CFNumberType type) {
    switch (type) {
        case kCFNumberSInt8Type:
        case kCFNumberCharType: return kCFNumberSInt8Type;
        case kCFNumberSInt16Type:
        case kCFNumberShortType: return kCFNumberSInt16Type;
        case kCFNumberSInt32Type:
        case kCFNumberIntType: return kCFNumberSInt32Type;
        case kCFNumberSInt64Type:
        case kCFNumberLongType:
        case kCFNumberLongLongType:
        case kCFNumberCFIndexType:
        case kCFNumberNSIntegerType: return kCFNumberSInt64Type;
        case kCFNumberFloat32Type:
        case kCFNumberFloatType: return kCFNumberFloat32Type;
        case kCFNumberFloat64Type:
        case kCFNumberDoubleType:
        case kCFNumberCGFloatType: return kCFNumberFloat64Type;
        default: return static_cast<CFNumberType>(0);
    }
}

NumberValue read_number_value(CFNumberType type, const void *valuePtr) {
    switch (type) {
        case kCFNumberSInt8Type: return {false, read_as<SInt8>(valuePtr), 0};
        case kCFNumberSInt16Type: return {false, read_as<SInt16>(valuePtr), 0};
        case kCFNumberSInt32Type: return {false, read_as<SInt32>(valuePtr), 0};
        case kCFNumberSInt64Type: return {false, read_as<SInt64>(valuePtr), 0};
        case kCFNumberFloat32Type: return {true, 0, read_as<Float32>(valuePtr)};
        default: return {true, 0, read_as<Float64>(valuePtr)};
    }
}

bool write_number_value(const NumberValue &value, CFNumberType type, void *out) {
    return value.is_real ? write_real(value.real, type, out) : write_integer(value.integer, type, out);
}

int compare_number_values(const NumberValue &a, const NumberValue &b) {
    if (!a.is_real && !b.is_real) {
        return a.integer < b.integer ? -1 : (a.integer > b.integer ? 1 : 0);
    }
    bool a_nan = a.is_real && std::isnan(a.real);
    bool b_nan = b.is_real && std::isnan(b.real);
    if (a_nan || b_nan) return a_nan == b_nan ? 0 : (a_nan ? -1 : 1);
    if (a.is_real && b.is_real) return a.real < b.real ? -1 : (a.real > b.real ? 1 : 0);
    if (!a.is_real) return compare_integer_with_real(a.integer, b.real);
    return -compare_integer_with_real(b.integer, a.real);
}

CFHashCode hash_number_value(const NumberValue &value) {
    if (!value.is_real) return mix_hash(static_cast<uint64_t>(value.integer));
    double real = value.real;
    if (std::isnan(real)) return mix_hash(0x7FF8000000000000ULL);
    if (real >= -kTwoTo63 && real < kTwoTo63 && real == std::trunc(real)) {
        return mix_hash(static_cast<uint64_t>(static_cast<SInt64>(real)));
    }
    uint64_t bits;
    memcpy(&bits, &real, sizeof bits);
    return mix_hash(bits);
}

}  // namespace cf
