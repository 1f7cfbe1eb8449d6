// setMouseFix against the real event service.
#include "MouseFix.h"
#include "event_daemon.h"

#include <dirent.h>

#include <cmath>

using namespace glissor_test;

namespace {

int open_descriptors() {
    int count = 0;
    DIR *dir = opendir("/proc/self/fd");
    while (dir && readdir(dir)) ++count;
    if (dir) closedir(dir);
    return count;
}

std::vector<std::string> keys_of(const std::vector<LoggedChange> &log) {
    std::vector<std::string> keys;
    for (const auto &change : log) keys.push_back(change.key);
    return keys;
}

TEST(SetMouseFix, SendsLegacyCallThenMouseThenTrackpad) {
    EventDaemon daemon;
    int descriptors = open_descriptors();
    EXPECT_EQ(setMouseFix(1.5f, 0.5f), kMouseFixSuccess);
    EXPECT_EQ(open_descriptors(), descriptors) << "the connection is closed after the call";

    auto log = daemon.log();
    ASSERT_EQ(keys_of(log), (std::vector<std::string>{"legacy-mouse-acceleration", "HIDMouseAcceleration",
                                                      "HIDTrackpadAcceleration"}));
    EXPECT_EQ(std::stod(log[0].value), 1.5);
    EXPECT_EQ(log[1].value, "98304");
    EXPECT_EQ(log[2].value, "32768");
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "98304");
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "32768");

    // Both speeds go every time, even unchanged; odd speeds go as converted.
    EXPECT_EQ(setMouseFix(1.0f, 1.0f), kMouseFixSuccess);
    EXPECT_EQ(setMouseFix(-1.0f, NAN), kMouseFixSuccess);
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "-65536");
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "-2147483648");
    EXPECT_EQ(daemon.log().size(), 9u);
}

TEST(SetMouseFix, NoServiceGivesMinusTwo) {
    TempDir nowhere;
    ScopedEnv socket("HIDSYSTEM_SOCKET", nowhere.path() + "/no-daemon.sock");
    int descriptors = open_descriptors();
    EXPECT_EQ(setMouseFix(1.0f, 1.0f), kMouseFixNoService);
    EXPECT_EQ(open_descriptors(), descriptors);
}

TEST(SetMouseFix, RefusedMouseSkipsTheTrackpadAndStillCloses) {
    EventDaemon daemon({"HIDMouseAcceleration"});
    int descriptors = open_descriptors();
    EXPECT_EQ(setMouseFix(2.0f, 3.0f), kMouseFixMouseRefused);
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(keys_of(daemon.log()), (std::vector<std::string>{"legacy-mouse-acceleration"}))
        << "the trackpad parameter must not be sent after a refusal";
}

TEST(SetMouseFix, RefusedTrackpadGivesMinusFour) {
    EventDaemon daemon({"HIDTrackpadAcceleration"});
    EXPECT_EQ(setMouseFix(2.0f, 3.0f), kMouseFixTrackpadRefused);
    EXPECT_EQ(keys_of(daemon.log()),
              (std::vector<std::string>{"legacy-mouse-acceleration", "HIDMouseAcceleration"}));
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "131072");
}

}  // namespace
