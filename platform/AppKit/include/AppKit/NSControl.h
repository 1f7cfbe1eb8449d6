// NSControl.h: a view with a value that sends an action to a target.
//
// The target is not retained. The value setters are the programmatic ones:
// they never send the action. User input (NSSlider's drag, NSButton's
// performClick) sends it.
#pragma once

#include <AppKit/NSView.h>

#include <string>

class NS_EXPORT NSControl : public NSView {
    NS_CLASS(NSControl, NSView)

public:
    NSControl *initWithFrame(NSRect frame) override;

    NSObject *target() const { return target_; }
    void setTarget(NSObject *target) { target_ = target; }
    // nil when none is set. Borrowed: valid until the next setAction.
    SEL action() const { return action_.empty() ? nullptr : action_.c_str(); }
    void setAction(SEL action) { action_ = action ? action : ""; }
    // Sends the action to the target with the receiver as sender. NO when
    // there is no action or no target (there is no responder chain). A
    // target that does not answer the action stops the process.
    BOOL sendAction_to(SEL action, NSObject *target);

    BOOL isContinuous() const { return continuous_; }
    void setContinuous(BOOL flag) { continuous_ = flag; }
    BOOL isEnabled() const { return enabled_; }
    void setEnabled(BOOL flag) { enabled_ = flag; }

    double doubleValue() const override;
    float floatValue() const override;
    int intValue() const override;
    NSInteger integerValue() const override;
    NSString *stringValue() const override;
    virtual void setDoubleValue(double value);
    virtual void setFloatValue(float value);
    virtual void setIntValue(int value);
    virtual void setIntegerValue(NSInteger value);
    // A nil string stops the process, as on the platform.
    virtual void setStringValue(NSString *value);

private:
    NSObject *target_ = nullptr;
    std::string action_;
    BOOL continuous_ = NO;
    BOOL enabled_ = YES;
    double value_ = 0;
};
