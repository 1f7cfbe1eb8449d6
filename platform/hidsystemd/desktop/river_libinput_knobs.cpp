// river 0.4: its libinput settings on the Wayland display, one device at a
// time, touchpads told by name. A device that appears later gets the
// speeds at once. What is written lasts until river ends; the service
// starts the backend again when river comes back.
#include <glib-unix.h>

#include <cmath>
#include <map>
#include <optional>

#include <river_libinput.h>

#include "knobs.h"
#include "river_knobs.h"
#include "river_replies.h"

namespace hidsystemd_backend {

namespace {

using hidsystemd_wayland::RiverLibinputDevice;

constexpr double kSpeedTolerance = 1e-3;

struct Setting {
    std::uint32_t profile = hidsystemd_wayland::kRiverProfileAdaptive;
    double speed = 0;
    bool operator==(const Setting &other) const {
        return profile == other.profile && std::fabs(speed - other.speed) < kSpeedTolerance;
    }
};

struct DeviceState {
    std::optional<Setting> original;
    std::optional<Setting> written;
    std::optional<std::int32_t> last_fixed;
};

std::optional<Setting> current_of(const RiverLibinputDevice &device) {
    if (!device.profile || !device.speed) return std::nullopt;
    return Setting{*device.profile, *device.speed};
}

const char *profile_word(std::uint32_t profile) {
    return profile == hidsystemd_wayland::kRiverProfileFlat ? "flat" : "adaptive";
}

class RiverLibinputKnobs final : public Knobs {
public:
    ~RiverLibinputKnobs() override {
        if (watch_) g_source_remove(watch_);
        if (idle_) g_source_remove(idle_);
    }

    Status connect() override {
        const char *display = g_getenv("WAYLAND_DISPLAY");
        display_ = display ? display : "";
        if (Status connected = river_.connect(display_); !connected) return connected;
        river_.on_devices_changed = [this] { follow_devices(); };
        watch_ = g_unix_fd_add(river_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_socket, this);
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        speeds_ = speeds;
        last_write_ = apply();
        // What river holds now, for the report.
        if (Status read = river_.sync(); !read) lost(read.message());
    }

    Status last_write() const override { return last_write_; }

    // Only where river still holds what was written.
    void restore() override {
        if (!river_.sync()) return;
        for (const auto &pointer : river_.pointers()) {
            auto state = states_.find(pointer.device);
            if (state == states_.end() || !state->second.written || !state->second.original) continue;
            if (current_of(*pointer.device) != state->second.written) continue;
            // At the end there is no one left to tell of a refusal.
            [[maybe_unused]] auto answer =
                river_.set(*pointer.device, state->second.original->profile, state->second.original->speed);
        }
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = "Wayland display " + display_;
        report.error = error_;
        int id = 1;
        for (const auto &pointer : river_.pointers()) {
            auto current = current_of(*pointer.device);
            std::string value = current ? describe_setting(profile_word(current->profile), current->speed) : "-";
            report.devices.push_back(
                {id++, hidsystem::class_name(river_pointer_class(pointer.name)), "river", value, pointer.name});
        }
    }

private:
    Status apply() {
        Status applied;
        if (river_.pointers().empty()) applied = Failure("river lists no pointer: nothing is applied");
        for (const auto &pointer : river_.pointers()) {
            auto kind = river_pointer_class(pointer.name);
            const auto &fixed = speeds_.fixed_for(kind);
            DeviceState &state = states_[pointer.device];
            if (!fixed || fixed == state.last_fixed) continue;
            auto mapped = hidsystem::libinput_for(kind, *speeds_.speed_for(kind));
            Setting wanted{mapped.profile == hidsystem::LibinputProfile::Flat ? hidsystemd_wayland::kRiverProfileFlat
                                                                               : hidsystemd_wayland::kRiverProfileAdaptive,
                           mapped.speed};
            if (!state.original) state.original = current_of(*pointer.device).value_or(Setting{});
            auto answer = river_.set(*pointer.device, wanted.profile, wanted.speed);
            if (!answer) {
                lost(answer.message());
                return answer.failure();
            }
            if (*answer != "success") {
                error_ = "river refused " + pointer.name + "'s " + *answer;
                applied = Failure(error_);
                continue;
            }
            state.written = wanted;
            state.last_fixed = fixed;
        }
        return applied;
    }

    // A device that came or went: the speeds reach a new one at once, from
    // the main loop rather than inside river's event.
    void follow_devices() {
        if (idle_) return;
        idle_ = g_idle_add(
            [](gpointer data) {
                auto *self = static_cast<RiverLibinputKnobs *>(data);
                self->idle_ = 0;
                [[maybe_unused]] Status applied = self->apply();
                if (self->on_changed) self->on_changed();
                return G_SOURCE_REMOVE;
            },
            this);
    }

    void lost(const std::string &why) {
        if (on_lost) on_lost("river's Wayland display: " + why);
    }

    static gboolean on_socket(gint, GIOCondition condition, gpointer data) {
        auto *self = static_cast<RiverLibinputKnobs *>(data);
        Status handled = self->river_.dispatch_pending();
        if (handled && !(condition & (G_IO_HUP | G_IO_ERR))) {
            // A setting changed by someone else: the report shows it.
            if (self->on_changed) self->on_changed();
            return G_SOURCE_CONTINUE;
        }
        self->watch_ = 0;
        self->lost(handled ? "river closed the connection" : handled.message());
        return G_SOURCE_REMOVE;
    }

    hidsystemd_wayland::RiverLibinput river_;
    std::string display_;
    guint watch_ = 0;
    guint idle_ = 0;
    hidsystem::SpeedPair speeds_;
    std::map<const RiverLibinputDevice *, DeviceState> states_;
    Status last_write_;
    std::string error_;
};

}  // namespace

std::unique_ptr<Knobs> make_river_libinput_knobs() { return std::make_unique<RiverLibinputKnobs>(); }

}  // namespace hidsystemd_backend
