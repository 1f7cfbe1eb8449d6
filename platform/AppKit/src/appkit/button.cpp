// NSButton: state, the platform's click cycle, and its action.
#include <AppKit/NSButton.h>

#include <cmath>

#include "foundation/fatal.h"

NS_REGISTER_CLASS(NSButton, NSControl)
NS_SELECTORS(NSButton, "state", "setState:", "allowsMixedState", "setAllowsMixedState:",
             "nextState", "setNextState", "setButtonType:", "title", "setTitle:", "performClick:")

namespace {

bool keepsState(NSButtonType type) {
    return type != NSButtonTypeMomentaryLight && type != NSButtonTypeMomentaryChange &&
           type != NSButtonTypeMomentaryPushIn;
}

}  // namespace

NSButton *NSButton::initWithFrame(NSRect frame) {
    if (!super::initWithFrame(frame)) return nil;
    title_.retain(NSSTR("Button"));
    return this;
}

NSButton::~NSButton() = default;

void NSButton::setState(NSControlStateValue value) {
    if (value == 0)
        state_ = NSControlStateValueOff;
    else if (value < 0 && allowsMixedState_)
        state_ = NSControlStateValueMixed;
    else
        state_ = NSControlStateValueOn;
    setNeedsDisplay(YES);
}

NSControlStateValue NSButton::nextState() const {
    if (state_ == NSControlStateValueOn) return NSControlStateValueOff;
    if (state_ == NSControlStateValueOff && allowsMixedState_) return NSControlStateValueMixed;
    return NSControlStateValueOn;
}

void NSButton::setNextState() { setState(nextState()); }

void NSButton::setTitle(NSString *title) {
    if (!title) ns_fatal("-[NSButton setTitle:]: nil string");
    title_.adopt(static_cast<NSString *>(title->copy()));
}

void NSButton::performClick(NSObject *) {
    if (!isEnabled()) return;
    if (type_ == NSButtonTypeRadio)
        setState(NSControlStateValueOn);
    else if (keepsState(type_))
        setNextState();
    sendAction_to(action(), target());
}

NSString *NSButton::stringValue() const { return NSString::stringWithFormat("%ld", state_); }

void NSButton::setDoubleValue(double value) {
    setState(std::isnan(value) || value == 0 ? 0 : (value < 0 ? -1 : 1));
}

void NSButton::setStringValue(NSString *value) {
    if (!value) ns_fatal("-[NSButton setStringValue:]: nil string");
    setState(value->integerValue());
}
