// KDE Plasma: KWin owns the devices and offers each on the session bus as
// /org/kde/KWin/InputDevice/<sysName> (org.kde.KWin.InputDevice); the
// manager at /org/kde/KWin/InputDevice lists them and signals new ones.
// KWin saves what is set into its own configuration, hence the snapshot
// file.
#include <map>
#include <optional>
#include <vector>

#include <hidsystem/snapshot_path.h>

#include "glib_holders.h"
#include "knob_snapshot.h"
#include "knobs.h"

namespace hidsystemd_backend {

namespace {

constexpr const char *kService = "org.kde.KWin";
constexpr const char *kManagerPath = "/org/kde/KWin/InputDevice";
constexpr const char *kManagerInterface = "org.kde.KWin.InputDeviceManager";
constexpr const char *kDeviceInterface = "org.kde.KWin.InputDevice";
constexpr const char *kProperties = "org.freedesktop.DBus.Properties";
constexpr int kCallTimeoutMs = 1000;

struct Device {
    std::string sys_name;
    std::string name;
    hidsystem::PointerClass kind = hidsystem::PointerClass::Mouse;
    std::optional<std::int32_t> last_fixed;
    std::string applied = "-";
};

std::string device_path(const std::string &sys_name) { return std::string(kManagerPath) + "/" + sys_name; }

class KdeKnobs final : public Knobs {
public:
    KdeKnobs() : keeper_(hidsystem::snapshot_path("kde")) {}
    ~KdeKnobs() override {
        if (!bus_) return;
        if (watch_) g_bus_unwatch_name(watch_);
        for (guint subscription : subscriptions_) g_dbus_connection_signal_unsubscribe(bus_.get(), subscription);
        if (closed_handler_) g_signal_handler_disconnect(bus_.get(), closed_handler_);
    }

    Status connect() override {
        ErrorHolder failure;
        bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, failure.out()));
        if (!bus_) return Failure("no session bus: " + failure.message());
        const char *address = g_getenv("DBUS_SESSION_BUS_ADDRESS");
        bus_name_ = std::string("session bus ") + (address ? address : "");
        g_dbus_connection_set_exit_on_close(bus_.get(), FALSE);
        closed_handler_ = g_signal_connect(bus_.get(), "closed", G_CALLBACK(on_bus_closed), this);
        subscribe("deviceAdded", on_device_added);
        subscribe("deviceRemoved", on_device_removed);
        // KWin may start after us, restart or leave: the name tells.
        watch_ = g_bus_watch_name_on_connection(bus_.get(), kService, G_BUS_NAME_WATCHER_FLAGS_NONE, on_appeared,
                                                on_vanished, this, nullptr);
        scan();
        return Status::success();
    }

    void set_speeds(const hidsystem::SpeedPair &speeds) override {
        speeds_ = speeds;
        for (auto &[sys_name, device] : devices_) apply(device);
    }

    // A device KWin does not show now (KWin gone, device unplugged) keeps
    // its record in the file: KWin saved our value, a later run mends it.
    void restore() override {
        // KWin never seen: nothing was written, and a crash's file stays owed.
        if (!mended_) return;
        std::vector<KnobRecord> unsettled;
        for (const auto &[key, record] : keeper_.records())
            if (!put_back(record)) unsettled.push_back(record);
        keeper_.keep_only(unsettled);
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = present_ ? "connected" : "waiting";
        report.display = bus_name_;
        report.error = !keeper_.error().empty() ? keeper_.error() : error_;
        int id = 1;
        for (const auto &[sys_name, device] : devices_)
            report.devices.push_back({id++, hidsystem::class_name(device.kind), "kwin", device.applied,
                                      sys_name + " " + device.name});
    }

    std::chrono::milliseconds write_interval() const override { return std::chrono::milliseconds(100); }

private:
    void subscribe(const char *signal, GDBusSignalCallback callback) {
        subscriptions_.push_back(g_dbus_connection_signal_subscribe(bus_.get(), kService, kManagerInterface, signal,
                                                                    kManagerPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                                    callback, this, nullptr));
    }

    Result<VariantHolder> call(const std::string &path, const char *method, GVariant *arguments,
                               const GVariantType *reply) {
        ErrorHolder failure;
        VariantHolder result(g_dbus_connection_call_sync(bus_.get(), kService, path.c_str(), kProperties, method,
                                                         arguments, reply, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                                                         nullptr, failure.out()));
        if (!result) return Failure(failure.message());
        return result;
    }

    std::optional<VariantHolder> property(const std::string &path, const char *interface, const char *name) {
        auto reply = call(path, "Get", g_variant_new("(ss)", interface, name), G_VARIANT_TYPE("(v)"));
        if (!reply) return std::nullopt;
        GVariant *value = nullptr;
        g_variant_get(reply->get(), "(v)", &value);
        return VariantHolder(value);
    }

    bool set_property(const std::string &sys_name, const char *name, GVariant *value) {
        auto set = call(device_path(sys_name), "Set", g_variant_new("(ssv)", kDeviceInterface, name, value), nullptr);
        if (!set) error_ = sys_name + ": KWin refused " + name + ": " + set.message();
        return set.ok();
    }

    // The device's profile and acceleration as KWin holds them now.
    std::optional<std::pair<std::string, double>> read_setting(const std::string &sys_name) {
        auto flat = property(device_path(sys_name), kDeviceInterface, "pointerAccelerationProfileFlat");
        auto speed = property(device_path(sys_name), kDeviceInterface, "pointerAcceleration");
        if (!flat || !speed || !g_variant_is_of_type(flat->get(), G_VARIANT_TYPE_BOOLEAN) ||
            !g_variant_is_of_type(speed->get(), G_VARIANT_TYPE_DOUBLE))
            return std::nullopt;
        return std::pair{std::string(g_variant_get_boolean(flat->get()) ? "flat" : "adaptive"),
                         g_variant_get_double(speed->get())};
    }

    void scan() {
        auto names = property(kManagerPath, kManagerInterface, "devicesSysNames");
        present_ = names && g_variant_is_of_type(names->get(), G_VARIANT_TYPE_STRING_ARRAY);
        if (!present_) {
            error_ = "KWin's input devices are not on the session bus";
            return;
        }
        error_.clear();
        gsize count = 0;
        const gchar **list = g_variant_get_strv(names->get(), &count);
        for (gsize i = 0; i < count; ++i) add_device(list[i]);
        g_free(list);
        mend_leftovers();
    }

    // What a run that crashed left: put back what still holds its values.
    // Done once, after KWin is first seen.
    // Devices not there now stay owed: their records join this run's.
    void mend_leftovers() {
        if (mended_) return;
        mended_ = true;
        std::vector<KnobRecord> unsettled;
        for (const KnobRecord &record : keeper_.leftovers())
            if (!put_back(record)) unsettled.push_back(record);
        keeper_.keep_only(unsettled);
        for (auto &[sys_name, device] : devices_) device.last_fixed.reset();
    }

    // Devices KWin cannot accelerate, and keyboards, are left out.
    void add_device(const std::string &sys_name) {
        if (devices_.count(sys_name) || !g_variant_is_object_path(device_path(sys_name).c_str())) return;
        auto all = call(device_path(sys_name), "GetAll", g_variant_new("(s)", kDeviceInterface), G_VARIANT_TYPE("(a{sv})"));
        if (!all) return;
        VariantHolder properties(g_variant_get_child_value(all->get(), 0));
        // A property of another type than KWin's is reported, never taken
        // for false: the device would be skipped without a word.
        bool touchpad = false, pointer = false, supported = false;
        for (auto [key, value] : {std::pair{"touchpad", &touchpad}, std::pair{"pointer", &pointer},
                                  std::pair{"supportsPointerAcceleration", &supported}}) {
            VariantHolder found(g_variant_lookup_value(properties.get(), key, nullptr));
            if (!found) continue;
            if (!g_variant_is_of_type(found.get(), G_VARIANT_TYPE_BOOLEAN)) {
                error_ = sys_name + ": KWin's " + key + " is a " + g_variant_get_type_string(found.get()) +
                         ", not a boolean";
                return;
            }
            *value = g_variant_get_boolean(found.get());
        }
        const gchar *name = "";
        g_variant_lookup(properties.get(), "name", "&s", &name);
        if (!(touchpad || pointer) || !supported) return;
        Device &device = devices_[sys_name];
        device.sys_name = sys_name;
        device.name = name;
        device.kind = touchpad ? hidsystem::PointerClass::Touchpad : hidsystem::PointerClass::Mouse;
        apply(device);
    }

    void apply(Device &device) {
        const auto &fixed = speeds_.fixed_for(device.kind);
        if (!fixed || fixed == device.last_fixed) return;
        auto current = read_setting(device.sys_name);
        if (!current) {
            error_ = device.sys_name + ": cannot read its acceleration";
            return;
        }
        auto setting = hidsystem::libinput_for(device.kind, *speeds_.speed_for(device.kind));
        std::string profile = profile_name(setting.profile);
        keeper_.remember({device.sys_name, hidsystem::class_name(device.kind), current->first, current->second,
                          profile, setting.speed});
        // Setting one profile to true chooses it; writing the other false
        // would choose that one instead.
        const char *profile_property = setting.profile == hidsystem::LibinputProfile::Flat
                                           ? "pointerAccelerationProfileFlat"
                                           : "pointerAccelerationProfileAdaptive";
        if (!set_property(device.sys_name, profile_property, g_variant_new_boolean(TRUE)) ||
            !set_property(device.sys_name, "pointerAcceleration", g_variant_new_double(setting.speed)))
            return;
        keeper_.wrote(device.sys_name, profile, setting.speed);
        device.last_fixed = fixed;
        device.applied = describe_setting(profile, setting.speed);
    }

    // False when the device cannot be read now; true when it was put back
    // or someone else's later change stands.
    bool put_back(const KnobRecord &record) {
        auto current = read_setting(record.key);
        if (!current) return false;
        if (!still_written(record, current->first, current->second)) return true;
        if (record.original_profile)
            set_property(record.key,
                         *record.original_profile == "flat" ? "pointerAccelerationProfileFlat"
                                                            : "pointerAccelerationProfileAdaptive",
                         g_variant_new_boolean(TRUE));
        if (record.original_speed)
            set_property(record.key, "pointerAcceleration", g_variant_new_double(*record.original_speed));
        return true;
    }

    static KdeKnobs &self_of(gpointer data) { return *static_cast<KdeKnobs *>(data); }

    static void on_device_added(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
                                GVariant *parameters, gpointer data) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) return;
        const gchar *sys_name = nullptr;
        g_variant_get(parameters, "(&s)", &sys_name);
        self_of(data).add_device(sys_name);
        self_of(data).changed();
    }

    static void on_device_removed(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
                                  GVariant *parameters, gpointer data) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(s)"))) return;
        const gchar *sys_name = nullptr;
        g_variant_get(parameters, "(&s)", &sys_name);
        self_of(data).devices_.erase(sys_name);
        self_of(data).changed();
    }

    static void on_appeared(GDBusConnection *, const gchar *, const gchar *, gpointer data) {
        if (self_of(data).present_) return;
        self_of(data).scan();
        self_of(data).changed();
    }

    // KWin left: its devices went with it; a KWin that comes back starts
    // from its saved settings, and gets the current speeds again.
    static void on_vanished(GDBusConnection *, const gchar *, gpointer data) {
        KdeKnobs &self = self_of(data);
        if (!self.present_ && self.devices_.empty()) return;
        self.present_ = false;
        self.devices_.clear();
        self.error_ = "KWin left the session bus";
        self.changed();
    }

    static void on_bus_closed(GDBusConnection *, gboolean, GError *, gpointer data) {
        if (self_of(data).on_lost) self_of(data).on_lost("the session bus closed");
    }

    void changed() {
        if (on_changed) on_changed();
    }

    ObjectHolder<GDBusConnection> bus_;
    std::string bus_name_;
    gulong closed_handler_ = 0;
    guint watch_ = 0;
    std::vector<guint> subscriptions_;
    SnapshotKeeper keeper_;
    hidsystem::SpeedPair speeds_;
    std::map<std::string, Device> devices_;
    bool present_ = false;
    bool mended_ = false;
    std::string error_;
};

}  // namespace

const KnobsRegistration kKde("kde", [] { return std::unique_ptr<Knobs>(std::make_unique<KdeKnobs>()); });

}  // namespace hidsystemd_backend
