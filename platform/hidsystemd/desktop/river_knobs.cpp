// river 0.3: its command interface on the Wayland display, the commands
// riverctl sends. `input IDENTIFIER accel-profile` and `pointer-accel`,
// one device at a time, touchpads told by name (river_replies.h). river
// keeps them until it ends; the service starts the backend again when
// river comes back, which sends them again.
#include <glib-unix.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include <river_control.h>

#include "knobs.h"
#include "river_knobs.h"
#include "river_replies.h"

namespace hidsystemd_backend {

namespace {

constexpr double kSpeedTolerance = 1e-3;
constexpr const char *kNoPointer = "river lists no pointer: nothing is applied";

struct Setting {
    std::string profile;
    double speed = 0;
    bool operator==(const Setting &other) const {
        return profile == other.profile && std::fabs(speed - other.speed) < kSpeedTolerance;
    }
};

// What river applies to a device nobody configured: libinput's defaults.
const Setting kLibinputDefaults{"adaptive", 0};

struct DeviceState {
    std::optional<Setting> original;  // before the first write
    std::optional<Setting> written;
    std::optional<std::int32_t> last_fixed;
};

class RiverKnobs final : public Knobs {
public:
    ~RiverKnobs() override {
        if (watch_) g_source_remove(watch_);
    }

    Status connect() override {
        const char *display = g_getenv("WAYLAND_DISPLAY");
        display_ = display ? display : "";
        if (Status connected = control_.connect(display_); !connected) return connected;
        if (Status read = refresh_devices(); !read) return read;
        watch_ = g_unix_fd_add(control_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_socket,
                               this);
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        last_write_ = Status::success();
        if (Status read = refresh_devices(); !read) return lost(read.message());
        if (devices_.empty()) last_write_ = Failure(error_.empty() ? kNoPointer : error_);
        auto settings = read_settings();
        if (!settings) return lost(settings.message());
        for (const RiverInput &device : devices_) {
            const auto &fixed = speeds.fixed_for(device.kind);
            DeviceState &state = states_[device.identifier];
            if (!fixed || fixed == state.last_fixed) continue;
            auto mapped = hidsystem::libinput_for(device.kind, *speeds.speed_for(device.kind));
            Setting wanted{profile_name(mapped.profile), mapped.speed};
            if (!state.original) state.original = configured(*settings, device.identifier).value_or(kLibinputDefaults);
            if (!send(device.identifier, wanted)) {
                last_write_ = Failure(error_);
                return;
            }
            state.written = wanted;
            state.last_fixed = fixed;
        }
    }

    Status last_write() const override { return last_write_; }

    // Only where river still holds what was written: a setting the user
    // gave the device meanwhile stands.
    void restore() override {
        auto settings = read_settings();
        if (!settings) return;
        for (auto &[identifier, state] : states_) {
            if (!state.written || !state.original) continue;
            if (configured(*settings, identifier) == state.written) send(identifier, *state.original);
        }
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = "Wayland display " + display_;
        report.error = error_;
        int id = 1;
        for (const RiverInput &device : devices_) {
            auto state = states_.find(device.identifier);
            std::string value = "-";
            if (state != states_.end() && state->second.written)
                value = describe_setting(state->second.written->profile, state->second.written->speed);
            report.devices.push_back({id++, hidsystem::class_name(device.kind), "river", value, device.identifier});
        }
    }

private:
    Status refresh_devices() {
        auto answer = control_.run({"list-inputs"});
        if (!answer) return answer.failure();
        if (!answer->succeeded) {
            error_ = "river refused list-inputs: " + answer->text;
            return Status::success();
        }
        devices_ = parse_river_inputs(answer->text);
        return Status::success();
    }

    // The settings river holds; none when it refuses to list them.
    Result<std::vector<RiverInputSetting>> read_settings() {
        auto answer = control_.run({"list-input-configs"});
        if (!answer) return answer.failure();
        if (!answer->succeeded) return std::vector<RiverInputSetting>{};
        return parse_river_input_settings(answer->text);
    }

    // The device's own entry, when it has both settings.
    static std::optional<Setting> configured(const std::vector<RiverInputSetting> &settings,
                                             const std::string &identifier) {
        for (const RiverInputSetting &setting : settings)
            if (setting.identifier == identifier && setting.accel_profile && setting.pointer_accel)
                return Setting{*setting.accel_profile, *setting.pointer_accel};
        return std::nullopt;
    }

    bool send(const std::string &identifier, const Setting &setting) {
        return run({"input", identifier, "accel-profile", setting.profile}) &&
               run({"input", identifier, "pointer-accel", speed_text(setting.speed)});
    }

    bool run(const std::vector<std::string> &arguments) {
        auto answer = control_.run(arguments);
        if (!answer) {
            lost(answer.message());
            return false;
        }
        if (!answer->succeeded) {
            std::string command;
            for (const std::string &argument : arguments) command += (command.empty() ? "" : " ") + argument;
            error_ = "river refused \"" + command + "\": " + answer->text;
        }
        return answer->succeeded;
    }

    void lost(const std::string &why) {
        if (on_lost) on_lost("river's Wayland display: " + why);
    }

    static gboolean on_socket(gint, GIOCondition condition, gpointer data) {
        auto *self = static_cast<RiverKnobs *>(data);
        Status handled = self->control_.dispatch_pending();
        if (handled && !(condition & (G_IO_HUP | G_IO_ERR))) return G_SOURCE_CONTINUE;
        self->watch_ = 0;
        self->lost(handled ? "river closed the connection" : handled.message());
        return G_SOURCE_REMOVE;
    }

    hidsystemd_wayland::RiverControl control_;
    std::string display_;
    guint watch_ = 0;
    std::vector<RiverInput> devices_;
    std::map<std::string, DeviceState> states_;
    Status last_write_;
    std::string error_;
};

}  // namespace

namespace {

// Whichever interface the display offers; the other's knobs are never made.
class RiverKnobsOfThisVersion final : public Knobs {
public:
    Status connect() override {
        const char *display = g_getenv("WAYLAND_DISPLAY");
        auto globals = hidsystemd_wayland::wayland_global_names(display ? display : "", std::chrono::seconds(2));
        auto offers = [&](const char *interface) { return std::find(globals.begin(), globals.end(), interface) != globals.end(); };
        if (offers("zriver_control_v1"))
            inner_ = make_river_command_knobs();
        else if (offers("river_libinput_config_v1"))
            inner_ = make_river_libinput_knobs();
        else
            return Failure("the Wayland display offers neither river's control nor its libinput settings");
        inner_->on_lost = on_lost;
        inner_->on_changed = on_changed;
        return inner_->connect();
    }
    void set_speeds(const hidsystem::SpeedPair &speeds) override { inner_->set_speeds(speeds); }
    void restore() override { inner_->restore(); }
    Status last_write() const override { return inner_->last_write(); }
    void describe(hidsystem::BackendReport &report) const override { inner_->describe(report); }

private:
    std::unique_ptr<Knobs> inner_;
};

}  // namespace

std::unique_ptr<Knobs> make_river_command_knobs() { return std::make_unique<RiverKnobs>(); }

const KnobsRegistration kRiver("river", [] { return std::unique_ptr<Knobs>(std::make_unique<RiverKnobsOfThisVersion>()); });

}  // namespace hidsystemd_backend
