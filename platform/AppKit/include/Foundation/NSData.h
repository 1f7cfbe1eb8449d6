// NSData.h and dates: NSData over CFData, NSDate over CFDate.
#pragma once

#include <Foundation/NSCFObject.h>

class NS_EXPORT NSData : public NSCFObject {
    NS_CLASS(NSData, NSObject)

public:
    // Takes its own reference; nil for NULL.
    NSData *initWithCFData(CFDataRef data);
    // Autoreleased.
    static NSData *dataWithCFData(CFDataRef data);
    static NSData *dataWithBytes_length(const void *bytes, NSUInteger length);

    NSUInteger length() const;
    // Borrowed: lives as long as the receiver.
    const void *bytes() const;
    CFDataRef cfData() const;
};

typedef double NSTimeInterval;

class NS_EXPORT NSDate : public NSCFObject {
    NS_CLASS(NSDate, NSObject)

public:
    // Takes its own reference; nil for NULL.
    NSDate *initWithCFDate(CFDateRef date);
    // Autoreleased.
    static NSDate *dateWithCFDate(CFDateRef date);
    static NSDate *dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds);

    // Seconds since 2001-01-01 00:00:00 UTC.
    NSTimeInterval timeIntervalSinceReferenceDate() const;
    CFDateRef cfDate() const;
};
