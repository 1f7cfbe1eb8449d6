#include "river_libinput.h"

#include <wayland-client.h>

#include <cstring>

#include "river-input-management-v1-client-protocol.h"
#include "river-libinput-config-v1-client-protocol.h"

namespace hidsystemd_wayland {

namespace {

using namespace std::chrono_literals;

constexpr auto kConnectLimit = 2000ms;
constexpr auto kAnswerLimit = 2000ms;
constexpr std::uint32_t kInputTypePointer = 1;

RiverLibinput *owner(void *data) { return static_cast<RiverLibinput *>(data); }

// The input devices: names and types, sent once each.
void on_input_removed(void *data, river_input_device_v1 *input) { owner(data)->input_removed(input); }
void on_input_type(void *data, river_input_device_v1 *input, std::uint32_t type) { owner(data)->input_typed(input, type); }
void on_input_name(void *data, river_input_device_v1 *input, const char *name) {
    owner(data)->input_named(input, name ? name : "");
}
const river_input_device_v1_listener kInputListener = {on_input_removed, on_input_type, on_input_name};

void on_manager_finished(void *, river_input_manager_v1 *) {}
void on_new_input(void *data, river_input_manager_v1 *, river_input_device_v1 *input) {
    river_input_device_v1_add_listener(input, &kInputListener, data);
}
const river_input_manager_v1_listener kManagerListener = {on_manager_finished, on_new_input};

// The libinput devices: every setting is announced; only acceleration
// matters here, the rest is heard and let be.
void ignore_uint(void *, river_libinput_device_v1 *, std::uint32_t) {}
void ignore_int(void *, river_libinput_device_v1 *, std::int32_t) {}
void ignore_array(void *, river_libinput_device_v1 *, wl_array *) {}

void on_device_removed(void *data, river_libinput_device_v1 *proxy) {
    if (RiverLibinputDevice *device = owner(data)->device_of(proxy)) device->removed = true;
    owner(data)->devices_changed();
}
void on_input_device(void *data, river_libinput_device_v1 *proxy, river_input_device_v1 *input) {
    if (RiverLibinputDevice *device = owner(data)->device_of(proxy)) device->input = input;
    owner(data)->devices_changed();
}
void on_profiles_supported(void *data, river_libinput_device_v1 *proxy, std::uint32_t profiles) {
    if (RiverLibinputDevice *device = owner(data)->device_of(proxy)) device->supported_profiles = profiles;
}
void on_profile(void *data, river_libinput_device_v1 *proxy, std::uint32_t profile) {
    if (RiverLibinputDevice *device = owner(data)->device_of(proxy)) device->profile = profile;
}
// A double, as eight bytes in the machine's order; anything else is not one.
void on_speed(void *data, river_libinput_device_v1 *proxy, wl_array *value) {
    RiverLibinputDevice *device = owner(data)->device_of(proxy);
    if (!device || !value || value->size != sizeof(double)) return;
    double speed = 0;
    std::memcpy(&speed, value->data, sizeof speed);
    if (speed == speed) device->speed = speed;
}

const river_libinput_device_v1_listener kDeviceListener = {
    .removed = on_device_removed,
    .input_device = on_input_device,
    .send_events_support = ignore_uint,
    .send_events_default = ignore_uint,
    .send_events_current = ignore_uint,
    .tap_support = ignore_int,
    .tap_default = ignore_uint,
    .tap_current = ignore_uint,
    .tap_button_map_default = ignore_uint,
    .tap_button_map_current = ignore_uint,
    .drag_default = ignore_uint,
    .drag_current = ignore_uint,
    .drag_lock_default = ignore_uint,
    .drag_lock_current = ignore_uint,
    .three_finger_drag_support = ignore_int,
    .three_finger_drag_default = ignore_uint,
    .three_finger_drag_current = ignore_uint,
    .calibration_matrix_support = ignore_int,
    .calibration_matrix_default = ignore_array,
    .calibration_matrix_current = ignore_array,
    .accel_profiles_support = on_profiles_supported,
    .accel_profile_default = ignore_uint,
    .accel_profile_current = on_profile,
    .accel_speed_default = ignore_array,
    .accel_speed_current = on_speed,
    .natural_scroll_support = ignore_int,
    .natural_scroll_default = ignore_uint,
    .natural_scroll_current = ignore_uint,
    .left_handed_support = ignore_int,
    .left_handed_default = ignore_uint,
    .left_handed_current = ignore_uint,
    .click_method_support = ignore_uint,
    .click_method_default = ignore_uint,
    .click_method_current = ignore_uint,
    .clickfinger_button_map_default = ignore_uint,
    .clickfinger_button_map_current = ignore_uint,
    .middle_emulation_support = ignore_int,
    .middle_emulation_default = ignore_uint,
    .middle_emulation_current = ignore_uint,
    .scroll_method_support = ignore_uint,
    .scroll_method_default = ignore_uint,
    .scroll_method_current = ignore_uint,
    .scroll_button_default = ignore_uint,
    .scroll_button_current = ignore_uint,
    .scroll_button_lock_default = ignore_uint,
    .scroll_button_lock_current = ignore_uint,
    .dwt_support = ignore_int,
    .dwt_default = ignore_uint,
    .dwt_current = ignore_uint,
    .dwtp_support = ignore_int,
    .dwtp_default = ignore_uint,
    .dwtp_current = ignore_uint,
    .rotation_support = ignore_int,
    .rotation_default = ignore_uint,
    .rotation_current = ignore_uint,
};

void on_config_finished(void *, river_libinput_config_v1 *) {}
void on_libinput_device(void *data, river_libinput_config_v1 *, river_libinput_device_v1 *proxy) {
    owner(data)->libinput_device_added(proxy);
}
const river_libinput_config_v1_listener kConfigListener = {on_config_finished, on_libinput_device};

// One result object a request; river destroys it once it has answered.
void on_result(void *data, river_libinput_result_v1 *result, const char *word) {
    *static_cast<std::string *>(data) = word;
    river_libinput_result_v1_destroy(result);
}
const river_libinput_result_v1_listener kResultListener = {
    [](void *data, river_libinput_result_v1 *result) { on_result(data, result, "success"); },
    [](void *data, river_libinput_result_v1 *result) { on_result(data, result, "unsupported"); },
    [](void *data, river_libinput_result_v1 *result) { on_result(data, result, "invalid"); },
};

}  // namespace

RiverLibinput::~RiverLibinput() {
    for (RiverLibinputDevice &device : devices_) river_libinput_device_v1_destroy(device.proxy);
    for (auto &[input, info] : inputs_) river_input_device_v1_destroy(input);
    // Their destroy request is only allowed after a finished event this
    // side never waits for: the proxies are let go here, the objects with
    // the connection.
    if (config_) wl_proxy_destroy(reinterpret_cast<wl_proxy *>(config_));
    if (manager_) wl_proxy_destroy(reinterpret_cast<wl_proxy *>(manager_));
}

Status RiverLibinput::connect(const std::string &display_name) {
    if (Status connected = display_.connect(display_name, kConnectLimit); !connected) return connected;
    // The input devices first: a libinput device names its input device in
    // its first event, which river can only send once that one is known.
    auto manager = display_.bind("river_input_manager_v1", &river_input_manager_v1_interface, 1);
    if (!manager) return Failure("not river 0.4: " + manager.message());
    auto config = display_.bind("river_libinput_config_v1", &river_libinput_config_v1_interface, 1);
    if (!config) return Failure("not river 0.4: " + config.message());
    config_ = static_cast<river_libinput_config_v1 *>(*config);
    manager_ = static_cast<river_input_manager_v1 *>(*manager);
    river_input_manager_v1_add_listener(manager_, &kManagerListener, this);
    river_libinput_config_v1_add_listener(config_, &kConfigListener, this);
    // The devices arrive in the first answer, their settings in the next.
    for (int round = 0; round < 2; ++round)
        if (Status read = sync(); !read) return read;
    return Status::success();
}

Status RiverLibinput::sync() {
    bool synced = false;
    wl_callback *callback = wl_display_sync(display_.display());
    static const wl_callback_listener kSynced = {[](void *flag, wl_callback *done, std::uint32_t) {
        *static_cast<bool *>(flag) = true;
        wl_callback_destroy(done);
    }};
    wl_callback_add_listener(callback, &kSynced, &synced);
    return display_.dispatch_until([&] { return synced; }, kAnswerLimit);
}

std::vector<RiverLibinput::Pointer> RiverLibinput::pointers() const {
    std::vector<Pointer> pointers;
    for (const RiverLibinputDevice &device : devices_) {
        auto input = inputs_.find(device.input);
        if (device.removed || input == inputs_.end() || input->second.type != kInputTypePointer) continue;
        pointers.push_back({&device, input->second.name});
    }
    return pointers;
}

Result<std::string> RiverLibinput::set(const RiverLibinputDevice &device, std::uint32_t profile, double speed) {
    std::string profile_answer, speed_answer;
    river_libinput_result_v1 *profile_result = river_libinput_device_v1_set_accel_profile(device.proxy, profile);
    river_libinput_result_v1_add_listener(profile_result, &kResultListener, &profile_answer);
    wl_array value;
    wl_array_init(&value);
    std::memcpy(wl_array_add(&value, sizeof speed), &speed, sizeof speed);
    river_libinput_result_v1 *speed_result = river_libinput_device_v1_set_accel_speed(device.proxy, &value);
    wl_array_release(&value);
    river_libinput_result_v1_add_listener(speed_result, &kResultListener, &speed_answer);
    Status answered = display_.dispatch_until([&] { return !profile_answer.empty() && !speed_answer.empty(); },
                                              kAnswerLimit);
    if (!answered) return answered.failure();
    if (profile_answer != "success") return "accel profile: " + profile_answer;
    if (speed_answer != "success") return "accel speed: " + speed_answer;
    return std::string("success");
}

void RiverLibinput::input_named(river_input_device_v1 *input, std::string name) { inputs_[input].name = std::move(name); }

void RiverLibinput::input_typed(river_input_device_v1 *input, std::uint32_t type) { inputs_[input].type = type; }

void RiverLibinput::input_removed(river_input_device_v1 *input) {
    inputs_[input].type.reset();
    devices_changed();
}

void RiverLibinput::libinput_device_added(river_libinput_device_v1 *proxy) {
    devices_.push_back({proxy, nullptr, 0, std::nullopt, std::nullopt, false});
    river_libinput_device_v1_add_listener(proxy, &kDeviceListener, this);
}

RiverLibinputDevice *RiverLibinput::device_of(river_libinput_device_v1 *proxy) {
    for (RiverLibinputDevice &device : devices_)
        if (device.proxy == proxy) return &device;
    return nullptr;
}

}  // namespace hidsystemd_wayland
