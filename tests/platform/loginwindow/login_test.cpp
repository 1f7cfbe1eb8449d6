// A whole login: the helper is put in the login items list the way the
// pane does it, and the login window starts it against a real event service.
#include "LoginItems.h"
#include "loginwindow_test_support.h"

#include "event_daemon.h"
#include "process.h"
#include "temp_home.h"

#include <gmock/gmock.h>

using namespace glissor_test;
using testing::HasSubstr;

namespace {

TEST(Login, TheLoginWindowStartsTheListedHelperWhichAppliesTheStoredSpeedsSixTimes) {
    TempHome home;
    EventDaemon daemon;
    std::string helper = std::string(GLISSOR_BUILD_DIR) + "/GlissorHelper.app";
    ASSERT_TRUE(AddLoginItemWithPropertiesToUser(kCFPreferencesCurrentUser,
                                                 CFStringFromUTF8(helper).get(), 1));
    glissor_test::store_pane_float(home, "MouseSpeed", "1.5");
    glissor_test::store_pane_float(home, "TrackpadSpeed", "2.25");

    auto env = home.env();
    env.merge(daemon.env());
    auto result = run_process({bin_path("loginwindow"), "--wait"}, {.env = env, .timeout = std::chrono::seconds(30)});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto lines = loginwindow_test::lines_about(result.err, 0);
    ASSERT_EQ(lines.size(), 2u) << result.err;
    EXPECT_THAT(lines[0], HasSubstr("GlissorHelper.app: opened, pid "));
    EXPECT_THAT(lines[0], testing::EndsWith(", hidden"));
    EXPECT_THAT(lines[1], testing::EndsWith(" exited with status 0"));

    auto log = daemon.log();
    ASSERT_EQ(log.size(), 18u) << "six passes of three calls each\n" << result.err;
    for (size_t pass = 0; pass < 6; ++pass) {
        EXPECT_EQ(log[pass * 3].key, "legacy-mouse-acceleration");
        EXPECT_EQ(std::stod(log[pass * 3].value), 1.5);
        EXPECT_EQ(log[pass * 3 + 1].key, "HIDMouseAcceleration");
        EXPECT_EQ(log[pass * 3 + 1].value, "98304") << "1.5 in 16.16";
        EXPECT_EQ(log[pass * 3 + 2].key, "HIDTrackpadAcceleration");
        EXPECT_EQ(log[pass * 3 + 2].value, "147456") << "2.25 in 16.16";
    }
    EXPECT_EQ(GetCountOfLoginItems(kCFPreferencesCurrentUser), 1) << "the login left the list as it was";
}

}  // namespace
