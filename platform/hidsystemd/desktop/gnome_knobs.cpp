// GNOME: the window manager applies GSettings org.gnome.desktop.peripherals
// .mouse and .touchpad to every device, new ones included, so those two
// schemas are the knobs; writing device properties beside it would race it.
// GSettings persists across logins, hence the snapshot file.
#include <cstring>
#include <optional>
#include <vector>

#include <hidsystem/snapshot_path.h>

#include "desktop_knobs.h"
#include "glib_holders.h"
#include "knob_snapshot.h"

namespace hidsystemd_desktop {

namespace {

constexpr const char *kSpeedKey = "speed";
constexpr const char *kProfileKey = "accel-profile";

struct ClassSettings {
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    const char *schema_id = "";
    ObjectHolder<GSettings> settings;
    bool has_profile = false;
    std::optional<std::int32_t> last_fixed;  // the speed last written
    std::string applied = "-";
};

std::optional<std::string> user_string(GSettings *settings, const char *key) {
    VariantHolder value(g_settings_get_user_value(settings, key));
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) return std::nullopt;
    return std::string(g_variant_get_string(value.get(), nullptr));
}

std::optional<double> user_double(GSettings *settings, const char *key) {
    VariantHolder value(g_settings_get_user_value(settings, key));
    if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_DOUBLE)) return std::nullopt;
    return g_variant_get_double(value.get());
}

class GnomeKnobs final : public DesktopKnobs {
public:
    GnomeKnobs() : keeper_(hidsystem::snapshot_path("gnome")) {
        classes_.resize(2);
        classes_[0].schema_id = "org.gnome.desktop.peripherals.mouse";
        classes_[1].kind = hidsystem::PointerClass::Touchpad;
        classes_[1].schema_id = "org.gnome.desktop.peripherals.touchpad";
    }
    ~GnomeKnobs() override {
        if (bus_ && closed_handler_) g_signal_handler_disconnect(bus_.get(), closed_handler_);
    }

    bool connect(std::string &error) override {
        GSettingsSchemaSource *source = g_settings_schema_source_get_default();  // borrowed
        for (ClassSettings &entry : classes_) {
            GSettingsSchema *schema = source ? g_settings_schema_source_lookup(source, entry.schema_id, TRUE) : nullptr;
            if (!schema || !g_settings_schema_has_key(schema, kSpeedKey)) {
                if (schema) g_settings_schema_unref(schema);
                error = std::string("the GSettings schema ") + entry.schema_id + " is not installed";
                return false;
            }
            entry.has_profile = g_settings_schema_has_key(schema, kProfileKey);
            entry.settings.reset(g_settings_new_full(schema, nullptr, nullptr));
            g_settings_schema_unref(schema);
        }
        if (!watch_bus(error)) return false;
        mend_leftovers();
        return true;
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        for (ClassSettings &entry : classes_) {
            const auto &fixed = entry.kind == hidsystem::PointerClass::Touchpad ? speeds.trackpad : speeds.mouse;
            // Only a class whose speed changed is written: a drag of one
            // slider writes one schema.
            if (!fixed || fixed == entry.last_fixed) continue;
            write_class(entry, hidsystem::libinput_for(entry.kind, *fixed / 65536.0));
            entry.last_fixed = fixed;
        }
        g_settings_sync();
    }

    void restore() override {
        for (const auto &[key, record] : keeper_.records()) put_back(record);
        g_settings_sync();
        keeper_.forget_all();
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = store_;
        report.error = !keeper_.error().empty() ? keeper_.error() : error_;
        int id = 1;
        for (const ClassSettings &entry : classes_)
            report.devices.push_back({id++, hidsystem::class_name(entry.kind), "gsettings", entry.applied,
                                      entry.schema_id});
    }

    int write_interval_ms() const override { return 100; }

private:
    // dconf writes through the session bus and silently writes nothing
    // without one, so a missing bus is an error; its loss ends the backend
    // (the service starts another) instead of GLib's default exit.
    bool watch_bus(std::string &error) {
        GObject *backend = nullptr;
        g_object_get(classes_[0].settings.get(), "backend", &backend, nullptr);
        std::string type = backend ? G_OBJECT_TYPE_NAME(backend) : "unknown";
        if (backend) g_object_unref(backend);
        store_ = "GSettings (" + type + ")";
        if (type.find("DConf") == std::string::npos) return true;
        ErrorHolder failure;
        bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, failure.out()));
        if (!bus_) {
            error = "no session bus for dconf: " + failure.message();
            return false;
        }
        g_dbus_connection_set_exit_on_close(bus_.get(), FALSE);
        closed_handler_ = g_signal_connect(bus_.get(), "closed", G_CALLBACK(on_bus_closed), this);
        return true;
    }

    static void on_bus_closed(GDBusConnection *, gboolean, GError *, gpointer self) {
        auto *knobs = static_cast<GnomeKnobs *>(self);
        if (knobs->on_lost) knobs->on_lost("the session bus closed");
    }

    ClassSettings *find_class(const std::string &schema_id) {
        for (ClassSettings &entry : classes_)
            if (schema_id == entry.schema_id) return &entry;
        return nullptr;
    }

    // A run that crashed left its snapshot: put back what still holds its
    // values, then start afresh.
    void mend_leftovers() {
        for (const KnobRecord &record : keeper_.leftovers()) put_back(record);
        g_settings_sync();
        keeper_.forget_all();
    }

    void write_class(ClassSettings &entry, const hidsystem::LibinputSetting &setting) {
        GSettings *settings = entry.settings.get();
        std::string profile = profile_name(setting.profile);
        if (!keeper_.remembers(entry.schema_id)) {
            keeper_.remember({entry.schema_id, hidsystem::class_name(entry.kind),
                              entry.has_profile ? user_string(settings, kProfileKey) : std::nullopt,
                              user_double(settings, kSpeedKey), profile, setting.speed});
        }
        // One change set: the store sees one write for both keys.
        g_settings_delay(settings);
        bool ok = g_settings_set_double(settings, kSpeedKey, setting.speed);
        if (entry.has_profile) ok = g_settings_set_string(settings, kProfileKey, profile.c_str()) && ok;
        g_settings_apply(settings);
        if (!ok) {
            error_ = std::string(entry.schema_id) + ": the store refused the value";
            return;
        }
        keeper_.wrote(entry.schema_id, profile, setting.speed);
        entry.applied = describe_setting(entry.has_profile ? profile : "speed", setting.speed);
    }

    void put_back(const KnobRecord &record) {
        ClassSettings *entry = find_class(record.key);
        if (!entry) return;
        GSettings *settings = entry->settings.get();
        gchar *profile = entry->has_profile ? g_settings_get_string(settings, kProfileKey) : nullptr;
        std::string current_profile = profile ? profile : record.written_profile;
        g_free(profile);
        // Someone else's later change stands.
        if (!still_written(record, current_profile, g_settings_get_double(settings, kSpeedKey))) return;
        g_settings_delay(settings);
        if (record.original_speed)
            g_settings_set_double(settings, kSpeedKey, *record.original_speed);
        else
            g_settings_reset(settings, kSpeedKey);
        if (entry->has_profile) {
            if (record.original_profile)
                g_settings_set_string(settings, kProfileKey, record.original_profile->c_str());
            else
                g_settings_reset(settings, kProfileKey);
        }
        g_settings_apply(settings);
    }

    std::vector<ClassSettings> classes_;
    SnapshotKeeper keeper_;
    ObjectHolder<GDBusConnection> bus_;
    gulong closed_handler_ = 0;
    std::string store_;
    std::string error_;
};

}  // namespace

std::unique_ptr<DesktopKnobs> make_gnome_knobs() { return std::make_unique<GnomeKnobs>(); }

}  // namespace hidsystemd_desktop
