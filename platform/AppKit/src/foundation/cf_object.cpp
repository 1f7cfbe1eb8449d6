// NSCFObject: what every object over one Core Foundation value shares.
#include <Foundation/NSCFObject.h>

NSCFObject::~NSCFObject() = default;

BOOL NSCFObject::holdValue(CFTypeRef value) {
    return adoptValue(value ? CFRetain(value) : nullptr);
}

BOOL NSCFObject::adoptValue(CFTypeRef value) {
    if (!value) {
        release();
        return NO;
    }
    value_ = CFRef<CFTypeRef>::adopt(value);
    return YES;
}

CFTypeRef NSCFObject::cfTypeRef() const { return value_.get(); }

BOOL NSCFObject::isEqual(NSObject *other) const {
    if (other == this) return YES;
    CFTypeRef theirs = other ? other->cfTypeRef() : nullptr;
    return value_ && theirs && other->isKindOfClass(getClass()) && CFEqual(value_.get(), theirs)
               ? YES
               : NO;
}

NSUInteger NSCFObject::hash() const { return value_ ? CFHash(value_.get()) : 0; }

NSObject *NSCFObject::copy() { return retain(); }
