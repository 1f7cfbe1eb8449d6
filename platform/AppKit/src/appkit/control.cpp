// NSControl: target, action and a value.
#include <AppKit/NSControl.h>

#include <cmath>
#include <limits>

#include "foundation/fatal.h"
#include "foundation/text_scanning.h"

NS_REGISTER_CLASS(NSControl, NSView)
NS_SELECTORS(NSControl, "target", "setTarget:", "action", "setAction:", "sendAction:to:",
             "isContinuous", "setContinuous:", "isEnabled", "setEnabled:", "floatValue",
             "doubleValue", "intValue", "integerValue", "stringValue", "setFloatValue:",
             "setDoubleValue:", "setIntValue:", "setIntegerValue:", "setStringValue:")

namespace {

// Conversions without undefined behaviour for values out of range.
template <typename Integer>
Integer toInteger(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<Integer>::max()))
        return std::numeric_limits<Integer>::max();
    if (value <= static_cast<double>(std::numeric_limits<Integer>::min()))
        return std::numeric_limits<Integer>::min();
    return static_cast<Integer>(value);
}

}  // namespace

NSControl *NSControl::initWithFrame(NSRect frame) {
    if (!super::initWithFrame(frame)) return nil;
    return this;
}

BOOL NSControl::sendAction_to(SEL action, NSObject *target) {
    if (!action || !*action || !target) return NO;
    target->performSelector_withObject(action, this);
    return YES;
}

double NSControl::doubleValue() const { return value_; }

float NSControl::floatValue() const {
    double value = doubleValue();
    if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
    if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

int NSControl::intValue() const { return toInteger<int>(doubleValue()); }

NSInteger NSControl::integerValue() const { return toInteger<NSInteger>(doubleValue()); }

NSString *NSControl::stringValue() const {
    return NSString::stringWithUTF8String(ns_shortest_text(doubleValue()).c_str());
}

void NSControl::setDoubleValue(double value) {
    value_ = value;
    setNeedsDisplay(YES);
}

void NSControl::setFloatValue(float value) { setDoubleValue(value); }

void NSControl::setIntValue(int value) { setDoubleValue(value); }

void NSControl::setIntegerValue(NSInteger value) { setDoubleValue(static_cast<double>(value)); }

void NSControl::setStringValue(NSString *value) {
    if (!value) ns_fatal("-[%s setStringValue:]: nil string", getClass()->name());
    setDoubleValue(value->doubleValue());
}
