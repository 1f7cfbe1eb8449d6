// NSString.h: immutable text over a Core Foundation string.
//
// An NSString holds one CFStringRef (its own reference); cfString() hands
// it out borrowed, toll-free-bridge style, and stringWithCFString wraps one.
#pragma once

#include <Foundation/NSCFObject.h>

#include <string>

class NS_EXPORT NSString : public NSCFObject {
    NS_CLASS(NSString, NSObject)

public:
    // The empty string.
    NSString *init() override;
    // nil (the receiver released) for NULL or text that is not UTF-8.
    NSString *initWithUTF8String(const char *text);
    // Takes its own reference on the string; nil for NULL.
    NSString *initWithCFString(CFStringRef string);

    // Autoreleased.
    static NSString *string();
    static NSString *stringWithUTF8String(const char *text);
    static NSString *stringWithCFString(CFStringRef string);
    // printf formats; %@ is not supported. nil when the result is not UTF-8.
    static NSString *stringWithFormat(const char *format, ...) __attribute__((format(printf, 1, 2)));
    static NSString *stringWithFormat(NSString *format, ...);
    // The immortal string of a literal; the same text gives the same object.
    static NSString *constantString(const char *text);

    // Borrowed: lives as long as the receiver.
    CFStringRef cfString() const;
    // Borrowed: lives as long as the receiver.
    const char *UTF8String() const;
    std::string stdString() const;
    // In UTF-16 code units.
    NSUInteger length() const;
    BOOL isEqualToString(NSString *other) const;

    // The leading decimal number (white space skipped), 0 when there is none.
    float floatValue() const override;
    double doubleValue() const override;
    int intValue() const override;
    NSInteger integerValue() const override;
    // YES when the text starts (after white space and zeros) with Y, y, T, t or 1-9.
    BOOL boolValue() const override;

    NSString *description() const override;
};

// An NSString literal, the stand-in for @"text".
#define NSSTR(text) NSString::constantString("" text "")
