// The Hyprland backend through the real service, against a stand-in for
// Hyprland's sockets (hyprland_standin.h): it checks the requests the
// backend sends and what the compositor then holds, not Hyprland itself.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "desktop_test_support.h"
#include "hyprland_standin.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::HyprlandStandin;
using hidsystem_test::HyprOption;
using Release = HyprlandStandin::Release;

const std::string kMouse = "logitech-usb-receiver";
const std::string kTouchpad = "elan0001:00-04f3:3140-touchpad";
const std::string kTrackpad = "apple-inc.-magic-trackpad-2";

const HyprOption kConfigured{"adaptive", 0.2};
// What the speeds set below become: mouse 0.0 is flat at 0, trackpad 2.0
// adaptive at 0.5, mouse 2.0 adaptive at 2/3.
const HyprOption kMouseFlat{"flat", 0.0};
const HyprOption kTrackpadFast{"adaptive", 0.5};

bool near(const HyprOption &a, const HyprOption &b) {
    return a.profile == b.profile && std::abs(a.sensitivity - b.sensitivity) < 1e-3;
}

std::string text_of(const HyprOption &option) { return option.profile + " " + std::to_string(option.sensitivity); }

class HyprlandBackendTest : public ::testing::Test {
protected:
    std::unique_ptr<HyprlandStandin> start_hyprland(Release release, std::vector<std::string> pointers = {
                                                                          kMouse, kTouchpad, kTrackpad}) {
        return std::make_unique<HyprlandStandin>(runtime_.path(), kSignature, release, std::move(pointers), kConfigured);
    }
    static std::unique_ptr<DesktopService> start_service() {
        return std::make_unique<DesktopService>(std::vector<std::string>{"--backend", "hyprland"});
    }
    static bool holds(const HyprlandStandin &hyprland, const std::string &device, const HyprOption &wanted) {
        return eventually([&] { return near(hyprland.effective(device), wanted); });
    }

    static constexpr const char *kSignature = "0123abcd_1700000000_42";
    glissor_test::TempHome home_;
    glissor_test::TempDir runtime_;
    glissor_test::ScopedEnv runtime_env_{"XDG_RUNTIME_DIR", runtime_.path()};
    glissor_test::ScopedEnv signature_env_{"HYPRLAND_INSTANCE_SIGNATURE", kSignature};
};

// Each release gets the form it takes; mice go to the options every pointer
// follows, touchpads get entries of their own. Until a trackpad speed is
// set, the touchpads keep what they had while the options change.
TEST_F(HyprlandBackendTest, EachReleaseTakesItsOwnFormAndBothSpeedsLand) {
    for (Release release : {Release::Keyword054, Release::Lua055}) {
        bool lua = release == Release::Lua055;
        SCOPED_TRACE(lua ? "0.55" : "0.54");
        auto hyprland = start_hyprland(release);
        auto service = start_service();
        service->set("HIDMouseAcceleration", 0.0);
        ASSERT_TRUE(holds(*hyprland, kMouse, kMouseFlat)) << service->backend();
        ASSERT_TRUE(service->settled());
        EXPECT_EQ(hyprland->requests().front(), "j/version");
        EXPECT_TRUE(near(hyprland->effective(kTouchpad), kConfigured)) << text_of(hyprland->effective(kTouchpad));

        service->set("HIDTrackpadAcceleration", 2.0);
        ASSERT_TRUE(holds(*hyprland, kTouchpad, kTrackpadFast)) << service->backend();
        EXPECT_TRUE(holds(*hyprland, kTrackpad, kTrackpadFast));
        EXPECT_TRUE(near(hyprland->options(), kMouseFlat));
        auto writes = hyprland->writes();
        EXPECT_TRUE(std::all_of(writes.begin(), writes.end(),
                                [&](const std::string &w) { return w.starts_with(lua ? "eval " : "keyword "); }));
        std::string touchpad_entry =
            lua ? R"(eval hl.device({ name = ")" + kTouchpad + R"(", accel_profile = "adaptive", sensitivity = 0.500000 }))"
                : "keyword device[" + kTouchpad + "]:sensitivity 0.500000";
        EXPECT_NE(std::find(writes.begin(), writes.end(), touchpad_entry), writes.end()) << writes.back();
        EXPECT_TRUE(service->backend_says("mouse, hyprland, flat 0.000, " + kMouse)) << service->backend();
        EXPECT_TRUE(service->backend_says("touchpad, hyprland, adaptive 0.500, " + kTouchpad));
    }
}

TEST_F(HyprlandBackendTest, TheLastOfABurstLands) {
    auto hyprland = start_hyprland(Release::Keyword054);
    auto service = start_service();
    for (int step = 30; step >= 0; --step) service->set("HIDMouseAcceleration", 1.5 + step * 0.05);
    ASSERT_TRUE(service->settled()) << service->backend();
    EXPECT_TRUE(holds(*hyprland, kMouse, {"adaptive", 0.5 / 1.5}));
    EXPECT_TRUE(service->backend_says("mouse, hyprland, adaptive 0.333, " + kMouse)) << service->backend();
}

// On SIGTERM the options go back when they still hold what was written, and
// the touchpads' entries to whatever the options hold then: a change the
// user made meanwhile stays, and the touchpads follow it.
TEST_F(HyprlandBackendTest, ACleanEndPutsBackWhatIsStillOursAndKeepsTheUsersChange) {
    for (Release release : {Release::Keyword054, Release::Lua055}) {
        for (bool user_changes : {false, true}) {
            SCOPED_TRACE(std::string(release == Release::Lua055 ? "0.55" : "0.54") + (user_changes ? ", changed" : ""));
            auto hyprland = start_hyprland(release);
            auto service = start_service();
            service->set("HIDMouseAcceleration", 0.0);
            service->set("HIDTrackpadAcceleration", 2.0);
            ASSERT_TRUE(holds(*hyprland, kTouchpad, kTrackpadFast)) << service->backend();
            ASSERT_TRUE(service->settled());

            const HyprOption users{"flat", -0.4};
            if (user_changes) hyprland->set_options(users);
            ASSERT_EQ(service->daemon().process().stop(SIGTERM), 0);
            HyprOption expected = user_changes ? users : kConfigured;
            EXPECT_TRUE(near(hyprland->options(), expected)) << text_of(hyprland->options());
            EXPECT_TRUE(near(hyprland->effective(kTouchpad), expected)) << text_of(hyprland->effective(kTouchpad));
            EXPECT_TRUE(near(hyprland->effective(kMouse), expected));
        }
    }
}

// A reload drops runtime values and entries; Hyprland announces it and the
// backend sends again. What the configuration holds after the reload is
// what a clean end puts back.
TEST_F(HyprlandBackendTest, AReloadIsAnsweredWithTheValuesAgain) {
    auto hyprland = start_hyprland(Release::Lua055);
    auto service = start_service();
    service->set("HIDMouseAcceleration", 0.0);
    service->set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(holds(*hyprland, kTouchpad, kTrackpadFast)) << service->backend();
    ASSERT_TRUE(service->settled());
    std::size_t before = hyprland->writes().size();

    hyprland->reload();
    EXPECT_TRUE(holds(*hyprland, kTouchpad, kTrackpadFast)) << service->backend();
    EXPECT_TRUE(holds(*hyprland, kMouse, kMouseFlat));
    EXPECT_GT(hyprland->writes().size(), before);

    ASSERT_EQ(service->daemon().process().stop(SIGTERM), 0);
    EXPECT_TRUE(near(hyprland->options(), kConfigured)) << text_of(hyprland->options());
}

// A peer's answer is data: garbage, silence and a connection closed
// unanswered are reported; the backend stays, and the next value lands
// once Hyprland answers again.
TEST_F(HyprlandBackendTest, BadAnswersAreReportedAndTheServiceKeepsServing) {
    auto hyprland = start_hyprland(Release::Keyword054);
    auto service = start_service();
    service->set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(holds(*hyprland, kMouse, kMouseFlat)) << service->backend();
    ASSERT_TRUE(service->settled());
    auto first = service->status();
    ASSERT_TRUE(first);

    using Behaviour = HyprlandStandin::Behaviour;
    const std::pair<Behaviour, const char *> cases[] = {
        {Behaviour::Garbage, "Hyprland refused \"keyword input:accel_profile adaptive\""},
        {Behaviour::Stall, "Hyprland did not answer within 1000 ms"},
        {Behaviour::CloseEarly, "Hyprland closed the connection without an answer"},
    };
    double speed = 1.0;
    for (const auto &[behaviour, said] : cases) {
        const std::string report = said;  // a lambda below needs its own copy
        SCOPED_TRACE(report);
        hyprland->behave(behaviour);
        auto before = service->status();
        ASSERT_TRUE(before);
        service->set("HIDMouseAcceleration", speed += 0.25);
        // Done and refused: sent, never counted as applied.
        std::optional<hidsystem_test::BackendStatus> status;
        ASSERT_TRUE(eventually([&] {
            status = service->status();
            return status && status->sent == before->sent + 1 && status->error.find(report) != std::string::npos;
        }, std::chrono::seconds(10))) << service->backend();
        EXPECT_EQ(status->applied, first->applied) << "nothing was written";
        EXPECT_EQ(status->state, "connected");
        EXPECT_NE(status->error.find(report), std::string::npos) << status->error;
        EXPECT_EQ(status->pid, first->pid) << "the backend died of the answer";
        EXPECT_TRUE(near(hyprland->effective(kMouse), kMouseFlat)) << "nothing was written";
    }
    hyprland->behave(Behaviour::Answer);
    service->set("HIDMouseAcceleration", 2.5);
    EXPECT_TRUE(holds(*hyprland, kMouse, {"adaptive", 1.0})) << service->backend();
    EXPECT_TRUE(service->backend_says("mouse, hyprland, adaptive 1.000, " + kMouse)) << service->backend();
}

TEST_F(HyprlandBackendTest, TheServiceOutlivesHyprlandAndDrivesTheNextOne) {
    auto hyprland = start_hyprland(Release::Keyword054);
    auto service = start_service();
    service->set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(holds(*hyprland, kMouse, kMouseFlat)) << service->backend();
    // Done with it (it reads the devices back after writing) before
    // Hyprland goes, so that the events socket is what it loses.
    ASSERT_TRUE(service->settled()) << service->backend();

    hyprland->stop();
    EXPECT_TRUE(service->backend_says("Hyprland closed its event socket")) << service->backend();
    // The one that comes back knows nothing of the values: they are sent
    // again, in its own form, with no new value to prompt it.
    hyprland = start_hyprland(Release::Lua055);
    EXPECT_TRUE(eventually([&] { return near(hyprland->effective(kMouse), kMouseFlat); }, std::chrono::seconds(15)))
        << service->backend();
    ASSERT_FALSE(hyprland->writes().empty());
    EXPECT_EQ(hyprland->writes().front().substr(0, 5), "eval ");
    service->set("HIDMouseAcceleration", 2.5);
    EXPECT_TRUE(holds(*hyprland, kMouse, {"adaptive", 1.0})) << service->backend();
}

// Touchpad names come from the compositor: Lua takes any name quoted, and
// a name that a keyword request cannot carry gets no entry, which is
// reported, while the other touchpads are served.
TEST_F(HyprlandBackendTest, TouchpadNamesAreQuotedOrLeftOut) {
    const std::string odd = "odd \"touchpad\"]\n;reload";
    for (Release release : {Release::Keyword054, Release::Lua055}) {
        bool lua = release == Release::Lua055;
        SCOPED_TRACE(lua ? "0.55" : "0.54");
        auto hyprland = start_hyprland(release, {kMouse, odd, kTouchpad});
        auto service = start_service();
        service->set("HIDTrackpadAcceleration", 2.0);
        ASSERT_TRUE(holds(*hyprland, kTouchpad, kTrackpadFast)) << service->backend();
        ASSERT_TRUE(service->settled());
        std::string stored = "odd-\"touchpad\"]\n;reload";  // Hyprland's blanks become dashes
        if (lua) {
            EXPECT_TRUE(holds(*hyprland, stored, kTrackpadFast));
        } else {
            EXPECT_FALSE(hyprland->entry(stored) || hyprland->entry(odd));
            EXPECT_TRUE(service->backend_says("its name cannot be written in a keyword request")) << service->backend();
        }
        EXPECT_TRUE(near(hyprland->options(), kConfigured)) << "reloaded, or the options written";
    }
}

}  // namespace
