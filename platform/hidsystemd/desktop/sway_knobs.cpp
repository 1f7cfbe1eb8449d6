// sway: IPC over $SWAYSOCK. `input type:pointer ...` and `input
// type:touchpad ...` apply to every device of the type, including those
// that appear later; GET_INPUTS shows each device's current values. sway
// keeps them only until it restarts, so no snapshot file is needed.
#include <glib-unix.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "desktop_knobs.h"
#include "i3_ipc.h"

namespace hidsystemd_desktop {

namespace {

using Json = nlohmann::json;
constexpr double kSpeedTolerance = 1e-3;

struct InputDevice {
    std::string identifier;
    std::string name;
    hidsystem::PointerClass kind;
    std::optional<std::string> profile;  // libinput's, when reported
    std::optional<double> speed;
};

struct Setting {
    std::string profile;
    double speed = 0;
};

// One entry per class: pointers and touchpads.
struct TypeState {
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    const char *selector = "";
    std::optional<Setting> original;  // before the first write
    std::optional<Setting> written;
    std::optional<std::int32_t> last_fixed;
};

std::optional<hidsystem::PointerClass> class_of_type(const std::string &type) {
    if (type == "pointer") return hidsystem::PointerClass::Mouse;
    if (type == "touchpad") return hidsystem::PointerClass::Touchpad;
    return std::nullopt;
}

std::string string_field(const Json &object, const char *key) {
    auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::optional<InputDevice> parse_input(const Json &input) {
    if (!input.is_object()) return std::nullopt;
    auto kind = class_of_type(string_field(input, "type"));
    if (!kind) return std::nullopt;
    InputDevice device{string_field(input, "identifier"), string_field(input, "name"), *kind, {}, {}};
    auto libinput = input.find("libinput");
    if (libinput != input.end() && libinput->is_object()) {
        std::string profile = string_field(*libinput, "accel_profile");
        if (!profile.empty()) device.profile = profile;
        auto speed = libinput->find("accel_speed");
        if (speed != libinput->end() && speed->is_number()) device.speed = speed->get<double>();
    }
    return device;
}

std::string command_number(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", speed);
    return text;
}

class SwayKnobs final : public DesktopKnobs {
public:
    SwayKnobs() {
        types_[0] = {hidsystem::PointerClass::Mouse, "type:pointer", {}, {}, {}};
        types_[1] = {hidsystem::PointerClass::Touchpad, "type:touchpad", {}, {}, {}};
    }
    ~SwayKnobs() override {
        if (watch_) g_source_remove(watch_);
    }

    bool connect(std::string &error) override {
        const char *path = g_getenv("SWAYSOCK");
        socket_path_ = path ? path : "";
        if (!ipc_.connect(socket_path_, error)) return false;
        if (!refresh(error)) return false;
        // Nothing is subscribed, so anything readable is the end.
        watch_ = g_unix_fd_add(ipc_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_socket, this);
        return true;
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        std::string failure;
        if (!refresh(failure)) return lost(failure);
        for (TypeState &type : types_) {
            const auto &fixed = type.kind == hidsystem::PointerClass::Touchpad ? speeds.trackpad : speeds.mouse;
            if (!fixed || fixed == type.last_fixed) continue;
            auto setting = hidsystem::libinput_for(type.kind, *fixed / 65536.0);
            if (!type.original) type.original = current_of(type.kind);
            Setting wanted{profile_name(setting.profile), setting.speed};
            if (!send_setting(type, wanted)) return;
            type.written = wanted;
            type.last_fixed = fixed;
        }
        if (!refresh(failure)) lost(failure);
    }

    void restore() override {
        std::string failure;
        if (!refresh(failure)) return;
        for (TypeState &type : types_)
            if (type.written && type.original && still_ours(type)) send_setting(type, *type.original);
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = socket_path_;
        report.error = error_;
        int id = 1;
        for (const InputDevice &device : devices_) {
            std::string value = device.profile && device.speed ? describe_setting(*device.profile, *device.speed) : "-";
            report.devices.push_back({id++, hidsystem::class_name(device.kind), "sway", value,
                                      device.identifier + " " + device.name});
        }
    }

    // A command is no database write: the one APPLY in flight is pacing
    // enough.
    int write_interval_ms() const override { return 0; }

private:
    bool refresh(std::string &error) {
        auto reply = ipc_.request(kGetInputs, "", error);
        if (!reply) return false;
        Json inputs = Json::parse(*reply, nullptr, false);
        if (!inputs.is_array()) {
            error_ = "GET_INPUTS answered no list";
            return true;
        }
        devices_.clear();
        for (const Json &input : inputs)
            if (auto device = parse_input(input)) devices_.push_back(std::move(*device));
        return true;
    }

    // What the type's devices have now: the first device that reports
    // libinput's values; libinput's defaults when none does.
    Setting current_of(hidsystem::PointerClass kind) const {
        for (const InputDevice &device : devices_)
            if (device.kind == kind && device.profile && device.speed) return {*device.profile, *device.speed};
        return {"adaptive", 0};
    }

    // Ours while any device of the type still shows what was written (a
    // device given its own setting later is someone else's change), or
    // when no such device is left to ask.
    bool still_ours(const TypeState &type) const {
        bool any = false;
        for (const InputDevice &device : devices_) {
            if (device.kind != type.kind || !device.profile || !device.speed) continue;
            any = true;
            if (*device.profile == type.written->profile &&
                std::fabs(*device.speed - type.written->speed) < kSpeedTolerance)
                return true;
        }
        return !any;
    }

    bool send_setting(const TypeState &type, const Setting &setting) {
        std::string prefix = std::string("input ") + type.selector + " ";
        return run(prefix + "accel_profile " + setting.profile) &&
               run(prefix + "pointer_accel " + command_number(setting.speed));
    }

    bool run(const std::string &command) {
        std::string failure;
        auto reply = ipc_.request(kRunCommand, command, failure);
        if (!reply) {
            lost(failure);
            return false;
        }
        Json results = Json::parse(*reply, nullptr, false);
        bool ok = results.is_array() && !results.empty();
        for (const Json &result : results)
            if (!result.is_object() || !result.value("success", false)) {
                ok = false;
                if (result.is_object()) failure = string_field(result, "error");
            }
        if (!ok) error_ = "sway refused \"" + command + "\"" + (failure.empty() ? "" : ": " + failure);
        return ok;
    }

    void lost(const std::string &why) {
        if (on_lost) on_lost("sway's IPC: " + why);
    }

    static gboolean on_socket(gint, GIOCondition, gpointer data) {
        auto *self = static_cast<SwayKnobs *>(data);
        self->watch_ = 0;
        self->lost("sway closed its IPC socket");
        return G_SOURCE_REMOVE;
    }

    I3Ipc ipc_;
    std::string socket_path_;
    guint watch_ = 0;
    std::array<TypeState, 2> types_;
    std::vector<InputDevice> devices_;
    std::string error_;
};

}  // namespace

std::unique_ptr<DesktopKnobs> make_sway_knobs() { return std::make_unique<SwayKnobs>(); }

}  // namespace hidsystemd_desktop
