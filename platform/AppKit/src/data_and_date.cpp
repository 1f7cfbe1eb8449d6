// NSData and NSDate over CFData and CFDate.
#include <Foundation/NSData.h>

#include <CFRef.h>

NS_REGISTER_CLASS(NSData, NSObject)
NS_SELECTORS(NSData, "length", "bytes", "copyWithZone:")
NS_REGISTER_CLASS(NSDate, NSObject)
NS_SELECTORS(NSDate, "timeIntervalSinceReferenceDate", "copyWithZone:")

NSData *NSData::initWithCFData(CFDataRef data) {
    if (!data) {
        release();
        return nil;
    }
    data_ = static_cast<CFDataRef>(CFRetain(data));
    return this;
}

NSData::~NSData() {
    if (data_) CFRelease(data_);
}

NSData *NSData::dataWithCFData(CFDataRef data) {
    NSData *made = alloc()->initWithCFData(data);
    return made ? made->autorelease() : nil;
}

NSData *NSData::dataWithBytes_length(const void *bytes, NSUInteger length) {
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(CFDataCreate(
        kCFAllocatorDefault, static_cast<const UInt8 *>(bytes), static_cast<CFIndex>(length)));
    return dataWithCFData(data.get());
}

NSUInteger NSData::length() const {
    return data_ ? static_cast<NSUInteger>(CFDataGetLength(data_)) : 0;
}

const void *NSData::bytes() const { return data_ ? CFDataGetBytePtr(data_) : nullptr; }

CFDataRef NSData::cfData() const { return data_; }

BOOL NSData::isEqual(NSObject *other) const {
    CFTypeRef theirs = other ? other->cfTypeRef() : nullptr;
    return data_ && theirs && other->isKindOfClass(staticClass()) && CFEqual(data_, theirs) ? YES : NO;
}

CFTypeRef NSData::cfTypeRef() const { return data_; }

NSObject *NSData::copy() { return retain(); }

NSDate *NSDate::initWithCFDate(CFDateRef date) {
    if (!date) {
        release();
        return nil;
    }
    date_ = static_cast<CFDateRef>(CFRetain(date));
    return this;
}

NSDate::~NSDate() {
    if (date_) CFRelease(date_);
}

NSDate *NSDate::dateWithCFDate(CFDateRef date) {
    NSDate *made = alloc()->initWithCFDate(date);
    return made ? made->autorelease() : nil;
}

NSDate *NSDate::dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds) {
    CFRef<CFDateRef> date = CFRef<CFDateRef>::adopt(CFDateCreate(kCFAllocatorDefault, seconds));
    return dateWithCFDate(date.get());
}

NSTimeInterval NSDate::timeIntervalSinceReferenceDate() const {
    return date_ ? CFDateGetAbsoluteTime(date_) : 0;
}

CFDateRef NSDate::cfDate() const { return date_; }

BOOL NSDate::isEqual(NSObject *other) const {
    CFTypeRef theirs = other ? other->cfTypeRef() : nullptr;
    return date_ && theirs && other->isKindOfClass(staticClass()) && CFEqual(date_, theirs) ? YES : NO;
}

CFTypeRef NSDate::cfTypeRef() const { return date_; }

NSObject *NSDate::copy() { return retain(); }
