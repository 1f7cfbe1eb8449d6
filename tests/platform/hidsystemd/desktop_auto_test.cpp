// --backend auto picks the backend from the session's environment, and
// hidctl backend says which and why. Nothing is set, so no backend starts.
#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"

namespace {

struct Environment {
    const char *current_desktop;
    const char *sway_socket;
    const char *display;
    const char *backend;
    const char *why;
};

TEST(DesktopAuto, EachEnvironmentPicksItsBackendAndSaysWhy) {
    glissor_test::TempHome home;  // no snapshot of a real session is read
    glissor_test::ScopedEnv state("XDG_STATE_HOME", home.home() + "/state");
    for (const Environment &environment : {
             Environment{"ubuntu:GNOME", "/run/sway.sock", ":0", "gnome", "XDG_CURRENT_DESKTOP=ubuntu:GNOME names GNOME"},
             Environment{"KDE", "", ":0", "kde", "XDG_CURRENT_DESKTOP=KDE names KDE"},
             Environment{"sway", "/run/sway.sock", ":0", "sway", "SWAYSOCK is set (/run/sway.sock)"},
             Environment{"XFCE", "", ":9", "x11", "DISPLAY is set (:9)"},
             Environment{"", "", "", "none", "no GNOME or KDE in XDG_CURRENT_DESKTOP, no SWAYSOCK, no DISPLAY"},
         }) {
        glissor_test::ScopedEnv desktop("XDG_CURRENT_DESKTOP", environment.current_desktop);
        glissor_test::ScopedEnv sway("SWAYSOCK", environment.sway_socket);
        glissor_test::ScopedEnv display("DISPLAY", environment.display);
        hidsystem_test::DesktopService service({"--backend", "auto"});
        std::string text = service.backend();
        EXPECT_NE(text.find(std::string("backend: ") + environment.backend + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find(std::string("chosen by: --backend auto: ") + environment.why + "\n"), std::string::npos)
            << text;
    }
}

}  // namespace
