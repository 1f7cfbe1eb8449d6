// KDE Plasma on X11: KWin offers no input devices on the bus there. Plasma
// keeps the mouse in kcminputrc, group [Mouse], `XLbInptPointerAcceleration`
// (libinput's speed) and `XLbInptAccelProfileFlat`, and each touchpad in
// touchpadxlibinputrc, one group per device name, `pointerAcceleration`,
// `pointerAccelerationProfileFlat` and `pointerAccelerationProfileAdaptive`
// (plasma-desktop kcms/mouse/backends/x11 and kcms/touchpad/backends/x11).
// kcminit writes these to every pointer whenever one appears and at each
// login, so a live X write alone would be undone at the next hot-plug: both
// files are written as Plasma's settings window writes them, and the X
// devices live. The files persist: snapshot file.
#include <optional>
#include <string>

#include "kconfig_file.h"
#include "live_store_knobs.h"

namespace hidsystemd_backend {

namespace {

constexpr const char *kMouseFile = "kcminputrc";
constexpr const char *kMouseGroup = "Mouse";
constexpr const char *kTouchpadFile = "touchpadxlibinputrc";

// Where one class of device keeps its setting: a file, a group, the keys.
struct Place {
    std::string file;
    std::string group;
    const char *speed_key;
    const char *flat_key;
    const char *adaptive_key;  // nullptr: the file has none
    hidsystem::PointerClass kind;

    // The snapshot's key: "kcminputrc [Mouse]".
    std::string key() const { return file + " [" + group + "]"; }
};

Place mouse_place() {
    return {kMouseFile, kMouseGroup, "XLbInptPointerAcceleration", "XLbInptAccelProfileFlat", nullptr,
            hidsystem::PointerClass::Mouse};
}

Place touchpad_place(const std::string &device) {
    return {kTouchpadFile, device, "pointerAcceleration", "pointerAccelerationProfileFlat",
            "pointerAccelerationProfileAdaptive", hidsystem::PointerClass::Touchpad};
}

std::optional<Place> place_of(const KnobRecord &record) {
    std::size_t open = record.key.find(" [");
    if (open == std::string::npos || record.key.back() != ']') return std::nullopt;
    std::string file = record.key.substr(0, open), group = record.key.substr(open + 2, record.key.size() - open - 3);
    if (file == kMouseFile && group == kMouseGroup) return mouse_place();
    if (file == kTouchpadFile) return touchpad_place(group);
    return std::nullopt;
}

class KdeX11Knobs final : public LiveStoreKnobs {
public:
    KdeX11Knobs() : LiveStoreKnobs("kde-x11", "kconfig") {}

private:
    std::string store_name() const override {
        return config_home() + "/" + kMouseFile + " and " + kTouchpadFile;
    }

    // The mouse group once, each touchpad the X server shows by its name.
    void write_store() override {
        if (auto speed = speeds().speed_for(hidsystem::PointerClass::Mouse)) write_place(mouse_place(), *speed);
        auto speed = speeds().speed_for(hidsystem::PointerClass::Touchpad);
        if (!speed) return;
        for (const hidsystemd_x11::PointerDevice &device : devices())
            if (device.kind == hidsystem::PointerClass::Touchpad) write_place(touchpad_place(device.name), *speed);
    }

    void put_back(const KnobRecord &record) override {
        if (auto place = place_of(record)) put_back_place(*place, record);
    }

    void write_place(const Place &place, double speed) {
        auto setting = hidsystem::libinput_for(place.kind, speed);
        std::string profile = profile_name(setting.profile);
        std::string text = describe_setting(profile, setting.speed);
        if (shows(place.key(), text)) return;
        auto file = read_config(place.file);
        if (!file) return;
        if (!keeper().remembers(place.key())) {
            auto flat = file->value(place.group, place.flat_key);
            std::optional<std::string> original_profile;
            if (flat) original_profile = *flat == "true" ? "flat" : "adaptive";
            keeper().remember({place.key(), hidsystem::class_name(place.kind), original_profile,
                              kconfig_double(file->value(place.group, place.speed_key)), profile, setting.speed});
        }
        bool flat = setting.profile == hidsystem::LibinputProfile::Flat;
        file->set(place.group, place.speed_key, kconfig_number(setting.speed));
        file->set(place.group, place.flat_key, flat ? "true" : "false");
        if (place.adaptive_key) file->set(place.group, place.adaptive_key, flat ? "false" : "true");
        if (!write_config(place.file, *file)) return;
        keeper().wrote(place.key(), profile, setting.speed);
        show(place.key(), place.kind, text);
    }

    // Only what still holds our value goes back; a key the user never had
    // is removed again.
    void put_back_place(const Place &place, const KnobRecord &record) {
        auto file = read_config(place.file);
        if (!file) return;
        auto speed = kconfig_double(file->value(place.group, place.speed_key));
        std::string profile = file->value(place.group, place.flat_key) == "true" ? "flat" : "adaptive";
        if (!speed || !still_written(record, profile, *speed)) return;
        if (record.original_speed)
            file->set(place.group, place.speed_key, kconfig_number(*record.original_speed));
        else
            file->remove(place.group, place.speed_key);
        if (record.original_profile) {
            bool flat = *record.original_profile == "flat";
            file->set(place.group, place.flat_key, flat ? "true" : "false");
            if (place.adaptive_key) file->set(place.group, place.adaptive_key, flat ? "false" : "true");
        } else {
            file->remove(place.group, place.flat_key);
            if (place.adaptive_key) file->remove(place.group, place.adaptive_key);
        }
        write_config(place.file, *file);
    }

    std::optional<KConfigText> read_config(const std::string &name) {
        auto file = load_config_text(config_home() + "/" + name);
        if (file) return std::move(*file);
        fail(file.message());
        return std::nullopt;
    }

    bool write_config(const std::string &name, const KConfigText &file) {
        Status saved = save_config_text(config_home() + "/" + name, file);
        if (!saved) fail(saved.message());
        return saved.ok();
    }

};

}  // namespace

const KnobsRegistration kKdeX11Knobs("kde-x11", [] { return std::unique_ptr<Knobs>(std::make_unique<KdeX11Knobs>()); });

}  // namespace hidsystemd_backend
