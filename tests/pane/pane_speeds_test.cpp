// The pane's sliders, labels and stored speeds, through the real bundle and
// the real prefhost, with the event service of the test's own.
#include "pane_host_support.h"

#include "CFText.h"

#include <filesystem>
#include <optional>
#include <utility>

using glissor_test::LoggedChange;
using pane_test::PaneHostTest;
using Lines = std::vector<std::string>;

namespace {

const char *const kPaneDomain = GLISSOR_PANE_IDENTIFIER_FOR_TESTS;
const std::string kGetSpeeds =
    "get theMouseSlider\nget theMouseFactor\nget theTrackpadSlider\nget theTrackpadFactor\n";

using Change = std::pair<std::string, std::string>;

std::vector<Change> changesOf(const std::vector<LoggedChange> &log) {
    std::vector<Change> changes;
    for (const auto &entry : log) changes.emplace_back(entry.key, entry.value);
    return changes;
}

// One setAction's worth of changes, in the order the service must see them.
std::vector<Change> sentSpeeds(const std::string &legacy, const std::string &mouseFixed,
                               const std::string &trackpadFixed) {
    return {{"legacy-mouse-acceleration", legacy},
            {"HIDMouseAcceleration", mouseFixed},
            {"HIDTrackpadAcceleration", trackpadFixed}};
}

// The stored number under key, read here as a double; nullopt when absent
// or not a number.
std::optional<double> storedNumber(const char *key) {
    auto name = CFStringFromUTF8(key);
    auto domain = CFStringFromUTF8(kPaneDomain);
    auto value = CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyAppValue(name.get(), domain.get()));
    auto number = CFCastIfType<CFNumberRef>(value.get(), CFNumberGetTypeID());
    double result = 0;
    if (!number || !CFNumberGetValue(number, kCFNumberDoubleType, &result)) return std::nullopt;
    return result;
}

}  // namespace

TEST_F(PaneHostTest, FirstUseShowsOnePointZeroAndSendsNothingAtLoad) {
    EXPECT_EQ(runScriptLines(kGetSpeeds + "get theCheckbox\n"), (Lines{"1", "1.0x", "1", "1.0x", "0"}));
    EXPECT_TRUE(daemon.log().empty()) << "loading applied the speeds";
    EXPECT_FALSE(domainFileExists()) << "loading stored something";
}

TEST_F(PaneHostTest, EachSliderReadsItsOwnKeyAndAMissingKeyLeavesOne) {
    storeSetting("MouseSpeed", {"-float", "2.5"});
    EXPECT_EQ(runScriptLines(kGetSpeeds), (Lines{"2.5", "2.5x", "1", "1.0x"}));

    std::filesystem::remove(home.preferences_dir() + "/" + kPaneDomain + ".plist");
    storeSetting("TrackpadSpeed", {"-float", "0.5"});
    EXPECT_EQ(runScriptLines(kGetSpeeds), (Lines{"1", "1.0x", "0.5", "0.5x"}));
    EXPECT_TRUE(daemon.log().empty());
}

TEST_F(PaneHostTest, AStoredValueOutsideTheRangeShowsInTheLabelAndLeavingStoresTheSliders) {
    storeSetting("MouseSpeed", {"-float", "5"});
    storeSetting("TrackpadSpeed", {"-float", "-1"});
    EXPECT_EQ(runScriptLines(kGetSpeeds + "leave\n"), (Lines{"3", "5.0x", "0", "-1.0x"}));
    EXPECT_EQ(storedNumber("MouseSpeed"), 3.0);
    EXPECT_EQ(storedNumber("TrackpadSpeed"), 0.0);
}

TEST_F(PaneHostTest, ADragChangesOnlyItsOwnLabelButSendsBothSpeeds) {
    // Stored values beyond the range make each label differ from its
    // slider, so a label rebuilt by the wrong action shows.
    storeSetting("MouseSpeed", {"-float", "7"});
    storeSetting("TrackpadSpeed", {"-float", "4"});
    EXPECT_EQ(runScriptLines("set theMouseSlider 1.5\n"
                             "get theMouseFactor\nget theTrackpadFactor\n"
                             "set theTrackpadSlider 2.5\n"
                             "get theMouseFactor\nget theTrackpadFactor\n"),
              (Lines{"1.5x", "4.0x", "1.5x", "2.5x"}));
    std::vector<Change> expected = sentSpeeds("1.5", "98304", "196608");
    for (const Change &change : sentSpeeds("1.5", "98304", "163840")) expected.push_back(change);
    EXPECT_EQ(changesOf(daemon.log()), expected);
}

TEST_F(PaneHostTest, SliderMovesStoreNothingAndLeavingStoresBothAsFloatsThatReloadShows) {
    storeSetting("MouseSpeed", {"-float", "2"});
    runScriptLines("set theMouseSlider 0.5\nset theTrackpadSlider 0.5\n");
    EXPECT_EQ(storedNumber("MouseSpeed"), 2.0) << "a slider move stored the mouse speed";
    EXPECT_EQ(storedNumber("TrackpadSpeed"), std::nullopt) << "a slider move stored the trackpad speed";

    EXPECT_EQ(runScriptLines("set theMouseSlider 1.7\nset theTrackpadSlider 0.3\nleave\nreload\n" + kGetSpeeds),
              (Lines{"1.7", "1.7x", "0.3", "0.3x"}));
    EXPECT_EQ(defaults({"read-type", kPaneDomain, "MouseSpeed"}), "Type is float\n");
    EXPECT_EQ(defaults({"read-type", kPaneDomain, "TrackpadSpeed"}), "Type is float\n");
    // Single precision, widened: 1.7f is not the double 1.7.
    EXPECT_EQ(storedNumber("MouseSpeed"), static_cast<double>(1.7f));
    EXPECT_EQ(storedNumber("TrackpadSpeed"), static_cast<double>(0.3f));
    EXPECT_EQ(runScriptLines(kGetSpeeds), (Lines{"1.7", "1.7x", "0.3", "0.3x"})) << "a fresh host";
}

TEST_F(PaneHostTest, StoredValuesThatAreNotNumbersReadAsTheirFloatValueOrOne) {
    struct Case {
        std::vector<std::string> mouse;     // defaults write arguments, or
        std::vector<std::string> trackpad;  // empty when xml holds the domain
        std::string xml;
        Lines shown;
    };
    const std::vector<Case> cases = {
        {{"-string", "2.5 times"}, {"-string", "fast"}, "", {"2.5", "2.5x", "0", "0.0x"}},
        {{"-bool", "false"}, {"-bool", "true"}, "", {"0", "0.0x", "1", "1.0x"}},
        {{"-array", "2", "3"}, {"-string", "  -0.5e1x"}, "", {"1", "1.0x", "0", "-5.0x"}},
        {{}, {},
         "<key>MouseSpeed</key><dict><key>Speed</key><real>2</real></dict>"
         "<key>TrackpadSpeed</key><data>MjI=</data>",
         {"1", "1.0x", "1", "1.0x"}},
        {{}, {},
         "<key>MouseSpeed</key><date>2020-01-01T00:00:00Z</date>"
         "<key>TrackpadSpeed</key><string>.5</string>",
         {"1", "1.0x", "0.5", "0.5x"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xml.empty() ? c.mouse.front() + " " + c.mouse.back() : c.xml);
        std::filesystem::remove(home.preferences_dir() + "/" + kPaneDomain + ".plist");
        if (c.xml.empty()) {
            storeSetting("MouseSpeed", c.mouse);
            storeSetting("TrackpadSpeed", c.trackpad);
        } else {
            storeDomainXml(c.xml);
        }
        EXPECT_EQ(runScriptLines(kGetSpeeds), c.shown);
    }
}

// Under a locale that writes decimals with a comma (GTK sets the process
// locale from the environment) stored reals still read, show and store back
// with their fractions: a reader that follows the locale reads 2.5 as 2 and
// 0.75 as 0, and leaving the pane then overwrites the user's speeds.
TEST_F(PaneHostTest, ADecimalCommaLocaleKeepsTheStoredSpeeds) {
    storeSetting("MouseSpeed", {"-float", "2.5"});
    storeSetting("TrackpadSpeed", {"-float", "0.75"});
    glissor_test::ProcessOptions options;
    options.stdin_text = kGetSpeeds + "leave\n";
    options.env = home.env();
    options.env.merge(daemon.env());
    options.env["LC_ALL"] = "de_DE.UTF-8";
    glissor_test::ProcessResult result =
        glissor_test::run_process({glissor_test::bin_path("prefhost"), "--script", "-", pane_test::builtPaneBundle()}, options);
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(pane_test::linesOf(result.out), (Lines{"2.5", "2.5x", "0.75", "0.8x"}));
    EXPECT_EQ(storedNumber("MouseSpeed"), 2.5);
    EXPECT_EQ(storedNumber("TrackpadSpeed"), 0.75);
}
