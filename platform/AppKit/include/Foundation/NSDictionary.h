// NSDictionary.h: an immutable dictionary over a Core Foundation dictionary.
#pragma once

#include <Foundation/NSCFObject.h>

class NSArray;

class NS_EXPORT NSDictionary : public NSCFObject {
    NS_CLASS(NSDictionary, NSObject)

public:
    NSDictionary *init() override;
    // Takes its own reference; nil for NULL.
    NSDictionary *initWithCFDictionary(CFDictionaryRef dictionary);
    // Autoreleased.
    static NSDictionary *dictionary();
    static NSDictionary *dictionaryWithCFDictionary(CFDictionaryRef dictionary);

    NSUInteger count() const;
    // An autoreleased wrapper of the value (NSString, NSNumber, NSArray,
    // NSDictionary, NSData, NSDate), or nil when the key is absent or is not
    // a bridged object.
    NSObject *objectForKey(NSObject *key) const;
    // Autoreleased.
    NSArray *allKeys() const;
    CFDictionaryRef cfDictionary() const;

    NSString *description() const override;
};
