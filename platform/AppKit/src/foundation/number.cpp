// NSNumber over CFNumber and CFBoolean.
#include <Foundation/NSString.h>
#include <Foundation/NSValue.h>

#include <CFRef.h>

#include <cmath>
#include <limits>

#include "foundation/autoreleased.h"
#include "foundation/text_scanning.h"

NS_REGISTER_CLASS(NSNumber, NSObject)
NS_SELECTORS(NSNumber, "floatValue", "doubleValue", "intValue", "integerValue", "boolValue",
             "stringValue", "copyWithZone:")

namespace {

bool isNumberOrBoolean(CFTypeRef value) {
    return value && (CFGetTypeID(value) == CFNumberGetTypeID() ||
                     CFGetTypeID(value) == CFBooleanGetTypeID());
}

// The number in the C type asked for (Core Foundation converts it); a
// boolean as 1 or 0.
template <typename T>
T numberAs(const NSNumber *number, CFNumberType type) {
    if (!number->cfNumber()) return static_cast<T>(number->doubleValue());
    T value = 0;
    CFNumberGetValue(number->cfNumber(), type, &value);
    return value;
}

}  // namespace

NSNumber *NSNumber::initWithCFType(CFTypeRef number) {
    return holdValue(isNumberOrBoolean(number) ? number : nullptr) ? this : nil;
}

NSNumber *NSNumber::initWithFloat(float value) {
    CFRef<CFNumberRef> number = CFRef<CFNumberRef>::adopt(
        CFNumberCreate(kCFAllocatorDefault, kCFNumberFloatType, &value));
    return initWithCFType(number.get());
}

NSNumber *NSNumber::initWithDouble(double value) {
    CFRef<CFNumberRef> number = CFRef<CFNumberRef>::adopt(
        CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, &value));
    return initWithCFType(number.get());
}

NSNumber *NSNumber::initWithInteger(NSInteger value) {
    CFRef<CFNumberRef> number = CFRef<CFNumberRef>::adopt(
        CFNumberCreate(kCFAllocatorDefault, kCFNumberLongType, &value));
    return initWithCFType(number.get());
}

NSNumber *NSNumber::initWithBool(BOOL value) {
    return initWithCFType(value ? kCFBooleanTrue : kCFBooleanFalse);
}

NSNumber *NSNumber::numberWithFloat(float value) { return autoreleased(alloc()->initWithFloat(value)); }
NSNumber *NSNumber::numberWithDouble(double value) {
    return autoreleased(alloc()->initWithDouble(value));
}
NSNumber *NSNumber::numberWithInt(int value) { return autoreleased(alloc()->initWithInteger(value)); }
NSNumber *NSNumber::numberWithInteger(NSInteger value) {
    return autoreleased(alloc()->initWithInteger(value));
}
NSNumber *NSNumber::numberWithBool(BOOL value) { return autoreleased(alloc()->initWithBool(value)); }
NSNumber *NSNumber::numberWithCFType(CFTypeRef number) {
    return autoreleased(alloc()->initWithCFType(number));
}

BOOL NSNumber::isBoolean() const { return cfValue() && CFGetTypeID(cfValue()) == CFBooleanGetTypeID(); }

CFNumberRef NSNumber::cfNumber() const {
    return cfValue() && !isBoolean() ? static_cast<CFNumberRef>(cfValue()) : nullptr;
}

double NSNumber::doubleValue() const {
    if (!cfValue()) return 0;
    if (isBoolean()) return CFBooleanGetValue(static_cast<CFBooleanRef>(cfValue())) ? 1 : 0;
    double value = 0;
    CFNumberGetValue(cfNumber(), kCFNumberDoubleType, &value);
    return value;
}

float NSNumber::floatValue() const { return numberAs<float>(this, kCFNumberFloatType); }

NSInteger NSNumber::integerValue() const { return numberAs<long>(this, kCFNumberLongType); }

int NSNumber::intValue() const { return numberAs<int>(this, kCFNumberIntType); }

BOOL NSNumber::boolValue() const {
    double value = doubleValue();
    return value != 0 && !std::isnan(value) ? YES : NO;
}

NSString *NSNumber::stringValue() const { return description(); }

NSString *NSNumber::description() const {
    if (!cfValue()) return NSSTR("0");
    if (isBoolean()) return doubleValue() != 0 ? NSSTR("1") : NSSTR("0");
    if (!CFNumberIsFloatType(cfNumber())) return NSString::stringWithFormat("%ld", integerValue());
    if (CFNumberGetType(cfNumber()) == kCFNumberFloat32Type)
        return NSString::stringWithUTF8String(ns_shortest_text(floatValue()).c_str());
    return NSString::stringWithUTF8String(ns_shortest_text(doubleValue()).c_str());
}

