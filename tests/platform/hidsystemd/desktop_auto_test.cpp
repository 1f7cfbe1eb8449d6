// --backend auto in the service: hidctl backend says which kind and why,
// and a session where nothing can be applied is said so, once, on stderr:
// with the reason where nothing at all can be done, with the way to the
// advice where the compositor reads only a file of the user's own. No
// backend starts: nothing is set, or the kind has none.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"

namespace {

struct Session {
    const char *current_desktop;
    const char *session_type;
    const char *display;
    const char *backend;
    const char *why;
    const char *state = "idle";
    // What stderr says after the reason; nullptr: nothing at all.
    const char *said = nullptr;
    const char *labwc_pid = "";
};

constexpr const char *kNothingApplied = "; the speeds are recorded and applied to nothing\n";

TEST(DesktopAuto, TheServiceShowsTheChoiceAndSaysOnceWhenNothingApplies) {
    glissor_test::TempHome home;  // no snapshot of a real session is read
    glissor_test::ScopedEnv state("XDG_STATE_HOME", home.home() + "/state");
    glissor_test::ScopedEnv sway("SWAYSOCK", "");
    glissor_test::ScopedEnv wayland("WAYLAND_DISPLAY", "");
    for (const Session &session : {
             Session{"ubuntu:GNOME", "wayland", ":0", "gnome", "XDG_CURRENT_DESKTOP=ubuntu:GNOME names GNOME"},
             Session{"i3", "x11", ":9", "x11", "DISPLAY is set (:9) and the session is not Wayland"},
             Session{"Hyprland", "wayland", ":1", "hyprland", "XDG_CURRENT_DESKTOP=Hyprland names Hyprland"},
             Session{"Mango", "wayland", ":1", "none",
                     "Wayland compositor Mango, which Glissor cannot drive: nothing is applied", "off",
                     kNothingApplied},
             Session{"XFCE", "wayland", ":1", "labwc", "LABWC_PID is set (77)", "advice",
                     "; labwc reads its pointer settings only from its own file: `hidctl backend` prints the "
                     "lines to add\n",
                     "77"},
             Session{"wayfire", "wayland", ":1", "wayfire", "XDG_CURRENT_DESKTOP=wayfire names wayfire", "advice",
                     "; wayfire reads its pointer settings only from its own file: `hidctl backend` prints the "
                     "lines to add\n"},
         }) {
        SCOPED_TRACE(session.current_desktop);
        glissor_test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", session.current_desktop);
        glissor_test::ScopedEnv type("XDG_SESSION_TYPE", session.session_type);
        glissor_test::ScopedEnv display("DISPLAY", session.display);
        glissor_test::ScopedEnv labwc("LABWC_PID", session.labwc_pid);
        glissor_test::TempDir dir;
        std::string errors = dir.path() + "/stderr";
        glissor_test::BackgroundProcess service({"/bin/sh", "-c",
                                                 "exec \"$0\" --socket \"$1\" --backend auto 2>\"$2\"",
                                                 glissor_test::bin_path("hidsystemd"), dir.path() + "/s.sock", errors});
        std::map<std::string, std::string> env{{"HIDSYSTEM_SOCKET", dir.path() + "/s.sock"}};
        ASSERT_TRUE(hidsystem_test::eventually([&] { return hidsystem_test::backend_status(env).has_value(); }));
        auto status = hidsystem_test::backend_status(env);
        EXPECT_EQ(status->backend, session.backend);
        EXPECT_EQ(status->reason, std::string("--backend auto: ") + session.why);
        EXPECT_EQ(status->state, session.state);
        // Where no backend runs, a speed set later changes neither the state
        // nor what was said. (Elsewhere it would start a backend against
        // whatever desktop the runner has.)
        if (std::string(session.state) != "idle") {
            hidsystem_test::RawClient client(dir.path() + "/s.sock");
            EXPECT_EQ(client.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(65536)), "HIDSYSTEM/1 OK");
            auto after = hidsystem_test::backend_status(env);
            ASSERT_TRUE(after.has_value());
            EXPECT_EQ(after->state, session.state);
            EXPECT_EQ(after->received, 1u);
        }
        ASSERT_EQ(service.stop(SIGTERM), 0);
        std::string said = glissor_test::read_file(errors);
        if (session.said)
            EXPECT_EQ(said, std::string("hidsystemd: --backend auto: ") + session.why + session.said);
        else
            EXPECT_EQ(said, "");
    }
}

}  // namespace
