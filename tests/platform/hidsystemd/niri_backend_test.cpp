// The niri backend through the real service, against a stand-in for niri's
// IPC socket and a sandbox config folder: the file of its own, what the
// report advises about config.kdl, older niri, and a socket that answers
// something else or nothing.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"
#include "niri_standin.h"
#include "private_session.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;

constexpr const char *kHeader =
    "// Pointer speeds from Glissor, read by niri through the line\n"
    "// include \"glissor.kdl\" in config.kdl. The event service rewrites this\n"
    "// file while it runs and empties it when it ends.\n";

constexpr const char *kUsersInput =
    "input {\n"
    "    keyboard {\n"
    "        xkb { layout \"us\"; }\n"
    "    }\n"
    "    mouse {\n"
    "        natural-scroll\n"
    "        accel-speed 0.3 // mine\n"
    "    }\n"
    "    /-trackpoint { off; }\n"
    "    touchpad { tap; dwt; }\n"
    "}\n";

class NiriBackendTest : public ::testing::Test {
protected:
    std::unique_ptr<hidsystem_test::NiriStandin> start_niri(const std::string &version = "25.11 (a1b2c3d)") {
        return std::make_unique<hidsystem_test::NiriStandin>(socket_, version);
    }
    void start_service() { service_ = std::make_unique<DesktopService>(std::vector<std::string>{"--backend", "niri"}); }
    std::string backend() const { return service_->backend(); }
    std::string own_file() const { return glissor_test::read_file(own_); }

    glissor_test::TempHome home_;
    glissor_test::TempDir run_;
    const std::string socket_ = run_.path() + "/niri.sock";
    const std::string folder_ = home_.home() + "/config/niri";
    const std::string config_ = folder_ + "/config.kdl";
    const std::string own_ = folder_ + "/glissor.kdl";
    const std::string snapshot_ = home_.home() + "/state/glissor/hidsystemd-niri.snapshot";
    glissor_test::ScopedEnv config_home_{"XDG_CONFIG_HOME", home_.home() + "/config"};
    glissor_test::ScopedEnv state_home_{"XDG_STATE_HOME", home_.home() + "/state"};
    glissor_test::ScopedEnv niri_config_{"NIRI_CONFIG", ""};
    glissor_test::ScopedEnv niri_socket_{"NIRI_SOCKET", socket_};
    std::unique_ptr<DesktopService> service_;
};

TEST_F(NiriBackendTest, IncludedTheFileCarriesTheUsersLinesAndTheSpeedsAndACleanEndEmptiesIt) {
    const std::string config = std::string(kUsersInput) + "\ninclude \"glissor.kdl\"\n";
    glissor_test::write_file(config_, config);
    auto niri = start_niri();
    start_service();
    service_->set("HIDMouseAcceleration", 2.0);
    service_->set("HIDTrackpadAcceleration", 0.0);
    ASSERT_TRUE(service_->settled()) << backend();
    EXPECT_TRUE(eventually([&] {
        return glissor_test::file_exists(own_) && own_file() == std::string(kHeader) +
                                                                   "input {\n"
                                                                   "    mouse {\n"
                                                                   "        natural-scroll\n"
                                                                   "        accel-speed 0.667\n"
                                                                   "        accel-profile \"adaptive\"\n"
                                                                   "    }\n"
                                                                   "    touchpad {\n"
                                                                   "        tap\n"
                                                                   "        dwt\n"
                                                                   "        accel-speed -0.1\n"
                                                                   "        accel-profile \"flat\"\n"
                                                                   "    }\n"
                                                                   "}\n";
    })) << (glissor_test::file_exists(own_) ? own_file() : backend());
    EXPECT_EQ(glissor_test::read_file(config_), config) << "config.kdl is never written";
    auto status = service_->status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->state, "connected");
    EXPECT_EQ(status->error, "");
    ASSERT_TRUE(status->device("input mouse"));
    EXPECT_EQ(status->device("input mouse")->value, "adaptive 0.667");
    EXPECT_EQ(status->device("input touchpad")->value, "flat -0.100");
    ASSERT_FALSE(niri->requests().empty());
    EXPECT_EQ(niri->requests().front(), "\"Version\"");

    ASSERT_EQ(service_->daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(own_file(), kHeader) << "still there, as the include needs it, and setting nothing";
    EXPECT_FALSE(glissor_test::file_exists(snapshot_));
}

// The report says the one line config.kdl lacks; once the user adds it in
// the wrong place (before the input section, which then overrides ours),
// it says so; once it is right, nothing.
TEST_F(NiriBackendTest, TheReportSaysWhatConfigKdlLacksAsTheUserEditsIt) {
    glissor_test::write_file(config_, kUsersInput);
    auto niri = start_niri();
    start_service();
    service_->set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service_->settled()) << backend();
    EXPECT_TRUE(service_->backend_says("last error: add to ~/config/niri/config.kdl: include \"glissor.kdl\""))
        << backend();
    ASSERT_TRUE(glissor_test::file_exists(own_)) << "written already, ready for the line";
    EXPECT_NE(own_file().find("accel-profile \"flat\""), std::string::npos) << own_file();

    glissor_test::write_file(config_, "include \"./glissor.kdl\"\n" + std::string(kUsersInput));
    EXPECT_TRUE(service_->backend_says(
        "move include \"glissor.kdl\" to the end of ~/config/niri/config.kdl: the input mouse section after it "
        "overrides it"))
        << backend();
    // Put right, the advice goes: the last error is the backend's word now.
    glissor_test::write_file(config_, std::string(kUsersInput) + "include \"./glissor.kdl\"\n");
    EXPECT_TRUE(service_->backend_says("last error: none")) << backend();
}

TEST_F(NiriBackendTest, AnOlderNiriGetsNothingWrittenAndTheLinesToAddByHand) {
    glissor_test::write_file(config_, kUsersInput);
    auto niri = start_niri("25.08 (0123abc)");
    start_service();
    service_->set("HIDMouseAcceleration", 2.0);
    ASSERT_TRUE(service_->backend_says("state: advice")) << backend();
    auto status = service_->status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->error, "niri 25.08 cannot include files: add the lines `hidctl backend` shows to config.kdl");
    EXPECT_EQ(status->applied, 0u) << "nothing claimed applied";
    std::string text = backend();
    EXPECT_NE(text.find("accel-speed 0.667"), std::string::npos) << text;
    EXPECT_NE(text.find("accel-profile \"adaptive\""), std::string::npos) << text;
    ASSERT_EQ(service_->daemon().process().stop(SIGTERM), 0);
    EXPECT_FALSE(glissor_test::file_exists(own_));
    EXPECT_EQ(glissor_test::read_file(config_), kUsersInput);
}

// A socket that answers no version, or hangs up, writes nothing and costs
// the service nothing; when niri is back the next value lands.
TEST_F(NiriBackendTest, ASocketThatAnswersGarbageOrNothingWritesNothingAndTheServiceCarriesOn) {
    glissor_test::write_file(config_, "include \"glissor.kdl\"\n");
    auto niri = start_niri();
    niri->answer_with("{\"Ok\": \"Handled\"} and then some");
    start_service();
    service_->set("HIDMouseAcceleration", 2.0);
    EXPECT_TRUE(service_->backend_says("niri's socket answered no version")) << backend();
    niri->hang_up_on_requests();
    service_->set("HIDMouseAcceleration", 2.5);
    EXPECT_TRUE(service_->backend_says("niri closed its socket without answering", std::chrono::seconds(15)))
        << backend();
    niri->stop();
    service_->set("HIDMouseAcceleration", 2.75);
    EXPECT_TRUE(eventually([&] {
        auto status = service_->status();
        return status && status->received == 3 && status->applied == 0;
    })) << backend();
    EXPECT_FALSE(glissor_test::file_exists(own_));

    niri = start_niri();
    service_->set("HIDMouseAcceleration", 3.0);
    EXPECT_TRUE(eventually([&] {
        return glissor_test::file_exists(own_) && own_file().find("accel-speed 1.0\n") != std::string::npos;
    }, std::chrono::seconds(20))) << backend();
}

// Both processes die without a word; the next start takes our section out
// and keeps the one the user edited meanwhile.
TEST_F(NiriBackendTest, ACrashIsMendedAtTheNextStartAndTheUsersOwnEditStands) {
    glissor_test::write_file(config_, "include \"glissor.kdl\"\n");
    auto niri = start_niri();
    start_service();
    service_->set("HIDMouseAcceleration", 2.0);
    service_->set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(service_->settled()) << backend();
    ASSERT_TRUE(eventually([&] { return glissor_test::file_exists(own_) && own_file().find("touchpad") != std::string::npos; }));
    std::string edited = own_file();
    edited.replace(edited.find("accel-speed 0.5"), 15, "accel-speed 0.8");
    glissor_test::write_file(own_, edited);
    int backend_process = hidsystem_test::backend_pid(service_->daemon().env());
    ASSERT_GT(backend_process, 0);
    kill(backend_process, SIGKILL);
    service_->daemon().process().stop(SIGKILL);
    service_.reset();
    ASSERT_NE(own_file().find("mouse"), std::string::npos) << "nothing was put back yet";

    start_service();
    EXPECT_TRUE(eventually([&] { return own_file().find("mouse") == std::string::npos; })) << own_file();
    EXPECT_EQ(own_file(), std::string(kHeader) +
                              "input {\n"
                              "    touchpad {\n"
                              "        accel-speed 0.8\n"
                              "        accel-profile \"adaptive\"\n"
                              "    }\n"
                              "}\n");
    EXPECT_TRUE(eventually([&] { return !glissor_test::file_exists(snapshot_); }));
}

}  // namespace
