// sway: IPC over $SWAYSOCK. `input type:pointer ...` and `input
// type:touchpad ...` apply to every device of the type, including those
// that appear later; GET_INPUTS shows each device's current values. sway
// keeps them only until it restarts, so no snapshot file is needed; a
// reload drops them, so they are sent again when sway announces one.
#include <glib-unix.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include "i3_ipc.h"
#include "knobs.h"
#include "sway_replies.h"

namespace hidsystemd_backend {

namespace {

using InputDevice = SwayInput;
constexpr double kSpeedTolerance = 1e-3;

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

class SwayKnobs final : public Knobs {
public:
    SwayKnobs() {
        types_[0] = {hidsystem::PointerClass::Mouse, "type:pointer", {}, {}, {}};
        types_[1] = {hidsystem::PointerClass::Touchpad, "type:touchpad", {}, {}, {}};
    }
    ~SwayKnobs() override {
        if (watch_) g_source_remove(watch_);
        if (events_watch_) g_source_remove(events_watch_);
    }

    Status connect() override {
        const char *path = g_getenv("SWAYSOCK");
        socket_path_ = path ? path : "";
        if (Status connected = ipc_.connect(socket_path_); !connected) return connected;
        if (Status read = refresh(); !read) return read;
        // Nothing is subscribed here, so anything readable is the end.
        watch_ = g_unix_fd_add(ipc_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR), on_socket, this);
        subscribe_to_reloads();
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        last_write_ = Status::success();
        if (Status read = refresh(); !read) return lost(read.message());
        for (TypeState &type : types_) {
            const auto &fixed = speeds.fixed_for(type.kind);
            if (!fixed || fixed == type.last_fixed) continue;
            auto setting = hidsystem::libinput_for(type.kind, *speeds.speed_for(type.kind));
            if (!type.original) type.original = current_of(type.kind);
            Setting wanted{profile_name(setting.profile), setting.speed};
            if (!send_setting(type, wanted)) {
                last_write_ = Failure(error_.empty() ? "sway's IPC failed" : error_);
                return;
            }
            type.written = wanted;
            type.last_fixed = fixed;
        }
        if (Status read = refresh(); !read) lost(read.message());
    }

    Status last_write() const override { return last_write_; }

    void restore() override {
        if (!refresh()) return;
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

private:
    // Events come on a connection of their own, so that a reply is never
    // mistaken for one. Without it everything works but a reload.
    void subscribe_to_reloads() {
        auto subscribed = events_.connect(socket_path_) ? events_.request(kSubscribe, R"(["workspace"])")
                                                        : Result<std::string>(Failure("no second connection"));
        if (!subscribed || !parse_sway_subscribe_reply(*subscribed)) {
            error_ = "sway's events: " + (subscribed ? "the subscription was refused" : subscribed.message()) +
                     "; settings are not sent again after a reload";
            return;
        }
        events_watch_ = g_unix_fd_add(events_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                      on_event, this);
    }

    static gboolean on_event(gint, GIOCondition, gpointer data) {
        auto *self = static_cast<SwayKnobs *>(data);
        auto message = self->events_.read_message();
        if (!message) {
            self->events_watch_ = 0;
            self->lost("sway closed its IPC socket");
            return G_SOURCE_REMOVE;
        }
        if (is_sway_reload_event(message->type, message->payload)) self->send_again();
        return G_SOURCE_CONTINUE;
    }

    // A reload put the devices back to sway's configuration: what was
    // written goes out again.
    void send_again() {
        for (TypeState &type : types_)
            if (type.written && !send_setting(type, *type.written)) return;
        if (Status read = refresh(); !read) return lost(read.message());
        if (on_changed) on_changed();
    }

    // A reply that is no list of inputs is sway's mistake, not a lost
    // socket: it is reported and the devices seen last stay.
    Status refresh() {
        auto reply = ipc_.request(kGetInputs, "");
        if (!reply) return reply.failure();
        auto inputs = parse_sway_inputs(*reply);
        if (!inputs) {
            error_ = "GET_INPUTS answered no list";
            return Status::success();
        }
        devices_ = std::move(*inputs);
        return Status::success();
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
               run(prefix + "pointer_accel " + speed_text(setting.speed));
    }

    bool run(const std::string &command) {
        auto reply = ipc_.request(kRunCommand, command);
        if (!reply) {
            lost(reply.message());
            return false;
        }
        Status accepted = parse_sway_command_reply(*reply);
        if (!accepted)
            error_ = "sway refused \"" + command + "\"" + (accepted.message().empty() ? "" : ": " + accepted.message());
        return accepted.ok();
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
    I3Ipc events_;
    std::string socket_path_;
    guint watch_ = 0;
    guint events_watch_ = 0;
    std::array<TypeState, 2> types_;
    std::vector<InputDevice> devices_;
    Status last_write_;
    std::string error_;
};

}  // namespace

const KnobsRegistration kSway("sway", [] { return std::unique_ptr<Knobs>(std::make_unique<SwayKnobs>()); });

}  // namespace hidsystemd_backend
