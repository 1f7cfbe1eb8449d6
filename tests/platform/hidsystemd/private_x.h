// What the event service's X11 tests read and change on their private X
// server (tests/support/x_server.h): per-device pointer feedback, device
// properties, the core pointer control and the device hierarchy.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wait.h"
#include "x_server.h"

struct _XDisplay;  // Xlib stays out: its macros clash with GoogleTest's names

namespace hidsystem_test {

using glissor_test::eventually;

struct Feedback {
    int numerator = 0;
    int denominator = 0;
    int threshold = 0;
    bool operator==(const Feedback &) const = default;
};

struct PointerControl {
    int numerator = 0;
    int denominator = 0;
    int threshold = 0;
    bool operator==(const PointerControl &) const = default;
};

// The id of the device of that name, or -1.
int device_id(_XDisplay *display, const std::string &name);
std::optional<Feedback> feedback(_XDisplay *display, int id);
void set_feedback(_XDisplay *display, int id, int numerator, int denominator);
PointerControl pointer_control(_XDisplay *display);

// Creates or replaces a device property, as a driver would have made it.
void put_float_property(_XDisplay *display, int id, const std::string &name, float value);
void put_byte_property(_XDisplay *display, int id, const std::string &name, const std::vector<unsigned char> &bytes);
std::optional<float> float_property(_XDisplay *display, int id, const std::string &name);
std::vector<unsigned char> byte_property(_XDisplay *display, int id, const std::string &name);

void set_enabled(_XDisplay *display, int id, bool enabled);
// A new master pointer and keyboard pair, each with its XTEST slave.
void add_master(_XDisplay *display, const std::string &name);

}  // namespace hidsystem_test
