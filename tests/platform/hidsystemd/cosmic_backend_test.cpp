// The cosmic backend through the real service, in a sandbox config folder:
// COSMIC's key files get the acceleration field and nothing else changes in
// them, files it cannot read are left alone, a drag is paced, and the
// user's keys come back after a clean end and after a crash.
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "desktop_test_support.h"
#include "private_session.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;

constexpr const char *kUsersMouseKey =
    "(\n"
    "    state: Enabled,\n"
    "    // my trackball\n"
    "    acceleration: Some((\n"
    "        profile: Some(Adaptive),\n"
    "        speed: 0.2,\n"
    "    )),\n"
    "    left_handed: Some(true),\n"
    "    a_later_field: Some([1, 2]), // kept as it is\n"
    ")";

// COSMIC's own defaults for the touchpad, with the acceleration written.
constexpr const char *kCreatedTouchpadKey =
    "(\n"
    "    state: Enabled,\n"
    "    acceleration: Some((\n"
    "        profile: Some(Flat),\n"
    "        speed: -0.1,\n"
    "    )),\n"
    "    click_method: Some(Clickfinger),\n"
    "    disable_while_typing: Some(true),\n"
    "    tap_config: Some((\n"
    "        enabled: true,\n"
    "        button_map: Some(LeftRightMiddle),\n"
    "        drag: true,\n"
    "        drag_lock: false,\n"
    "    )),\n"
    ")";

std::string touchpad_key_with_speed(const std::string &speed) {
    return "(\n    state: Enabled,\n    acceleration: Some((\n        profile: Some(Adaptive),\n        speed: " + speed +
           ",\n    )),\n)";
}

class CosmicBackendTest : public ::testing::Test {
protected:
    void start_service() { service_ = std::make_unique<DesktopService>(std::vector<std::string>{"--backend", "cosmic"}); }
    std::string key(const std::string &name) const { return folder_ + "/" + name; }
    std::string backend() const { return service_->backend(); }

    glissor_test::TempHome home_;
    const std::string config_ = home_.home() + "/config";
    const std::string folder_ = config_ + "/cosmic/com.system76.CosmicComp/v1";
    const std::string snapshot_ = home_.home() + "/state/glissor/hidsystemd-cosmic.snapshot";
    glissor_test::ScopedEnv config_home_{"XDG_CONFIG_HOME", config_};
    glissor_test::ScopedEnv state_home_{"XDG_STATE_HOME", home_.home() + "/state"};
    // No system defaults but the test's own.
    glissor_test::ScopedEnv data_dirs_{"XDG_DATA_DIRS", home_.home() + "/data"};
    std::unique_ptr<DesktopService> service_;
};

TEST_F(CosmicBackendTest, BothKeysGetTheAccelerationAloneAndACleanEndGivesTheUsersFilesBack) {
    glissor_test::write_file(key("input_default"), kUsersMouseKey);
    start_service();
    service_->set("HIDMouseAcceleration", 2.0);
    service_->set("HIDTrackpadAcceleration", 0.0);
    ASSERT_TRUE(service_->settled()) << backend();
    ASSERT_TRUE(eventually([&] { return glissor_test::file_exists(key("input_touchpad")); })) << backend();

    std::string mouse = kUsersMouseKey;
    mouse.replace(mouse.find("Adaptive),\n        speed: 0.2"), 29, "Adaptive),\n        speed: 0.6666666666666666");
    EXPECT_EQ(glissor_test::read_file(key("input_default")), mouse);
    EXPECT_EQ(glissor_test::read_file(key("input_touchpad")), kCreatedTouchpadKey) << "made from COSMIC's defaults";
    auto status = service_->status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->state, "connected");
    EXPECT_EQ(status->error, "");
    ASSERT_TRUE(status->device("input_default"));
    EXPECT_EQ(status->device("input_default")->value, "adaptive 0.667");
    ASSERT_TRUE(status->device("input_touchpad"));
    EXPECT_EQ(status->device("input_touchpad")->value, "flat -0.100");

    ASSERT_EQ(service_->daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(glissor_test::read_file(key("input_default")), kUsersMouseKey) << "byte for byte";
    EXPECT_FALSE(glissor_test::file_exists(key("input_touchpad"))) << "COSMIC had none";
    EXPECT_FALSE(glissor_test::file_exists(snapshot_));
}

// A system default for the key (what COSMIC reads while the user has none)
// is the base of a new key, as COSMIC's settings would take it.
TEST_F(CosmicBackendTest, ANewKeyStartsFromTheSystemsDefaultWhenThereIsOne) {
    const std::string system_key = home_.home() + "/data/cosmic/com.system76.CosmicComp/v1/input_default";
    glissor_test::write_file(system_key, "(state: Enabled, left_handed: Some(true))");
    start_service();
    service_->set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service_->settled()) << backend();
    EXPECT_TRUE(eventually([&] {
        return glissor_test::file_exists(key("input_default")) &&
               glissor_test::read_file(key("input_default")) ==
                   "(state: Enabled, acceleration: Some((profile: Some(Flat), speed: 0.0)), left_handed: Some(true))";
    })) << backend();
    EXPECT_FALSE(glissor_test::file_exists(key("input_touchpad"))) << "no trackpad speed was set";
}

TEST_F(CosmicBackendTest, AKeyGlissorCannotReadIsReportedAndLeftAsItIs) {
    const std::string not_ron = "state = Enabled\n[acceleration]\n";
    const std::string unknown_profile =
        "(\n    state: Enabled,\n    acceleration: Some((profile: Some(Custom), speed: 0.5)),\n)";
    glissor_test::write_file(key("input_default"), not_ron);
    glissor_test::write_file(key("input_touchpad"), unknown_profile);
    start_service();
    service_->set("HIDMouseAcceleration", 2.0);
    EXPECT_TRUE(service_->backend_says("input_default is not RON Glissor can read (line 1")) << backend();
    service_->set("HIDTrackpadAcceleration", 2.0);
    EXPECT_TRUE(service_->backend_says("input_touchpad: acceleration has a profile Glissor does not know: Custom"))
        << backend();

    EXPECT_EQ(glissor_test::read_file(key("input_default")), not_ron);
    EXPECT_EQ(glissor_test::read_file(key("input_touchpad")), unknown_profile);
    auto status = service_->status();
    ASSERT_TRUE(status);
    ASSERT_TRUE(status->device("input_default"));
    EXPECT_EQ(status->device("input_default")->value, "?") << "nothing claimed applied";
    EXPECT_EQ(status->device("input_touchpad")->value, "?");
    EXPECT_EQ(status->applied, 0u) << "neither pair was written";
    ASSERT_EQ(service_->daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(glissor_test::read_file(key("input_default")), not_ron);
    EXPECT_EQ(glissor_test::read_file(key("input_touchpad")), unknown_profile);
}

// Both processes die without a word; the next start puts back the key that
// still holds our value and keeps the one the user changed meanwhile.
TEST_F(CosmicBackendTest, ACrashIsMendedAtTheNextStartAndTheUsersOwnChangeStands) {
    glissor_test::write_file(key("input_touchpad"), touchpad_key_with_speed("0.3"));
    start_service();
    service_->set("HIDMouseAcceleration", 3.0);
    service_->set("HIDTrackpadAcceleration", 3.0);
    ASSERT_TRUE(service_->settled()) << backend();
    ASSERT_TRUE(eventually([&] {
        return glissor_test::read_file(key("input_touchpad")) == touchpad_key_with_speed("1.0");
    })) << backend();
    ASSERT_TRUE(glissor_test::file_exists(key("input_default")));
    ASSERT_TRUE(glissor_test::file_exists(snapshot_));

    // The user moves the touchpad slider in COSMIC's settings.
    glissor_test::write_file(key("input_touchpad"), touchpad_key_with_speed("0.7"));
    int backend_process = hidsystem_test::backend_pid(service_->daemon().env());
    ASSERT_GT(backend_process, 0);
    kill(backend_process, SIGKILL);
    service_->daemon().process().stop(SIGKILL);
    service_.reset();
    ASSERT_TRUE(glissor_test::file_exists(key("input_default"))) << "nothing was put back yet";

    start_service();
    EXPECT_TRUE(eventually([&] { return !glissor_test::file_exists(key("input_default")); }))
        << "the key we made goes again";
    EXPECT_TRUE(eventually([&] { return !glissor_test::file_exists(snapshot_); }));
    EXPECT_EQ(glissor_test::read_file(key("input_touchpad")), touchpad_key_with_speed("0.7"));
}

// The renames onto a key in the folder, as inotify saw them: each durable
// write is one. Closes are watched too, only so that no two renames queue
// back to back, which inotify would merge into one event.
class KeyWrites {
public:
    explicit KeyWrites(const std::string &folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        inotify_add_watch(fd_, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
    }
    ~KeyWrites() { close(fd_); }
    int count(const std::string &name) {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t got; (got = read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char *at = buffer; at < buffer + got;) {
                auto *event = reinterpret_cast<inotify_event *>(at);
                if ((event->mask & IN_MOVED_TO) && event->len > 0 && name == event->name) ++count_;
                at += sizeof(inotify_event) + event->len;
            }
        }
        return count_;
    }

private:
    int fd_;
    int count_ = 0;
};

TEST_F(CosmicBackendTest, ADragWritesAtMostTenTimesASecondAndEndsOnItsLastValue) {
    glissor_test::write_file(key("input_default"), kUsersMouseKey);
    KeyWrites writes(folder_);
    start_service();
    constexpr int kSteps = 250;  // 2 s, a value every 8 ms
    auto start = std::chrono::steady_clock::now();
    for (int step = 0; step < kSteps; ++step) {
        service_->set("HIDMouseAcceleration", 1.0 + 2.0 * step / (kSteps - 1));
        std::this_thread::sleep_until(start + std::chrono::milliseconds(8 * (step + 1)));
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(service_->settled()) << backend();
    EXPECT_TRUE(eventually([&] {
        return glissor_test::read_file(key("input_default")).find("speed: 1.0,\n") != std::string::npos;
    })) << "the last value never landed";
    int written = writes.count("input_default");
    EXPECT_GE(written, 2) << "the drag showed only at its end";
    EXPECT_LE(written, static_cast<int>(seconds * 10) + 2) << "over " << seconds << " s";
}

}  // namespace
