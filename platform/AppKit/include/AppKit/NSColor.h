// NSColor.h: an RGB colour with alpha, and the current drawing colours.
//
// Components are kept within [0, 1] (NaN becomes 0). The named colours
// (orangeColor, ...) are shared immortal objects; the other constructors
// give autoreleased ones. setStroke / setFill / set change the current
// graphics context's state, which saveGraphicsState keeps.
#pragma once

#include <Foundation/Foundation.h>

struct NSColorComponents {
    CGFloat red = 0;
    CGFloat green = 0;
    CGFloat blue = 0;
    CGFloat alpha = 1;
};

class NS_EXPORT NSColor : public NSObject {
    NS_CLASS(NSColor, NSObject)

public:
    // Autoreleased.
    static NSColor *colorWithRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue,
                                                 CGFloat alpha);
    static NSColor *colorWithCalibratedRed_green_blue_alpha(CGFloat red, CGFloat green,
                                                           CGFloat blue, CGFloat alpha);
    static NSColor *colorWithWhite_alpha(CGFloat white, CGFloat alpha);

    // Shared, immortal.
    static NSColor *blackColor();      // 0
    static NSColor *darkGrayColor();   // 1/3
    static NSColor *grayColor();       // 0.5
    static NSColor *lightGrayColor();  // 2/3
    static NSColor *whiteColor();      // 1
    static NSColor *redColor();        // 1 0 0
    static NSColor *blueColor();       // 0 0 1
    static NSColor *orangeColor();     // 1 0.5 0
    static NSColor *clearColor();      // 0 0 0, alpha 0
    // The light grey behind a window's content.
    static NSColor *windowBackgroundColor();

    CGFloat redComponent() const { return components_.red; }
    CGFloat greenComponent() const { return components_.green; }
    CGFloat blueComponent() const { return components_.blue; }
    CGFloat alphaComponent() const { return components_.alpha; }
    const NSColorComponents &components() const { return components_; }

    // Without a current graphics context these do nothing but warn.
    void setStroke() const;
    void setFill() const;
    // Both.
    void set() const;

private:
    static NSColor *make(NSColorComponents components);
    static NSColor *immortal(NSColorComponents components);
    NSColorComponents components_;
};
