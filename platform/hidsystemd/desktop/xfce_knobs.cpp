// Xfce on X11: xfsettingsd applies the xfconf channel `pointers` to each
// device at its start (every login) and to each device that appears, one
// property tree per device, named as xfsettingsd names it: the device's
// name with blanks as `_` and every other character outside [A-Za-z0-9_-]
// dropped (xfsettingsd/pointers.c, xfce4-settings 4.18). Its
// `/<Dev>/Acceleration` is one number that xfsettingsd maps by the kind of
// device: libinput's speed clamp(a / 5 - 1, -1, 1), or the pointer
// feedback's factor a itself. So each device gets the value that makes its
// own kind of knob what the speed asks: a = 5 (s + 1) for a libinput
// device, a = 1 + f for the X server's own acceleration. The devices are
// also written live, as the X11 backend does, so the change is felt at
// once and not only at the next login. xfconf persists: snapshot file.
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <hidsystem/snapshot_path.h>

#include "glib_holders.h"
#include "knob_snapshot.h"
#include "knobs.h"
#include "x_pointers.h"

namespace hidsystemd_backend {

namespace {

constexpr const char *kService = "org.xfce.Xfconf";
constexpr const char *kPath = "/org/xfce/Xfconf";
constexpr const char *kInterface = "org.xfce.Xfconf";
constexpr const char *kChannel = "pointers";
constexpr int kCallTimeoutMs = 2000;
// The snapshot's "profile" field: xfconf holds one number per device.
constexpr const char *kAccelerationSetting = "acceleration";

std::string xfconf_device_name(const std::string &name) {
    std::string result;
    for (char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            result += c;
        else if (c == ' ')
            result += '_';
    }
    return result;
}

double store_value(const hidsystemd_x11::PointerDevice &device, double speed) {
    if (device.knob == hidsystemd_x11::KnobKind::Libinput)
        return 5.0 * (hidsystem::libinput_for(device.kind, speed).speed + 1.0);
    auto ratio = hidsystem::feedback_for(speed);
    return static_cast<double>(ratio.numerator) / ratio.denominator;
}

class XfceKnobs final : public Knobs {
public:
    XfceKnobs() : keeper_(hidsystem::snapshot_path("xfce")) {}
    ~XfceKnobs() override {
        if (bus_ && closed_handler_) g_signal_handler_disconnect(bus_.get(), closed_handler_);
    }

    Status connect() override {
        ErrorHolder failure;
        bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, failure.out()));
        if (!bus_) return Failure("no session bus for xfconf: " + failure.message());
        g_dbus_connection_set_exit_on_close(bus_.get(), FALSE);
        closed_handler_ = g_signal_connect(bus_.get(), "closed", G_CALLBACK(on_bus_closed), this);
        std::string why;
        if (!call("ListChannels", nullptr, G_VARIANT_TYPE("(as)"), &why))
            return Failure("xfconfd does not answer on the session bus: " + why);
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
        write_store();
    }

    void restore() override {
        for (const auto &[key, record] : keeper_.records()) put_back(record);
        keeper_.forget_all();
        pointers_.restore();
    }

    void describe(hidsystem::BackendReport &report) const override {
        report.state = "connected";
        report.display = "xfconf channel pointers, X display " + pointers_.display_name();
        report.error = !keeper_.error().empty() ? keeper_.error() : error_;
        int id = 1;
        for (const auto &[property, value] : written_)
            report.devices.push_back({id++, hidsystem::class_name(value.kind), "xfconf", value.text, property});
        pointers_.describe(report);
    }

    std::chrono::milliseconds write_interval() const override { return std::chrono::milliseconds(100); }

private:
    struct Written {
        hidsystem::PointerClass kind;
        double value = 0;
        std::string text;
    };

    // A device that appeared got the speeds live; its xfconf entry follows.
    void device_changed() {
        write_store();
        if (on_changed) on_changed();
    }

    void write_store() {
        for (const hidsystemd_x11::PointerDevice &device : pointers_.devices()) {
            auto speed = speeds_.speed_for(device.kind);
            if (!speed) continue;
            std::string property = "/" + xfconf_device_name(device.name) + "/Acceleration";
            double value = store_value(device, *speed);
            auto found = written_.find(property);
            if (found != written_.end() && found->second.value == value) continue;
            write_property(property, device.kind, value);
        }
    }

    void write_property(const std::string &property, hidsystem::PointerClass kind, double value) {
        if (!keeper_.remembers(property)) {
            if (locked(property)) {
                error_ = "xfconf " + property + ": locked, this user may not change it";
                return;
            }
            if (auto type = foreign_type(property)) {
                error_ = "xfconf " + property + " holds a " + *type + ", not a number: left as it is";
                return;
            }
            keeper_.remember({property, hidsystem::class_name(kind), std::nullopt, read(property), kAccelerationSetting,
                              value});
        }
        std::string why;
        if (!call("SetProperty", g_variant_new("(ssv)", kChannel, property.c_str(), g_variant_new_double(value)),
                  nullptr, &why)) {
            error_ = "xfconf " + property + ": " + why;
            return;
        }
        keeper_.wrote(property, kAccelerationSetting, value);
        char text[32];
        std::snprintf(text, sizeof text, "Acceleration %.3f", value);
        written_[property] = {kind, value, text};
    }

    // Someone else's later change stands; a user who had no value of their
    // own gets none again.
    void put_back(const KnobRecord &record) {
        auto current = read(record.key);
        if (!current || !still_written(record, kAccelerationSetting, *current)) return;
        if (record.original_speed)
            call("SetProperty",
                 g_variant_new("(ssv)", kChannel, record.key.c_str(), g_variant_new_double(*record.original_speed)),
                 nullptr);
        else
            call("ResetProperty", g_variant_new("(ssb)", kChannel, record.key.c_str(), FALSE), nullptr);
    }

    // The type of a value there that is not a number (left by hand), which
    // is the user's and never overwritten; nullopt for a number or none.
    std::optional<std::string> foreign_type(const std::string &property) {
        VariantHolder reply = call("GetProperty", g_variant_new("(ss)", kChannel, property.c_str()),
                                   G_VARIANT_TYPE("(v)"));
        if (!reply) return std::nullopt;
        GVariant *value = nullptr;
        g_variant_get(reply.get(), "(v)", &value);
        VariantHolder held(value);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) return std::nullopt;
        return std::string(g_variant_get_type_string(value));
    }

    std::optional<double> read(const std::string &property) {
        VariantHolder reply = call("GetProperty", g_variant_new("(ss)", kChannel, property.c_str()),
                                   G_VARIANT_TYPE("(v)"));
        if (!reply) return std::nullopt;
        GVariant *value = nullptr;
        g_variant_get(reply.get(), "(v)", &value);
        VariantHolder held(value);
        if (!g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE)) return std::nullopt;
        return g_variant_get_double(value);
    }

    bool locked(const std::string &property) {
        VariantHolder reply = call("IsPropertyLocked", g_variant_new("(ss)", kChannel, property.c_str()),
                                   G_VARIANT_TYPE("(b)"));
        gboolean is_locked = FALSE;
        if (reply) g_variant_get(reply.get(), "(b)", &is_locked);
        return is_locked;
    }

    VariantHolder call(const char *method, GVariant *arguments, const GVariantType *reply, std::string *why = nullptr) {
        ErrorHolder failure;
        VariantHolder result(g_dbus_connection_call_sync(bus_.get(), kService, kPath, kInterface, method, arguments,
                                                         reply, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
                                                         failure.out()));
        if (!result && why) *why = failure.message();
        return result;
    }

    static void on_bus_closed(GDBusConnection *, gboolean, GError *, gpointer data) {
        auto *self = static_cast<XfceKnobs *>(data);
        if (self->on_lost) self->on_lost("the session bus closed");
    }

    hidsystemd_x11::XPointers pointers_;
    ObjectHolder<GDBusConnection> bus_;
    gulong closed_handler_ = 0;
    SnapshotKeeper keeper_;
    hidsystem::SpeedPair speeds_;
    std::map<std::string, Written> written_;
    std::string error_;
};

}  // namespace

const KnobsRegistration kXfceKnobs("xfce", [] { return std::unique_ptr<Knobs>(std::make_unique<XfceKnobs>()); });

}  // namespace hidsystemd_backend
