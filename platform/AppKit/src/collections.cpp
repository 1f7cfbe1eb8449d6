// NSArray and NSDictionary over their Core Foundation collections.
#include <Foundation/NSArray.h>
#include <Foundation/NSCFBridging.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

#include <CFRef.h>

#include <vector>

#include "fatal.h"

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

NSArray *NSArray::initWithCFArray(CFArrayRef array) {
    if (!array) {
        release();
        return nil;
    }
    array_ = static_cast<CFArrayRef>(CFRetain(array));
    return this;
}

NSArray::~NSArray() {
    if (array_) CFRelease(array_);
}

NSArray *NSArray::array() {
    NSArray *made = new_();
    return made ? made->autorelease() : nil;
}

NSArray *NSArray::arrayWithCFArray(CFArrayRef array) {
    NSArray *made = alloc()->initWithCFArray(array);
    return made ? made->autorelease() : nil;
}

NSUInteger NSArray::count() const {
    return array_ ? static_cast<NSUInteger>(CFArrayGetCount(array_)) : 0;
}

NSObject *NSArray::objectAtIndex(NSUInteger index) const {
    NSUInteger total = count();
    if (index >= total)
        ns_fatal("-[NSArray objectAtIndex:]: index %lu beyond bounds (count %lu)", index, total);
    return NSObjectFromCFType(CFArrayGetValueAtIndex(array_, static_cast<CFIndex>(index)));
}

CFArrayRef NSArray::cfArray() const { return array_; }

NSString *NSArray::description() const { return array_ ? describe(array_) : NSSTR("()"); }

BOOL NSArray::isEqual(NSObject *other) const {
    CFTypeRef theirs = other ? other->cfTypeRef() : nullptr;
    return array_ && theirs && other->isKindOfClass(staticClass()) && CFEqual(array_, theirs) ? YES
                                                                                              : NO;
}

CFTypeRef NSArray::cfTypeRef() const { return array_; }

NSObject *NSArray::copy() { return retain(); }

NSDictionary *NSDictionary::init() {
    CFRef<CFDictionaryRef> empty = CFRef<CFDictionaryRef>::adopt(
        CFDictionaryCreate(kCFAllocatorDefault, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks));
    return initWithCFDictionary(empty.get());
}

NSDictionary *NSDictionary::initWithCFDictionary(CFDictionaryRef dictionary) {
    if (!dictionary) {
        release();
        return nil;
    }
    dictionary_ = static_cast<CFDictionaryRef>(CFRetain(dictionary));
    return this;
}

NSDictionary::~NSDictionary() {
    if (dictionary_) CFRelease(dictionary_);
}

NSDictionary *NSDictionary::dictionary() {
    NSDictionary *made = new_();
    return made ? made->autorelease() : nil;
}

NSDictionary *NSDictionary::dictionaryWithCFDictionary(CFDictionaryRef dictionary) {
    NSDictionary *made = alloc()->initWithCFDictionary(dictionary);
    return made ? made->autorelease() : nil;
}

NSUInteger NSDictionary::count() const {
    return dictionary_ ? static_cast<NSUInteger>(CFDictionaryGetCount(dictionary_)) : 0;
}

NSObject *NSDictionary::objectForKey(NSObject *key) const {
    CFTypeRef cfKey = key ? key->cfTypeRef() : nullptr;
    if (!dictionary_ || !cfKey) return nil;
    return NSObjectFromCFType(CFDictionaryGetValue(dictionary_, cfKey));
}

NSArray *NSDictionary::allKeys() const {
    CFIndex total = dictionary_ ? CFDictionaryGetCount(dictionary_) : 0;
    std::vector<const void *> keys(static_cast<size_t>(total));
    if (total > 0) CFDictionaryGetKeysAndValues(dictionary_, keys.data(), nullptr);
    CFRef<CFArrayRef> array = CFRef<CFArrayRef>::adopt(
        CFArrayCreate(kCFAllocatorDefault, keys.data(), total, &kCFTypeArrayCallBacks));
    return NSArray::arrayWithCFArray(array.get());
}

CFDictionaryRef NSDictionary::cfDictionary() const { return dictionary_; }

NSString *NSDictionary::description() const {
    return dictionary_ ? describe(dictionary_) : NSSTR("{}");
}

BOOL NSDictionary::isEqual(NSObject *other) const {
    CFTypeRef theirs = other ? other->cfTypeRef() : nullptr;
    return dictionary_ && theirs && other->isKindOfClass(staticClass()) &&
                   CFEqual(dictionary_, theirs)
               ? YES
               : NO;
}

CFTypeRef NSDictionary::cfTypeRef() const { return dictionary_; }

NSObject *NSDictionary::copy() { return retain(); }
