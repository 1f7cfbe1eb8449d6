#include "pointer_session.h"

#include <algorithm>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include "x_errors.h"

namespace hidsystemd_x11 {

namespace {

constexpr const char *kXwaylandPrefix = "xwayland-";

}  // namespace

Result<void> PointerSession::start() {
    int event = 0, error_base = 0;
    int major = 2, minor = 0;
    if (!XQueryExtension(display_, "XInputExtension", &xi_opcode_, &event, &error_base) ||
        XIQueryVersion(display_, &major, &minor) != Success)
        return Failure("the X server has no XInput 2");
    unsigned char mask[XIMaskLen(XI_LASTEVENT)] = {0};
    XISetMask(mask, XI_HierarchyChanged);
    XIEventMask events{XIAllDevices, static_cast<int>(sizeof mask), mask};
    XISelectEvents(display_, DefaultRootWindow(display_), &events, 1);
    scan();
    return Result<void>::success();
}

void PointerSession::scan() {
    int count = 0;
    XIDeviceInfo *infos = XIQueryDevice(display_, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (infos[i].use == XISlavePointer) track(infos[i].deviceid, infos[i].name, infos[i].enabled, true);
    if (infos) XIFreeDeviceInfo(infos);
}

// Reads a device afresh; `fresh` forgets its snapshot (a new device starts
// from the server's defaults).
void PointerSession::track(int id, const std::string &name, bool enabled, bool fresh) {
    auto facts = inspect_device(display_, id, name);
    if (!facts || facts->xtest) {
        devices_.erase(id);
        return;
    }
    Tracked &device = devices_[id];
    if (fresh) device = Tracked{};
    device.facts = *facts;
    device.enabled = enabled;
    // Xwayland's devices: the compositor accelerates the real pointer, and
    // Xwayland applies nothing it is sent. Never written, in any mode.
    if (name.rfind(kXwaylandPrefix, 0) == 0) {
        device.facts.knob = KnobKind::NoKnob;
        device.applied = "not ours: the compositor owns the pointer";
        return;
    }
    apply(device, Basis::Reading);
}

std::optional<double> PointerSession::speed_for(const Tracked &device) const {
    return speeds_.speed_for(device.facts.kind);
}

void PointerSession::apply(Tracked &device, Basis basis) {
    auto speed = speed_for(device);
    if (!speed || !device.enabled || device.facts.knob == KnobKind::NoKnob) return;
    if (basis == Basis::LastWrite && device.written) {
        rewrite(device, *speed);
        return;
    }
    KnobUpdate update = update_knob(display_, device.facts, [&](const KnobValue &current) {
        return value_for_speed(device.facts, current, *speed);
    });
    if (!update.before) {
        last_error_ = "device " + std::to_string(device.facts.id) + ": cannot read its knob: " + last_error_text();
        return;
    }
    if (!device.original) device.original = update.before;
    if (!update.written) {
        last_error_ = "device " + std::to_string(device.facts.id) + ": the server refused the write: " +
                      last_error_text();
        return;
    }
    device.written = update.after;
    device.applied = describe(device.facts, update.after);
}

// Each step of a drag is written without reading the knob back first: one
// round trip instead of three. A change someone else made since the last
// step is overridden all the same, as it would be after a reading.
void PointerSession::rewrite(Tracked &device, double speed) {
    KnobValue next = value_for_speed(device.facts, *device.written, speed);
    if (!write_knob(display_, device.facts, next)) {
        last_error_ = "device " + std::to_string(device.facts.id) + ": the server refused the write: " +
                      last_error_text();
        return;
    }
    device.written = next;
    device.applied = describe(device.facts, next);
}

void PointerSession::set_speeds(const hidsystem::SpeedPair &speeds) {
    speeds_ = speeds;
    for (auto &[id, device] : devices_) apply(device, Basis::LastWrite);
    XFlush(display_);
}

void PointerSession::on_event(XEvent &event) {
    XGenericEventCookie *cookie = &event.xcookie;
    if (cookie->type != GenericEvent || cookie->extension != xi_opcode_ || cookie->evtype != XI_HierarchyChanged)
        return;
    if (!XGetEventData(display_, cookie)) return;
    auto *hierarchy = static_cast<XIHierarchyEvent *>(cookie->data);
    for (int i = 0; i < hierarchy->num_info; ++i) {
        const XIHierarchyInfo &info = hierarchy->info[i];
        if (info.flags & XISlaveRemoved) {
            devices_.erase(info.deviceid);
            continue;
        }
        if (info.flags & XIDeviceDisabled) {
            if (auto found = devices_.find(info.deviceid); found != devices_.end()) found->second.enabled = false;
            continue;
        }
        if (!(info.flags & (XISlaveAdded | XIDeviceEnabled | XISlaveAttached)) || info.use != XISlavePointer)
            continue;
        int count = 0;
        XIDeviceInfo *device = XIQueryDevice(display_, info.deviceid, &count);
        if (device && count == 1)
            track(info.deviceid, device->name, info.enabled, (info.flags & XISlaveAdded) != 0);
        if (device) XIFreeDeviceInfo(device);
    }
    XFreeEventData(display_, cookie);
}

void PointerSession::restore() {
    for (auto &[id, device] : devices_) {
        if (!device.original || !device.written) continue;
        auto current = read_knob(display_, device.facts);
        // Someone else's later change stands.
        if (current && *current == *device.written) write_knob(display_, device.facts, *device.original);
    }
    XSync(display_, False);
}

std::vector<PointerDevice> PointerSession::devices() const {
    std::vector<PointerDevice> found;
    for (const auto &[id, device] : devices_)
        if (device.facts.knob != KnobKind::NoKnob) found.push_back({device.facts.name, device.facts.kind, device.facts.knob});
    return found;
}

hidsystem::BackendReport PointerSession::report(std::uint64_t applied_sequence) const {
    hidsystem::BackendReport report;
    report.applied_sequence = applied_sequence;
    report.state = "connected";
    report.display = DisplayString(display_);
    report.error = last_error_;
    if (std::none_of(devices_.begin(), devices_.end(),
                     [](const auto &entry) { return entry.second.facts.knob != KnobKind::NoKnob; }) &&
        last_error_.empty())
        report.error = devices_.empty() ? "no pointer device on this X server besides XTEST's: nothing is applied"
                                        : "no pointer device here that the backend can drive: nothing is applied";
    for (const auto &[id, device] : devices_) {
        report.devices.push_back({id, hidsystem::class_name(device.facts.kind), knob_name(device.facts.knob),
                                  device.enabled ? device.applied : device.applied + " (disabled)",
                                  device.facts.name});
    }
    return report;
}

}  // namespace hidsystemd_x11
