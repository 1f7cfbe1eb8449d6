// prefhost's window mode under a private Xvfb: the real binary, the real
// Glissor pane, the real event service, input sent with xdotool.
#include <cairo.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <string.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "event_daemon.h"
#include "process.h"
#include "temp_home.h"
#include "wait.h"
#include "x_windows.h"

using namespace glissor_test;
using namespace std::chrono_literals;

namespace {

// A box in the window, in GTK's top-left based pixels.
struct Box {
    int x, y, width, height;
};

// The Glissor pane's controls, from their frames in the 595 x 300 main
// view (y turned over): x, 300 - y - height, width, height.
constexpr Box kMouseSlider{20, 90, 280, 24};
constexpr Box kMouseFactor{310, 93, 60, 17};
constexpr Box kTrackpadSlider{20, 152, 280, 24};
constexpr Box kTrackpadFactor{310, 155, 60, 17};
constexpr Box kCheckbox{18, 206, 352, 18};
constexpr Box kArcView{405, 20, 156, 156};
constexpr Box kSpeedSlider{390, 202, 185, 24};

bool isOrange(uint32_t pixel) {
    int red = pixel >> 16, green = (pixel >> 8) & 0xFF, blue = pixel & 0xFF;
    return red >= 0xD0 && green >= 0x50 && green <= 0xB0 && blue <= 0x50;
}

bool isDark(uint32_t pixel) {
    return (pixel >> 16) < 0x70 && ((pixel >> 8) & 0xFF) < 0x70 && (pixel & 0xFF) < 0x70;
}

int countIn(const Screenshot &shot, Box box, bool (*test)(uint32_t)) {
    return shot.count(box.x, box.y, box.width, box.height, test);
}

std::vector<uint32_t> pixelsIn(const Screenshot &shot, Box box) {
    std::vector<uint32_t> pixels;
    for (int y = box.y; y < box.y + box.height; ++y)
        for (int x = box.x; x < box.x + box.width; ++x) pixels.push_back(shot.at(x, y));
    return pixels;
}

class WindowTest : public ::testing::Test {
protected:
    // Starts prefhost on the pane in window mode, output to files, and
    // waits until its window is on screen and drawn.
    void open(const std::string &pane = GLISSOR_PANE_BUNDLE, const std::function<bool()> &drawn = {}) {
        std::map<std::string, std::string> env = home.env();
        env.merge(daemon.env());
        env.merge(xserver.env());
        host = BackgroundProcess({"/bin/sh", "-c", "exec \"$0\" \"$1\" >\"$2\" 2>\"$3\"", bin_path("prefhost"),
                                  pane, outPath(), errPath()},
                                 env);
        window = waitForWindowOf(xserver, host.pid(), 10s);
        ASSERT_NE(window, 0u) << "no window; stderr: " << read_file(errPath());
        ASSERT_TRUE(eventually(drawn ? drawn : [this] { return countIn(shot(), kArcView, isOrange) > 200; }))
            << "the pane was not drawn; " << saved(shot());
    }

    Screenshot shot() { return takeScreenshot(xserver, window); }

    // Keeps the screenshot as a PNG for a failing test to point at.
    std::string saved(const Screenshot &screenshot) {
        std::string path = ::testing::TempDir() + "prefhost-window-" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".png";
        cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, screenshot.width, screenshot.height);
        auto *data = reinterpret_cast<uint32_t *>(cairo_image_surface_get_data(image));
        int stride = cairo_image_surface_get_stride(image) / 4;
        for (int y = 0; y < screenshot.height; ++y)
            for (int column = 0; column < screenshot.width; ++column) data[y * stride + column] = screenshot.at(column, y);
        cairo_surface_mark_dirty(image);
        cairo_surface_write_to_png(image, path.c_str());
        cairo_surface_destroy(image);
        return "screenshot in " + path;
    }

    // A press at `from`, a move to `to` and a release, in window pixels.
    bool drag(int fromX, int fromY, int toX, int toY) {
        std::string id = std::to_string(window);
        return xdotool(xserver, {"mousemove", "--window", id, std::to_string(fromX), std::to_string(fromY), "mousedown", "1",
                           "mousemove", "--window", id, std::to_string((fromX + toX) / 2), std::to_string(toY),
                           "mousemove", "--window", id, std::to_string(toX), std::to_string(toY), "mouseup", "1"});
    }
    bool click(int atX, int atY) {
        return xdotool(xserver, {"mousemove", "--window", std::to_string(window), std::to_string(atX),
                           std::to_string(atY), "click", "1"});
    }

    // Closes the window as a window manager would; the exit status.
    std::optional<int> close() {
        requestClose(xserver, window);
        return host.wait(10s);
    }

    // The last value the event service accepted for the key, or "".
    std::string lastLogged(const std::string &key) {
        std::string value;
        for (const LoggedChange &change : daemon.log())
            if (change.key == key) value = change.value;
        return value;
    }
    bool waitForLogged(const std::string &key, const std::string &value) {
        return eventually([&] { return lastLogged(key) == value; });
    }

    std::string defaults(const std::vector<std::string> &arguments) {
        std::vector<std::string> argv = {bin_path("defaults")};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ProcessOptions options;
        options.env = home.env();
        return run_process(argv, options).out;
    }
    std::string loginItems() { return defaults({"read", "loginwindow", "AutoLaunchedApplicationDictionary"}); }

    std::string outPath() const { return files.path() + "/out"; }
    std::string errPath() const { return files.path() + "/err"; }

    TempHome home;
    EventDaemon daemon;
    XServer xserver;
    TempDir files;
    BackgroundProcess host;
    WindowId window = 0;
};

TEST_F(WindowTest, TheWindowShowsTheControlsAndTheCurveTheCurveSlidersRedrawIt) {
    open();
    Screenshot first = shot();
    ASSERT_EQ(first.width, 595) << saved(first);
    ASSERT_EQ(first.height, 300) << saved(first);
    // A fresh curve ends half way up (y 50 of 100): its lower part is drawn,
    // the view's top third is not, and nothing orange lies outside it.
    EXPECT_GT(countIn(first, {kArcView.x, kArcView.y + 80, kArcView.width, 76}, isOrange), 200) << saved(first);
    EXPECT_EQ(countIn(first, {kArcView.x, kArcView.y, kArcView.width, 50}, isOrange), 0) << saved(first);
    EXPECT_EQ(countIn(first, {0, 0, 595, 300}, isOrange), countIn(first, kArcView, isOrange)) << saved(first);
    // Texts (the factor labels, the checkbox title) and the slider's track.
    EXPECT_GT(countIn(first, kMouseFactor, isDark), 10) << saved(first);
    EXPECT_GT(countIn(first, kTrackpadFactor, isDark), 10) << saved(first);
    EXPECT_GT(countIn(first, kCheckbox, isDark), 30) << saved(first);
    uint32_t background = first.at(2, 2);
    EXPECT_GT(countIn(first, kMouseSlider, [](uint32_t) { return true; }) -
                  first.count(kMouseSlider.x, kMouseSlider.y, kMouseSlider.width, kMouseSlider.height,
                              [&](uint32_t pixel) { return pixel == background; }),
              200)
        << saved(first);

    // Both sliders at 1.0 and both labels at 1.0x look alike.
    EXPECT_EQ(pixelsIn(first, kMouseSlider), pixelsIn(first, kTrackpadSlider)) << saved(first);
    EXPECT_EQ(pixelsIn(first, kMouseFactor), pixelsIn(first, kTrackpadFactor)) << saved(first);

    // The speed slider at its maximum (5) makes the curve end at the top:
    // updateCurve: asks for a redraw, and the area repaints.
    ASSERT_TRUE(drag(kSpeedSlider.x + 100, kSpeedSlider.y + 12, kSpeedSlider.x + 300, kSpeedSlider.y + 12));
    EXPECT_TRUE(eventually([&] { return countIn(shot(), {kArcView.x, kArcView.y, kArcView.width, 50}, isOrange) > 50; }))
        << saved(shot());
    EXPECT_EQ(close(), 0);
}

TEST_F(WindowTest, TheStoredSpeedsThatMainViewDidLoadSetsShowInTheWidgets) {
    defaults({"write", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed", "-float", "3"});
    open();
    Screenshot shown = shot();
    // The mouse slider at 3 and its label at 3.0x; the trackpad's at 1.
    EXPECT_NE(pixelsIn(shown, kMouseSlider), pixelsIn(shown, kTrackpadSlider)) << saved(shown);
    EXPECT_NE(pixelsIn(shown, kMouseFactor), pixelsIn(shown, kTrackpadFactor)) << saved(shown);
    EXPECT_EQ(close(), 0);
}

TEST_F(WindowTest, MovingTheMouseSliderSendsBothSpeedsAndUpdatesOnlyItsLabel) {
    open();
    Screenshot before = shot();
    // Pressed near the right end and dragged past it: the slider keeps 3.
    ASSERT_TRUE(drag(kMouseSlider.x + 260, kMouseSlider.y + 12, kMouseSlider.x + 450, kMouseSlider.y + 12));
    EXPECT_TRUE(waitForLogged("HIDMouseAcceleration", std::to_string(3 * 65536)))
        << lastLogged("HIDMouseAcceleration");
    EXPECT_EQ(lastLogged("HIDTrackpadAcceleration"), std::to_string(65536));
    // The controller wrote 3.0x into the mouse label; the trackpad's stays.
    EXPECT_TRUE(eventually([&] { return pixelsIn(shot(), kMouseFactor) != pixelsIn(before, kMouseFactor); }))
        << saved(shot());
    EXPECT_EQ(pixelsIn(shot(), kTrackpadFactor), pixelsIn(before, kTrackpadFactor)) << saved(shot());

    // And back past the left end: 0.
    ASSERT_TRUE(drag(kMouseSlider.x + 260, kMouseSlider.y + 12, 0, kMouseSlider.y + 12));
    EXPECT_TRUE(waitForLogged("HIDMouseAcceleration", "0")) << lastLogged("HIDMouseAcceleration");
    EXPECT_EQ(close(), 0);
}

TEST_F(WindowTest, ClickingTheCheckboxRegistersTheHelperAndClickingAgainRemovesIt) {
    open();
    ASSERT_EQ(loginItems().find("GlissorHelper.app"), std::string::npos) << loginItems();
    Screenshot unticked = shot();
    ASSERT_TRUE(click(kCheckbox.x + 8, kCheckbox.y + 9));
    EXPECT_TRUE(eventually([&] { return loginItems().find("GlissorHelper.app") != std::string::npos; }))
        << loginItems();
    EXPECT_TRUE(eventually([&] { return pixelsIn(shot(), kCheckbox) != pixelsIn(unticked, kCheckbox); }))
        << "the tick is not shown; " << saved(shot());
    ASSERT_TRUE(click(kCheckbox.x + 8, kCheckbox.y + 9));
    EXPECT_TRUE(eventually([&] { return loginItems().find("GlissorHelper.app") == std::string::npos; }))
        << loginItems();
    EXPECT_EQ(close(), 0);
}

TEST_F(WindowTest, ClosingTheWindowLeavesThePaneAndStoresTheSettings) {
    open();
    ASSERT_TRUE(drag(kMouseSlider.x + 260, kMouseSlider.y + 12, kMouseSlider.x + 450, kMouseSlider.y + 12));
    ASSERT_TRUE(waitForLogged("HIDMouseAcceleration", std::to_string(3 * 65536)));
    EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"}), "");  // slider moves store nothing
    EXPECT_EQ(close(), 0) << read_file(errPath());
    EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"}), "3\n");
    EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "TrackpadSpeed"}), "1\n");
    EXPECT_EQ(read_file(errPath()), "");
}

TEST_F(WindowTest, AWindowDestroyedFromOutsideStillLeavesThePaneAndTheHostEnds) {
    open();
    ASSERT_TRUE(drag(kMouseSlider.x + 260, kMouseSlider.y + 12, kMouseSlider.x + 450, kMouseSlider.y + 12));
    ASSERT_TRUE(waitForLogged("HIDMouseAcceleration", std::to_string(3 * 65536)));
    ASSERT_TRUE(xdotool(xserver, {"windowclose", std::to_string(window)}));  // XDestroyWindow
    EXPECT_EQ(host.wait(10s), 0) << read_file(errPath());
    EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"}), "3\n");
    EXPECT_EQ(read_file(errPath()), "") << "no toolkit warnings";
}

TEST_F(WindowTest, ControlWControlQAndEscapeCloseTheWindowAsClosingItDoes) {
    int round = 0;
    for (const char *keys : {"ctrl+w", "ctrl+q", "Escape"}) {
        SCOPED_TRACE(keys);
        defaults({"delete", GLISSOR_PANE_IDENTIFIER_FOR_TESTS});
        open();
        // A plain w or q typed into the window is not a close. The window
        // handles its events in turn, so once a drag made after the keys has
        // reached the service, the keys have been handled too. Each round
        // drags to the other end, so that the wait is for this round's drag.
        ASSERT_TRUE(xdotool(xserver, {"windowfocus", "--sync", std::to_string(window), "key", "w", "q"}));
        bool toTheRight = round++ % 2 == 0;
        ASSERT_TRUE(drag(kTrackpadSlider.x + 260, kTrackpadSlider.y + 12, toTheRight ? kTrackpadSlider.x + 450 : 0,
                         kTrackpadSlider.y + 12));
        ASSERT_TRUE(waitForLogged("HIDTrackpadAcceleration", toTheRight ? std::to_string(3 * 65536) : "0"));
        ASSERT_TRUE(host.running()) << read_file(errPath());
        ASSERT_TRUE(xdotool(xserver, {"windowfocus", "--sync", std::to_string(window), "key", keys}));
        EXPECT_EQ(host.wait(10s), 0) << read_file(errPath());
        EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"}), "1\n");
        EXPECT_EQ(read_file(errPath()), "");
    }
}

TEST_F(WindowTest, TermHangUpAndInterruptLeaveThePaneAndExitZeroOnlyKillStoresNothing) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        defaults({"delete", GLISSOR_PANE_IDENTIFIER_FOR_TESTS});
        open();
        // The service's log still ends with the last round's 3: this round
        // logs a 0 first, so that the wait for 3 below waits for this drag.
        ASSERT_TRUE(drag(kMouseSlider.x + 260, kMouseSlider.y + 12, 0, kMouseSlider.y + 12));
        ASSERT_TRUE(waitForLogged("HIDMouseAcceleration", "0"));
        ASSERT_TRUE(drag(kMouseSlider.x + 260, kMouseSlider.y + 12, kMouseSlider.x + 450, kMouseSlider.y + 12));
        ASSERT_TRUE(waitForLogged("HIDMouseAcceleration", std::to_string(3 * 65536)));
        ASSERT_EQ(kill(host.pid(), signal), 0);
        std::optional<int> status = host.wait(10s);
        std::string stored = defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"});
        if (signal == SIGKILL) {
            EXPECT_EQ(status, -1);
            EXPECT_EQ(stored, "");
        } else {
            EXPECT_EQ(status, 0) << read_file(errPath());
            EXPECT_EQ(stored, "3\n");
            EXPECT_EQ(read_file(errPath()), "");
        }
    }
}

TEST_F(WindowTest, ANonContinuousSliderSendsItsActionOnceOnReleaseAContinuousOneWhileDragged) {
    // The test pane: speedSlider (0 to 5) is not continuous, accelSlider
    // (0 to 2) is; both send updateCurve:, which prints the values.
    // Its 400 x 200 view puts them at y 126 and 156.
    open(TEST_PANE_BUNDLE, [this] { return shot().width == 400; });
    // Each knob is held in the middle of its slider (2.5 and 1) and dragged
    // past an end.
    ASSERT_TRUE(drag(120, 138, 300, 138));
    ASSERT_TRUE(drag(120, 168, 0, 168));
    ASSERT_EQ(close(), 0) << read_file(errPath());
    std::vector<std::string> updates;
    std::string out = read_file(outPath());
    for (size_t at = out.find("updateCurve: "); at != std::string::npos; at = out.find("updateCurve: ", at + 1))
        updates.push_back(out.substr(at, out.find('\n', at) - at));
    ASSERT_GE(updates.size(), 3u) << out;
    // Only the release sent speedSlider's action, with the final value.
    EXPECT_EQ(updates[0], "updateCurve: speed 1 accel 0.5") << out;
    EXPECT_EQ(updates.back(), "updateCurve: speed 1 accel 0") << out;
    for (size_t i = 1; i < updates.size(); ++i) EXPECT_EQ(updates[i].rfind("updateCurve: speed 1 ", 0), 0u) << out;
}

TEST_F(WindowTest, TheFirstFrameIsReportedAndTheWindowClosesAsTheUserLeaving) {
    ProcessOptions options;
    options.env = home.env();
    options.env.merge(daemon.env());
    options.env.merge(xserver.env());
    ProcessResult result =
        run_process({bin_path("prefhost"), "--exit-after-first-frame", GLISSOR_PANE_BUNDLE}, options);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out.rfind("prefhost: first frame after ", 0), 0u) << result.out;
    EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"}), "1\n");
}

// The scripted host, waiting for its next command on standard input, is
// quit as a session ends it: the pane is left and the script's moves stored.
TEST(ScriptedQuitTest, TermHangUpAndInterruptLeaveThePaneWhileWaitingForTheNextCommand) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        TempHome home;
        EventDaemon daemon;
        TempDir files;
        std::string script = files.path() + "/script";
        ASSERT_EQ(mkfifo(script.c_str(), 0600), 0);
        std::map<std::string, std::string> env = home.env();
        env.merge(daemon.env());
        BackgroundProcess host({"/bin/sh", "-c", "exec \"$0\" --script - \"$1\" <\"$2\" >\"$3\" 2>&1",
                                bin_path("prefhost"), GLISSOR_PANE_BUNDLE, script, files.path() + "/out"},
                               env);
        std::ofstream commands(script);  // opens once the host's shell does
        commands << "set theMouseSlider 2\n" << std::flush;
        ASSERT_TRUE(eventually([&] {
            std::vector<LoggedChange> log = daemon.log();
            return !log.empty() && log.back().key == "HIDTrackpadAcceleration";
        }));
        ASSERT_EQ(kill(host.pid(), signal), 0);
        EXPECT_EQ(host.wait(10s), 0) << read_file(files.path() + "/out");
        EXPECT_EQ(read_file(files.path() + "/out"), "");
        ProcessOptions options;
        options.env = home.env();
        ProcessResult stored =
            run_process({bin_path("defaults"), "read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"}, options);
        EXPECT_EQ(stored.out, "2\n");
    }
}

TEST(WindowModeTest, WithoutADisplayTheWindowIsRefusedAndScriptsStillRun) {
    TempHome home;
    ProcessOptions options;
    options.env = home.env();
    for (auto &[display, message] : std::vector<std::pair<std::string, std::string>>{
             {"", "prefhost: no display to open a window on"},
             {":31999", "prefhost: cannot open the display ':31999'"}}) {
        options.env["DISPLAY"] = display;
        options.env["WAYLAND_DISPLAY"] = "";
        ProcessResult result = run_process({bin_path("prefhost"), GLISSOR_PANE_BUNDLE}, options);
        EXPECT_EQ(result.exit_code, 2) << result.err;
        EXPECT_EQ(result.err.rfind(message, 0), 0u) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    options.env["DISPLAY"] = "";
    options.stdin_text = "get theMouseFactor\nleave\n";
    ProcessResult scripted = run_process({bin_path("prefhost"), "--script", "-", GLISSOR_PANE_BUNDLE}, options);
    EXPECT_EQ(scripted.exit_code, 0) << scripted.err;
    EXPECT_EQ(scripted.out, "1.0x\n");
    // A host whose window module is missing says so.
    TempDir copy;
    std::filesystem::create_directories(copy.path() + "/bin");
    std::filesystem::copy_file(bin_path("prefhost"), copy.path() + "/bin/prefhost");
    options.env["DISPLAY"] = ":31999";
    ProcessResult noModule = run_process({copy.path() + "/bin/prefhost", GLISSOR_PANE_BUNDLE}, options);
    EXPECT_EQ(noModule.exit_code, 1) << noModule.err;
    EXPECT_EQ(noModule.err.rfind("prefhost: cannot load the window mode: ", 0), 0u) << noModule.err;
    EXPECT_EQ(std::count(noModule.err.begin(), noModule.err.end(), '\n'), 1) << noModule.err;
    ProcessResult mixed =
        run_process({bin_path("prefhost"), "--exit-after-first-frame", "--script", "-", GLISSOR_PANE_BUNDLE}, options);
    EXPECT_EQ(mixed.exit_code, 2) << mixed.err;
}

}  // namespace
