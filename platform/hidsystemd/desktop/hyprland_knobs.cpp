// Hyprland: requests on $XDG_RUNTIME_DIR/hypr/$HYPRLAND_INSTANCE_SIGNATURE/
// .socket.sock, one a connection. `input:accel_profile` and
// `input:sensitivity` apply to every pointer, touchpads included, so the
// mouse speed goes there and each touchpad gets an entry of its own, which
// takes precedence for it. `j/version` tells the form: `keyword` up to
// 0.54, `eval` of Lua from 0.55. Nothing written outlives the compositor,
// so no snapshot file is needed; a reload of the configuration drops it,
// and Hyprland announces one on its event socket (.socket2.sock): what it
// holds then is the user's again, and what was asked is sent once more.
//
// Touchpads are told by name (containing "touchpad" or "trackpad"): Hyprland
// decides by a libinput property that it does not report on its sockets.
#include <glib-unix.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <vector>

#include "hypr_socket.h"
#include "hyprland_replies.h"
#include "hyprland_requests.h"
#include "knobs.h"

namespace hidsystemd_backend {

namespace {

constexpr double kSensitivityTolerance = 1e-3;
constexpr std::string_view kEmptyMark = "[[EMPTY]]";

// Hyprland reports an empty profile (libinput's own) as its empty mark.
std::string plain_profile(std::string_view profile) { return profile == kEmptyMark ? "" : std::string(profile); }

bool same_setting(const HyprSetting &a, const HyprSetting &b) {
    return plain_profile(a.profile) == plain_profile(b.profile) &&
           std::fabs(a.sensitivity - b.sensitivity) < kSensitivityTolerance;
}

HyprSetting setting_for(hidsystem::PointerClass kind, double speed) {
    auto setting = hidsystem::libinput_for(kind, speed);
    return {profile_name(setting.profile), setting.speed};
}

std::string setting_text(const HyprSetting &setting) {
    std::string profile = plain_profile(setting.profile);
    return describe_setting(profile.empty() ? "default" : profile, setting.sensitivity);
}

Result<std::string> instance_directory() {
    const char *signature = g_getenv("HYPRLAND_INSTANCE_SIGNATURE");
    const char *runtime = g_getenv("XDG_RUNTIME_DIR");
    std::string_view name = signature ? signature : "";
    if (name.empty()) return Failure("HYPRLAND_INSTANCE_SIGNATURE is not set");
    // It names a directory: never one elsewhere.
    if (name.find('/') != std::string_view::npos || name == "." || name == "..")
        return Failure("HYPRLAND_INSTANCE_SIGNATURE is no instance's name");
    if (!runtime || !*runtime) return Failure("XDG_RUNTIME_DIR is not set");
    return std::string(runtime) + "/hypr/" + std::string(name);
}

class HyprlandKnobs final : public Knobs {
public:
    ~HyprlandKnobs() override {
        if (events_watch_) g_source_remove(events_watch_);
    }

    Status connect() override {
        auto directory = instance_directory();
        if (!directory) return directory.failure();
        requests_ = HyprRequests(*directory + "/.socket.sock");
        auto version = requests_.request("j/version");
        if (!version) return Failure("Hyprland's request socket: " + version.message());
        choose_form(*version);
        if (Status read = refresh(); !read) return Failure("Hyprland's request socket: " + read.message());
        watch_events(*directory + "/.socket2.sock");
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        speeds_ = speeds;
        error_.clear();
        last_write_ = apply();
        if (!last_write_) fail(last_write_);
    }

    Status last_write() const override { return last_write_; }

    // Options that no longer hold what was written were changed by someone
    // else and stay. A device's own entry cannot be read back: it is set
    // to what every pointer has once the options are back.
    void restore() override {
        if (!original_) return;
        auto now = read_options();
        if (!now) return;
        HyprSetting after = *now;
        if (written_options_ && same_setting(*now, *written_options_)) {
            if (!write(std::nullopt, *original_)) return;
            after = *original_;
        }
        for (const auto &[name, written] : entries_)
            if (!write(name, after)) return;
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = requests_.path() + (form_ == HyprForm::Lua ? " (eval)" : " (keyword)");
        report.error = error_.empty() ? events_note_ : error_;
        int id = 1;
        for (const HyprPointer &pointer : pointers_) {
            auto entry = entries_.find(pointer.name);
            std::string value = entry != entries_.end() ? setting_text(entry->second)
                                : current_                ? setting_text(*current_)
                                                          : "-";
            report.devices.push_back({id++, hidsystem::class_name(pointer.kind), "hyprland", value, pointer.name});
        }
    }

private:
    void choose_form(const std::string &version_answer) {
        auto version = parse_hypr_version(version_answer);
        form_ = version && version->takes_lua() ? HyprForm::Lua : HyprForm::Keyword;
    }

    // The snapshot comes first: nothing is written that could not be put
    // back.
    Status apply() {
        if (Status read = refresh(); !read) return read;
        if (!original_) {
            auto before = read_options();
            if (!before) return before.failure();
            original_ = *before;
        }
        if (Status mice = apply_options(); !mice) return mice;
        if (Status touchpads = apply_entries(); !touchpads) return touchpads;
        return refresh();
    }

    Status apply_options() {
        const auto &fixed = speeds_.mouse;
        if (!fixed || fixed == mouse_fixed_) return Status::success();
        HyprSetting wanted = setting_for(hidsystem::PointerClass::Mouse, *speeds_.speed_for(hidsystem::PointerClass::Mouse));
        if (Status written = write(std::nullopt, wanted); !written) return written;
        written_options_ = wanted;
        mouse_fixed_ = fixed;
        return Status::success();
    }

    // Touchpads follow the options unless they have an entry: while no
    // trackpad speed is set, one written for the mice would move them, so
    // they keep what they had then.
    std::optional<HyprSetting> touchpad_target() const {
        if (speeds_.trackpad)
            return setting_for(hidsystem::PointerClass::Touchpad, *speeds_.speed_for(hidsystem::PointerClass::Touchpad));
        if (written_options_) return original_;
        return std::nullopt;
    }

    Status apply_entries() {
        auto target = touchpad_target();
        if (!target) return Status::success();
        for (const HyprPointer &pointer : pointers_) {
            if (pointer.kind != hidsystem::PointerClass::Touchpad) continue;
            if (!hypr_device_name_fits(form_, pointer.name)) {
                error_ = "touchpad \"" + pointer.name + "\": its name cannot be written in a keyword request";
                continue;
            }
            auto entry = entries_.find(pointer.name);
            if (entry != entries_.end() && same_setting(entry->second, *target)) continue;
            if (Status written = write(pointer.name, *target); !written) return written;
            entries_[pointer.name] = *target;
        }
        return Status::success();
    }

    // A 0.55 still configured the old way takes no `eval`: the older form
    // is tried once there.
    Status write(const std::optional<std::string> &device, const HyprSetting &setting) {
        for (const std::string &request : hypr_setting_requests(form_, device, setting)) {
            auto answer = requests_.request(request);
            if (!answer) return answer.failure();
            Status accepted = parse_hypr_command_reply(*answer);
            if (accepted) continue;
            if (form_ == HyprForm::Lua && accepted.message().starts_with("eval is only supported")) {
                form_ = HyprForm::Keyword;
                return write(device, setting);
            }
            return Failure("Hyprland refused \"" + request + "\": " + accepted.message());
        }
        return Status::success();
    }

    Result<HyprSetting> read_options() {
        auto profile_answer = requests_.request("j/getoption input:accel_profile");
        if (!profile_answer) return profile_answer.failure();
        auto profile = parse_hypr_string_option(*profile_answer);
        if (!profile) return Failure("getoption input:accel_profile answered no string option");
        auto sensitivity_answer = requests_.request("j/getoption input:sensitivity");
        if (!sensitivity_answer) return sensitivity_answer.failure();
        auto sensitivity = parse_hypr_float_option(*sensitivity_answer);
        if (!sensitivity) return Failure("getoption input:sensitivity answered no float option");
        return HyprSetting{plain_profile(*profile), *sensitivity};
    }

    // The pointers and what the options hold now. Only a compositor that
    // is gone fails it; an answer of another shape is reported and what
    // was seen last stays.
    Status refresh() {
        auto answer = requests_.request("j/devices");
        if (!answer) return answer.failure();
        if (auto pointers = parse_hypr_devices(*answer))
            pointers_ = std::move(*pointers);
        else
            error_ = "j/devices answered no list of pointers";
        auto now = read_options();
        if (now)
            current_ = *now;
        else if (requests_.unreachable())
            return now.failure();
        else
            error_ = now.message();
        return Status::success();
    }

    void fail(const Status &status) {
        if (requests_.unreachable())
            lost("Hyprland's request socket: " + status.message());
        else
            error_ = status.message();
    }

    void lost(const std::string &why) {
        if (on_lost) on_lost(why);
    }

    // Without its events everything works but a reload.
    void watch_events(const std::string &path) {
        if (Status connected = events_.connect(path); !connected) {
            events_note_ = "Hyprland's events: " + connected.message() + "; settings are not sent again after a reload";
            return;
        }
        events_watch_ = g_unix_fd_add(events_.fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR),
                                      on_events, this);
    }

    static gboolean on_events(gint, GIOCondition, gpointer data) {
        auto *self = static_cast<HyprlandKnobs *>(data);
        auto lines = self->events_.read_lines();
        if (!lines) {
            self->events_watch_ = 0;
            self->lost(lines.message());
            return G_SOURCE_REMOVE;
        }
        if (std::any_of(lines->begin(), lines->end(), [](const std::string &line) { return is_hypr_reload_event(line); }))
            self->send_again();
        return G_SOURCE_CONTINUE;
    }

    // A reload dropped every runtime value and entry: what Hyprland holds
    // now is the user's configuration, the new snapshot, and what was
    // asked goes out again.
    void send_again() {
        original_.reset();
        written_options_.reset();
        mouse_fixed_.reset();
        entries_.clear();
        error_.clear();
        Status done = speeds_.mouse || speeds_.trackpad ? apply() : refresh();
        if (!done) fail(done);
        if (on_changed) on_changed();
    }

    HyprRequests requests_{""};
    HyprEvents events_;
    guint events_watch_ = 0;
    HyprForm form_ = HyprForm::Keyword;
    hidsystem::SpeedPair speeds_;
    std::vector<HyprPointer> pointers_;
    std::optional<HyprSetting> current_;
    std::optional<HyprSetting> original_;         // before the first write
    std::optional<HyprSetting> written_options_;  // input:*
    std::optional<std::int32_t> mouse_fixed_;
    std::map<std::string, HyprSetting> entries_;  // touchpads' own, as written
    Status last_write_;
    std::string error_;
    std::string events_note_;
};

}  // namespace

const KnobsRegistration kHyprland("hyprland",
                                  [] { return std::unique_ptr<Knobs>(std::make_unique<HyprlandKnobs>()); });

}  // namespace hidsystemd_backend
