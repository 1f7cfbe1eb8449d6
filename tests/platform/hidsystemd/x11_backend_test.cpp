// The event service driving a private Xvfb through its X11 backend: which
// knobs move, which never do, and how the service outlives its X server.
#include <signal.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <optional>
#include <string>

#include "event_daemon.h"
#include "backend_status.h"
#include "private_x.h"
#include "process.h"
#include "raw_client.h"

namespace {

using glissor_test::EventDaemon;
using hidsystem_test::eventually;
using hidsystem_test::Feedback;
using glissor_test::XServer;
using hidsystem_test::RawClient;

constexpr const char *kMouse = "Xvfb mouse";
constexpr const char *kXtestPointer = "Virtual core XTEST pointer";
const Feedback kServerDefault{2, 1, 4};

std::int32_t fixed(double speed) { return static_cast<std::int32_t>(std::lround(speed * 65536)); }

class X11BackendTest : public ::testing::Test {
protected:
    void start_service() {
        service_ = std::make_unique<EventDaemon>(std::vector<std::string>{},
                                                 std::vector<std::string>{"--backend", "x11", "--display", x_->display()});
    }
    std::string set(const char *key, std::int32_t value) {
        RawClient client(service_->socket_path());
        return client.ask(std::string("SET ") + key + " " + hidsystem_test::hex_of(value));
    }
    std::string backend() const {
        return glissor_test::run_process({glissor_test::bin_path("hidctl"), "backend"}, {.env = service_->env()}).out;
    }
    bool backend_says(const std::string &text) const {
        return eventually([&] { return backend().find(text) != std::string::npos; });
    }
    int backend_pid() const {
        auto status = hidsystem_test::backend_status(service_->env());
        return status ? status->pid : 0;
    }
    // The backend's counters: speeds received from clients, pairs sent to
    // the backend, pairs it reported applied.
    std::optional<hidsystem_test::BackendStatus> values() const { return hidsystem_test::backend_status(service_->env()); }
    Feedback mouse_feedback() const { return hidsystem_test::feedback(x_->connection(), mouse_).value_or(Feedback{}); }
    bool mouse_reaches(Feedback wanted) const {
        return eventually([&] { return mouse_feedback() == wanted; });
    }

    void SetUp() override {
        x_ = std::make_unique<XServer>();
        mouse_ = hidsystem_test::device_id(x_->connection(), kMouse);
        ASSERT_GT(mouse_, 0);
    }

    std::unique_ptr<XServer> x_;
    std::unique_ptr<EventDaemon> service_;
    int mouse_ = -1;
};

TEST_F(X11BackendTest, TheMouseFeedbackFollowsTheSpeedAndNothingElseMoves) {
    auto *display = x_->connection();
    int xtest = hidsystem_test::device_id(display, kXtestPointer);
    auto core_before = hidsystem_test::pointer_control(display);
    start_service();
    EXPECT_NE(backend().find("state: idle"), std::string::npos) << "passive until asked";
    EXPECT_EQ(mouse_feedback(), kServerDefault);

    ASSERT_EQ(set("HIDMouseAcceleration", fixed(2.5)), "HIDSYSTEM/1 OK");
    EXPECT_TRUE(mouse_reaches({35, 10, 4})) << "threshold kept";
    EXPECT_TRUE(backend_says("device " + std::to_string(mouse_) + ": mouse, PtrFeedback, 35/10, Xvfb mouse"))
        << backend();
    // Out of range and the marker: clamped, or the last good value kept.
    set("HIDMouseAcceleration", fixed(0));
    EXPECT_TRUE(mouse_reaches({10, 10, 4}));
    set("HIDMouseAcceleration", fixed(7));
    EXPECT_TRUE(mouse_reaches({40, 10, 4}));
    set("HIDMouseAcceleration", fixed(-2));
    EXPECT_TRUE(mouse_reaches({10, 10, 4}));
    set("HIDMouseAcceleration", fixed(1));
    set("HIDMouseAcceleration", INT32_MIN);
    set("HIDTrackpadAcceleration", fixed(3));  // no touchpad here: the mouse stays
    EXPECT_TRUE(backend_says("values: 7 received, "));
    EXPECT_TRUE(mouse_reaches({20, 10, 4}));

    EXPECT_EQ(hidsystem_test::feedback(display, xtest), kServerDefault) << "XTEST pointer untouched";
    EXPECT_EQ(hidsystem_test::pointer_control(display), core_before) << "core pointer control untouched";
    EXPECT_EQ(backend().find("XTEST"), std::string::npos) << backend();
}

TEST_F(X11BackendTest, ACleanExitPutsBackOnlyWhatStillHoldsItsValue) {
    start_service();
    set("HIDMouseAcceleration", fixed(2.5));
    ASSERT_TRUE(mouse_reaches({35, 10, 4}));
    EXPECT_EQ(service_->process().stop(SIGTERM), 0);
    EXPECT_EQ(mouse_feedback(), kServerDefault);

    start_service();
    set("HIDMouseAcceleration", fixed(2.5));
    ASSERT_TRUE(mouse_reaches({35, 10, 4}));
    hidsystem_test::set_feedback(x_->connection(), mouse_, 3, 1);  // someone else's later choice
    EXPECT_EQ(service_->process().stop(SIGINT), 0);
    EXPECT_EQ(mouse_feedback(), (Feedback{3, 1, 4}));
}

// Steps after the first are written from the last value written, without a
// reading: a change made in between must not make the backend skip a step,
// and the exit must still put back what was there before the first write.
TEST_F(X11BackendTest, EveryStepLandsAfterSomeoneElsesChangeAndTheExitPutsBackTheFirstReading) {
    start_service();
    set("HIDMouseAcceleration", fixed(2.5));
    ASSERT_TRUE(mouse_reaches({35, 10, 4}));
    hidsystem_test::set_feedback(x_->connection(), mouse_, 3, 1);
    set("HIDMouseAcceleration", fixed(2.5));  // the value written last, again
    EXPECT_TRUE(mouse_reaches({35, 10, 4}));
    set("HIDMouseAcceleration", fixed(1.5));
    EXPECT_TRUE(mouse_reaches({25, 10, 4})) << "threshold kept";
    EXPECT_EQ(service_->process().stop(SIGTERM), 0);
    EXPECT_EQ(mouse_feedback(), kServerDefault);
}

TEST_F(X11BackendTest, StandInLibinputPropertiesTakeTheLibinputPathWithTheirArraySize) {
    auto *display = x_->connection();
    hidsystem_test::put_float_property(display, mouse_, "libinput Accel Speed", 0.25f);
    hidsystem_test::put_byte_property(display, mouse_, "libinput Accel Profile Enabled", {1, 0, 0});
    start_service();
    set("HIDMouseAcceleration", fixed(0));
    auto profiles = [&] { return hidsystem_test::byte_property(display, mouse_, "libinput Accel Profile Enabled"); };
    auto speed = [&] { return hidsystem_test::float_property(display, mouse_, "libinput Accel Speed"); };
    // The profile and the speed are two requests: the server may answer a
    // reading between them.
    EXPECT_TRUE(eventually([&] { return profiles() == std::vector<unsigned char>{0, 1, 0}; }));
    EXPECT_TRUE(eventually([&] { return speed() == 0.0f; }));
    set("HIDMouseAcceleration", fixed(1.75));
    EXPECT_TRUE(eventually([&] { return profiles() == std::vector<unsigned char>{1, 0, 0}; }));
    EXPECT_TRUE(eventually([&] { return speed() == 0.5f; }));
    EXPECT_EQ(mouse_feedback(), kServerDefault) << "PtrFeedback does nothing under libinput";
    EXPECT_TRUE(backend_says("mouse, libinput, adaptive 0.500"));
    EXPECT_EQ(service_->process().stop(SIGTERM), 0);
    EXPECT_EQ(profiles(), (std::vector<unsigned char>{1, 0, 0}));
    EXPECT_EQ(speed(), 0.25f);
}

TEST_F(X11BackendTest, ATouchpadTakesTheTrackpadSpeedAndTheMouseSpeedLeavesIt) {
    auto *display = x_->connection();
    hidsystem_test::put_float_property(display, mouse_, "libinput Accel Speed", 0.0f);
    hidsystem_test::put_byte_property(display, mouse_, "libinput Accel Profile Enabled", {1, 0});
    hidsystem_test::put_byte_property(display, mouse_, "libinput Tapping Enabled", {0});
    start_service();
    set("HIDMouseAcceleration", fixed(0));
    EXPECT_TRUE(backend_says("touchpad, libinput, -"));
    set("HIDTrackpadAcceleration", fixed(0));
    auto profiles = [&] { return hidsystem_test::byte_property(display, mouse_, "libinput Accel Profile Enabled"); };
    EXPECT_TRUE(eventually([&] { return profiles() == std::vector<unsigned char>{0, 1}; }));
    EXPECT_TRUE(eventually(
        [&] { return hidsystem_test::float_property(display, mouse_, "libinput Accel Speed") == -0.1f; }));
    set("HIDTrackpadAcceleration", fixed(2));
    EXPECT_TRUE(eventually([&] { return profiles() == std::vector<unsigned char>{1, 0}; }));
    EXPECT_TRUE(eventually(
        [&] { return hidsystem_test::float_property(display, mouse_, "libinput Accel Speed") == 0.5f; }));
}

TEST_F(X11BackendTest, HotPlugReappliesAndANewMastersXtestSlaveIsLeftAlone) {
    auto *display = x_->connection();
    start_service();
    set("HIDMouseAcceleration", fixed(2.5));
    ASSERT_TRUE(mouse_reaches({35, 10, 4}));

    hidsystem_test::add_master(display, "second");
    int new_xtest = -1;
    ASSERT_TRUE(eventually([&] {
        return (new_xtest = hidsystem_test::device_id(display, "second XTEST pointer")) > 0;
    }));
    set("HIDMouseAcceleration", fixed(1.5));
    ASSERT_TRUE(mouse_reaches({25, 10, 4}));
    EXPECT_EQ(hidsystem_test::feedback(display, new_xtest), kServerDefault);
    EXPECT_EQ(backend().find("second"), std::string::npos) << backend();

    // A device that comes back starts from the server's defaults.
    hidsystem_test::set_enabled(display, mouse_, false);
    hidsystem_test::set_feedback(display, mouse_, 2, 1);
    // Only the server's event can tell the backend: no value follows.
    hidsystem_test::set_enabled(display, mouse_, true);
    EXPECT_TRUE(mouse_reaches({25, 10, 4}));
}

TEST_F(X11BackendTest, TheServiceOutlivesItsXServerAndItsBackend) {
    x_ = XServer::xvfb_on_a_high_number();
    mouse_ = hidsystem_test::device_id(x_->connection(), kMouse);
    start_service();
    set("HIDMouseAcceleration", fixed(2.5));
    ASSERT_TRUE(mouse_reaches({35, 10, 4}));
    int number = x_->number();
    x_->kill_server();
    EXPECT_TRUE(backend_says("last error: lost the connection to the X server")) << backend();
    EXPECT_NE(backend().find("state: stopped"), std::string::npos);
    EXPECT_EQ(set("HIDTrackpadAcceleration", fixed(0.5)), "HIDSYSTEM/1 OK");
    EXPECT_EQ(service_->get("HIDMouseAcceleration"), std::to_string(fixed(2.5)));

    x_ = std::make_unique<XServer>(XServer::Kind::Xvfb, number);
    mouse_ = hidsystem_test::device_id(x_->connection(), kMouse);
    // A new server starts from its defaults, unless the backend, retrying
    // with the value it holds, has reached it already.
    auto fresh = mouse_feedback();
    EXPECT_TRUE(fresh == kServerDefault || fresh == (Feedback{35, 10, 4}))
        << fresh.numerator << "/" << fresh.denominator << " " << fresh.threshold;
    set("HIDMouseAcceleration", fixed(1));
    EXPECT_TRUE(mouse_reaches({20, 10, 4})) << backend();

    // A crash in the backend: the next value starts another.
    int pid = backend_pid();
    ASSERT_GT(pid, 0) << backend();
    ASSERT_EQ(kill(pid, SIGSEGV), 0);
#ifdef GLISSOR_SANITIZED
    // The sanitizer's own handler takes the signal and exits with a status.
    EXPECT_TRUE(backend_says("exited with status")) << backend();
#else
    EXPECT_TRUE(backend_says("died of signal")) << backend();
#endif
    set("HIDMouseAcceleration", fixed(0.5));
    EXPECT_TRUE(mouse_reaches({15, 10, 4})) << backend();
    // The service hears the new backend too, though its channel may have
    // the number of the one before: what it applied is reported.
    EXPECT_TRUE(backend_says("state: connected")) << backend();
    EXPECT_TRUE(eventually([&] {
        auto counted = values();
        return counted && counted->applied == counted->sent;
    })) << backend();
}

// A backend that dies holding a value is replaced in the same turn of the
// service's loop. With the one client that set the values still connected,
// the new channel takes the number of the old one: the service must still
// hear it.
TEST_F(X11BackendTest, ABackendThatDiesHoldingAValueIsReplacedAtOnceAndHeardFrom) {
    start_service();
    RawClient held(service_->socket_path());
    auto set_held = [&](double speed) {
        return held.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(fixed(speed)));
    };
    ASSERT_EQ(set_held(2.5), "HIDSYSTEM/1 OK");
    ASSERT_TRUE(mouse_reaches({35, 10, 4}));
    int stuck = backend_pid();
    ASSERT_GT(stuck, 0) << backend();
    ASSERT_EQ(kill(stuck, SIGSTOP), 0);
    ASSERT_EQ(set_held(1), "HIDSYSTEM/1 OK");
    ASSERT_TRUE(eventually([&] {
        auto counted = values();
        return counted && counted->sent > counted->applied;
    })) << backend();
    ASSERT_EQ(kill(stuck, SIGKILL), 0);

    EXPECT_TRUE(mouse_reaches({20, 10, 4})) << backend();
    // Well within the time the service gives a backend to answer.
    EXPECT_TRUE(eventually(
        [&] {
            auto counted = values();
            return counted && counted->applied == counted->sent;
        },
        std::chrono::milliseconds(2000)))
        << backend();
    EXPECT_NE(backend_pid(), stuck);
}

TEST_F(X11BackendTest, AFloodOfSetsReachesTheServerCoalescedAndTheLastPairAlways) {
    start_service();
    RawClient client(service_->socket_path());
    constexpr int kPairs = 1500;
    for (int i = 1; i <= kPairs; ++i) {
        ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(fixed(i % 30 / 10.0))),
                  "HIDSYSTEM/1 OK");
        ASSERT_EQ(client.ask("SET HIDTrackpadAcceleration " + hidsystem_test::hex_of(fixed(1))), "HIDSYSTEM/1 OK");
    }
    ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(fixed(2.2))), "HIDSYSTEM/1 OK");
    EXPECT_TRUE(mouse_reaches({32, 10, 4})) << backend();
    auto counted = values();
    ASSERT_TRUE(counted) << backend();
    EXPECT_EQ(counted->received, 2u * kPairs + 1);
    EXPECT_LT(counted->sent, counted->received) << "coalesced";
    EXPECT_EQ(counted->applied, counted->sent) << "the last one applied";
}

}  // namespace
