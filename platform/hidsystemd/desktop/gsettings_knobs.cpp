// The desktops whose own daemon or window manager applies a pair of
// GSettings schemas, one for mice and one for touchpads, to every device,
// new ones included: those schemas are the knobs, and writing device
// properties beside them would race that daemon. GSettings persists across
// logins, hence the snapshot file.
#include <cstring>
#include <optional>
#include <vector>

#include <hidsystem/snapshot_path.h>

#include "gsettings_knobs.h"
#include "glib_holders.h"
#include "knob_snapshot.h"
#include "knobs.h"

namespace hidsystemd_backend {

namespace {

constexpr const char *kProfileKey = "accel-profile";

struct ClassSettings {
    GSettingsClass layout;
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

class GSettingsKnobs final : public Knobs {
public:
    explicit GSettingsKnobs(const GSettingsLayout &layout)
        : layout_(layout), keeper_(hidsystem::snapshot_path(layout.kind)) {
        for (const GSettingsClass &entry : layout.classes) classes_.push_back({entry, {}, false, {}, "-"});
    }
    ~GSettingsKnobs() override {
        if (bus_ && closed_handler_) g_signal_handler_disconnect(bus_.get(), closed_handler_);
    }

    Status connect() override {
        GSettingsSchemaSource *source = g_settings_schema_source_get_default();  // borrowed
        for (ClassSettings &entry : classes_) {
            const GSettingsClass &layout = entry.layout;
            GSettingsSchema *schema = source ? g_settings_schema_source_lookup(source, layout.schema_id, TRUE) : nullptr;
            if (!schema || !g_settings_schema_has_key(schema, layout.speed_key)) {
                if (schema) g_settings_schema_unref(schema);
                return Failure(std::string("the GSettings schema ") + layout.schema_id + " is not installed");
            }
            entry.has_profile = g_settings_schema_has_key(schema, kProfileKey);
            entry.settings.reset(g_settings_new_full(schema, nullptr, nullptr));
            g_settings_schema_unref(schema);
        }
        if (Status watched = watch_bus(); !watched) return watched;
        mend_leftovers();
        return Status::success();
    }

    // Only a class whose speed changed is written: a drag of one slider
    // writes one schema. A class the store refused is tried again with the
    // next pair, and until it lands no pair counts as applied.
    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        last_write_ = Status::success();
        for (ClassSettings &entry : classes_) {
            const auto &fixed = speeds.fixed_for(entry.layout.kind);
            if (!fixed || fixed == entry.last_fixed) continue;
            Status written =
                write_class(entry, hidsystem::libinput_for(entry.layout.kind, *speeds.speed_for(entry.layout.kind)));
            if (written) {
                entry.last_fixed = fixed;
                continue;
            }
            error_ = last_write_ ? written.message() : last_write_.message() + "; " + written.message();
            last_write_ = Failure(error_);
        }
        g_settings_sync();
    }

    Status last_write() const override { return last_write_; }

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
            report.devices.push_back({id++, hidsystem::class_name(entry.layout.kind), "gsettings", entry.applied,
                                      entry.layout.schema_id});
    }

    std::chrono::milliseconds write_interval() const override { return std::chrono::milliseconds(100); }

private:
    // dconf writes through the session bus and silently writes nothing
    // without one, so a missing bus is an error; its loss ends the backend
    // (the service starts another) instead of GLib's default exit.
    Status watch_bus() {
        GObject *backend = nullptr;
        g_object_get(classes_[0].settings.get(), "backend", &backend, nullptr);
        std::string type = backend ? G_OBJECT_TYPE_NAME(backend) : "unknown";
        if (backend) g_object_unref(backend);
        store_ = "GSettings (" + type + ")";
        if (type.find("DConf") == std::string::npos) return Status::success();
        ErrorHolder failure;
        bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, failure.out()));
        if (!bus_) return Failure("no session bus for dconf: " + failure.message());
        g_dbus_connection_set_exit_on_close(bus_.get(), FALSE);
        closed_handler_ = g_signal_connect(bus_.get(), "closed", G_CALLBACK(on_bus_closed), this);
        return Status::success();
    }

    static void on_bus_closed(GDBusConnection *, gboolean, GError *, gpointer self) {
        auto *knobs = static_cast<GSettingsKnobs *>(self);
        if (knobs->on_lost) knobs->on_lost("the session bus closed");
    }

    ClassSettings *find_class(const std::string &schema_id) {
        for (ClassSettings &entry : classes_)
            if (schema_id == entry.layout.schema_id) return &entry;
        return nullptr;
    }

    // A run that crashed left its snapshot: put back what still holds its
    // values, then start afresh.
    void mend_leftovers() {
        for (const KnobRecord &record : keeper_.leftovers()) put_back(record);
        g_settings_sync();
        keeper_.forget_all();
    }

    Status write_class(ClassSettings &entry, const hidsystem::LibinputSetting &setting) {
        GSettings *settings = entry.settings.get();
        const GSettingsClass &layout = entry.layout;
        std::string profile = profile_name(setting.profile);
        double speed = layout_.store_speed ? layout_.store_speed(setting.speed) : setting.speed;
        if (!g_settings_is_writable(settings, layout.speed_key) ||
            (entry.has_profile && !g_settings_is_writable(settings, kProfileKey)))
            return Failure(std::string(layout.schema_id) +
                           ": the store does not let this user change it (a locked key)");
        if (!keeper_.remembers(layout.schema_id)) {
            keeper_.remember({layout.schema_id, hidsystem::class_name(layout.kind),
                              entry.has_profile ? user_string(settings, kProfileKey) : std::nullopt,
                              user_double(settings, layout.speed_key), profile, speed});
        }
        // One change set: the store sees one write for both keys.
        g_settings_delay(settings);
        bool ok = g_settings_set_double(settings, layout.speed_key, speed);
        if (entry.has_profile) ok = g_settings_set_string(settings, kProfileKey, profile.c_str()) && ok;
        g_settings_apply(settings);
        if (!ok) return Failure(std::string(layout.schema_id) + ": the store refused the value");
        keeper_.wrote(layout.schema_id, profile, speed);
        entry.applied = describe_setting(entry.has_profile ? profile : layout.speed_key, speed);
        return Status::success();
    }

    void put_back(const KnobRecord &record) {
        ClassSettings *entry = find_class(record.key);
        if (!entry) return;
        GSettings *settings = entry->settings.get();
        gchar *profile = entry->has_profile ? g_settings_get_string(settings, kProfileKey) : nullptr;
        std::string current_profile = profile ? profile : record.written_profile;
        g_free(profile);
        // Someone else's later change stands.
        const char *speed_key = entry->layout.speed_key;
        if (!still_written(record, current_profile, g_settings_get_double(settings, speed_key))) return;
        g_settings_delay(settings);
        if (record.original_speed)
            g_settings_set_double(settings, speed_key, *record.original_speed);
        else
            g_settings_reset(settings, speed_key);
        if (entry->has_profile) {
            if (record.original_profile)
                g_settings_set_string(settings, kProfileKey, record.original_profile->c_str());
            else
                g_settings_reset(settings, kProfileKey);
        }
        g_settings_apply(settings);
    }

    GSettingsLayout layout_;
    std::vector<ClassSettings> classes_;
    SnapshotKeeper keeper_;
    ObjectHolder<GDBusConnection> bus_;
    gulong closed_handler_ = 0;
    std::string store_;
    std::string error_;
    Status last_write_;
};

}  // namespace

std::unique_ptr<Knobs> make_gsettings_knobs(const GSettingsLayout &layout) {
    return std::make_unique<GSettingsKnobs>(layout);
}

}  // namespace hidsystemd_backend
