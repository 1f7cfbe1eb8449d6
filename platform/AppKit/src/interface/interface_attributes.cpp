#include "interface/interface_attributes.h"

#include <cmath>
#include <cstring>

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

template <typename T>
T *as(NSView *view) {
    return static_cast<T *>(view);
}

bool readNumber(CFTypeRef value, double *out) {
    if (!value || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, out);
    return std::isfinite(*out);
}

bool readButtonType(CFTypeRef value, NSButtonType *out) {
    if (!value || CFGetTypeID(value) != CFStringGetTypeID()) return false;
    const char *text = CFStringGetCStringPtr(static_cast<CFStringRef>(value), kCFStringEncodingUTF8);
    for (const auto &known : buttonTypeNames) {
        if (text && std::strcmp(text, known.name) == 0) {
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
        {"Enabled", &NSControl::staticClass, AttributeKind::Flag,
         [](NSView *v, const AttributeValue &a) { as<NSControl>(v)->setEnabled(a.boolean); }},
        {"Continuous", &NSControl::staticClass, AttributeKind::Flag,
         [](NSView *v, const AttributeValue &a) { as<NSControl>(v)->setContinuous(a.boolean); }},
        {"MinValue", &NSSlider::staticClass, AttributeKind::Number,
         [](NSView *v, const AttributeValue &a) { as<NSSlider>(v)->setMinValue(a.number); }},
        {"MaxValue", &NSSlider::staticClass, AttributeKind::Number,
         [](NSView *v, const AttributeValue &a) { as<NSSlider>(v)->setMaxValue(a.number); }},
        {"Value", &NSSlider::staticClass, AttributeKind::Number,
         [](NSView *v, const AttributeValue &a) { as<NSSlider>(v)->setDoubleValue(a.number); }},
        {"Text", &NSTextField::staticClass, AttributeKind::Text,
         [](NSView *v, const AttributeValue &a) { as<NSTextField>(v)->setStringValue(a.text); }},
        {"Editable", &NSTextField::staticClass, AttributeKind::Flag,
         [](NSView *v, const AttributeValue &a) { as<NSTextField>(v)->setEditable(a.boolean); }},
        {"ButtonType", &NSButton::staticClass, AttributeKind::ButtonType,
         [](NSView *v, const AttributeValue &a) { as<NSButton>(v)->setButtonType(a.buttonType); }},
        {"Title", &NSButton::staticClass, AttributeKind::Text,
         [](NSView *v, const AttributeValue &a) { as<NSButton>(v)->setTitle(a.text); }},
        {"AllowsMixedState", &NSButton::staticClass, AttributeKind::Flag,
         [](NSView *v, const AttributeValue &a) { as<NSButton>(v)->setAllowsMixedState(a.boolean); }},
        {"State", &NSButton::staticClass, AttributeKind::State,
         [](NSView *v, const AttributeValue &a) { as<NSButton>(v)->setState(a.state); }},
    };
    return table;
}

bool ns_read_attribute(const InterfaceAttribute &attribute, CFTypeRef value, AttributeValue *out,
                       std::string *error) {
    bool ok = false;
    switch (attribute.kind) {
    case AttributeKind::Number: ok = readNumber(value, &out->number); break;
    case AttributeKind::Flag:
        ok = value && CFGetTypeID(value) == CFBooleanGetTypeID();
        if (ok) out->boolean = CFBooleanGetValue(static_cast<CFBooleanRef>(value)) ? YES : NO;
        break;
    case AttributeKind::Text:
        ok = value && CFGetTypeID(value) == CFStringGetTypeID();
        if (ok) out->text = NSString::stringWithCFString(static_cast<CFStringRef>(value));
        break;
    case AttributeKind::State: {
        double number = 0;
        ok = readNumber(value, &number) && (number == -1 || number == 0 || number == 1);
        if (ok) out->state = static_cast<NSControlStateValue>(number);
        break;
    }
    case AttributeKind::ButtonType: ok = readButtonType(value, &out->buttonType); break;
    }
    if (!ok) *error = std::string(attribute.key) + " must be " + kindText(attribute.kind);
    return ok;
}
