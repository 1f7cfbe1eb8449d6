#include "control_text.h"

#include <charconv>
#include <cmath>

std::string shortestFloatText(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::optional<std::string> controlValueText(NSObject *object) {
    if (object->isKindOfClass(NSSlider::staticClass()))
        return shortestFloatText(static_cast<NSSlider *>(object)->floatValue());
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
