// river 0.4's libinput settings: river_input_manager_v1 names each input
// device and its type, river_libinput_config_v1 offers each libinput device
// with its acceleration profile and speed, current and supported, and takes
// new ones, each answered success, unsupported or invalid. Devices come and
// go at any time; the owner hears of it through on_devices_changed.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <Result.h>

#include "wayland_display.h"

struct river_input_manager_v1;
struct river_input_device_v1;
struct river_libinput_config_v1;
struct river_libinput_device_v1;

namespace hidsystemd_wayland {

inline constexpr std::uint32_t kRiverProfileFlat = 1;
inline constexpr std::uint32_t kRiverProfileAdaptive = 2;

struct RiverLibinputDevice {
    river_libinput_device_v1 *proxy = nullptr;
    river_input_device_v1 *input = nullptr;
    std::uint32_t supported_profiles = 0;
    std::optional<std::uint32_t> profile;
    std::optional<double> speed;
    bool removed = false;
};

class RiverLibinput {
public:
    RiverLibinput() = default;
    ~RiverLibinput();
    RiverLibinput(const RiverLibinput &) = delete;
    RiverLibinput &operator=(const RiverLibinput &) = delete;

    // Empty name: $WAYLAND_DISPLAY. Fails when the display offers neither
    // global; the devices known at connection are read before it returns.
    Status connect(const std::string &display_name);

    struct Pointer {
        const RiverLibinputDevice *device = nullptr;
        std::string name;
    };
    // The libinput devices whose input device is a pointer, by name.
    std::vector<Pointer> pointers() const;
    // Sets both; a failure when the connection fails or river stays
    // silent, else river's word on each ("success", "unsupported", ...).
    Result<std::string> set(const RiverLibinputDevice &device, std::uint32_t profile, double speed);

    // Until river has sent everything it had to say so far.
    Status sync();
    int fd() const { return display_.fd(); }
    Status dispatch_pending() { return display_.dispatch_pending(); }

    std::function<void()> on_devices_changed;

    // For the listeners.
    void input_named(river_input_device_v1 *input, std::string name);
    void input_typed(river_input_device_v1 *input, std::uint32_t type);
    void input_removed(river_input_device_v1 *input);
    void libinput_device_added(river_libinput_device_v1 *proxy);
    RiverLibinputDevice *device_of(river_libinput_device_v1 *proxy);
    void devices_changed() {
        if (on_devices_changed) on_devices_changed();
    }

private:
    struct InputDevice {
        std::string name;
        std::optional<std::uint32_t> type;
    };

    WaylandDisplay display_;
    river_input_manager_v1 *manager_ = nullptr;
    river_libinput_config_v1 *config_ = nullptr;
    std::map<river_input_device_v1 *, InputDevice> inputs_;
    std::list<RiverLibinputDevice> devices_;  // stable addresses for the listeners
};

}  // namespace hidsystemd_wayland
