// NSCFObject.h: the common base of the objects that stand for one Core
// Foundation value (NSString, NSNumber, NSArray, NSDictionary, NSData,
// NSDate). It owns the value and answers cfTypeRef, equality, hash and copy
// from it, so each class adds only what its type means.
#pragma once

#include <Foundation/NSObject.h>

#include <CFRef.h>

class NS_EXPORT NSCFObject : public NSObject {
public:
    // Borrowed: lives as long as the receiver.
    CFTypeRef cfTypeRef() const override;
    // YES when the other object is of the receiver's class and holds an
    // equal value.
    BOOL isEqual(NSObject *other) const override;
    // The value's hash, so that equal objects hash alike.
    NSUInteger hash() const override;
    // Immutable: a copy is the receiver, retained.
    NSObject *copy() override;

protected:
    NSCFObject() = default;
    ~NSCFObject() override;

    // For an init. Takes its own reference on the value and returns YES;
    // for NULL releases the receiver (the init fails) and returns NO.
    BOOL holdValue(CFTypeRef value);
    // The same for a value the caller owns (a Create result): takes it over.
    BOOL adoptValue(CFTypeRef value);
    CFTypeRef cfValue() const { return value_.get(); }

private:
    CFRef<CFTypeRef> value_;
};
