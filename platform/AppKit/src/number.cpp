// NSNumber over CFNumber and CFBoolean.
#include <Foundation/NSString.h>
#include <Foundation/NSValue.h>

#include <CFRef.h>

#include <cmath>
#include <limits>

#include "text_scanning.h"

NS_REGISTER_CLASS(NSNumber, NSObject)
NS_SELECTORS(NSNumber, "floatValue", "doubleValue", "intValue", "integerValue", "boolValue",
             "stringValue", "copyWithZone:")

namespace {

bool isNumberOrBoolean(CFTypeRef value) {
    return value && (CFGetTypeID(value) == CFNumberGetTypeID() ||
                     CFGetTypeID(value) == CFBooleanGetTypeID());
}

}  // namespace

NSNumber *NSNumber::initWithCFType(CFTypeRef number) {
    if (!isNumberOrBoolean(number)) {
        release();
        return nil;
    }
    value_ = CFRetain(number);
    return this;
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

NSNumber::~NSNumber() {
    if (value_) CFRelease(value_);
}

static NSNumber *autoreleased(NSNumber *number) { return number ? number->autorelease() : nil; }

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

BOOL NSNumber::isBoolean() const { return value_ && CFGetTypeID(value_) == CFBooleanGetTypeID(); }

CFNumberRef NSNumber::cfNumber() const {
    return value_ && !isBoolean() ? static_cast<CFNumberRef>(value_) : nullptr;
}

double NSNumber::doubleValue() const {
    if (!value_) return 0;
    if (isBoolean()) return CFBooleanGetValue(static_cast<CFBooleanRef>(value_)) ? 1 : 0;
    double value = 0;
    CFNumberGetValue(cfNumber(), kCFNumberDoubleType, &value);
    return value;
}

float NSNumber::floatValue() const {
    if (!value_ || isBoolean()) return static_cast<float>(doubleValue());
    float value = 0;
    CFNumberGetValue(cfNumber(), kCFNumberFloatType, &value);
    return value;
}

NSInteger NSNumber::integerValue() const {
    if (!value_ || isBoolean()) return static_cast<NSInteger>(doubleValue());
    long value = 0;
    CFNumberGetValue(cfNumber(), kCFNumberLongType, &value);
    return value;
}

int NSNumber::intValue() const {
    if (!value_ || isBoolean()) return static_cast<int>(doubleValue());
    int value = 0;
    CFNumberGetValue(cfNumber(), kCFNumberIntType, &value);
    return value;
}

BOOL NSNumber::boolValue() const {
    double value = doubleValue();
    return value != 0 && !std::isnan(value) ? YES : NO;
}

NSString *NSNumber::stringValue() const { return description(); }

NSString *NSNumber::description() const {
    if (!value_) return NSSTR("0");
    if (isBoolean()) return doubleValue() != 0 ? NSSTR("1") : NSSTR("0");
    if (!CFNumberIsFloatType(cfNumber())) return NSString::stringWithFormat("%ld", integerValue());
    if (CFNumberGetType(cfNumber()) == kCFNumberFloat32Type)
        return NSString::stringWithUTF8String(ns_shortest_text(floatValue()).c_str());
    return NSString::stringWithUTF8String(ns_shortest_text(doubleValue()).c_str());
}

BOOL NSNumber::isEqual(NSObject *other) const {
    if (!other || !other->isKindOfClass(staticClass())) return NO;
    CFTypeRef theirs = other->cfTypeRef();
    return value_ && theirs && CFEqual(value_, theirs) ? YES : NO;
}

NSUInteger NSNumber::hash() const { return value_ ? CFHash(value_) : 0; }

CFTypeRef NSNumber::cfTypeRef() const { return value_; }

NSObject *NSNumber::copy() { return retain(); }
