// The login-item checkbox, through the real bundle and the real prefhost:
// what ticking and unticking leave in the user's login items list.
#include "pane_host_support.h"

using pane_test::builtHelperPath;
using pane_test::LoginItem;
using pane_test::loginRecordXml;
using pane_test::PaneHostTest;
using Lines = std::vector<std::string>;
using Items = std::vector<LoginItem>;

namespace {

LoginItem hidden(const std::string &path) { return {path, "Hide"}; }

}  // namespace

TEST_F(PaneHostTest, TickingRegistersTheBundledHelperHiddenAndUntickingRemovesIt) {
    EXPECT_EQ(runScriptLines("get theCheckbox\nclick theCheckbox\nget theCheckbox\nreload\nget theCheckbox\n"),
              (Lines{"0", "1", "1"}));
    EXPECT_EQ(loginItems(), Items{hidden(builtHelperPath())});

    EXPECT_EQ(runScriptLines("get theCheckbox\nclick theCheckbox\nget theCheckbox\nreload\nget theCheckbox\n"),
              (Lines{"1", "0", "0"}));
    EXPECT_EQ(loginItems(), Items{});
    EXPECT_TRUE(daemon.log().empty()) << "the checkbox applied speeds";
}

TEST_F(PaneHostTest, EntriesInAnyLetterCaseCountAndOnlyTheFirstIsRemoved) {
    const std::string other = "/Applications/Other.app";
    const std::string oddCase = "/Volumes/Old/glissorhelper.APP";
    const std::string sameName = "/Users/me/GlissorHelper.app";
    storeLoginItemsXml({loginRecordXml(other),
                        "<key>Hide</key><false/>",  // a record without a path has no name
                        loginRecordXml(oddCase), loginRecordXml(sameName)});
    const LoginItem pathless{"", "DoNotHide"};

    // Unticking removes the first match only; ticking again finds the
    // later duplicate and adds nothing.
    EXPECT_EQ(runScriptLines("get theCheckbox\nclick theCheckbox\nclick theCheckbox\nget theCheckbox\n"),
              (Lines{"1", "1"}));
    EXPECT_EQ(loginItems(), (Items{hidden(other), pathless, hidden(sameName)}));

    EXPECT_EQ(runScriptLines("click theCheckbox\nget theCheckbox\n"), (Lines{"0"}));
    EXPECT_EQ(loginItems(), (Items{hidden(other), pathless}));

    EXPECT_EQ(runScriptLines("get theCheckbox\nclick theCheckbox\nget theCheckbox\n"), (Lines{"0", "1"}));
    EXPECT_EQ(loginItems(), (Items{hidden(other), pathless, hidden(builtHelperPath())}));
}

TEST_F(PaneHostTest, TheMixedStateRegistersTheHelper) {
    std::string pane = copyPaneBundle({.layoutFrom = "<string>switch</string>",
                                       .layoutTo = "<string>switch</string><key>AllowsMixedState</key><true/>"});
    const LoginItem registered = hidden(pane + "/Contents/Resources/GlissorHelper.app");

    // From off a click goes to mixed.
    EXPECT_EQ(runScriptLines("click theCheckbox\nget theCheckbox\n", pane), (Lines{"-1"}));
    EXPECT_EQ(loginItems(), Items{registered});
    // Loaded as on: on, off, mixed again.
    EXPECT_EQ(runScriptLines("get theCheckbox\nclick theCheckbox\nclick theCheckbox\nget theCheckbox\n", pane),
              (Lines{"1", "-1"}));
    EXPECT_EQ(loginItems(), Items{registered});
    // Off, mixed, then on: the on state finds the entry and adds no other.
    runScriptLines("click theCheckbox\nclick theCheckbox\nclick theCheckbox\n", pane);
    EXPECT_EQ(loginItems(), Items{registered});
}

TEST_F(PaneHostTest, ABundleWithoutTheHelperRegistersNothingButStillUnregisters) {
    std::string pane = copyPaneBundle({.withHelper = false});
    const std::string elsewhere = "/Users/me/GlissorHelper.app";
    storeLoginItemsXml({loginRecordXml(elsewhere)});

    EXPECT_EQ(runScriptLines("get theCheckbox\nclick theCheckbox\nclick theCheckbox\nget theCheckbox\n"
                             "reload\nget theCheckbox\n",
                             pane),
              (Lines{"1", "1", "0"}));
    EXPECT_EQ(loginItems(), Items{});
}
