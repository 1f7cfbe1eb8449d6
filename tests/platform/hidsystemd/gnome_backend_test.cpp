// The gnome backend against real dconf on a private session bus: values
// land in GSettings, a drag is coalesced, a clean exit puts back only what
// still holds our value, and a crash is mended at the next start.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <cstring>
#include <string>
#include <thread>

#include "desktop_test_support.h"
#include "private_session.h"
#include "private_x.h"
#include "raw_client.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::gsettings;

constexpr const char *kMouse = "org.gnome.desktop.peripherals.mouse";
constexpr const char *kTouchpad = "org.gnome.desktop.peripherals.touchpad";

double speed_of(const char *schema) { return std::stod(gsettings({"get", schema, "speed"})); }
std::string profile_of(const char *schema) { return gsettings({"get", schema, "accel-profile"}); }

class GnomeBackendTest : public ::testing::Test {
protected:
    void start_service() { service_ = std::make_unique<DesktopService>(std::vector<std::string>{"--backend", "gnome"}); }
    void set(const char *key, double speed) { service_->set(key, speed); }
    std::string backend() const { return service_->backend(); }
    bool settled() const { return service_->settled(); }

    hidsystem_test::PrivateSession session_;
    std::unique_ptr<DesktopService> service_;
};

TEST_F(GnomeBackendTest, ValuesLandAndACleanExitPutsBackOnlyWhatStillHoldsThem) {
    gsettings({"set", kTouchpad, "speed", "0.3"});  // the user's own; the profile is left at its default
    start_service();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_NE(backend().find("state: idle"), std::string::npos) << "nothing starts before a value is set";

    set("HIDMouseAcceleration", 2.0);
    set("HIDTrackpadAcceleration", 0.0);
    ASSERT_TRUE(settled()) << backend();
    EXPECT_NEAR(speed_of(kMouse), 2.0 / 3.0, 1e-9);
    EXPECT_EQ(profile_of(kMouse), "'adaptive'");
    EXPECT_NEAR(speed_of(kTouchpad), -0.1, 1e-9);
    EXPECT_EQ(profile_of(kTouchpad), "'flat'");
    std::string text = backend();
    EXPECT_NE(text.find("device 1: mouse, gsettings, adaptive 0.667, org.gnome.desktop.peripherals.mouse"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("device 2: touchpad, gsettings, flat -0.100"), std::string::npos) << text;

    gsettings({"set", kMouse, "speed", "0.25"});  // the user changes the mouse meanwhile
    ASSERT_EQ(service_->daemon().process().stop(SIGTERM), 0);
    EXPECT_NEAR(speed_of(kMouse), 0.25, 1e-9);
    EXPECT_EQ(profile_of(kMouse), "'adaptive'");
    EXPECT_NEAR(speed_of(kTouchpad), 0.3, 1e-9);
    EXPECT_EQ(profile_of(kTouchpad), "'default'");
    // The user had no profile of their own: the key is unset again, not a copy of the default.
    auto user_profile =
        glissor_test::run_process({"/usr/bin/dconf", "read", "/org/gnome/desktop/peripherals/touchpad/accel-profile"});
    EXPECT_EQ(user_profile.exit_code, 0) << user_profile.err;
    EXPECT_EQ(user_profile.out, "");
    EXPECT_FALSE(glissor_test::file_exists(session_.snapshot_path("gnome")));
}

TEST_F(GnomeBackendTest, ADragWritesAtMostTenTimesASecondAndEndsOnItsLastValue) {
    hidsystem_test::SettingsMonitor monitor(kMouse);
    start_service();
    // 3 s of a slider dragged from 1.0 up, one value every 8 ms.
    constexpr int kSteps = 375;
    auto start = std::chrono::steady_clock::now();
    double last = 0;
    for (int step = 0; step < kSteps; ++step) {
        last = 1.0 + 2.0 * step / (kSteps - 1);
        set("HIDMouseAcceleration", last);
        std::this_thread::sleep_until(start + std::chrono::milliseconds(8 * (step + 1)));
    }
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(settled()) << backend();
    double wanted = std::min((last - 1) / 1.5, 1.0);
    ASSERT_TRUE(eventually([&] {
        auto changes = monitor.changes("speed");
        return !changes.empty() && std::fabs(std::stod(changes.back().substr(7)) - wanted) < 1e-9;
    })) << "the last value never landed";
    std::size_t writes = monitor.changes("speed").size();
    EXPECT_GE(writes, 2u) << "the drag showed only at its end";
    EXPECT_LE(writes, static_cast<std::size_t>(seconds * 10) + 2) << "over " << seconds << " s";
    EXPECT_NEAR(speed_of(kMouse), wanted, 1e-9);
}

TEST_F(GnomeBackendTest, AServiceThatCrashedPutsTheUserValuesBackAtItsNextStart) {
    gsettings({"set", kMouse, "speed", "0.4"});
    gsettings({"set", kMouse, "accel-profile", "flat"});
    start_service();
    set("HIDMouseAcceleration", 3.0);
    ASSERT_TRUE(settled()) << backend();
    ASSERT_NEAR(speed_of(kMouse), 1.0, 1e-9);
    ASSERT_TRUE(glissor_test::file_exists(session_.snapshot_path("gnome")));

    // Both die without a word: nothing is put back yet.
    int backend_process = hidsystem_test::backend_pid(service_->daemon().env());
    ASSERT_GT(backend_process, 0);
    kill(backend_process, SIGKILL);
    service_->daemon().process().stop(SIGKILL);
    service_.reset();
    EXPECT_NEAR(speed_of(kMouse), 1.0, 1e-9);

    // The next start mends it before any client sets a value.
    start_service();
    EXPECT_TRUE(eventually([&] { return std::fabs(speed_of(kMouse) - 0.4) < 1e-9; }, std::chrono::seconds(10)));
    EXPECT_EQ(profile_of(kMouse), "'flat'");
    EXPECT_TRUE(eventually([&] { return !glissor_test::file_exists(session_.snapshot_path("gnome")); }));
}

// The snapshot file is the user's alone: what is at its path or in its
// folder never blocks the backend, is never followed, and a folder others
// may write is not used. The values are applied all the same.
TEST_F(GnomeBackendTest, ASnapshotPathThatIsNotPlainlyOursNeitherBlocksNorIsFollowed) {
    const std::string path = session_.snapshot_path("gnome");
    const std::string folder = path.substr(0, path.rfind('/'));
    std::filesystem::create_directories(folder);
    chmod(folder.c_str(), 0700);
    const std::string victim = session_.root() + "/victim.txt";
    glissor_test::write_file(victim, "someone else's file\n");
    // A link where a writer with a fixed temporary name would open it.
    ASSERT_EQ(symlink(victim.c_str(), (path + ".new").c_str()), 0);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);

    start_service();
    set("HIDMouseAcceleration", 2.5);
    ASSERT_TRUE(settled()) << backend();
    EXPECT_NEAR(speed_of(kMouse), 1.0, 1e-9) << "applied, the FIFO notwithstanding";
    EXPECT_EQ(glissor_test::read_file(victim), "someone else's file\n");
    ASSERT_EQ(service_->daemon().process().stop(SIGTERM), 0);
    service_.reset();

    // A folder others may write: not used, and said.
    unlink(path.c_str());
    chmod(folder.c_str(), 0777);
    start_service();
    set("HIDMouseAcceleration", 1.5);
    ASSERT_TRUE(settled()) << backend();
    EXPECT_NEAR(speed_of(kMouse), 1.0 / 3.0, 1e-9);
    EXPECT_TRUE(service_->backend_says("may be written by others")) << backend();
    EXPECT_FALSE(glissor_test::file_exists(path));
    EXPECT_EQ(glissor_test::read_file(victim), "someone else's file\n");
}

// The service blocks SIGTERM and SIGINT for its own signal handling; the
// backend it starts must not inherit that, or a signal meant for it (from
// a session manager, say) would leave the user's values overwritten.
TEST_F(GnomeBackendTest, ASignalToTheBackendPutsTheValuesBackAndEndsIt) {
    gsettings({"set", kMouse, "speed", "0.4"});
    start_service();
    for (int signal_number : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal_number));
        set("HIDMouseAcceleration", 2.5);
        ASSERT_TRUE(settled()) << backend();
        ASSERT_NEAR(speed_of(kMouse), 1.0, 1e-9);
        int backend_process = hidsystem_test::backend_pid(service_->daemon().env());
        ASSERT_GT(backend_process, 0);
        ASSERT_EQ(kill(backend_process, signal_number), 0);
        EXPECT_TRUE(eventually([&] { return std::fabs(speed_of(kMouse) - 0.4) < 1e-9; }, std::chrono::seconds(10)));
        EXPECT_TRUE(eventually([&] { return hidsystem_test::backend_pid(service_->daemon().env()) != backend_process; }))
            << "the backend ended";
        EXPECT_FALSE(glissor_test::file_exists(session_.snapshot_path("gnome")));
        // The next value starts a new backend (after a back-off that grows
        // with each short-lived one).
        set("HIDMouseAcceleration", 1.5);
        EXPECT_TRUE(eventually([&] { return std::fabs(speed_of(kMouse) - 1.0 / 3.0) < 1e-9; }, std::chrono::seconds(10)))
            << backend();
    }
}

// SIGKILL leaves the service no word to say: the backend sees its channel
// close and puts the values back all the same.
TEST_F(GnomeBackendTest, AKilledServiceStillEndsItsBackendWhichPutsBack) {
    gsettings({"set", kMouse, "speed", "0.4"});
    start_service();
    set("HIDMouseAcceleration", 2.5);
    ASSERT_TRUE(settled()) << backend();
    int backend_process = hidsystem_test::backend_pid(service_->daemon().env());
    ASSERT_GT(backend_process, 0);
    service_->daemon().process().stop(SIGKILL);
    EXPECT_TRUE(eventually([&] { return !hidsystem_test::process_running(backend_process); }, std::chrono::seconds(10)));
    EXPECT_NEAR(speed_of(kMouse), 0.4, 1e-9);
    EXPECT_FALSE(glissor_test::file_exists(session_.snapshot_path("gnome")));
}

}  // namespace
