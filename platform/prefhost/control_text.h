// Controls as text, for `get` and `show`.
#pragma once

#include <AppKit/AppKit.h>

#include <optional>
#include <string>

// A slider's float in its shortest form, a text field's text, a button's
// state (1, 0, -1), another control's string value; nothing for a view
// without a value. Needs an autorelease pool.
std::optional<std::string> controlValueText(NSObject *object);
// "NAME CLASS VALUE", or "NAME CLASS" for a view without a value.
std::string controlSummary(const std::string &name, NSObject *object);
