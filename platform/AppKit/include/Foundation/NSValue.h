// NSValue.h: NSNumber, over a Core Foundation number or boolean.
//
// A boolean is an NSNumber holding kCFBooleanTrue or kCFBooleanFalse, as
// on the platform; its numeric values are 1 and 0.
#pragma once

#include <Foundation/NSCFObject.h>

class NS_EXPORT NSNumber : public NSCFObject {
    NS_CLASS(NSNumber, NSObject)

public:
    // Autoreleased.
    static NSNumber *numberWithFloat(float value);
    static NSNumber *numberWithDouble(double value);
    static NSNumber *numberWithInt(int value);
    static NSNumber *numberWithInteger(NSInteger value);
    static NSNumber *numberWithBool(BOOL value);
    // Wraps a CFNumber or CFBoolean (its own reference); nil for anything else.
    static NSNumber *numberWithCFType(CFTypeRef number);

    NSNumber *initWithFloat(float value);
    NSNumber *initWithDouble(double value);
    NSNumber *initWithInteger(NSInteger value);
    NSNumber *initWithBool(BOOL value);
    NSNumber *initWithCFType(CFTypeRef number);

    // Borrowed; NULL when the number is a boolean.
    CFNumberRef cfNumber() const;
    BOOL isBoolean() const;

    float floatValue() const override;
    double doubleValue() const override;
    int intValue() const override;
    NSInteger integerValue() const override;
    BOOL boolValue() const override;
    NSString *stringValue() const override;

    NSString *description() const override;
};
