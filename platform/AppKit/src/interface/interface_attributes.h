// The settable attributes of the interface file, per class: which key,
// which kind of value, and how it is applied. Applied in table order, so a
// slider's range is set before its value and a button's type before its state.
#pragma once

#include <AppKit/AppKit.h>

#include <Result.h>

#include <string>
#include <vector>

enum class AttributeKind { Number, Flag, Text, State, ButtonType };

struct AttributeValue {
    double number = 0;
    BOOL boolean = NO;
    NSString *text = nullptr;  // autoreleased
    NSControlStateValue state = 0;
    NSButtonType buttonType = NSButtonTypeMomentaryPushIn;
};

struct InterfaceAttribute {
    const char *key;
    Class (*applies)();  // the class whose instances (and subclasses') take the key
    AttributeKind kind;
    void (*apply)(NSView *view, const AttributeValue &value);
};

const std::vector<InterfaceAttribute> &ns_interface_attributes();

// The file's value for the attribute, unless it is not of the attribute's kind.
Result<AttributeValue> ns_read_attribute(const InterfaceAttribute &attribute, CFTypeRef value);
