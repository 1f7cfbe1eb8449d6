// The sway backend against a stand-in for sway's IPC socket: it checks the
// commands the backend sends, not sway itself.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"
#include "private_session.h"
#include "sway_standin.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::StandinInput;
using Commands = std::vector<std::string>;

class SwayBackendTest : public ::testing::Test {
protected:
    std::unique_ptr<hidsystem_test::SwayStandin> start_sway() {
        return std::make_unique<hidsystem_test::SwayStandin>(
            socket_, std::vector<StandinInput>{{"1:1:Mouse", "pointer", "adaptive", 0.2},
                                               {"2:2:Pad", "touchpad", "adaptive", 0.0},
                                               {"3:3:Keys", "keyboard", "", 0}});
    }

    glissor_test::TempHome home_;
    glissor_test::TempDir dir_;
    std::string socket_ = dir_.path() + "/sway.sock";
    glissor_test::ScopedEnv swaysock_{"SWAYSOCK", socket_};
};

TEST_F(SwayBackendTest, TypeCommandsLandAndACleanExitPutsBackOnlyTypesStillHoldingThem) {
    auto sway = start_sway();
    DesktopService service({"--backend", "sway"});
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    service.set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(eventually([&] { return sway->commands().size() == 4; })) << service.backend();
    EXPECT_EQ(sway->commands(), (Commands{"input type:pointer accel_profile flat", "input type:pointer pointer_accel 0.000000",
                                          "input type:touchpad accel_profile adaptive",
                                          "input type:touchpad pointer_accel 0.500000"}));
    EXPECT_TRUE(service.backend_says("device 1: mouse, sway, flat 0.000, 1:1:Mouse")) << service.backend();
    EXPECT_TRUE(service.backend_says("device 2: touchpad, sway, adaptive 0.500, 2:2:Pad"));
    EXPECT_EQ(service.backend().find("3:3:Keys"), std::string::npos) << "keyboards are no pointers";

    sway->set_input("2:2:Pad", "adaptive", 0.9);  // the user's own change
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    Commands all = sway->commands();
    ASSERT_GE(all.size(), 4u);
    Commands after_exit(all.begin() + 4, all.end());
    EXPECT_EQ(after_exit,
              (Commands{"input type:pointer accel_profile adaptive", "input type:pointer pointer_accel 0.200000"}));
    EXPECT_EQ(sway->input("2:2:Pad")->speed, 0.9);
}

TEST_F(SwayBackendTest, TheServiceOutlivesSwayAndDrivesTheNextOne) {
    auto sway = start_sway();
    DesktopService service({"--backend", "sway"});
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();

    sway->stop();
    EXPECT_TRUE(service.backend_says("sway closed its IPC socket")) << service.backend();
    // A sway that comes back has forgotten the settings: they are sent
    // again with no new value to prompt it.
    sway = start_sway();
    EXPECT_TRUE(eventually([&] { return sway->commands().size() == 2; }, std::chrono::seconds(15)))
        << service.backend();
    EXPECT_EQ(sway->commands(),
              (Commands{"input type:pointer accel_profile flat", "input type:pointer pointer_accel 0.000000"}));
    service.set("HIDMouseAcceleration", 3.0);
    EXPECT_TRUE(eventually([&] { return sway->commands().size() == 4; })) << service.backend();
    Commands all = sway->commands();
    EXPECT_EQ(Commands(all.begin() + 2, all.end()),
              (Commands{"input type:pointer accel_profile adaptive", "input type:pointer pointer_accel 1.000000"}));
}

// The backend took the value, then lost sway before applying it: the next
// backend applies it, with no further value to prompt it.
TEST_F(SwayBackendTest, AValueTakenButNotAppliedIsAppliedByTheNextBackend) {
    auto sway = start_sway();
    DesktopService service({"--backend", "sway"});
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    ASSERT_EQ(sway->commands().size(), 2u);

    sway->hang_up_at_next_command();
    service.set("HIDMouseAcceleration", 3.0);
    EXPECT_TRUE(eventually([&] { return sway->commands().size() == 4; })) << service.backend();
    Commands all = sway->commands();
    EXPECT_EQ(Commands(all.begin() + 2, all.end()),
              (Commands{"input type:pointer accel_profile adaptive", "input type:pointer pointer_accel 1.000000"}));
}

// `swaymsg reload` drops runtime input settings; sway announces it, and the
// backend sends what it had written again.
TEST_F(SwayBackendTest, AReloadIsAnsweredWithTheSettingsAgain) {
    auto sway = start_sway();
    DesktopService service({"--backend", "sway"});
    service.set("HIDMouseAcceleration", 0.0);
    service.set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(eventually([&] { return sway->commands().size() == 4; })) << service.backend();
    ASSERT_TRUE(service.settled());

    sway->reload();
    EXPECT_TRUE(eventually([&] { return sway->commands().size() == 8; })) << service.backend();
    EXPECT_EQ(sway->input("1:1:Mouse")->profile, "flat");
    EXPECT_EQ(sway->input("2:2:Pad")->speed, 0.5);
    EXPECT_TRUE(service.backend_says("device 1: mouse, sway, flat 0.000, 1:1:Mouse")) << service.backend();
}

// A reply is data: of whatever shape, it is a refusal that the backend
// reports, never a crash (the backend process would die at every value),
// and never counted as applied.
TEST_F(SwayBackendTest, RepliesOfAnotherShapeAreReportedRefusals) {
    auto sway = start_sway();
    DesktopService service({"--backend", "sway"});
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    int backend_process = hidsystem_test::backend_pid(service.daemon().env());
    double speed = 1.0;
    for (const char *reply : {R"([{"success": 1}])", R"("true")", R"([{"success": "yes"}])", "[]", "{", R"([null])"}) {
        SCOPED_TRACE(reply);
        sway->answer_commands_with(reply);
        auto before = service.status();
        ASSERT_TRUE(before);
        service.set("HIDMouseAcceleration", speed += 0.25);
        // Done, refused: the pair is sent and never counted as applied.
        std::optional<hidsystem_test::BackendStatus> status;
        ASSERT_TRUE(eventually([&] {
            status = service.status();
            return status && status->sent == before->sent + 1 &&
                   status->error.find("sway refused") != std::string::npos;
        })) << service.backend();
        EXPECT_EQ(status->applied, 1u) << "only the first pair was written";
        EXPECT_EQ(status->state, "connected");
        EXPECT_NE(status->error.find("sway refused \"input type:pointer accel_profile adaptive\""), std::string::npos)
            << status->error;
        EXPECT_EQ(status->pid, backend_process) << "the backend died of the reply";
    }
}

}  // namespace
