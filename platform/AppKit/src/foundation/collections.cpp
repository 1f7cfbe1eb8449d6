// NSArray and NSDictionary over their Core Foundation collections.
#include <Foundation/NSArray.h>
#include <Foundation/NSCFBridging.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <CFRef.h>

#include <vector>

#include "foundation/autoreleased.h"
#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSArray, NSObject)
NS_SELECTORS(NSArray, "count", "objectAtIndex:", "copyWithZone:")
NS_REGISTER_CLASS(NSDictionary, NSObject)
NS_SELECTORS(NSDictionary, "count", "objectForKey:", "allKeys", "copyWithZone:")

namespace {

NSString *describe(CFTypeRef value) {
    CFRef<CFStringRef> text = CFRef<CFStringRef>::adopt(CFCopyDescription(value));
    return NSString::stringWithCFString(text.get());
}

}  // namespace

NSArray *NSArray::init() {
    CFRef<CFArrayRef> empty = CFRef<CFArrayRef>::adopt(
        CFArrayCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeArrayCallBacks));
    return initWithCFArray(empty.get());
}

NSArray *NSArray::initWithCFArray(CFArrayRef array) { return holdValue(array) ? this : nil; }

NSArray *NSArray::array() { return autoreleased(new_()); }

NSArray *NSArray::arrayWithCFArray(CFArrayRef array) {
    return autoreleased(alloc()->initWithCFArray(array));
}

NSUInteger NSArray::count() const {
    return cfArray() ? static_cast<NSUInteger>(CFArrayGetCount(cfArray())) : 0;
}

NSObject *NSArray::objectAtIndex(NSUInteger index) const {
    NSUInteger total = count();
    if (index >= total)
        ns_fatal("-[NSArray objectAtIndex:]: index %lu beyond bounds (count %lu)", index, total);
    return NSObjectFromCFType(CFArrayGetValueAtIndex(cfArray(), static_cast<CFIndex>(index)));
}

CFArrayRef NSArray::cfArray() const { return static_cast<CFArrayRef>(cfValue()); }

NSString *NSArray::description() const { return cfValue() ? describe(cfValue()) : NSSTR("()"); }

NSDictionary *NSDictionary::init() {
    CFRef<CFDictionaryRef> empty = CFRef<CFDictionaryRef>::adopt(
        CFDictionaryCreate(kCFAllocatorDefault, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks));
    return initWithCFDictionary(empty.get());
}

NSDictionary *NSDictionary::initWithCFDictionary(CFDictionaryRef dictionary) {
    return holdValue(dictionary) ? this : nil;
}

NSDictionary *NSDictionary::dictionary() { return autoreleased(new_()); }

NSDictionary *NSDictionary::dictionaryWithCFDictionary(CFDictionaryRef dictionary) {
    return autoreleased(alloc()->initWithCFDictionary(dictionary));
}

NSUInteger NSDictionary::count() const {
    return cfDictionary() ? static_cast<NSUInteger>(CFDictionaryGetCount(cfDictionary())) : 0;
}

NSObject *NSDictionary::objectForKey(NSObject *key) const {
    CFTypeRef cfKey = key ? key->cfTypeRef() : nullptr;
    if (!cfDictionary() || !cfKey) return nil;
    return NSObjectFromCFType(CFDictionaryGetValue(cfDictionary(), cfKey));
}

NSArray *NSDictionary::allKeys() const {
    CFIndex total = static_cast<CFIndex>(count());
    std::vector<const void *> keys(static_cast<size_t>(total));
    if (total > 0) CFDictionaryGetKeysAndValues(cfDictionary(), keys.data(), nullptr);
    CFRef<CFArrayRef> array = CFRef<CFArrayRef>::adopt(
        CFArrayCreate(kCFAllocatorDefault, keys.data(), total, &kCFTypeArrayCallBacks));
    return NSArray::arrayWithCFArray(array.get());
}

CFDictionaryRef NSDictionary::cfDictionary() const { return static_cast<CFDictionaryRef>(cfValue()); }

NSString *NSDictionary::description() const { return cfValue() ? describe(cfValue()) : NSSTR("{}"); }
