// The table of kinds and the rule of --backend auto, on the environments
// the desktops really set (names as they spell them, mixed case, lists).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include <hidsystem/backend_kinds.h>

namespace {

using Variables = std::map<std::string, std::string>;

std::string chosen(const Variables &variables) {
    return std::string(hidsystem::choose_backend(hidsystem::SessionFacts::from(variables)).kind->name);
}

TEST(BackendKinds, EachDesktopGetsTheKindThatWritesWhatItReads) {
    const Variables x11{{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}};
    auto on_x11 = [&](Variables more) {
        more.insert(x11.begin(), x11.end());
        return more;
    };
    struct Case {
        Variables variables;
        const char *kind;
    };
    for (const Case &c : {
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"}}), "gnome"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "Budgie:GNOME"}}), "gnome"},
             Case{{{"XDG_CURRENT_DESKTOP", "Budgie"}, {"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}, "gnome"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "Pantheon"}}), "gnome"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "Unity:Unity7:ubuntu"}}), "gnome"},
             Case{{{"XDG_CURRENT_DESKTOP", "KDE"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":1"}}, "kde"},
             Case{{{"XDG_CURRENT_DESKTOP", "LXQt:kwin_wayland"}, {"XDG_SESSION_TYPE", "wayland"}}, "kde"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "KDE"}, {"KDE_SESSION_VERSION", "5"}}), "kde-x11"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "x-cinnamon"}}), "cinnamon"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "MATE"}}), "mate"},
             Case{{{"XDG_CURRENT_DESKTOP", "sway"}, {"SWAYSOCK", "/run/s.sock"}, {"WAYLAND_DISPLAY", "wayland-1"},
                   {"DISPLAY", ":0"}},
                  "sway"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "XFCE"}}), "xfce"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "LXQt"}}), "lxqt"},
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "i3"}}), "x11"},
             Case{x11, "x11"},
             // Every compositor with Xwayland sets DISPLAY: never x11 there.
             Case{{{"XDG_CURRENT_DESKTOP", "Hyprland"}, {"HYPRLAND_INSTANCE_SIGNATURE", "abc"},
                   {"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}},
                  "hyprland"},
             Case{{{"XDG_CURRENT_DESKTOP", "COSMIC"}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}}, "cosmic"},
             Case{{{"XDG_CURRENT_DESKTOP", "pop:cosmic"}, {"XDG_SESSION_TYPE", "wayland"}}, "cosmic"},
             Case{{{"XDG_CURRENT_DESKTOP", "niri"}, {"NIRI_SOCKET", "/run/user/1000/niri.sock"},
                   {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}},
                  "niri"},
             // A desktop on a compositor of its own: the compositor owns the pointer.
             Case{{{"XDG_CURRENT_DESKTOP", "XFCE"}, {"LABWC_PID", "77"}, {"WAYLAND_DISPLAY", "wayland-1"},
                   {"DISPLAY", ":0"}},
                  "labwc"},
             Case{{{"XDG_CURRENT_DESKTOP", "LXQt:labwc:wlroots"}, {"XDG_SESSION_TYPE", "wayland"}}, "labwc"},
             Case{{{"XDG_CURRENT_DESKTOP", "Budgie"}, {"LABWC_PID", "77"}, {"XDG_SESSION_TYPE", "wayland"}}, "gnome"},
             Case{{{"WAYFIRE_CONFIG_FILE", "/home/u/.config/wayfire.ini"}, {"WAYLAND_DISPLAY", "wayland-1"},
                   {"DISPLAY", ":0"}},
                  "wayfire"},
             Case{{{"XDG_CURRENT_DESKTOP", "XFCE"}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}}, "none"},
             Case{{{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}}, "none"},
             Case{{}, "none"},
             // An entry is a whole name: "NotGNOME" is not GNOME.
             Case{on_x11({{"XDG_CURRENT_DESKTOP", "NotGNOME"}}), "x11"},
         }) {
        SCOPED_TRACE(c.variables.count("XDG_CURRENT_DESKTOP") ? c.variables.at("XDG_CURRENT_DESKTOP") : "(none)");
        EXPECT_EQ(chosen(c.variables), c.kind);
    }
}

TEST(BackendKinds, NothingChosenSaysWhyAndNamesTheCompositor) {
    auto reason = [](const Variables &variables) {
        return hidsystem::choose_backend(hidsystem::SessionFacts::from(variables)).reason;
    };
    EXPECT_EQ(reason({{"XDG_CURRENT_DESKTOP", "Mango"}, {"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}}),
              "Wayland compositor Mango, which Glissor cannot drive: nothing is applied");
    EXPECT_EQ(reason({{"XDG_SESSION_TYPE", "Wayland"}}),
              "Wayland compositor unnamed, which Glissor cannot drive: nothing is applied");
    EXPECT_EQ(reason({{"DISPLAY", ""}, {"XDG_CURRENT_DESKTOP", ""}}),
              "no desktop Glissor knows, no SWAYSOCK, no DISPLAY: nothing is applied");
    // Each fits the 100 bytes the protocol gives a reason, after "--backend auto: ".
    for (const hidsystem::BackendKind &kind : hidsystem::backend_kinds())
        EXPECT_LE(reason({{"XDG_SESSION_TYPE", "wayland"}, {"SWAYSOCK", "/run/user/1000/sway-ipc.1000.1234.sock"}}).size(), 84u)
            << kind.name;
}

// river and weston set neither a variable nor a desktop name: the globals
// their display offers tell them, and nothing else does.
TEST(BackendKinds, CompositorsWithoutANameAreToldByTheirGlobals) {
    auto with_globals = [](std::vector<std::string> globals) {
        auto facts = hidsystem::SessionFacts::from({{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":0"}});
        facts.set_wayland_globals(std::move(globals));
        return std::string(hidsystem::choose_backend(facts).kind->name);
    };
    EXPECT_EQ(with_globals({"wl_compositor", "wl_seat", "zriver_control_v1", "zriver_status_manager_v1"}), "river");
    EXPECT_EQ(with_globals({"wl_compositor", "weston_desktop_shell", "wl_seat"}), "weston");
    EXPECT_EQ(with_globals({"wl_compositor", "wl_seat", "zriver_control_v2"}), "none");
    EXPECT_EQ(with_globals({}), "none");
    // A name a variable gives wins over the globals' guess.
    auto facts = hidsystem::SessionFacts::from({{"SWAYSOCK", "/run/s.sock"}, {"WAYLAND_DISPLAY", "wayland-1"}});
    facts.set_wayland_globals({"zriver_control_v1"});
    EXPECT_EQ(hidsystem::choose_backend(facts).kind->name, "sway");
}

TEST(BackendKinds, TheTableIsWholeAndNamesAreUnique) {
    std::set<std::string_view> names;
    for (const hidsystem::BackendKind &kind : hidsystem::backend_kinds()) {
        EXPECT_TRUE(names.insert(kind.name).second) << kind.name;
        EXPECT_TRUE(kind.recognize) << kind.name;
        EXPECT_FALSE(kind.desktops.empty() || kind.writes.empty()) << kind.name;
        EXPECT_EQ(hidsystem::find_backend_kind(kind.name), &kind);
        // What persists must keep a snapshot: only a backend program can.
        if (kind.persistent) {
            EXPECT_NE(kind.program, hidsystem::BackendProgram::None) << kind.name;
        }
    }
    EXPECT_EQ(&hidsystem::backend_kinds().back(), &hidsystem::no_backend());
    EXPECT_EQ(hidsystem::find_backend_kind("auto"), nullptr);
}

}  // namespace
