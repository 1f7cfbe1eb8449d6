#include "river_libinput_standin.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <wayland-server.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "listening_socket.h"
#include "river-input-management-v1-server-protocol.h"
#include "river-libinput-config-v1-server-protocol.h"

namespace hidsystem_test {

namespace {

constexpr std::uint32_t kTypePointer = 1;
constexpr std::uint32_t kProfilesFlatAndAdaptive = 1 | 2;

RiverLibinputStandin *standin_of(wl_resource *resource) {
    return static_cast<RiverLibinputStandin *>(wl_resource_get_user_data(resource));
}

void forget_resource(wl_resource *resource) { standin_of(resource)->forget(resource); }

const struct river_input_manager_v1_interface kManager = {
    .stop = [](wl_client *, wl_resource *manager) { river_input_manager_v1_send_finished(manager); },
    .destroy = [](wl_client *, wl_resource *manager) { wl_resource_destroy(manager); },
    .create_seat = [](wl_client *, wl_resource *, const char *) {},
    .destroy_seat = [](wl_client *, wl_resource *, const char *) {},
};

const struct river_input_device_v1_interface kInputDevice = {
    .destroy = [](wl_client *, wl_resource *input) { wl_resource_destroy(input); },
    .assign_to_seat = nullptr,
    .set_repeat_info = nullptr,
    .set_scroll_factor = nullptr,
    .map_to_output = nullptr,
    .map_to_rectangle = nullptr,
};

const struct river_libinput_config_v1_interface kConfig = {
    .stop = [](wl_client *, wl_resource *config) { river_libinput_config_v1_send_finished(config); },
    .destroy = [](wl_client *, wl_resource *config) { wl_resource_destroy(config); },
    .create_accel_config = nullptr,
};

void set_profile(wl_client *, wl_resource *device, std::uint32_t result, std::uint32_t profile) {
    standin_of(device)->set_profile(device, result, profile);
}

void set_speed(wl_client *, wl_resource *device, std::uint32_t result, wl_array *value) {
    double speed = 0;
    bool well_formed = value && value->size == sizeof speed;
    if (well_formed) std::memcpy(&speed, value->data, sizeof speed);
    standin_of(device)->set_speed(device, result, speed, well_formed);
}

// Only what the backend asks is served; river answers the rest.
const struct river_libinput_device_v1_interface kLibinputDevice = {
    .destroy = [](wl_client *, wl_resource *device) { wl_resource_destroy(device); },
    .set_send_events = nullptr,
    .set_tap = nullptr,
    .set_tap_button_map = nullptr,
    .set_drag = nullptr,
    .set_drag_lock = nullptr,
    .set_three_finger_drag = nullptr,
    .set_calibration_matrix = nullptr,
    .set_accel_profile = set_profile,
    .set_accel_speed = set_speed,
    .apply_accel_config = nullptr,
    .set_natural_scroll = nullptr,
    .set_left_handed = nullptr,
    .set_click_method = nullptr,
    .set_clickfinger_button_map = nullptr,
    .set_middle_emulation = nullptr,
    .set_scroll_method = nullptr,
    .set_scroll_button = nullptr,
    .set_scroll_button_lock = nullptr,
    .set_dwt = nullptr,
    .set_dwtp = nullptr,
    .set_rotation = nullptr,
};

void send_speed(wl_resource *device, void (*send)(wl_resource *, wl_array *), double speed) {
    wl_array value;
    wl_array_init(&value);
    std::memcpy(wl_array_add(&value, sizeof speed), &speed, sizeof speed);
    send(device, &value);
    wl_array_release(&value);
}

}  // namespace

RiverLibinputStandin::RiverLibinputStandin(std::string socket_path, std::vector<std::string> pointer_names)
    : socket_path_(std::move(socket_path)) {
    for (std::string &name : pointer_names) devices_.push_back({std::move(name), {}});
    display_ = wl_display_create();
    if (wl_display_add_socket_fd(display_, listen_at(socket_path_)) != 0)
        throw std::runtime_error("river stand-in: wl_display_add_socket_fd failed");
    wl_global_create(display_, &river_input_manager_v1_interface, 1, this,
                     [](wl_client *client, void *data, std::uint32_t, std::uint32_t id) {
                         wl_resource *manager = wl_resource_create(client, &river_input_manager_v1_interface, 1, id);
                         wl_resource_set_implementation(manager, &kManager, data, forget_resource);
                         static_cast<RiverLibinputStandin *>(data)->bind_manager(client, manager);
                     });
    wl_global_create(display_, &river_libinput_config_v1_interface, 1, this,
                     [](wl_client *client, void *data, std::uint32_t, std::uint32_t id) {
                         wl_resource *config = wl_resource_create(client, &river_libinput_config_v1_interface, 1, id);
                         wl_resource_set_implementation(config, &kConfig, data, forget_resource);
                         static_cast<RiverLibinputStandin *>(data)->bind_config(client, config);
                     });
    thread_ = std::thread([this] { serve(); });
}

RiverLibinputStandin::~RiverLibinputStandin() {
    stopping_ = true;
    thread_.join();
    wl_display_destroy_clients(display_);
    wl_display_destroy(display_);
    unlink(socket_path_.c_str());
}

void RiverLibinputStandin::serve() {
    wl_event_loop *loop = wl_display_get_event_loop(display_);
    while (!stopping_) {
        wl_event_loop_dispatch(loop, 20);
        std::vector<std::function<void()>> work;
        {
            std::lock_guard lock(mutex_);
            work.swap(queued_);
        }
        for (auto &item : work) item();
        wl_display_flush_clients(display_);
    }
}

void RiverLibinputStandin::run_on_server(const std::function<void()> &work) {
    std::lock_guard lock(mutex_);
    queued_.push_back(work);
}

void RiverLibinputStandin::bind_manager(wl_client *, wl_resource *manager) {
    managers_.push_back(manager);
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        count = devices_.size();
    }
    for (std::size_t device = 0; device < count; ++device) announce_input(manager, device);
}

void RiverLibinputStandin::bind_config(wl_client *, wl_resource *config) {
    configs_.push_back(config);
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex_);
        count = devices_.size();
    }
    for (std::size_t device = 0; device < count; ++device) announce_libinput(config, device);
}

void RiverLibinputStandin::announce_input(wl_resource *manager, std::size_t device) {
    wl_client *client = wl_resource_get_client(manager);
    wl_resource *input = wl_resource_create(client, &river_input_device_v1_interface, 1, 0);
    wl_resource_set_implementation(input, &kInputDevice, this, forget_resource);
    river_input_manager_v1_send_input_device(manager, input);
    river_input_device_v1_send_type(input, kTypePointer);
    std::lock_guard lock(mutex_);
    river_input_device_v1_send_name(input, devices_[device].name.c_str());
    held_.push_back({device, client, input, nullptr});
}

void RiverLibinputStandin::announce_libinput(wl_resource *config, std::size_t device) {
    wl_client *client = wl_resource_get_client(config);
    std::lock_guard lock(mutex_);
    auto held = std::find_if(held_.begin(), held_.end(), [&](const Held &entry) {
        return entry.client == client && entry.device == device && entry.input && !entry.libinput;
    });
    // As river does: a libinput device is announced only with its input device.
    if (held == held_.end()) return;
    wl_resource *libinput = wl_resource_create(client, &river_libinput_device_v1_interface, 1, 0);
    wl_resource_set_implementation(libinput, &kLibinputDevice, this, forget_resource);
    held->libinput = libinput;
    river_libinput_config_v1_send_libinput_device(config, libinput);
    river_libinput_device_v1_send_input_device(libinput, held->input);
    river_libinput_device_v1_send_accel_profiles_support(libinput, kProfilesFlatAndAdaptive);
    river_libinput_device_v1_send_accel_profile_default(libinput, 2);
    river_libinput_device_v1_send_accel_profile_current(libinput, devices_[device].setting.profile);
    send_speed(libinput, river_libinput_device_v1_send_accel_speed_default, 0.0);
    send_speed(libinput, river_libinput_device_v1_send_accel_speed_current, devices_[device].setting.speed);
}

// Called with the lock held.
void RiverLibinputStandin::send_current(std::size_t device) {
    for (const Held &held : held_)
        if (held.device == device && held.libinput) {
            river_libinput_device_v1_send_accel_profile_current(held.libinput, devices_[device].setting.profile);
            send_speed(held.libinput, river_libinput_device_v1_send_accel_speed_current, devices_[device].setting.speed);
        }
}

void RiverLibinputStandin::set_profile(wl_resource *libinput, std::uint32_t result_id, std::uint32_t profile) {
    wl_resource *result = wl_resource_create(wl_resource_get_client(libinput), &river_libinput_result_v1_interface, 1,
                                             result_id);
    std::lock_guard lock(mutex_);
    auto held = std::find_if(held_.begin(), held_.end(), [&](const Held &entry) { return entry.libinput == libinput; });
    if (held == held_.end() || (profile != 1 && profile != 2)) {
        river_libinput_result_v1_send_invalid(result);
    } else {
        devices_[held->device].setting.profile = profile;
        changes_.push_back(devices_[held->device].name + " profile " + std::to_string(profile));
        send_current(held->device);
        river_libinput_result_v1_send_success(result);
    }
    wl_resource_destroy(result);
}

void RiverLibinputStandin::set_speed(wl_resource *libinput, std::uint32_t result_id, double speed, bool well_formed) {
    wl_resource *result = wl_resource_create(wl_resource_get_client(libinput), &river_libinput_result_v1_interface, 1,
                                             result_id);
    std::lock_guard lock(mutex_);
    auto held = std::find_if(held_.begin(), held_.end(), [&](const Held &entry) { return entry.libinput == libinput; });
    if (held == held_.end() || !well_formed || !(speed >= -1 && speed <= 1)) {
        river_libinput_result_v1_send_invalid(result);
    } else {
        devices_[held->device].setting.speed = speed;
        char text[32];
        std::snprintf(text, sizeof text, "%g", speed);
        changes_.push_back(devices_[held->device].name + " speed " + text);
        send_current(held->device);
        river_libinput_result_v1_send_success(result);
    }
    wl_resource_destroy(result);
}

void RiverLibinputStandin::forget(wl_resource *resource) {
    std::lock_guard lock(mutex_);
    std::erase(managers_, resource);
    std::erase(configs_, resource);
    for (Held &held : held_) {
        if (held.input == resource) held.input = nullptr;
        if (held.libinput == resource) held.libinput = nullptr;
    }
    std::erase_if(held_, [](const Held &held) { return !held.input && !held.libinput; });
}

std::optional<RiverLibinputSetting> RiverLibinputStandin::setting(const std::string &name) const {
    std::lock_guard lock(mutex_);
    for (const Device &device : devices_)
        if (device.name == name) return device.setting;
    return std::nullopt;
}

std::vector<std::string> RiverLibinputStandin::changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
}

void RiverLibinputStandin::configure(const std::string &name, RiverLibinputSetting setting) {
    run_on_server([this, name, setting] {
        std::lock_guard lock(mutex_);
        for (std::size_t device = 0; device < devices_.size(); ++device)
            if (devices_[device].name == name) {
                devices_[device].setting = setting;
                send_current(device);
            }
    });
}

void RiverLibinputStandin::plug(const std::string &name) {
    run_on_server([this, name] {
        std::size_t device = 0;
        {
            std::lock_guard lock(mutex_);
            devices_.push_back({name, {}});
            device = devices_.size() - 1;
        }
        for (wl_resource *manager : std::vector<wl_resource *>(managers_)) announce_input(manager, device);
        for (wl_resource *config : std::vector<wl_resource *>(configs_)) announce_libinput(config, device);
    });
}

}  // namespace hidsystem_test
