// NSButton.h: push buttons, checkboxes and radio buttons.
//
// The state is on (1), off (0) or mixed (-1). setState: keeps the platform's
// rule: 0 is off; for a button that allows the mixed state a negative value
// is mixed; any other value is on. A click (performClick) moves a toggling
// button to its next state, as the platform does: two states toggle, and a
// mixed state goes to on; with the mixed state allowed the cycle is
// on -> off -> mixed -> on. Momentary buttons keep their state.
#pragma once

#include <AppKit/NSControl.h>

typedef NSInteger NSControlStateValue;
inline constexpr NSControlStateValue NSControlStateValueMixed = -1;
inline constexpr NSControlStateValue NSControlStateValueOff = 0;
inline constexpr NSControlStateValue NSControlStateValueOn = 1;
inline constexpr NSControlStateValue NSMixedState = NSControlStateValueMixed;
inline constexpr NSControlStateValue NSOffState = NSControlStateValueOff;
inline constexpr NSControlStateValue NSOnState = NSControlStateValueOn;

enum NSButtonType : NSUInteger {
    NSButtonTypeMomentaryLight = 0,
    NSButtonTypePushOnPushOff = 1,
    NSButtonTypeToggle = 2,
    NSButtonTypeSwitch = 3,  // a checkbox
    NSButtonTypeRadio = 4,
    NSButtonTypeMomentaryChange = 5,
    NSButtonTypeOnOff = 6,
    NSButtonTypeMomentaryPushIn = 7,
};

class NS_EXPORT NSButton : public NSControl {
    NS_CLASS(NSButton, NSControl)

public:
    // A momentary push button, off, titled "Button".
    NSButton *initWithFrame(NSRect frame) override;

    NSControlStateValue state() const { return state_; }
    void setState(NSControlStateValue value);
    BOOL allowsMixedState() const { return allowsMixedState_; }
    void setAllowsMixedState(BOOL flag) { allowsMixedState_ = flag; }
    NSControlStateValue nextState() const;
    void setNextState();
    NSButtonType buttonType() const { return type_; }
    void setButtonType(NSButtonType type) { type_ = type; }
    // Borrowed.
    NSString *title() const { return title_.get(); }
    void setTitle(NSString *title);

    // User input: a click. A disabled button ignores it; otherwise the state
    // moves on (for buttons that keep one) and the action is sent.
    void performClick(NSObject *sender);

    // The state.
    double doubleValue() const override { return static_cast<double>(state_); }
    NSString *stringValue() const override;
    void setDoubleValue(double value) override;
    void setStringValue(NSString *value) override;

    // Draws the control as the platform shows it, in a neutral light look.
    void drawRect(NSRect dirtyRect) override;

protected:
    ~NSButton() override;

private:
    NSControlStateValue state_ = NSControlStateValueOff;
    BOOL allowsMixedState_ = NO;
    NSButtonType type_ = NSButtonTypeMomentaryPushIn;
    NSStrong<NSString> title_;
};
