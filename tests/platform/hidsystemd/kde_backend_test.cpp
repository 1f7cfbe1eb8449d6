// The kde backend against a stand-in for KWin's input devices on a private
// session bus: it checks what the backend sends, not KWin itself.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>

#include "desktop_test_support.h"
#include "private_session.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;

class KdeBackendTest : public ::testing::Test {
protected:
    void start_kwin(const std::vector<std::string> &devices = {"event3:mouse", "event4:touchpad", "event5:keyboard",
                                                               "event6:mouse:noaccel"},
                    bool touchpad_as_text = false) {
        std::remove((log_ + ".ready").c_str());
        std::vector<std::string> argv = {hidsystem_test::test_program("kwin_standin")};
        if (touchpad_as_text) argv.push_back("--touchpad-as-text");
        argv.push_back(log_);
        argv.insert(argv.end(), devices.begin(), devices.end());
        kwin_ = glissor_test::BackgroundProcess(argv);
        ASSERT_TRUE(eventually([&] { return glissor_test::file_exists(log_ + ".ready"); }, std::chrono::seconds(10)));
    }
    // The property writes the stand-in saw, from the nth on.
    std::vector<std::string> writes(std::size_t from = 0) const {
        std::istringstream lines(glissor_test::read_file(log_));
        std::vector<std::string> all;
        for (std::string line; std::getline(lines, line);) all.push_back(line);
        return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
    }
    bool wrote(const std::string &line, std::size_t from = 0) const {
        auto seen = writes(from);
        return std::find(seen.begin(), seen.end(), line) != seen.end();
    }
    bool wrote_to(const std::string &device, std::size_t from = 0) const {
        for (const std::string &line : writes(from))
            if (line.starts_with(device + " ")) return true;
        return false;
    }

    hidsystem_test::PrivateSession session_;
    glissor_test::TempDir dir_;
    std::string log_ = dir_.path() + "/writes";
    glissor_test::BackgroundProcess kwin_;
};

TEST_F(KdeBackendTest, EachAcceleratedPointerGetsItsClassNewOnesTooAndACleanExitPutsBackWhatStillHolds) {
    start_kwin();
    DesktopService service({"--backend", "kde"});
    service.set("HIDMouseAcceleration", 2.0);
    service.set("HIDTrackpadAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_TRUE(wrote("event3 pointerAccelerationProfileAdaptive true"));
    EXPECT_TRUE(wrote("event3 pointerAcceleration 0.66666666666666663"));
    EXPECT_TRUE(wrote("event4 pointerAccelerationProfileFlat true"));
    EXPECT_TRUE(wrote("event4 pointerAcceleration -0.10000000000000001"));
    EXPECT_FALSE(wrote_to("event5")) << "a keyboard";
    EXPECT_FALSE(wrote_to("event6")) << "a pointer KWin cannot accelerate";
    std::string text = service.backend();
    EXPECT_NE(text.find("mouse, kwin, adaptive 0.667, event3 Stand-in mouse"), std::string::npos) << text;
    EXPECT_NE(text.find("touchpad, kwin, flat -0.100, event4 Stand-in touchpad"), std::string::npos) << text;

    kill(kwin_.pid(), SIGUSR1);  // a touchpad plugged in later
    EXPECT_TRUE(eventually([&] { return wrote("event9 pointerAccelerationProfileFlat true"); }));
    EXPECT_TRUE(eventually([&] { return wrote("event9 pointerAcceleration -0.10000000000000001"); }));

    // The user sets the mouse in the desktop's own settings meanwhile.
    auto user = glissor_test::run_process({"/usr/bin/gdbus", "call", "--session", "--dest", "org.kde.KWin",
                                           "--object-path", "/org/kde/KWin/InputDevice/event3", "--method",
                                           "org.freedesktop.DBus.Properties.Set", "org.kde.KWin.InputDevice",
                                           "pointerAcceleration", "<0.25>"});
    ASSERT_EQ(user.exit_code, 0) << user.err;
    std::size_t before_exit = writes().size();
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_FALSE(wrote_to("event3", before_exit)) << "the user's change stands";
    EXPECT_TRUE(wrote("event4 pointerAccelerationProfileAdaptive true", before_exit));
    EXPECT_TRUE(wrote("event4 pointerAcceleration 0.0", before_exit));
    EXPECT_TRUE(wrote("event9 pointerAcceleration 0.10000000000000001", before_exit));
    EXPECT_FALSE(glissor_test::file_exists(session_.snapshot_path("kde")));
}

TEST_F(KdeBackendTest, TheServiceOutlivesKWinAndTheBus) {
    start_kwin();
    DesktopService service({"--backend", "kde"});
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    ASSERT_TRUE(wrote("event3 pointerAccelerationProfileFlat true"));

    kwin_.stop(SIGTERM);
    EXPECT_TRUE(service.backend_says("KWin left the session bus")) << service.backend();
    // KWin back: its devices get the current speed again.
    std::size_t before = writes().size();
    start_kwin();
    EXPECT_TRUE(eventually([&] { return wrote("event3 pointerAcceleration 0.0", before); }))
        << service.backend();

    session_.stop_bus();
    EXPECT_TRUE(service.backend_says("the session bus closed")) << service.backend();
    service.set("HIDMouseAcceleration", 1.0);  // still served
    EXPECT_EQ(service.daemon().get("HIDMouseAcceleration"), "65536");
}

TEST_F(KdeBackendTest, ACrashIsMendedAtTheNextStartWhereOurValueStillStandsAndAnAbsentDeviceStaysOwed) {
    start_kwin();
    auto service = std::make_unique<DesktopService>(std::vector<std::string>{"--backend", "kde"});
    service->set("HIDMouseAcceleration", 2.0);
    service->set("HIDTrackpadAcceleration", 0.0);
    kill(kwin_.pid(), SIGUSR1);
    ASSERT_TRUE(eventually([&] { return wrote("event9 pointerAcceleration -0.10000000000000001"); }));
    ASSERT_TRUE(service->settled());
    int backend_process = hidsystem_test::backend_pid(service->daemon().env());
    ASSERT_GT(backend_process, 0);
    kill(backend_process, SIGKILL);
    service->daemon().process().stop(SIGKILL);
    service.reset();

    // KWin saved our values; meanwhile the user set the mouse, and the
    // late touchpad is unplugged.
    kwin_.stop(SIGTERM);
    start_kwin({"event3:mouse:adaptive=0.3", "event4:touchpad:flat=-0.1"});
    std::size_t before = writes().size();
    service = std::make_unique<DesktopService>(std::vector<std::string>{"--backend", "kde"});
    EXPECT_TRUE(eventually([&] { return wrote("event4 pointerAcceleration 0.0", before); })) << service->backend();
    EXPECT_TRUE(wrote("event4 pointerAccelerationProfileAdaptive true", before));
    EXPECT_FALSE(wrote_to("event3", before)) << "the user's value stands";
    // Only the touchpad that is not there stays in the file.
    std::string owed;
    EXPECT_TRUE(eventually([&] {
        owed = glissor_test::read_file(session_.snapshot_path("kde"));
        return owed.find("event9\t") != std::string::npos && owed.find("event4\t") == std::string::npos &&
               owed.find("event3\t") == std::string::npos;
    })) << owed;
}

// A property of another type than KWin's (another KWin version, say) is
// reported, never taken for false: the device would be skipped without a
// word while the backend said "connected".
TEST_F(KdeBackendTest, APropertyOfAnotherTypeIsReportedNotSkippedInSilence) {
    start_kwin({"event4:touchpad"}, true);
    DesktopService service({"--backend", "kde"});
    service.set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_FALSE(wrote_to("event4"));
    auto status = service.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->error, "event4: KWin's touchpad is a s, not a boolean") << service.backend();
}

}  // namespace
