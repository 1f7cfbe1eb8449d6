// The river backend against a stand-in for river's command interface on a
// private Wayland socket: `auto` finds river by its globals, the commands
// reach each device as riverctl would send them, and river going away,
// coming back or answering badly costs the service nothing.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"
#include "river_libinput_standin.h"
#include "river_standin.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::RiverStandin;
using Commands = std::vector<std::string>;

const std::string kMouse = "pointer-1133-16505-Logitech_G_Pro";
const std::string kTouchpad = "pointer-1267-12377-ELAN1300:00_04F3:3059_Touchpad";

class RiverBackendTest : public ::testing::Test {
protected:
    std::unique_ptr<RiverStandin> start_river(std::map<std::string, hidsystem_test::RiverSetting> configured = {}) {
        return std::make_unique<RiverStandin>(socket_, std::vector<std::string>{kMouse, kTouchpad},
                                              std::move(configured));
    }

    glissor_test::TempHome home_;
    glissor_test::TempDir dir_;
    std::string socket_ = dir_.path() + "/wayland-river";
    // Only what river's session sets: no desktop name, Xwayland's DISPLAY beside it.
    glissor_test::ScopedEnv wayland_{"WAYLAND_DISPLAY", socket_};
    glissor_test::ScopedEnv type_{"XDG_SESSION_TYPE", "wayland"};
    glissor_test::ScopedEnv display_{"DISPLAY", ":0"};
    glissor_test::ScopedEnv desktop_{"XDG_CURRENT_DESKTOP", ""};
    glissor_test::ScopedEnv sway_{"SWAYSOCK", ""};
    glissor_test::ScopedEnv hyprland_{"HYPRLAND_INSTANCE_SIGNATURE", ""};
    glissor_test::ScopedEnv niri_{"NIRI_SOCKET", ""};
    glissor_test::ScopedEnv labwc_{"LABWC_PID", ""};
    glissor_test::ScopedEnv wayfire_{"WAYFIRE_CONFIG_FILE", ""};
};

TEST_F(RiverBackendTest, AutoFindsRiverAndEachDeviceGetsItsClassAsRiverctlWouldSendIt) {
    auto river = start_river({{kTouchpad, {"adaptive", 0.3}}});
    DesktopService service({"--backend", "auto"});
    auto status = service.status();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->backend, "river");
    EXPECT_EQ(status->reason, "--backend auto: the Wayland display offers river's control");

    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_EQ(river->commands(), (Commands{"input " + kMouse + " accel-profile flat",
                                           "input " + kMouse + " pointer-accel 0.000000"}));
    // A burst: the last value lands.
    for (double speed : {0.5, 1.0, 1.5, 2.0}) service.set("HIDTrackpadAcceleration", speed);
    ASSERT_TRUE(eventually([&] {
        auto touchpad = river->setting(kTouchpad);
        return touchpad && touchpad->speed && *touchpad->speed == 0.5;
    })) << service.backend();
    EXPECT_EQ(river->setting(kTouchpad)->profile, "adaptive");
    EXPECT_TRUE(service.backend_says("device 1: mouse, river, flat 0.000, " + kMouse)) << service.backend();
    EXPECT_TRUE(service.backend_says("device 2: touchpad, river, adaptive 0.500, " + kTouchpad));
    for (const std::string &command : river->commands()) EXPECT_EQ(command.find(kMouse + " pointer-accel 0.5"), std::string::npos);

    // The user sets the mouse meanwhile: a clean end puts back only the
    // touchpad, to what it had before.
    river->configure(kMouse, "adaptive", -0.7);
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(river->setting(kMouse)->profile, "adaptive");
    EXPECT_EQ(river->setting(kMouse)->speed, -0.7);
    EXPECT_EQ(river->setting(kTouchpad)->profile, "adaptive");
    EXPECT_NEAR(*river->setting(kTouchpad)->speed, 0.3, 1e-6);
}

// river restarting forgets every setting: the service reaches the next
// river and sends the values again, with no new value to prompt it.
TEST_F(RiverBackendTest, TheServiceOutlivesRiverAndSendsAgainToTheNextOne) {
    auto river = start_river();
    DesktopService service({"--backend", "river"});
    service.set("HIDMouseAcceleration", 3.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    river->stop();
    EXPECT_TRUE(service.backend_says("river's Wayland display")) << service.backend();

    river = start_river();
    EXPECT_TRUE(eventually([&] { return river->commands().size() == 2; }, std::chrono::seconds(15)))
        << service.backend();
    EXPECT_EQ(river->commands(), (Commands{"input " + kMouse + " accel-profile adaptive",
                                           "input " + kMouse + " pointer-accel 1.000000"}));
}

TEST_F(RiverBackendTest, BadAnswersAreReportedAndTheServiceKeepsServing) {
    {
        SCOPED_TRACE("refused");
        auto river = start_river();
        river->refuse_commands("unknown command");
        DesktopService service({"--backend", "river"});
        service.set("HIDMouseAcceleration", 0.0);
        EXPECT_TRUE(service.backend_says("river refused list-inputs: unknown command")) << service.backend();
        EXPECT_TRUE(river->commands().empty());
        EXPECT_TRUE(service.backend_says("values: 1 received, 1 sent, 0 applied")) << "nothing was written";
    }
    {
        SCOPED_TRACE("garbage");
        auto river = start_river();
        river->answer_inputs_with("\x01\xff garbage\n\n\tpointer-x\nkeyboard-1-1-Keys\n");
        DesktopService service({"--backend", "river"});
        service.set("HIDMouseAcceleration", 0.0);
        EXPECT_TRUE(service.backend_says("river lists no pointer: nothing is applied")) << service.backend();
        EXPECT_TRUE(service.backend_says("values: 1 received, 1 sent, 0 applied")) << service.backend();
        EXPECT_TRUE(river->commands().empty()) << "no pointer was listed";
        EXPECT_EQ(service.backend().find("device 1"), std::string::npos);
    }
    {
        SCOPED_TRACE("stalled");
        auto river = start_river();
        DesktopService service({"--backend", "river"});
        service.set("HIDMouseAcceleration", 0.0);
        ASSERT_TRUE(service.settled()) << service.backend();
        river->stall();
        service.set("HIDMouseAcceleration", 2.0);
        EXPECT_TRUE(service.backend_says("did not answer in time", std::chrono::seconds(10))) << service.backend();
        // The service itself answers all along.
        EXPECT_EQ(service.daemon().get("HIDMouseAcceleration"), std::to_string(hidsystem_test::fixed(2.0)));
    }
}

// river 0.4 offers no commands but its libinput settings: the same speeds
// reach each device through them, a device plugged in later gets them at
// once, and a clean end puts back only what still holds the written value.
TEST_F(RiverBackendTest, River04GetsTheSpeedsThroughItsLibinputSettings) {
    const std::string mouse = "Logitech G Pro", touchpad = "ELAN1300:00 04F3:3059 Touchpad";
    hidsystem_test::RiverLibinputStandin river(socket_, {mouse, touchpad});
    river.configure(touchpad, {2, 0.3});
    DesktopService service({"--backend", "auto"});
    auto status = service.status();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->backend, "river");
    EXPECT_EQ(status->reason, "--backend auto: the Wayland display offers river's libinput settings");

    service.set("HIDMouseAcceleration", 0.0);
    service.set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(eventually([&] { return river.setting(touchpad)->speed == 0.5; })) << service.backend();
    EXPECT_EQ(river.setting(mouse)->profile, 1u);
    EXPECT_EQ(river.setting(mouse)->speed, 0.0);
    EXPECT_EQ(river.setting(touchpad)->profile, 2u);
    EXPECT_TRUE(service.backend_says("touchpad, river, adaptive 0.500, " + touchpad)) << service.backend();

    const std::string second = "Kensington Expert Mouse";
    river.plug(second);
    EXPECT_TRUE(eventually([&] { return river.setting(second) && river.setting(second)->profile == 1u; }))
        << service.backend();

    river.configure(mouse, {2, -0.7});  // the user's own change
    ASSERT_TRUE(service.backend_says("mouse, river, adaptive -0.700, " + mouse)) << service.backend();
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(river.setting(mouse)->speed, -0.7);
    EXPECT_NEAR(river.setting(touchpad)->speed, 0.3, 1e-9);
    EXPECT_EQ(river.setting(second)->profile, 2u) << "put back to what it had when it came";
}

}  // namespace
