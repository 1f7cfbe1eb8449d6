#include "device_knobs.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

#include "x_errors.h"

namespace hidsystemd_x11 {

namespace {

constexpr const char *kLibinputSpeed = "libinput Accel Speed";
constexpr const char *kLibinputProfiles = "libinput Accel Profile Enabled";
constexpr const char *kServerProfile = "Device Accel Profile";
constexpr const char *kXtestDevice = "XTEST Device";

struct XFreeDeleter {
    void operator()(void *data) const {
        if (data) XFree(data);
    }
};

std::vector<std::string> property_names(Display *display, int id) {
    int count = 0;
    std::unique_ptr<Atom, XFreeDeleter> atoms(XIListProperties(display, id, &count));
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        std::unique_ptr<char, XFreeDeleter> name(XGetAtomName(display, atoms.get()[i]));
        if (name) names.emplace_back(name.get());
    }
    return names;
}

std::string type_name(Display *display, int id) {
    int count = 0;
    XDeviceInfo *devices = XListInputDevices(display, &count);
    std::string name;
    for (int i = 0; i < count; ++i) {
        if (static_cast<int>(devices[i].id) != id || devices[i].type == None) continue;
        std::unique_ptr<char, XFreeDeleter> atom_name(XGetAtomName(display, devices[i].type));
        if (atom_name) name = atom_name.get();
    }
    if (devices) XFreeDeviceList(devices);
    return name;
}

// A property's raw items: 8-, 16- or 32-bit each, as XI2 returns them.
struct PropertyData {
    Atom type = None;
    int format = 0;
    std::vector<unsigned char> bytes;
    unsigned long items = 0;
};

std::optional<PropertyData> get_property(Display *display, int id, const char *name) {
    Atom atom = XInternAtom(display, name, True);
    if (atom == None) return std::nullopt;
    PropertyData property;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    if (XIGetProperty(display, id, atom, 0, 64, False, AnyPropertyType, &property.type, &property.format,
                      &property.items, &after, &data) != Success ||
        property.type == None) {
        if (data) XFree(data);
        return std::nullopt;
    }
    std::size_t size = property.items * static_cast<std::size_t>(property.format / 8);
    property.bytes.assign(data, data + size);
    XFree(data);
    return property;
}

bool server_does_not_accelerate(Display *display, int id) {
    auto profile = get_property(display, id, kServerProfile);
    if (!profile || profile->format != 32 || profile->items < 1) return false;
    std::int32_t value = 0;
    std::memcpy(&value, profile->bytes.data(), sizeof value);
    return value == -1;
}

// The device's PtrFeedback, or nullopt when it has none.
std::optional<XPtrFeedbackState> pointer_feedback(Display *display, XDevice *device) {
    int count = 0;
    XFeedbackState *states = XGetFeedbackControl(display, device, &count);
    std::optional<XPtrFeedbackState> found;
    XFeedbackState *state = states;
    for (int i = 0; i < count && state; ++i) {
        if (state->c_class == PtrFeedbackClass) {
            found = *reinterpret_cast<XPtrFeedbackState *>(state);
            break;
        }
        state = reinterpret_cast<XFeedbackState *>(reinterpret_cast<char *>(state) + state->length);
    }
    if (states) XFreeFeedbackList(states);
    return found;
}

// An XI 1 device handle, closed when dropped.
class OpenDevice {
public:
    OpenDevice(Display *display, int id) : display_(display), device_(XOpenDevice(display, static_cast<XID>(id))) {}
    ~OpenDevice() {
        if (device_) XCloseDevice(display_, device_);
    }
    OpenDevice(const OpenDevice &) = delete;
    OpenDevice &operator=(const OpenDevice &) = delete;
    XDevice *get() const { return device_; }

private:
    Display *display_;
    XDevice *device_;
};

KnobValue value_of(const XPtrFeedbackState &feedback) {
    KnobValue value;
    value.numerator = feedback.accelNum;
    value.denominator = feedback.accelDenom;
    value.feedback_id = feedback.id;
    return value;
}

// Only the acceleration is in the mask: the threshold stays as it is.
void send_feedback(Display *display, XDevice *device, int feedback_id, const KnobValue &value) {
    XPtrFeedbackControl control{};
    control.c_class = PtrFeedbackClass;
    control.length = sizeof control;
    control.id = feedback_id;
    control.accelNum = value.numerator;
    control.accelDenom = value.denominator;
    XChangeFeedbackControl(display, device, DvAccelNum | DvAccelDenom, reinterpret_cast<XFeedbackControl *>(&control));
}

std::optional<KnobValue> read_feedback(Display *display, int id) {
    OpenDevice device(display, id);
    if (!device.get()) return std::nullopt;
    auto feedback = pointer_feedback(display, device.get());
    if (!feedback) return std::nullopt;
    return value_of(*feedback);
}

std::optional<KnobValue> read_libinput(Display *display, int id) {
    KnobValue value;
    if (auto speed = get_property(display, id, kLibinputSpeed); speed && speed->format == 32 && speed->items >= 1) {
        float number = 0;
        std::memcpy(&number, speed->bytes.data(), sizeof number);
        value.speed = number;
    }
    if (auto profiles = get_property(display, id, kLibinputProfiles); profiles && profiles->format == 8)
        value.profiles = profiles->bytes;
    if (!value.speed && value.profiles.empty()) return std::nullopt;
    return value;
}

bool write_libinput(Display *display, int id, const KnobValue &value) {
    if (!value.profiles.empty()) {
        Atom atom = XInternAtom(display, kLibinputProfiles, True);
        if (atom == None) return false;
        std::vector<unsigned char> profiles = value.profiles;
        XIChangeProperty(display, id, atom, XA_INTEGER, 8, PropModeReplace, profiles.data(),
                         static_cast<int>(profiles.size()));
    }
    if (value.speed) {
        Atom atom = XInternAtom(display, kLibinputSpeed, True);
        Atom float_type = XInternAtom(display, "FLOAT", False);
        if (atom == None) return false;
        float number = *value.speed;
        unsigned char data[sizeof number];
        std::memcpy(data, &number, sizeof number);
        XIChangeProperty(display, id, atom, float_type, 32, PropModeReplace, data, 1);
    }
    return true;
}

void update_feedback(Display *display, int id, const std::function<KnobValue(const KnobValue &)> &next,
                     KnobUpdate &update) {
    OpenDevice device(display, id);
    if (!device.get()) return;
    auto feedback = pointer_feedback(display, device.get());
    if (!feedback || !no_errors_so_far()) return;
    update.before = value_of(*feedback);
    update.after = next(*update.before);
    send_feedback(display, device.get(), feedback->id, update.after);
}

void update_libinput(Display *display, int id, const std::function<KnobValue(const KnobValue &)> &next,
                     KnobUpdate &update) {
    auto before = read_libinput(display, id);
    if (!before || !no_errors_so_far()) return;
    update.before = before;
    update.after = next(*before);
    write_libinput(display, id, update.after);
}

std::string format_fixed3(double number) {
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, number, std::chars_format::fixed, 3);
    return std::string(text, result.ptr);
}

}  // namespace

const char *knob_name(KnobKind kind) {
    switch (kind) {
    case KnobKind::PtrFeedback: return "PtrFeedback";
    case KnobKind::Libinput: return "libinput";
    case KnobKind::NoKnob: break;
    }
    return "none";
}

std::optional<DeviceFacts> inspect_device(Display *display, int id, const std::string &name) {
    std::vector<std::string> names = property_names(display, id);
    std::string type = type_name(display, id);
    if (!round_trip_clean(display)) return std::nullopt;
    DeviceFacts facts;
    facts.id = id;
    facts.name = name;
    auto has = [&names](std::string_view wanted) { return std::find(names.begin(), names.end(), wanted) != names.end(); };
    facts.xtest = has(kXtestDevice);
    std::vector<std::string_view> views(names.begin(), names.end());
    facts.kind = hidsystem::classify({type, views, name});
    if (has(kLibinputSpeed) || has(kLibinputProfiles)) {
        facts.knob = KnobKind::Libinput;
    } else if (!server_does_not_accelerate(display, id) && read_feedback(display, id)) {
        facts.knob = KnobKind::PtrFeedback;
    }
    if (!round_trip_clean(display)) return std::nullopt;
    return facts;
}

std::optional<KnobValue> read_knob(Display *display, const DeviceFacts &device) {
    std::optional<KnobValue> value;
    if (device.knob == KnobKind::PtrFeedback) value = read_feedback(display, device.id);
    if (device.knob == KnobKind::Libinput) value = read_libinput(display, device.id);
    if (!round_trip_clean(display)) return std::nullopt;
    return value;
}

bool write_knob(Display *display, const DeviceFacts &device, const KnobValue &value) {
    bool sent = false;
    if (device.knob == KnobKind::PtrFeedback) {
        // The server finds the device by its id for this request; opening it
        // would cost a round trip for nothing.
        XDevice handle{static_cast<XID>(device.id), 0, nullptr};
        send_feedback(display, &handle, value.feedback_id, value);
        sent = true;
    }
    if (device.knob == KnobKind::Libinput) sent = write_libinput(display, device.id, value);
    return round_trip_clean(display) && sent;
}

KnobUpdate update_knob(Display *display, const DeviceFacts &device,
                       const std::function<KnobValue(const KnobValue &)> &next) {
    KnobUpdate update;
    if (device.knob == KnobKind::PtrFeedback) update_feedback(display, device.id, next, update);
    if (device.knob == KnobKind::Libinput) update_libinput(display, device.id, next, update);
    // The reading's errors were taken above; what is left is the write's.
    update.written = round_trip_clean(display) && update.before;
    return update;
}

KnobValue value_for_speed(const DeviceFacts &device, const KnobValue &current, double speed) {
    KnobValue value = current;
    if (device.knob == KnobKind::PtrFeedback) {
        hidsystem::FeedbackRatio ratio = hidsystem::feedback_for(speed);
        value.numerator = ratio.numerator;
        value.denominator = ratio.denominator;
    } else if (device.knob == KnobKind::Libinput) {
        hidsystem::LibinputSetting setting = hidsystem::libinput_for(device.kind, speed);
        if (value.speed) value.speed = static_cast<float>(setting.speed);
        // A device without room for the profile keeps its array as it is.
        std::vector<unsigned char> profiles = value.profiles;
        if (hidsystem::fill_profile_array(setting.profile, profiles)) value.profiles = profiles;
    }
    return value;
}

std::string describe(const DeviceFacts &device, const KnobValue &value) {
    if (device.knob == KnobKind::PtrFeedback)
        return std::to_string(value.numerator) + "/" + std::to_string(value.denominator);
    if (device.knob == KnobKind::Libinput) {
        std::string text;
        if (value.profiles.size() >= 2) text = value.profiles[1] ? "flat" : value.profiles[0] ? "adaptive" : "other";
        if (value.speed) text += (text.empty() ? "" : " ") + format_fixed3(*value.speed);
        return text;
    }
    return "-";
}

}  // namespace hidsystemd_x11
