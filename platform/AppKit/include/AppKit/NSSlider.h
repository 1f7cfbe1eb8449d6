// NSSlider.h: a slider whose value stays within [minValue, maxValue].
//
// Any value set is kept in range (NaN becomes minValue); changing the range
// moves the value into it. A new slider spans 0 to 1, at 0, continuous.
#pragma once

#include <AppKit/NSControl.h>

class NS_EXPORT NSSlider : public NSControl {
    NS_CLASS(NSSlider, NSControl)

public:
    NSSlider *initWithFrame(NSRect frame) override;

    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    void setMinValue(double value);
    void setMaxValue(double value);

    NSString *stringValue() const override;
    void setDoubleValue(double value) override;

    // User input. The knob dragged to the value (kept in range): a
    // continuous slider sends its action now.
    void dragKnobToValue(double value);
    // The mouse released: a slider that is not continuous sends its action now.
    void releaseKnob();

    // Draws the control as the platform shows it, in a neutral light look.
    void drawRect(NSRect dirtyRect) override;

private:
    double clamped(double value) const;
    double min_ = 0;
    double max_ = 1;
};
