// NSArray.h: an immutable array over a Core Foundation array.
#pragma once

#include <Foundation/NSCFObject.h>

class NS_EXPORT NSArray : public NSCFObject {
    NS_CLASS(NSArray, NSObject)

public:
    NSArray *init() override;
    // Takes its own reference; nil for NULL.
    NSArray *initWithCFArray(CFArrayRef array);
    // Autoreleased.
    static NSArray *array();
    static NSArray *arrayWithCFArray(CFArrayRef array);

    NSUInteger count() const;
    // Autoreleased wrapper (see NSObjectFromCFType). An index out of range
    // stops the process, as on the platform.
    NSObject *objectAtIndex(NSUInteger index) const;
    CFArrayRef cfArray() const;

    NSString *description() const override;
};
