#include "control_text.h"

std::optional<std::string> controlValueText(NSObject *object) {
    // A float number's text is the shortest that reads back the same.
    if (object->isKindOfClass(NSSlider::staticClass()))
        return NSNumber::numberWithFloat(static_cast<NSSlider *>(object)->floatValue())->stringValue()->stdString();
    if (object->isKindOfClass(NSButton::staticClass()))
        return std::to_string(static_cast<NSButton *>(object)->state());
    if (object->isKindOfClass(NSControl::staticClass()))
        return static_cast<NSControl *>(object)->stringValue()->stdString();
    return std::nullopt;
}

std::string controlSummary(const std::string &name, NSObject *object) {
    std::string line = name + " " + object->getClass()->name();
    if (auto value = controlValueText(object)) line += " " + *value;
    return line;
}
