// The X11 desktops whose settings live in INI files (KDE Plasma, LXQt): the
// files their settings windows write and their loaders re-apply at every
// hot-plug and login, in a sandbox config folder, with the X devices of a
// private Xorg written live beside them.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"
#include "private_session.h"
#include "private_x.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::Feedback;

constexpr const char *kUsersMouseFile =
    "[Keyboard]\n"
    "NumLock=0\n"
    "\n"
    "[Mouse]\n"
    "cursorTheme=breeze_cursors\n"
    "XLbInptPointerAcceleration=0.2\n"
    "\n"
    "# left by hand\n"
    "not a key at all\n";

TEST(KdeX11Backend, PlasmasFilesGetTheSpeedsTheRestIsKeptAndAllGoesBack) {
    std::string why;
    auto xorg = glissor_test::XServer::try_start(glissor_test::XServer::Kind::XorgInputtest, why);
    if (!xorg) GTEST_SKIP() << why;
    glissor_test::TempHome home;
    const std::string config = home.home() + "/config";
    glissor_test::ScopedEnv config_home("XDG_CONFIG_HOME", config);
    glissor_test::ScopedEnv state_home("XDG_STATE_HOME", home.home() + "/state");
    glissor_test::ScopedEnv display("DISPLAY", xorg->display());
    glissor_test::write_file(config + "/kcminputrc", kUsersMouseFile);
    int mouse = hidsystem_test::device_id(xorg->connection(), glissor_test::kInputtestMouse);
    const Feedback server_default = hidsystem_test::feedback(xorg->connection(), mouse).value_or(Feedback{});

    {
        DesktopService service({"--backend", "kde-x11"});
        service.set("HIDMouseAcceleration", 2.5);
        service.set("HIDTrackpadAcceleration", 0.0);
        ASSERT_TRUE(service.settled()) << service.backend();
        EXPECT_EQ(glissor_test::read_file(config + "/kcminputrc"),
                  "[Keyboard]\n"
                  "NumLock=0\n"
                  "\n"
                  "[Mouse]\n"
                  "cursorTheme=breeze_cursors\n"
                  "XLbInptPointerAcceleration=1\n"
                  "\n"
                  "# left by hand\n"
                  "not a key at all\n"
                  "XLbInptAccelProfileFlat=false\n");
        EXPECT_EQ(glissor_test::read_file(config + "/touchpadxlibinputrc"),
                  "[Glissor test TouchPad]\n"
                  "pointerAcceleration=-0.1\n"
                  "pointerAccelerationProfileFlat=true\n"
                  "pointerAccelerationProfileAdaptive=false\n");
        EXPECT_TRUE(eventually([&] {
            return hidsystem_test::feedback(xorg->connection(), mouse).value_or(Feedback{}).numerator == 35;
        })) << "and live";
        auto status = service.status();
        ASSERT_TRUE(status);
        EXPECT_EQ(status->error, "");
        ASSERT_TRUE(status->device("kcminputrc [Mouse]"));
        EXPECT_EQ(status->device("kcminputrc [Mouse]")->value, "adaptive 1.000");
        ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    }
    // Our keys are gone or back to the user's; everything else as it was.
    std::string after = glissor_test::read_file(config + "/kcminputrc");
    EXPECT_NE(after.find("XLbInptPointerAcceleration=0.2\n"), std::string::npos) << after;
    EXPECT_EQ(after.find("XLbInptAccelProfileFlat"), std::string::npos) << after;
    EXPECT_EQ(after.find("pointerAcceleration"), std::string::npos);
    EXPECT_EQ(glissor_test::read_file(config + "/touchpadxlibinputrc"), "[Glissor test TouchPad]\n");
    EXPECT_EQ(hidsystem_test::feedback(xorg->connection(), mouse).value_or(Feedback{}), server_default);
}

// LXQt keeps each touchpad's speed under [Touchpad], the device's name
// escaped twice (by LXQt, then by Qt's INI writer).
TEST(LxqtBackend, TheSessionFileGetsEachTouchpadsSpeedAndGivesItBack) {
    std::string why;
    auto xorg = glissor_test::XServer::try_start(glissor_test::XServer::Kind::XorgInputtest, why);
    if (!xorg) GTEST_SKIP() << why;
    glissor_test::TempHome home;
    const std::string config = home.home() + "/config";
    glissor_test::ScopedEnv config_home("XDG_CONFIG_HOME", config);
    glissor_test::ScopedEnv session_name("LXQT_SESSION_CONFIG", "");
    glissor_test::ScopedEnv state_home("XDG_STATE_HOME", home.home() + "/state");
    glissor_test::ScopedEnv display("DISPLAY", xorg->display());
    const std::string users = "[General]\n__userfile__=true\n\n[Mouse]\naccel_factor=20\n";
    glissor_test::write_file(config + "/lxqt/session.conf", users);
    {
        DesktopService service({"--backend", "lxqt"});
        service.set("HIDTrackpadAcceleration", 3.0);
        ASSERT_TRUE(service.settled()) << service.backend();
        EXPECT_EQ(glissor_test::read_file(config + "/lxqt/session.conf"),
                  users + "\n[Touchpad]\nGlissor%2520test%2520TouchPad\\accelSpeed=1\n");
        ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    }
    EXPECT_EQ(glissor_test::read_file(config + "/lxqt/session.conf"), users + "\n[Touchpad]\n");
}

}  // namespace
