// NSData and NSDate over CFData and CFDate.
#include <Foundation/NSData.h>

#include <CFRef.h>

#include "foundation/autoreleased.h"

NS_REGISTER_CLASS(NSData, NSObject)
NS_SELECTORS(NSData, "length", "bytes", "copyWithZone:")
NS_REGISTER_CLASS(NSDate, NSObject)
NS_SELECTORS(NSDate, "timeIntervalSinceReferenceDate", "copyWithZone:")

NSData *NSData::initWithCFData(CFDataRef data) { return holdValue(data) ? this : nil; }

NSData *NSData::dataWithCFData(CFDataRef data) { return autoreleased(alloc()->initWithCFData(data)); }

NSData *NSData::dataWithBytes_length(const void *bytes, NSUInteger length) {
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, static_cast<const UInt8 *>(bytes), static_cast<CFIndex>(length)));
    return dataWithCFData(data.get());
}

NSUInteger NSData::length() const {
    return cfData() ? static_cast<NSUInteger>(CFDataGetLength(cfData())) : 0;
}

const void *NSData::bytes() const { return cfData() ? CFDataGetBytePtr(cfData()) : nullptr; }

CFDataRef NSData::cfData() const { return static_cast<CFDataRef>(cfValue()); }

NSDate *NSDate::initWithCFDate(CFDateRef date) { return holdValue(date) ? this : nil; }

NSDate *NSDate::dateWithCFDate(CFDateRef date) { return autoreleased(alloc()->initWithCFDate(date)); }

NSDate *NSDate::dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds) {
    CFRef<CFDateRef> date = CFRef<CFDateRef>::adopt(CFDateCreate(kCFAllocatorDefault, seconds));
    return dateWithCFDate(date.get());
}

NSTimeInterval NSDate::timeIntervalSinceReferenceDate() const {
    return cfDate() ? CFDateGetAbsoluteTime(cfDate()) : 0;
}

CFDateRef NSDate::cfDate() const { return static_cast<CFDateRef>(cfValue()); }
