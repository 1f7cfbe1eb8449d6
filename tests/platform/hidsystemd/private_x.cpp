#include "private_x.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <cstring>

namespace hidsystem_test {

int device_id(Display *display, const std::string &name) {
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display, XIAllDevices, &count);
    int id = -1;
    for (int i = 0; i < count; ++i)
        if (name == devices[i].name) id = devices[i].deviceid;
    XIFreeDeviceInfo(devices);
    return id;
}

std::optional<Feedback> feedback(Display *display, int id) {
    XDevice *device = XOpenDevice(display, static_cast<XID>(id));
    if (!device) return std::nullopt;
    int count = 0;
    XFeedbackState *states = XGetFeedbackControl(display, device, &count);
    std::optional<Feedback> found;
    XFeedbackState *state = states;
    for (int i = 0; i < count; ++i) {
        if (state->c_class == PtrFeedbackClass) {
            auto *pointer = reinterpret_cast<XPtrFeedbackState *>(state);
            found = Feedback{pointer->accelNum, pointer->accelDenom, pointer->threshold};
        }
        state = reinterpret_cast<XFeedbackState *>(reinterpret_cast<char *>(state) + state->length);
    }
    if (states) XFreeFeedbackList(states);
    XCloseDevice(display, device);
    return found;
}

void set_feedback(Display *display, int id, int numerator, int denominator) {
    XDevice *device = XOpenDevice(display, static_cast<XID>(id));
    if (!device) return;
    XPtrFeedbackControl control{};
    control.c_class = PtrFeedbackClass;
    control.length = sizeof control;
    control.accelNum = numerator;
    control.accelDenom = denominator;
    XChangeFeedbackControl(display, device, DvAccelNum | DvAccelDenom, reinterpret_cast<XFeedbackControl *>(&control));
    XCloseDevice(display, device);
    XSync(display, False);
}

PointerControl pointer_control(Display *display) {
    PointerControl control;
    XGetPointerControl(display, &control.numerator, &control.denominator, &control.threshold);
    return control;
}

void put_float_property(Display *display, int id, const std::string &name, float value) {
    Atom atom = XInternAtom(display, name.c_str(), False);
    unsigned char data[sizeof value];
    std::memcpy(data, &value, sizeof value);
    XIChangeProperty(display, id, atom, XInternAtom(display, "FLOAT", False), 32, PropModeReplace, data, 1);
    XSync(display, False);
}

void put_byte_property(Display *display, int id, const std::string &name, const std::vector<unsigned char> &bytes) {
    Atom atom = XInternAtom(display, name.c_str(), False);
    std::vector<unsigned char> data = bytes;
    XIChangeProperty(display, id, atom, XA_INTEGER, 8, PropModeReplace, data.data(), static_cast<int>(data.size()));
    XSync(display, False);
}

namespace {
std::vector<unsigned char> raw_property(Display *display, int id, const std::string &name, int &format) {
    Atom atom = XInternAtom(display, name.c_str(), False);
    Atom type = None;
    unsigned long items = 0, after = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned char> bytes;
    if (XIGetProperty(display, id, atom, 0, 64, False, AnyPropertyType, &type, &format, &items, &after, &data) ==
            Success &&
        data)
        bytes.assign(data, data + items * static_cast<unsigned long>(format / 8));
    if (data) XFree(data);
    return bytes;
}
}  // namespace

std::optional<float> float_property(Display *display, int id, const std::string &name) {
    int format = 0;
    auto bytes = raw_property(display, id, name, format);
    if (format != 32 || bytes.size() != sizeof(float)) return std::nullopt;
    float value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::vector<unsigned char> byte_property(Display *display, int id, const std::string &name) {
    int format = 0;
    auto bytes = raw_property(display, id, name, format);
    return format == 8 ? bytes : std::vector<unsigned char>{};
}

void set_enabled(Display *display, int id, bool enabled) {
    put_byte_property(display, id, "Device Enabled", {static_cast<unsigned char>(enabled ? 1 : 0)});
}

void add_master(Display *display, const std::string &name) {
    XIAddMasterInfo add{};
    add.type = XIAddMaster;
    std::string copy = name;
    add.name = copy.data();
    add.send_core = True;
    add.enable = True;
    XIChangeHierarchy(display, reinterpret_cast<XIAnyHierarchyChangeInfo *>(&add), 1);
    XSync(display, False);
}

}  // namespace hidsystem_test
