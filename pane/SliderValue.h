// Reading a slider outlet that the interface file may leave unset.
#pragma once

#include <AppKit/AppKit.h>

// On the platform a message to nil does nothing and a value read from it
// is 0; this keeps that rule where C++ would dereference.
inline float sliderValueOrZero(const NSSlider *slider) { return slider ? slider->floatValue() : 0.0f; }
