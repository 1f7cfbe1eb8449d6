// The login helper, run as the login window runs it.
#include "event_daemon.h"
#include "process.h"
#include "temp_home.h"
#include "wait.h"

using namespace glissor_test;

namespace {

const std::string kHelper = std::string(GLISSOR_BUILD_DIR) + "/GlissorHelper.app/Contents/MacOS/GlissorHelper";

std::map<std::string, std::string> merged(std::map<std::string, std::string> a,
                                          const std::map<std::string, std::string> &b) {
    a.insert(b.begin(), b.end());
    return a;
}

TEST(LoginHelper, AppliesTheSettingsReadAtStartSixTimesASecondApart) {
    TempHome home;
    EventDaemon daemon;
    glissor_test::store_pane_float(home, "MouseSpeed", "1.5");
    auto env = merged(home.env(), daemon.env());

    BackgroundProcess helper({kHelper, "ignored-argument"}, env);
    // Settings changed once it has applied them wait for the next login.
    ASSERT_TRUE(eventually([&] { return daemon.log().size() >= 3; })) << "the first pass never came";
    glissor_test::store_pane_float(home, "MouseSpeed", "3");
    glissor_test::store_pane_float(home, "TrackpadSpeed", "3");
    ASSERT_EQ(helper.wait(std::chrono::seconds(15)), 0);

    auto log = daemon.log();
    ASSERT_EQ(log.size(), 18u) << "six passes of three calls each";
    for (size_t pass = 0; pass < 6; ++pass) {
        EXPECT_EQ(log[pass * 3].key, "legacy-mouse-acceleration");
        EXPECT_EQ(std::stod(log[pass * 3].value), 1.5);
        EXPECT_EQ(log[pass * 3 + 1].key, "HIDMouseAcceleration");
        EXPECT_EQ(log[pass * 3 + 1].value, "98304");
        EXPECT_EQ(log[pass * 3 + 2].key, "HIDTrackpadAcceleration");
        EXPECT_EQ(log[pass * 3 + 2].value, "65536") << "nothing stored reads as 1.0";
        if (pass > 0) {
            EXPECT_GT(log[pass * 3].time - log[(pass - 1) * 3].time, 0.95);
        }
    }
}

TEST(LoginHelper, PrintsNothingAndExitsZeroAfterFiveSecondsWithNoService) {
    TempHome home;
    TempDir nowhere;
    auto env = merged(home.env(), {{"HIDSYSTEM_SOCKET", nowhere.path() + "/none.sock"}});
    auto result = run_process({kHelper}, {.env = env});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_GE(result.elapsed.count(), 4900) << "six passes, one second apart";
}

}  // namespace
