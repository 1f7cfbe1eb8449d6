// LXQt on X11: at login and when a touchpad appears, LXQt's input settings
// loader sets each touchpad's libinput speed from its session file,
// $XDG_CONFIG_HOME/lxqt/<session>.conf (<session> from
// LXQT_SESSION_CONFIG, else "session"), group [Touchpad], one subgroup per
// device (lxqt-config-input/touchpaddevice.cpp, lxqt-config 1.x): a key
// `<name>\accelSpeed`, the name percent-encoded once by LXQt and once more
// by Qt's INI writer. Its [Mouse] settings go to the core pointer control,
// which reaches no libinput device and overwrites every device else, so
// mice are written live only. The devices are written live as well.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include <hidsystem/snapshot_path.h>

#include "kconfig_file.h"
#include "knob_snapshot.h"
#include "knobs.h"
#include "x_pointers.h"

namespace hidsystemd_backend {

namespace {

constexpr const char *kGroup = "Touchpad";
// The snapshot's "profile" field: the file holds the speed alone.
constexpr const char *kSpeedSetting = "speed";

std::string session_file() {
    const char *name = std::getenv("LXQT_SESSION_CONFIG");
    return config_home() + "/lxqt/" + (name && *name && !std::strchr(name, '/') ? name : "session") + ".conf";
}

// Percent-encoding of every byte but letters, digits and "-._~" (LXQt's
// escaping of the name), then Qt's INI escaping of the key, which leaves
// letters, digits and "-_." alone and encodes the rest, the '%' included.
std::string percent(const std::string &text, const char *keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string result;
    for (unsigned char c : text) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     std::strchr(keep, c) != nullptr;
        if (plain && c != '\0') {
            result += static_cast<char>(c);
        } else {
            result += '%';
            result += kHex[c >> 4];
            result += kHex[c & 15];
        }
    }
    return result;
}

std::string touchpad_key(const std::string &device) { return percent(percent(device, "-._~"), "-_.") + "\\accelSpeed"; }

class LxqtKnobs final : public Knobs {
public:
    LxqtKnobs() : keeper_(hidsystem::snapshot_path("lxqt")) {}

    Status connect() override {
        Result<void> live = pointers_.connect("", [this](const std::string &lost) { if (on_lost) on_lost(lost); },
                                              [this] { device_changed(); });
        if (!live) return live;
        for (const KnobRecord &record : keeper_.leftovers()) put_back(record);
        keeper_.forget_all();
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        speeds_ = speeds;
        pointers_.set_speeds(speeds);
        write_touchpads();
    }

    void restore() override {
        for (const auto &[key, record] : keeper_.records()) put_back(record);
        keeper_.forget_all();
        pointers_.restore();
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = session_file() + ", X display " + pointers_.display_name();
        report.error = !keeper_.error().empty() ? keeper_.error() : error_;
        int id = 1;
        for (const auto &[key, text] : written_) report.devices.push_back({id++, "touchpad", "lxqt", text, key});
        pointers_.describe(report);
    }

    std::chrono::milliseconds write_interval() const override { return std::chrono::milliseconds(100); }

private:
    void device_changed() {
        write_touchpads();
        if (on_changed) on_changed();
    }

    void write_touchpads() {
        auto speed = speeds_.speed_for(hidsystem::PointerClass::Touchpad);
        if (!speed) return;
        double libinput_speed = hidsystem::libinput_for(hidsystem::PointerClass::Touchpad, *speed).speed;
        for (const hidsystemd_x11::PointerDevice &device : pointers_.devices())
            if (device.kind == hidsystem::PointerClass::Touchpad) write_touchpad(touchpad_key(device.name), libinput_speed);
    }

    void write_touchpad(const std::string &key, double speed) {
        std::string text = kconfig_number(speed);
        if (auto found = written_.find(key); found != written_.end() && found->second == text) return;
        auto file = load_config_text(session_file());
        if (!file) {
            error_ = file.message();
            return;
        }
        if (!keeper_.remembers(key))
            keeper_.remember({key, "touchpad", std::nullopt, kconfig_double(file->value(kGroup, key)), kSpeedSetting,
                              speed});
        file->set(kGroup, key, text);
        if (Status saved = save_config_text(session_file(), *file); !saved) {
            error_ = saved.message();
            return;
        }
        keeper_.wrote(key, kSpeedSetting, speed);
        written_[key] = text;
    }

    void put_back(const KnobRecord &record) {
        auto file = load_config_text(session_file());
        if (!file) return;
        auto speed = kconfig_double(file->value(kGroup, record.key));
        if (!speed || !still_written(record, kSpeedSetting, *speed)) return;
        if (record.original_speed)
            file->set(kGroup, record.key, kconfig_number(*record.original_speed));
        else
            file->remove(kGroup, record.key);
        [[maybe_unused]] Status saved = save_config_text(session_file(), *file);
    }

    hidsystemd_x11::XPointers pointers_;
    SnapshotKeeper keeper_;
    hidsystem::SpeedPair speeds_;
    std::map<std::string, std::string> written_;  // by key: the speed written
    std::string error_;
};

}  // namespace

const KnobsRegistration kLxqtKnobs("lxqt", [] { return std::unique_ptr<Knobs>(std::make_unique<LxqtKnobs>()); });

}  // namespace hidsystemd_backend
