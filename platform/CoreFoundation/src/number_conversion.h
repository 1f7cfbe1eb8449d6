// Exact comparison and conversion of number values across types, with no
// undefined behaviour: no real is ever cast to an integer type or to float
// outside that type's range.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

namespace cf {

// A number's value: an integer or a real (a Float32 number holds its float
// exactly in the double).
struct NumberValue {
    bool is_real;
    SInt64 integer;
    double real;
};

// The stored width of a declared type (kCFNumberIntType -> SInt32, ...), or
// 0 for a type that is not one.
CFNumberType canonical_number_type(CFNumberType type);

// The value at valuePtr read as type (a canonical one).
NumberValue read_number_value(CFNumberType type, const void *valuePtr);

// Writes the value as type (a canonical one) at out: the nearest value the
// type holds, integers saturating and NaN giving 0. True when exact.
bool write_number_value(const NumberValue &value, CFNumberType type, void *out);

// -1, 0 or 1, by value across kinds. NaN equals NaN and orders below every
// other number, so that ordering and equality stay consistent.
int compare_number_values(const NumberValue &a, const NumberValue &b);

// Equal values hash equal, whatever their kind: integral reals hash as the
// integer.
CFHashCode hash_number_value(const NumberValue &value);

}  // namespace cf
