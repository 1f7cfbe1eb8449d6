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
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "glib_holders.h"
#include "live_store_knobs.h"

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

class XfceKnobs final : public LiveStoreKnobs {
public:
    XfceKnobs() : LiveStoreKnobs("xfce", "xfconf") {}
    ~XfceKnobs() override {
        if (bus_ && closed_handler_) g_signal_handler_disconnect(bus_.get(), closed_handler_);
    }

private:
    Status connect_store() override {
        ErrorHolder failure;
        bus_.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, failure.out()));
        if (!bus_) return Failure("no session bus for xfconf: " + failure.message());
        g_dbus_connection_set_exit_on_close(bus_.get(), FALSE);
        closed_handler_ = g_signal_connect(bus_.get(), "closed", G_CALLBACK(on_bus_closed), this);
        if (auto channels = call("ListChannels", nullptr, G_VARIANT_TYPE("(as)")); !channels)
            return Failure("xfconfd does not answer on the session bus: " + channels.message());
        return Status::success();
    }

    std::string store_name() const override { return "xfconf channel pointers"; }

    void write_store() override {
        for (const hidsystemd_x11::PointerDevice &device : devices()) {
            auto speed = speeds().speed_for(device.kind);
            if (!speed) continue;
            std::string property = "/" + xfconf_device_name(device.name) + "/Acceleration";
            double value = store_value(device, *speed);
            char text[32];
            std::snprintf(text, sizeof text, "Acceleration %.3f", value);
            if (!shows(property, text)) write_property(property, device.kind, value, text);
        }
    }

    void write_property(const std::string &property, hidsystem::PointerClass kind, double value,
                        const std::string &text) {
        if (!keeper().remembers(property)) {
            if (locked(property)) return fail("xfconf " + property + ": locked, this user may not change it");
            if (auto type = foreign_type(property))
                return fail("xfconf " + property + " holds a " + *type + ", not a number: left as it is");
            keeper().remember({property, hidsystem::class_name(kind), std::nullopt, read(property),
                               kAccelerationSetting, value});
        }
        auto set = call("SetProperty", g_variant_new("(ssv)", kChannel, property.c_str(), g_variant_new_double(value)),
                        nullptr);
        if (!set) return fail("xfconf " + property + ": " + set.message());
        keeper().wrote(property, kAccelerationSetting, value);
        show(property, kind, text);
    }

    // Someone else's later change stands; a user who had no value of their
    // own gets none again.
    void put_back(const KnobRecord &record) override {
        auto current = read(record.key);
        if (!current || !still_written(record, kAccelerationSetting, *current)) return;
        // At the end there is no one left to tell of a refusal.
        [[maybe_unused]] auto answer =
            record.original_speed
                ? call("SetProperty",
                       g_variant_new("(ssv)", kChannel, record.key.c_str(), g_variant_new_double(*record.original_speed)),
                       nullptr)
                : call("ResetProperty", g_variant_new("(ssb)", kChannel, record.key.c_str(), FALSE), nullptr);
    }

    // The value there, or none when the property is not set.
    VariantHolder stored(const std::string &property) {
        auto reply = call("GetProperty", g_variant_new("(ss)", kChannel, property.c_str()), G_VARIANT_TYPE("(v)"));
        if (!reply) return nullptr;
        GVariant *value = nullptr;
        g_variant_get(reply->get(), "(v)", &value);
        return VariantHolder(value);
    }

    // The type of a value there that is not a number (left by hand), which
    // is the user's and never overwritten; nullopt for a number or none.
    std::optional<std::string> foreign_type(const std::string &property) {
        VariantHolder value = stored(property);
        if (!value || g_variant_is_of_type(value.get(), G_VARIANT_TYPE_DOUBLE)) return std::nullopt;
        return std::string(g_variant_get_type_string(value.get()));
    }

    std::optional<double> read(const std::string &property) {
        VariantHolder value = stored(property);
        if (!value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_DOUBLE)) return std::nullopt;
        return g_variant_get_double(value.get());
    }

    bool locked(const std::string &property) {
        auto reply = call("IsPropertyLocked", g_variant_new("(ss)", kChannel, property.c_str()), G_VARIANT_TYPE("(b)"));
        gboolean is_locked = FALSE;
        if (reply) g_variant_get(reply->get(), "(b)", &is_locked);
        return is_locked;
    }

    Result<VariantHolder> call(const char *method, GVariant *arguments, const GVariantType *reply) {
        ErrorHolder failure;
        VariantHolder result(g_dbus_connection_call_sync(bus_.get(), kService, kPath, kInterface, method, arguments,
                                                         reply, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
                                                         failure.out()));
        if (!result) return Failure(failure.message());
        return result;
    }

    static void on_bus_closed(GDBusConnection *, gboolean, GError *, gpointer data) {
        auto *self = static_cast<XfceKnobs *>(data);
        if (self->on_lost) self->on_lost("the session bus closed");
    }

    ObjectHolder<GDBusConnection> bus_;
    gulong closed_handler_ = 0;
};

}  // namespace

const KnobsRegistration kXfceKnobs("xfce", [] { return std::unique_ptr<Knobs>(std::make_unique<XfceKnobs>()); });

}  // namespace hidsystemd_backend
