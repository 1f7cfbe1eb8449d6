// The real prefhost binary driving the test pane bundle.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"
#include "temp_home.h"

namespace fs = std::filesystem;
using glissor_test::bin_path;
using glissor_test::ProcessOptions;
using glissor_test::ProcessResult;
using glissor_test::run_process;
using glissor_test::TempDir;
using glissor_test::TempHome;
using glissor_test::write_file;

namespace {

std::vector<std::string> linesOf(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class PrefhostTest : public ::testing::Test {
protected:
    // Runs prefhost on the pane with the script given on standard input.
    ProcessResult runScript(const std::string &script, const std::string &pane = TEST_PANE_BUNDLE) {
        ProcessOptions options;
        options.stdin_text = script;
        options.env = home.env();
        return run_process({bin_path("prefhost"), "--script", "-", pane}, options);
    }
    // The lines the host printed itself, without the pane's own reports.
    static std::vector<std::string> hostLines(const ProcessResult &result) {
        std::vector<std::string> lines;
        for (const std::string &line : linesOf(result.out))
            if (line.rfind("TestPane: ", 0) != 0 && line.rfind("TestCurveView: ", 0) != 0)
                lines.push_back(line);
        return lines;
    }
    // A copy of the test pane whose Info.plist entries and interface file
    // may be replaced.
    std::string copyPane(const std::string &principalClass = "TestPanePref",
                         const std::string &layout = "") {
        std::string root = dir.path() + "/Copy.prefPane";
        fs::create_directories(root + "/Contents/MacOS");
        fs::copy_file(std::string(TEST_PANE_BUNDLE) + "/Contents/MacOS/TestPane",
                      root + "/Contents/MacOS/TestPane");
        fs::copy(std::string(TEST_PANE_BUNDLE) + "/Contents/Resources", root + "/Contents/Resources",
                 fs::copy_options::recursive);
        std::string principal =
            principalClass.empty() ? "" : "<key>NSPrincipalClass</key><string>" + principalClass + "</string>";
        write_file(root + "/Contents/Info.plist",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                   "<key>CFBundleIdentifier</key><string>org.glissor.CopyPane</string>"
                   "<key>CFBundleExecutable</key><string>TestPane</string>"
                   "<key>NSMainNibFile</key><string>TestPane</string>" +
                       principal + "</dict></plist>");
        if (!layout.empty()) write_file(root + "/Contents/Resources/TestPane.layout", layout);
        return root;
    }
    static void expectFailure(const ProcessResult &result, const std::string &message) {
        EXPECT_EQ(result.exit_code, 1) << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        std::vector<std::string> lines = linesOf(result.err);
        EXPECT_EQ(lines.size(), 1u) << result.err;
        EXPECT_EQ(result.err.rfind("prefhost: ", 0), 0u) << result.err;
    }

    TempHome home;
    TempDir dir;
};

}  // namespace

TEST_F(PrefhostTest, TheLifecycleAndActionsReachThePaneInOrder) {
    ProcessResult result = runScript(
        "get theSlider\n"
        "get theLabel\n"
        "set theSlider 2.5\n"
        "get theLabel\n"
        "click theCheckbox\n"
        "get theCheckbox\n"
        "leave\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(linesOf(result.out), (std::vector<std::string>{
                                       "TestPane: mainViewDidLoad org.glissor.TestPane helper=found",
                                       "1",
                                       "1.0x",
                                       "TestPane: sliderMoved: 2.5 from theSlider",
                                       "2.5x",
                                       "TestPane: checkboxClicked: state 1 from theCheckbox",
                                       "1",
                                       "TestPane: didUnselect stored 2.5 written",
                                       "TestPane: dealloc",
                                   }));
}

TEST_F(PrefhostTest, SlidersStayInRangeAndPrintTheirShortestFloat) {
    ProcessResult result = runScript(
        "set theSlider 9\nget theSlider\n"
        "set theSlider -1\nget theSlider\n"
        "set theSlider 1.1\nget theSlider\n"
        "set theSlider +3e-1\nget theSlider\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(hostLines(result), (std::vector<std::string>{"4", "0", "1.1", "0.3"}));
}

TEST_F(PrefhostTest, LeavingStoresAndReloadingShowsTheStoredValue) {
    ProcessResult result = runScript("set theSlider 3.25\nleave\nreload\nget theSlider\nget theLabel\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::vector<std::string> lines = linesOf(result.out);
    // The old controller is gone before the new one loads.
    auto dealloc = std::find(lines.begin(), lines.end(), "TestPane: dealloc");
    ASSERT_NE(dealloc, lines.end()) << result.out;
    EXPECT_EQ(std::count(dealloc, lines.end(), "TestPane: mainViewDidLoad org.glissor.TestPane helper=found"), 1);
    EXPECT_EQ(hostLines(result), (std::vector<std::string>{"3.25", "3.2x"}));
    EXPECT_TRUE(glissor_test::file_exists(home.preferences_dir() + "/org.glissor.TestPane.plist"));

    // A fresh host reads what the first one stored.
    ProcessResult again = runScript("get theSlider\n");
    ASSERT_EQ(again.exit_code, 0) << again.err;
    EXPECT_EQ(hostLines(again), (std::vector<std::string>{"3.25"}));
}

TEST_F(PrefhostTest, APaneThatGoesWithoutLeavingStoresNothing) {
    ProcessResult result = runScript("set theSlider 3\nreload\nget theSlider\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out.find("didUnselect"), std::string::npos) << result.out;
    EXPECT_EQ(hostLines(result), (std::vector<std::string>{"1"}));
    EXPECT_FALSE(glissor_test::file_exists(home.preferences_dir() + "/org.glissor.TestPane.plist"));
}

TEST_F(PrefhostTest, CustomViewsMixedCheckboxesAndShow) {
    ProcessResult result = runScript(
        "# a comment, then a blank line\n"
        "\n"
        "   set speedSlider 5\n"
        "click mixedBox\n"
        "get mixedBox\n"
        "show\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::vector<std::string> lines = linesOf(result.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "TestCurveView: updateCurve: speed 1 accel 0.5"), lines.end())
        << result.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "TestPane: checkboxClicked: state 1 from mixedBox"), lines.end())
        << result.out;
    EXPECT_EQ(hostLines(result), (std::vector<std::string>{
                                     "1",
                                     "mainView NSView",
                                     "theSlider NSSlider 1",
                                     "theLabel NSTextField 1.0x",
                                     "theCheckbox NSButton 0",
                                     "mixedBox NSButton 1",
                                     "speedSlider NSSlider 5",
                                     "accelSlider NSSlider 1",
                                     "curveView TestCurveView",
                                 }));
}

namespace {

// A PNG file read back; ARGB pixels addressed from the top-left.
class Png {
public:
    explicit Png(const std::string &path) : image_(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Png() { cairo_surface_destroy(image_); }
    Png(const Png &) = delete;
    Png &operator=(const Png &) = delete;

    bool ok() const { return cairo_surface_status(image_) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(image_); }
    int height() const { return cairo_image_surface_get_height(image_); }
    uint32_t at(int x, int y) const {
        const unsigned char *row = cairo_image_surface_get_data(image_) + y * cairo_image_surface_get_stride(image_);
        return reinterpret_cast<const uint32_t *>(row)[x];
    }
    // Pixels of the box whose red is below the limit (dark on a light look).
    int darkIn(int left, int top, int right, int bottom, uint32_t limit = 128) const {
        int count = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) count += ((at(x, y) >> 16) & 0xff) < limit;
        return count;
    }

private:
    cairo_surface_t *image_;
};

constexpr uint32_t kBlue = 0xff0000ff;
constexpr uint32_t kWhite = 0xffffffff;
// The window background, 0.925 grey.
constexpr uint32_t kBackground = 0xffececec;

}  // namespace

TEST_F(PrefhostTest, SnapshotsShowThePaneAsAUserSeesIt) {
    std::string before = dir.path() + "/before.png", after = dir.path() + "/after.png";
    std::string checkbox = dir.path() + "/checkbox.png", curve = dir.path() + "/curve.png";
    ProcessResult result = runScript("snapshot mainView " + before + "\n"
                                     "set speedSlider 5\nset theSlider 4\nclick theCheckbox\n"
                                     "snapshot mainView " + after + "\n"
                                     "snapshot theCheckbox " + checkbox + "\n"
                                     "snapshot curveView " + curve + "\n");
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.err, "");
    Png first(before), second(after), box(checkbox), bar(curve);
    ASSERT_TRUE(first.ok() && second.ok() && box.ok() && bar.ok());
    EXPECT_EQ(first.width(), 400);
    EXPECT_EQ(first.height(), 200);
    EXPECT_EQ(box.width(), 200);
    EXPECT_EQ(box.height(), 24);
    EXPECT_EQ(bar.width(), 110);
    EXPECT_EQ(bar.height(), 110);

    // The window behind everything; the custom view's bar rises from its
    // bottom-left corner (250, 10 in the unflipped pane: row 190 from the top).
    EXPECT_EQ(first.at(395, 5), kBackground);
    EXPECT_EQ(first.at(255, 185), kBlue);
    EXPECT_EQ(first.at(255, 135), kBackground) << "half the speed: 50 points tall";
    EXPECT_EQ(second.at(255, 135), kBlue) << "full speed: 100 points tall";
    EXPECT_EQ(second.at(255, 85), kBackground);
    EXPECT_EQ(bar.at(5, 105), kBlue);
    EXPECT_EQ(bar.at(5, 5), kBackground);

    // theSlider (20, 160, 200 x 24; rows 16 to 40) moved from 1 to 4 of 0-4:
    // the white knob leaves a quarter of the way and lands at the right end.
    EXPECT_EQ(first.at(74, 28), kWhite);
    EXPECT_LT((second.at(74, 28) >> 16) & 0xff, 128u) << "the track is filled up to the knob";
    EXPECT_EQ(second.at(212, 28), kWhite);

    // The checkbox (20, 120 in the pane: rows 56 to 80) filled once clicked,
    // with its title beside it.
    EXPECT_LT(first.darkIn(24, 62, 32, 74), 4);
    EXPECT_GT(second.darkIn(24, 62, 32, 74), 40);
    EXPECT_GT(box.darkIn(4, 6, 12, 18), 40);
    EXPECT_GT(box.darkIn(20, 0, 200, 24), 20) << "the title's text";
}

TEST_F(PrefhostTest, AScriptFileWorksLikeStandardInput) {
    std::string script = dir.path() + "/steps.txt";
    write_file(script, "set accelSlider 2\nget accelSlider\n");
    ProcessOptions options;
    options.env = home.env();
    ProcessResult result = run_process({bin_path("prefhost"), "--script", script, TEST_PANE_BUNDLE}, options);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(hostLines(result), (std::vector<std::string>{"2"}));
}

TEST_F(PrefhostTest, ScriptErrorsNameTheLineAndStopTheScript) {
    struct Case {
        std::string script;
        std::string message;
    };
    const Case cases[] = {
        {"get theSlider\n\nfrobnicate now\nget theSlider\n", "<stdin>:3: unknown command 'frobnicate'"},
        {"get theSlidr\n", "<stdin>:1: no control named 'theSlidr'"},
        {"set theSlider abc\n", "<stdin>:1: set: bad value 'abc'"},
        {"set theSlider 1.5x\n", "bad value '1.5x'"},
        {"set theSlider nan\n", "bad value 'nan'"},
        {"set theSlider inf\n", "bad value 'inf'"},
        {"set theSlider\n", "set takes a control name and a value"},
        {"set theCheckbox 1\n", "set: 'theCheckbox' is an NSButton, not a slider"},
        {"click theSlider\n", "click: 'theSlider' is an NSSlider, not a button"},
        {"get curveView\n", "get: 'curveView' (TestCurveView) has no value"},
        {"show all\n", "show takes nothing"},
        {"leave\nset theSlider 1\n", "<stdin>:2: set: the pane is not shown"},
        {"leave\nleave\n", "<stdin>:2: the pane is not shown"},
        {"snapshot nope out.png\n", "<stdin>:1: snapshot: no view named 'nope'"},
        {"snapshot mainView a.png b.png\n", "snapshot takes a view name and a file"},
        {"snapshot mainView\n", "snapshot takes a view name and a file"},
        {"snapshot theSlider /nonexistent-dir/out.png\n",
         "snapshot: 'theSlider': cannot write /nonexistent-dir/out.png: No such file or directory"},
    };
    for (const Case &c : cases) {
        ProcessResult result = runScript(c.script);
        expectFailure(result, c.message);
    }
    // Lines before the failing one ran; none after it.
    ProcessResult partial = runScript(cases[0].script);
    EXPECT_EQ(hostLines(partial), (std::vector<std::string>{"1"}));
}

TEST_F(PrefhostTest, PanesThatCannotBeShownAreRefused) {
    struct Case {
        std::string pane;
        std::string message;
    };
    std::string broken = dir.path() + "/Broken.prefPane";
    write_file(broken + "/Contents/Info.plist",
               "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>CFBundleExecutable</key>"
               "<string>Broken</string><key>NSPrincipalClass</key><string>X</string></dict></plist>");
    write_file(broken + "/Contents/MacOS/Broken", "not a shared library");
    std::string noInfo = dir.path() + "/Empty.prefPane";
    fs::create_directories(noInfo);

    ProcessResult result = runScript("", dir.path() + "/Missing.prefPane");
    expectFailure(result, "Missing.prefPane: not a bundle directory");
    expectFailure(runScript("", noInfo), "Empty.prefPane: no Contents/Info.plist");
    // An Info.plist that cannot be read or parsed is named as such, not as
    // a bundle without a principal class.
    fs::create_directories(noInfo + "/Contents/Info.plist");
    expectFailure(runScript("", noInfo), "Empty.prefPane/Contents/Info.plist: Is a directory");
    fs::remove(noInfo + "/Contents/Info.plist");
    write_file(noInfo + "/Contents/Info.plist", "<plist><dict><key>NSPrincipalClass</key>");
    expectFailure(runScript("", noInfo), "Empty.prefPane/Contents/Info.plist is not a property list dictionary");
    result = runScript("", broken);
    expectFailure(result, "Broken.prefPane: cannot load the pane's code: ");
    EXPECT_NE(result.err.find("Contents/MacOS/Broken"), std::string::npos) << result.err;

    fs::remove_all(dir.path() + "/Copy.prefPane");
    expectFailure(runScript("", copyPane("")), "Info.plist names no NSPrincipalClass");
    fs::remove_all(dir.path() + "/Copy.prefPane");
    expectFailure(runScript("", copyPane("MissingPref")),
                  "the pane's code registers no class 'MissingPref' (NSPrincipalClass)");
    fs::remove_all(dir.path() + "/Copy.prefPane");
    expectFailure(runScript("", copyPane("TestCurveView")),
                  "the principal class 'TestCurveView' is not an NSPreferencePane");
    fs::remove_all(dir.path() + "/Copy.prefPane");
    std::string layout = glissor_test::read_file(std::string(TEST_PANE_BUNDLE) +
                                                 "/Contents/Resources/TestPane.layout");
    layout.replace(layout.find("<key>theLabel</key>"), 19, "<key>theLabl</key>");
    result = runScript("", copyPane("TestPanePref", layout));
    expectFailure(result, "cannot load the main view: ");
    EXPECT_NE(result.err.find("no outlet 'theLabl'"), std::string::npos) << result.err;
    EXPECT_EQ(result.out.find("mainViewDidLoad"), std::string::npos) << result.out;
}

TEST_F(PrefhostTest, ACopiedPaneFindsItsOwnBundle) {
    ProcessResult result = runScript("get theSlider\n", copyPane());
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_NE(result.out.find("TestPane: mainViewDidLoad org.glissor.CopyPane helper=found"), std::string::npos)
        << result.out;
}

TEST_F(PrefhostTest, AWrongCommandLineShowsTheUsage) {
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{}, {"--exit-after-first-frame"}, {"--script"}, {"--script", "-"},
          {"--frob", TEST_PANE_BUNDLE}, {"--script", "-", "a.prefPane", "b.prefPane"}}) {
        std::vector<std::string> argv = {bin_path("prefhost")};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        ProcessResult result = run_process(argv);
        EXPECT_EQ(result.exit_code, 2) << result.err;
        EXPECT_NE(result.err.find("usage: prefhost --script FILE PANE.prefPane"), std::string::npos) << result.err;
    }
    ProcessResult missing = run_process({bin_path("prefhost"), "--script", dir.path() + "/none", TEST_PANE_BUNDLE});
    expectFailure(missing, "cannot read the script");
    ProcessResult directory = run_process({bin_path("prefhost"), "--script", "/", TEST_PANE_BUNDLE});
    expectFailure(directory, "prefhost: cannot read the script /: Is a directory");
}
