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
#include <optional>
#include <string>

#include "kconfig_file.h"
#include "live_store_knobs.h"

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

class LxqtKnobs final : public LiveStoreKnobs {
public:
    LxqtKnobs() : LiveStoreKnobs("lxqt", "lxqt") {}

private:
    std::string store_name() const override { return session_file(); }

    void write_store() override {
        auto speed = speeds().speed_for(hidsystem::PointerClass::Touchpad);
        if (!speed) return;
        double libinput_speed = hidsystem::libinput_for(hidsystem::PointerClass::Touchpad, *speed).speed;
        for (const hidsystemd_x11::PointerDevice &device : devices())
            if (device.kind == hidsystem::PointerClass::Touchpad) write_touchpad(touchpad_key(device.name), libinput_speed);
    }

    void write_touchpad(const std::string &key, double speed) {
        std::string text = kconfig_number(speed);
        if (shows(key, text)) return;
        auto file = load_config_text(session_file());
        if (!file) return fail(file.message());
        if (!keeper().remembers(key))
            keeper().remember({key, "touchpad", std::nullopt, kconfig_double(file->value(kGroup, key)), kSpeedSetting,
                               speed});
        file->set(kGroup, key, text);
        if (Status saved = save_config_text(session_file(), *file); !saved) return fail(saved.message());
        keeper().wrote(key, kSpeedSetting, speed);
        show(key, hidsystem::PointerClass::Touchpad, text);
    }

    void put_back(const KnobRecord &record) override {
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

};

}  // namespace

const KnobsRegistration kLxqtKnobs("lxqt", [] { return std::unique_ptr<Knobs>(std::make_unique<LxqtKnobs>()); });

}  // namespace hidsystemd_backend
