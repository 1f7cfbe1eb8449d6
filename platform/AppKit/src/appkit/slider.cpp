// NSSlider: a value kept within its range, moved by dragging the knob.
#include <AppKit/NSSlider.h>

#include <cmath>

#include "foundation/text_scanning.h"

NS_REGISTER_CLASS(NSSlider, NSControl)
NS_SELECTORS(NSSlider, "minValue", "maxValue", "setMinValue:", "setMaxValue:")

NSSlider *NSSlider::initWithFrame(NSRect frame) {
    if (!super::initWithFrame(frame)) return nil;
    setContinuous(YES);
    return this;
}

double NSSlider::clamped(double value) const {
    if (std::isnan(value)) return min_;
    if (value < min_) return min_;
    if (value > max_) return max_;
    return value;
}

void NSSlider::setMinValue(double value) {
    min_ = value;
    setDoubleValue(doubleValue());
}

void NSSlider::setMaxValue(double value) {
    max_ = value;
    setDoubleValue(doubleValue());
}

void NSSlider::setDoubleValue(double value) { super::setDoubleValue(clamped(value)); }

NSString *NSSlider::stringValue() const {
    return NSString::stringWithUTF8String(ns_shortest_text(floatValue()).c_str());
}

void NSSlider::dragKnobToValue(double value) {
    setDoubleValue(value);
    if (isContinuous()) sendAction_to(action(), target());
}

void NSSlider::releaseKnob() {
    if (!isContinuous()) sendAction_to(action(), target());
}
