// NSTextField: a control whose value is its text.
#include <AppKit/NSTextField.h>

#include "foundation/fatal.h"
#include "foundation/text_scanning.h"

NS_REGISTER_CLASS(NSTextField, NSControl)
NS_SELECTORS(NSTextField, "isEditable", "setEditable:")

NSTextField *NSTextField::initWithFrame(NSRect frame) {
    if (!super::initWithFrame(frame)) return nil;
    text_.adopt(NSString::new_());
    return this;
}

NSTextField::~NSTextField() = default;

NSString *NSTextField::stringValue() const {
    return text_ ? text_->retain()->autorelease() : NSSTR("");
}

void NSTextField::setStringValue(NSString *value) {
    if (!value) ns_fatal("-[NSTextField setStringValue:]: nil string");
    text_.adopt(static_cast<NSString *>(value->copy()));
    setNeedsDisplay(YES);
}

double NSTextField::doubleValue() const { return text_ ? text_->doubleValue() : 0; }

float NSTextField::floatValue() const { return text_ ? text_->floatValue() : 0; }

void NSTextField::setDoubleValue(double value) {
    setStringValue(NSString::stringWithUTF8String(ns_shortest_text(value).c_str()));
}

void NSTextField::setFloatValue(float value) {
    setStringValue(NSString::stringWithUTF8String(ns_shortest_text(value).c_str()));
}

void NSTextField::setIntValue(int value) { setStringValue(NSString::stringWithFormat("%d", value)); }

void NSTextField::setIntegerValue(NSInteger value) {
    setStringValue(NSString::stringWithFormat("%ld", value));
}
