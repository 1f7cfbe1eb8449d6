// NSString over CFString.
#include <Foundation/NSString.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

#include "fatal.h"
#include "text_scanning.h"

NS_REGISTER_CLASS(NSString, NSObject)
NS_SELECTORS(NSString, "initWithUTF8String:", "UTF8String", "length", "isEqualToString:",
             "floatValue", "doubleValue", "intValue", "integerValue", "boolValue", "copyWithZone:")

namespace {

// %@ needs objects in the argument list, which a C++ va_list cannot carry.
void rejectObjectConversions(const char *format) {
    for (const char *at = format; *at; ++at) {
        if (*at != '%') continue;
        ++at;
        while (*at && std::strchr("-+ #0123456789.*hlLqjzt'", *at)) ++at;
        if (*at == '@') ns_fatal("+[NSString stringWithFormat:]: %%@ is not supported");
        if (!*at) break;
    }
}

// Core Foundation formats the same in every locale: "%.1fx" gives "2.5x"
// whatever setlocale the process (GTK, say) called.
NSString *formatted(const char *format, va_list arguments) {
    rejectObjectConversions(format);
    CFStringRef pattern = CFStringCreateWithCString(kCFAllocatorDefault, format, kCFStringEncodingUTF8);
    if (!pattern) return nil;
    CFStringRef text = CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, nullptr, pattern, arguments);
    CFRelease(pattern);
    if (!text) return nil;
    NSString *result = NSString::stringWithCFString(text);
    CFRelease(text);
    return result;
}

}  // namespace

NSString *NSString::init() { return initWithCFString(CFSTR("")); }

NSString *NSString::initWithUTF8String(const char *text) {
    CFStringRef string =
        text ? CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8) : nullptr;
    if (!string) {
        release();
        return nil;
    }
    string_ = string;
    return this;
}

NSString *NSString::initWithCFString(CFStringRef string) {
    if (!string) {
        release();
        return nil;
    }
    string_ = static_cast<CFStringRef>(CFRetain(string));
    return this;
}

NSString::~NSString() {
    if (string_) CFRelease(string_);
}

NSString *NSString::string() { return new_()->autorelease(); }

NSString *NSString::stringWithUTF8String(const char *text) {
    NSString *string = alloc()->initWithUTF8String(text);
    return string ? string->autorelease() : nil;
}

NSString *NSString::stringWithCFString(CFStringRef cfString) {
    NSString *string = alloc()->initWithCFString(cfString);
    return string ? string->autorelease() : nil;
}

NSString *NSString::stringWithFormat(const char *format, ...) {
    if (!format) return nil;
    va_list arguments;
    va_start(arguments, format);
    NSString *result = formatted(format, arguments);
    va_end(arguments);
    return result;
}

NSString *NSString::stringWithFormat(NSString *format, ...) {
    if (!format) return nil;
    va_list arguments;
    va_start(arguments, format);
    NSString *result = formatted(format->UTF8String(), arguments);
    va_end(arguments);
    return result;
}

NSString *NSString::constantString(const char *text) {
    static std::mutex mutex;
    static auto *constants = new std::map<std::string, NSString *>;
    std::lock_guard lock(mutex);
    auto found = constants->find(text);
    if (found != constants->end()) return found->second;
    NSString *string = alloc()->initWithCFString(__CFStringMakeConstantString(text));
    if (!string) ns_fatal("NSSTR: \"%s\" is not UTF-8 text", text);
    string->becomeImmortal();
    constants->emplace(text, string);
    return string;
}

CFStringRef NSString::cfString() const { return string_; }

const char *NSString::UTF8String() const {
    if (!string_) return "";
    const char *text = CFStringGetCStringPtr(string_, kCFStringEncodingUTF8);
    if (!text) ns_fatal("-[NSString UTF8String]: the string gives no UTF-8 text");
    return text;
}

std::string NSString::stdString() const { return UTF8String(); }

NSUInteger NSString::length() const {
    return string_ ? static_cast<NSUInteger>(CFStringGetLength(string_)) : 0;
}

BOOL NSString::isEqualToString(NSString *other) const {
    if (!other) return NO;
    if (other == this) return YES;
    return CFEqual(cfString(), other->cfString()) ? YES : NO;
}

float NSString::floatValue() const {
    double value = doubleValue();
    // Beyond the float range the platform gives an infinity.
    if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

double NSString::doubleValue() const { return ns_leading_decimal(UTF8String()); }

int NSString::intValue() const {
    long value = ns_leading_integer(UTF8String());
    if (value > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (value < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

NSInteger NSString::integerValue() const { return ns_leading_integer(UTF8String()); }

BOOL NSString::boolValue() const { return ns_leading_bool(UTF8String()) ? YES : NO; }

NSString *NSString::description() const { return const_cast<NSString *>(this); }

BOOL NSString::isEqual(NSObject *other) const {
    return other && other->isKindOfClass(staticClass()) &&
           isEqualToString(static_cast<NSString *>(other));
}

NSUInteger NSString::hash() const { return string_ ? CFHash(string_) : 0; }

CFTypeRef NSString::cfTypeRef() const { return string_; }

NSObject *NSString::copy() { return retain(); }
