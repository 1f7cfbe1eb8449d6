// A stand-in for river 0.4's libinput settings, served by a thread of the
// test on a Wayland socket of its own, as river's protocol descriptions
// (protocol/river-input-management-v1.xml and river-libinput-config-v1.xml,
// 2025) have it: each input device announced to the input manager with its
// type and name; each libinput device to the libinput config, naming its
// input device first, then its profiles supported, default and current,
// and its speed default and current (a double in an eight-byte array). A
// profile or speed set is answered by a result object: success, or
// invalid for a profile the device lacks or a speed outside [-1, 1]; the
// new current value goes to every client that holds the device.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct wl_display;
struct wl_resource;
struct wl_client;

namespace hidsystem_test {

struct RiverLibinputSetting {
    std::uint32_t profile = 2;  // 1 flat, 2 adaptive
    double speed = 0;
};

class RiverLibinputStandin {
public:
    RiverLibinputStandin(std::string socket_path, std::vector<std::string> pointer_names);
    ~RiverLibinputStandin();
    RiverLibinputStandin(const RiverLibinputStandin &) = delete;
    RiverLibinputStandin &operator=(const RiverLibinputStandin &) = delete;

    std::optional<RiverLibinputSetting> setting(const std::string &name) const;
    // Requests that changed a setting, "NAME profile 1" or "NAME speed 0.5".
    std::vector<std::string> changes() const;
    // Another client sets a device; a device is plugged in.
    void configure(const std::string &name, RiverLibinputSetting setting);
    void plug(const std::string &name);

    // For the protocol handlers, on the serving thread.
    struct Device {
        std::string name;
        RiverLibinputSetting setting;
    };
    void bind_manager(wl_client *client, wl_resource *manager);
    void bind_config(wl_client *client, wl_resource *config);
    void set_profile(wl_resource *device, std::uint32_t result_id, std::uint32_t profile);
    void set_speed(wl_resource *device, std::uint32_t result_id, double speed, bool well_formed);
    void forget(wl_resource *resource);

private:
    struct Held {
        std::size_t device = 0;
        wl_client *client = nullptr;
        wl_resource *input = nullptr;     // river_input_device_v1
        wl_resource *libinput = nullptr;  // river_libinput_device_v1, once the client has the config
    };
    void announce_input(wl_resource *manager, std::size_t device);
    void announce_libinput(wl_resource *config, std::size_t device);
    void send_current(std::size_t device);
    void run_on_server(const std::function<void()> &work);
    void serve();

    std::string socket_path_;
    wl_display *display_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<Device> devices_;
    std::vector<Held> held_;
    std::vector<wl_resource *> managers_, configs_;
    std::vector<std::string> changes_;
    std::vector<std::function<void()>> queued_;
};

}  // namespace hidsystem_test
