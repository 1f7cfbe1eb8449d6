// NSString over CFString.
#include <Foundation/NSString.h>

#include <CFText.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <mutex>

#include "foundation/autoreleased.h"
#include "foundation/fatal.h"
#include "foundation/text_scanning.h"

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
    CFRef<CFStringRef> pattern = CFStringFromUTF8(format);
    if (!pattern) return nil;
    CFRef<CFStringRef> text = CFRef<CFStringRef>::adopt(
        CFStringCreateWithFormatAndArguments(kCFAllocatorDefault, nullptr, pattern.get(), arguments));
    return NSString::stringWithCFString(text.get());
}

}  // namespace

NSString *NSString::init() { return initWithCFString(CFSTR("")); }

NSString *NSString::initWithUTF8String(const char *text) {
    return adoptValue(text ? CFStringFromUTF8(text).release() : nullptr) ? this : nil;
}

NSString *NSString::initWithCFString(CFStringRef string) { return holdValue(string) ? this : nil; }

NSString *NSString::string() { return autoreleased(new_()); }

NSString *NSString::stringWithUTF8String(const char *text) {
    return autoreleased(alloc()->initWithUTF8String(text));
}

NSString *NSString::stringWithCFString(CFStringRef cfString) {
    return autoreleased(alloc()->initWithCFString(cfString));
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

CFStringRef NSString::cfString() const { return static_cast<CFStringRef>(cfValue()); }

const char *NSString::UTF8String() const {
    if (!cfString()) return "";
    const char *text = CFStringGetCStringPtr(cfString(), kCFStringEncodingUTF8);
    if (!text) ns_fatal("-[NSString UTF8String]: the string gives no UTF-8 text");
    return text;
}

std::string NSString::stdString() const { return UTF8String(); }

NSUInteger NSString::length() const {
    return cfString() ? static_cast<NSUInteger>(CFStringGetLength(cfString())) : 0;
}

BOOL NSString::isEqualToString(NSString *other) const { return isEqual(other); }

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
