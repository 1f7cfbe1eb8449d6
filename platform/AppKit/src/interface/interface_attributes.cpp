#include "interface/interface_attributes.h"

#include <CFText.h>

#include <cmath>

namespace {

struct ButtonTypeName {
    const char *name;
    NSButtonType type;
};

const ButtonTypeName buttonTypeNames[] = {
    {"momentaryLight", NSButtonTypeMomentaryLight}, {"pushOnPushOff", NSButtonTypePushOnPushOff},
    {"toggle", NSButtonTypeToggle},                 {"switch", NSButtonTypeSwitch},
    {"radio", NSButtonTypeRadio},                   {"momentaryChange", NSButtonTypeMomentaryChange},
    {"onOff", NSButtonTypeOnOff},                   {"momentaryPushIn", NSButtonTypeMomentaryPushIn},
};

// The attribute that sets the value's field through the View's setter.
template <typename View, auto Setter, auto Field>
InterfaceAttribute settable(const char *key, AttributeKind kind) {
    return {key, &View::staticClass, kind, [](NSView *view, const AttributeValue &value) {
                (static_cast<View *>(view)->*Setter)(value.*Field);
            }};
}

bool readNumber(CFTypeRef value, double *out) {
    if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, out);
    return std::isfinite(*out);
}

bool readButtonType(CFTypeRef value, NSButtonType *out) {
    if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return false;
    std::string text = UTF8FromCFString(static_cast<CFStringRef>(value));
    for (const auto &known : buttonTypeNames) {
        if (text == known.name) {
            *out = known.type;
            return true;
        }
    }
    return false;
}

const char *kindText(AttributeKind kind) {
    switch (kind) {
    case AttributeKind::Number: return "a finite number";
    case AttributeKind::Flag: return "a boolean";
    case AttributeKind::Text: return "a string";
    case AttributeKind::State: return "-1, 0 or 1";
    case AttributeKind::ButtonType:
        return "one of momentaryPushIn, momentaryLight, momentaryChange, pushOnPushOff, toggle, "
               "switch, radio, onOff";
    }
    return "";
}

}  // namespace

const std::vector<InterfaceAttribute> &ns_interface_attributes() {
    static const std::vector<InterfaceAttribute> table = {
        settable<NSControl, &NSControl::setEnabled, &AttributeValue::boolean>("Enabled", AttributeKind::Flag),
        settable<NSControl, &NSControl::setContinuous, &AttributeValue::boolean>("Continuous", AttributeKind::Flag),
        settable<NSSlider, &NSSlider::setMinValue, &AttributeValue::number>("MinValue", AttributeKind::Number),
        settable<NSSlider, &NSSlider::setMaxValue, &AttributeValue::number>("MaxValue", AttributeKind::Number),
        settable<NSSlider, &NSSlider::setDoubleValue, &AttributeValue::number>("Value", AttributeKind::Number),
        settable<NSTextField, &NSTextField::setStringValue, &AttributeValue::text>("Text", AttributeKind::Text),
        settable<NSTextField, &NSTextField::setEditable, &AttributeValue::boolean>("Editable", AttributeKind::Flag),
        settable<NSButton, &NSButton::setButtonType, &AttributeValue::buttonType>("ButtonType",
                                                                                   AttributeKind::ButtonType),
        settable<NSButton, &NSButton::setTitle, &AttributeValue::text>("Title", AttributeKind::Text),
        settable<NSButton, &NSButton::setAllowsMixedState, &AttributeValue::boolean>("AllowsMixedState",
                                                                                      AttributeKind::Flag),
        settable<NSButton, &NSButton::setState, &AttributeValue::state>("State", AttributeKind::State),
    };
    return table;
}

Result<AttributeValue> ns_read_attribute(const InterfaceAttribute &attribute, CFTypeRef value) {
    AttributeValue read;
    bool ok = false;
    switch (attribute.kind) {
    case AttributeKind::Number: ok = readNumber(value, &read.number); break;
    case AttributeKind::Flag:
        ok = value && CFGetTypeID(value) == CFBooleanGetTypeID();
        if (ok) read.boolean = CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? YES : NO;
        break;
    case AttributeKind::Text:
        ok = value && CFGetTypeID(value) == CFStringGetTypeID();
        if (ok) read.text = NSString::stringWithCFString(static_cast<CFStringRef>(value));
        break;
    case AttributeKind::State: {
        double number = 0;
        ok = readNumber(value, &number) && (number == -1 || number == 0 || number == 1);
        if (ok) read.state = static_cast<NSControlStateValue>(number);
        break;
    }
    case AttributeKind::ButtonType: ok = readButtonType(value, &read.buttonType); break;
    }
    if (!ok) return Failure(std::string(attribute.key) + " must be " + kindText(attribute.kind));
    return read;
}
