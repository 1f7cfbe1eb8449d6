// A stand-in for KWin's input devices on a private session bus, written from
// the interface the desktop backend uses: it owns org.kde.KWin, lists its
// devices in the manager's devicesSysNames, and records every property
// write on one line of a log file ("SYSNAME PROPERTY VALUE"). SIGUSR1 plugs
// in a new touchpad, event9, announced by deviceAdded.
//
// usage: kwin_standin [--touchpad-as-text] LOG SYSNAME:CLASS[:noaccel][:flat=S|:adaptive=S]...
// (CLASS mouse, touchpad or keyboard; by default adaptive 0, as KWin saved
// it). --touchpad-as-text declares and sends `touchpad` as the text "yes",
// a peer of another version than the backend knows. It makes the file
// LOG.ready once the name is owned.
#include <gio/gio.h>
#include <glib-unix.h>
#include <signal.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr const char *kIntrospection = R"(<node>
  <interface name="org.kde.KWin.InputDeviceManager">
    <property name="devicesSysNames" type="as" access="read"/>
    <signal name="deviceAdded"><arg name="sysName" type="s"/></signal>
    <signal name="deviceRemoved"><arg name="sysName" type="s"/></signal>
  </interface>
  <interface name="org.kde.KWin.InputDevice">
    <property name="name" type="s" access="read"/>
    <property name="touchpad" type="b" access="read"/>
    <property name="pointer" type="b" access="read"/>
    <property name="keyboard" type="b" access="read"/>
    <property name="supportsPointerAcceleration" type="b" access="read"/>
    <property name="pointerAcceleration" type="d" access="readwrite"/>
    <property name="pointerAccelerationProfileFlat" type="b" access="readwrite"/>
    <property name="pointerAccelerationProfileAdaptive" type="b" access="readwrite"/>
  </interface>
</node>)";

struct Device {
    std::string kind;  // mouse, touchpad, keyboard
    bool accelerates = true;
    double acceleration = 0;
    bool flat = false;
};

GDBusNodeInfo *node_info = nullptr;
bool touchpad_as_text = false;
GDBusConnection *bus = nullptr;
FILE *log_file = nullptr;
std::map<std::string, Device> devices;

std::string sys_name_of(const gchar *path) {
    std::string text = path;
    return text.substr(text.rfind('/') + 1);
}

GVariant *manager_property(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *,
                           GError **, gpointer) {
    std::vector<const gchar *> names;
    for (const auto &[name, device] : devices) names.push_back(name.c_str());
    return g_variant_new_strv(names.data(), static_cast<gssize>(names.size()));
}

GVariant *device_property(GDBusConnection *, const gchar *, const gchar *path, const gchar *, const gchar *name,
                          GError **error, gpointer) {
    auto found = devices.find(sys_name_of(path));
    if (found == devices.end()) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT, "no such device");
        return nullptr;
    }
    const Device &device = found->second;
    std::string property = name;
    if (property == "name") return g_variant_new_string(("Stand-in " + device.kind).c_str());
    if (property == "touchpad" && touchpad_as_text) return g_variant_new_string(device.kind == "touchpad" ? "yes" : "no");
    if (property == "touchpad") return g_variant_new_boolean(device.kind == "touchpad");
    if (property == "pointer") return g_variant_new_boolean(device.kind != "keyboard");
    if (property == "keyboard") return g_variant_new_boolean(device.kind == "keyboard");
    if (property == "supportsPointerAcceleration") return g_variant_new_boolean(device.accelerates);
    if (property == "pointerAcceleration") return g_variant_new_double(device.acceleration);
    if (property == "pointerAccelerationProfileFlat") return g_variant_new_boolean(device.flat);
    return g_variant_new_boolean(!device.flat);
}

gboolean set_device_property(GDBusConnection *, const gchar *, const gchar *path, const gchar *, const gchar *name,
                             GVariant *value, GError **error, gpointer) {
    std::string sys_name = sys_name_of(path);
    auto found = devices.find(sys_name);
    if (found == devices.end()) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT, "no such device");
        return FALSE;
    }
    Device &device = found->second;
    std::string property = name;
    gchar *text = g_variant_print(value, FALSE);
    std::fprintf(log_file, "%s %s %s\n", sys_name.c_str(), name, text);
    std::fflush(log_file);
    g_free(text);
    // Setting a profile to true chooses it, as KWin does.
    if (property == "pointerAcceleration") device.acceleration = g_variant_get_double(value);
    if (property == "pointerAccelerationProfileFlat") device.flat = g_variant_get_boolean(value);
    if (property == "pointerAccelerationProfileAdaptive") device.flat = !g_variant_get_boolean(value);
    return TRUE;
}

const GDBusInterfaceVTable manager_vtable = {nullptr, manager_property, nullptr, {}};
const GDBusInterfaceVTable device_vtable = {nullptr, device_property, set_device_property, {}};

void export_device(const std::string &sys_name) {
    std::string path = "/org/kde/KWin/InputDevice/" + sys_name;
    g_dbus_connection_register_object(bus, path.c_str(), node_info->interfaces[1], &device_vtable, nullptr, nullptr,
                                      nullptr);
}

gboolean plug_touchpad(gpointer) {
    devices["event9"] = Device{"touchpad", true, 0.1, false};
    export_device("event9");
    g_dbus_connection_emit_signal(bus, nullptr, "/org/kde/KWin/InputDevice", "org.kde.KWin.InputDeviceManager",
                                  "deviceAdded", g_variant_new("(s)", "event9"), nullptr);
    return G_SOURCE_CONTINUE;
}

std::string ready_path;

void on_name_acquired(GDBusConnection *, const gchar *, gpointer) {
    if (FILE *ready = std::fopen(ready_path.c_str(), "w")) std::fclose(ready);
}

void on_name_lost(GDBusConnection *, const gchar *, gpointer loop) { g_main_loop_quit(static_cast<GMainLoop *>(loop)); }

bool parse_device(const std::string &description) {
    gchar **parts = g_strsplit(description.c_str(), ":", -1);
    bool ok = parts[0] && parts[1];
    if (ok) {
        Device device;
        device.kind = parts[1];
        for (int i = 2; parts[i]; ++i) {
            std::string option = parts[i];
            if (option == "noaccel") device.accelerates = false;
            if (option.starts_with("flat=")) device.flat = true;
            if (auto equals = option.find('='); equals != std::string::npos)
                device.acceleration = g_ascii_strtod(option.c_str() + equals + 1, nullptr);
        }
        devices[parts[0]] = device;
    }
    g_strfreev(parts);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: kwin_standin LOG SYSNAME:CLASS[:noaccel]...\n");
        return 2;
    }
    int first = 1;
    if (std::string(argv[1]) == "--touchpad-as-text") {
        touchpad_as_text = true;
        ++first;
    }
    if (first >= argc) return 2;
    log_file = std::fopen(argv[first], "a");
    ready_path = std::string(argv[first]) + ".ready";
    for (int i = first + 1; i < argc; ++i)
        if (!log_file || !parse_device(argv[i])) return 2;
    std::string introspection = kIntrospection;
    if (touchpad_as_text)
        introspection.replace(introspection.find(R"("touchpad" type="b")"), 19, R"("touchpad" type="s")");
    node_info = g_dbus_node_info_new_for_xml(introspection.c_str(), nullptr);
    bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!node_info || !bus) return 1;
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    g_dbus_connection_register_object(bus, "/org/kde/KWin/InputDevice", node_info->interfaces[0], &manager_vtable,
                                      nullptr, nullptr, nullptr);
    for (const auto &[sys_name, device] : devices) export_device(sys_name);
    g_unix_signal_add(SIGUSR1, plug_touchpad, nullptr);
    g_bus_own_name_on_connection(bus, "org.kde.KWin", G_BUS_NAME_OWNER_FLAGS_NONE, on_name_acquired, on_name_lost,
                                 loop, nullptr);
    g_main_loop_run(loop);
    return 0;
}
