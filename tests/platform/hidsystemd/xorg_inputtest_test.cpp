// Real pointer motion through a private Xorg: the speeds the service hands
// its X11 backend change how far the pointer travels for the same stroke.
#include <signal.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "backend_status.h"
#include "event_daemon.h"
#include "private_x.h"
#include "raw_client.h"

namespace {

using hidsystem_test::eventually;
using hidsystem_test::Feedback;
using glissor_test::XServer;

std::int32_t fixed(double speed) { return static_cast<std::int32_t>(std::lround(speed * 65536)); }

TEST(XorgInputtest, TheSpeedsChangeHowFarEachPointerTravels) {
    std::string why;
    auto xorg = XServer::try_start(XServer::Kind::XorgInputtest, why);
    if (!xorg) GTEST_SKIP() << why;
    auto *display = xorg->connection();
    int mouse = hidsystem_test::device_id(display, glissor_test::kInputtestMouse);
    int touchpad = hidsystem_test::device_id(display, glissor_test::kInputtestTouchpad);
    ASSERT_GT(mouse, 0);
    ASSERT_GT(touchpad, 0);
    auto feedback = [&](int id) { return hidsystem_test::feedback(display, id).value_or(Feedback{}); };
    const Feedback server_default = feedback(mouse);

    glissor_test::EventDaemon service({}, {"--backend", "x11", "--display", xorg->display()});
    auto set = [&](const char *key, double speed) {
        hidsystem_test::RawClient client(service.socket_path());
        return client.ask(std::string("SET ") + key + " " + hidsystem_test::hex_of(fixed(speed)));
    };
    auto mouse_at = [&](int numerator) {
        return eventually([&] { return feedback(mouse).numerator == numerator; });
    };

    ASSERT_EQ(set("HIDMouseAcceleration", 0.0), "HIDSYSTEM/1 OK");
    ASSERT_TRUE(mouse_at(10));
    EXPECT_EQ(xorg->stroke(xorg->mouse(), 100), 100) << "no acceleration: exactly as far as the hand";
    EXPECT_EQ(feedback(touchpad), server_default) << "the mouse slider leaves the touchpad";

    set("HIDMouseAcceleration", 1.0);
    ASSERT_TRUE(mouse_at(20));
    int usual = xorg->stroke(xorg->mouse(), 100);
    set("HIDMouseAcceleration", 2.5);
    ASSERT_TRUE(mouse_at(35));
    int faster = xorg->stroke(xorg->mouse(), 100);
    EXPECT_GT(usual, 100);
    EXPECT_GT(faster, usual + 15) << "1.0x: " << usual << " px, 2.5x: " << faster << " px";

    int touchpad_before = xorg->stroke(xorg->touchpad(), 100);
    EXPECT_GT(touchpad_before, 100) << "still the server's usual curve";
    set("HIDTrackpadAcceleration", 0.0);
    ASSERT_TRUE(eventually([&] { return feedback(touchpad).numerator == 10; }));
    EXPECT_EQ(xorg->stroke(xorg->touchpad(), 100), 100);
    EXPECT_EQ(feedback(mouse).numerator, 35) << "the trackpad slider leaves the mouse";

    EXPECT_EQ(service.process().stop(SIGTERM), 0);
    EXPECT_EQ(feedback(mouse), server_default);
    EXPECT_EQ(feedback(touchpad), server_default);
}

// Under Wayland, Xwayland's devices carry the compositor's name and move
// nothing the compositor does not: the x11 backend leaves them alone, in
// any mode, and says so.
TEST(XorgInputtest, XwaylandsDevicesAreNeverWritten) {
    std::string why;
    auto xorg = glissor_test::XServer::try_start(glissor_test::XServer::Kind::XorgInputtest, why, "xwayland-pointer:13");
    if (!xorg) GTEST_SKIP() << why;
    auto *display = xorg->connection();
    int xwayland = hidsystem_test::device_id(display, "xwayland-pointer:13");
    int touchpad = hidsystem_test::device_id(display, glissor_test::kInputtestTouchpad);
    ASSERT_GT(xwayland, 0);
    const Feedback before = hidsystem_test::feedback(display, xwayland).value_or(Feedback{});

    glissor_test::EventDaemon service({}, {"--backend", "x11", "--display", xorg->display()});
    hidsystem_test::RawClient client(service.socket_path());
    ASSERT_EQ(client.ask(std::string("SET HIDMouseAcceleration ") + hidsystem_test::hex_of(fixed(0.0))),
              "HIDSYSTEM/1 OK");
    ASSERT_EQ(client.ask(std::string("SET HIDTrackpadAcceleration ") + hidsystem_test::hex_of(fixed(0.0))),
              "HIDSYSTEM/1 OK");
    // The touchpad is an ordinary device here: once it holds the value,
    // the backend has been through every device.
    ASSERT_TRUE(eventually([&] { return hidsystem_test::feedback(display, touchpad).value_or(Feedback{}).numerator == 10; }));
    EXPECT_EQ(hidsystem_test::feedback(display, xwayland).value_or(Feedback{}), before);
    auto status = hidsystem_test::backend_status(service.env());
    ASSERT_TRUE(status);
    auto shown = status->device("xwayland-pointer:13");
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->knob, "none");
    EXPECT_EQ(shown->value, "not ours: the compositor owns the pointer");
}

}  // namespace
