// --backend auto in the service: hidctl backend says which kind and why,
// and a session where nothing can be applied is said so, once, on stderr.
// Nothing is set, so no backend starts.
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
};

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
                     "Wayland compositor Mango, which Glissor cannot drive: nothing is applied"},
         }) {
        SCOPED_TRACE(session.current_desktop);
        glissor_test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", session.current_desktop);
        glissor_test::ScopedEnv type("XDG_SESSION_TYPE", session.session_type);
        glissor_test::ScopedEnv display("DISPLAY", session.display);
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
        EXPECT_EQ(status->state, std::string(session.backend) == "none" ? "off" : "idle");
        ASSERT_EQ(service.stop(SIGTERM), 0);
        std::string said = glissor_test::read_file(errors);
        if (std::string(session.backend) == "none")
            EXPECT_EQ(said, std::string("hidsystemd: --backend auto: ") + session.why +
                                "; the speeds are recorded and applied to nothing\n");
        else
            EXPECT_EQ(said, "");
    }
}

}  // namespace
