// NSColor: components kept in range, the named colours, and the current
// stroke and fill colours.
#include <AppKit/NSColor.h>
#include <AppKit/NSGraphicsContext.h>

#include <cmath>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSColor, NSObject)
NS_SELECTORS(NSColor, "redComponent", "greenComponent", "blueComponent", "alphaComponent",
             "setStroke", "setFill", "set")

namespace {

CGFloat unitInterval(CGFloat value) {
    if (std::isnan(value) || value < 0) return 0;
    return value > 1 ? 1 : value;
}

NSGraphicsContext *contextFor(const char *selector) {
    NSGraphicsContext *context = NSGraphicsContext::currentContext();
    if (!context) ns_warn("-[NSColor %s]: no current graphics context", selector);
    return context;
}

}  // namespace

NSColor *NSColor::make(NSColorComponents components) {
    NSColor *color = NSColor::new_();
    color->components_ = {unitInterval(components.red), unitInterval(components.green),
                          unitInterval(components.blue), unitInterval(components.alpha)};
    return color;
}

NSColor *NSColor::immortal(NSColorComponents components) {
    NSColor *color = make(components);
    color->becomeImmortal();
    return color;
}

NSColor *NSColor::colorWithRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue,
                                                CGFloat alpha) {
    return make({red, green, blue, alpha})->autorelease();
}

NSColor *NSColor::colorWithCalibratedRed_green_blue_alpha(CGFloat red, CGFloat green, CGFloat blue,
                                                          CGFloat alpha) {
    return colorWithRed_green_blue_alpha(red, green, blue, alpha);
}

NSColor *NSColor::colorWithWhite_alpha(CGFloat white, CGFloat alpha) {
    return colorWithRed_green_blue_alpha(white, white, white, alpha);
}

// Each named colour is made once, on first use, and never goes.
#define NS_NAMED_COLOR(name, ...)                                 \
    NSColor *NSColor::name() {                                    \
        static NSColor *const shared = immortal({__VA_ARGS__});   \
        return shared;                                            \
    }

NS_NAMED_COLOR(blackColor, 0, 0, 0, 1)
NS_NAMED_COLOR(darkGrayColor, 1.0 / 3, 1.0 / 3, 1.0 / 3, 1)
NS_NAMED_COLOR(grayColor, 0.5, 0.5, 0.5, 1)
NS_NAMED_COLOR(lightGrayColor, 2.0 / 3, 2.0 / 3, 2.0 / 3, 1)
NS_NAMED_COLOR(whiteColor, 1, 1, 1, 1)
NS_NAMED_COLOR(redColor, 1, 0, 0, 1)
NS_NAMED_COLOR(blueColor, 0, 0, 1, 1)
NS_NAMED_COLOR(orangeColor, 1, 0.5, 0, 1)
NS_NAMED_COLOR(clearColor, 0, 0, 0, 0)
NS_NAMED_COLOR(windowBackgroundColor, 0.925, 0.925, 0.925, 1)

#undef NS_NAMED_COLOR

void NSColor::setStroke() const {
    if (NSGraphicsContext *context = contextFor("setStroke")) context->setStrokeColor(components_);
}

void NSColor::setFill() const {
    if (NSGraphicsContext *context = contextFor("setFill")) context->setFillColor(components_);
}

void NSColor::set() const {
    if (NSGraphicsContext *context = contextFor("set")) {
        context->setStrokeColor(components_);
        context->setFillColor(components_);
    }
}
