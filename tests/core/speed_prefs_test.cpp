// Reading the stored speeds, whatever another writer left there.
#include "MouseFix.h"
#include "PaneIdentifier.h"
#include "process.h"
#include "temp_home.h"

using namespace glissor_test;

namespace {

class SpeedPrefs : public LiveValueTest {
protected:
    TempHome home;
    void defaults_write(const std::string &domain, const std::string &key, std::vector<std::string> value) {
        std::vector<std::string> argv = {bin_path("defaults"), "write", domain, key};
        argv.insert(argv.end(), value.begin(), value.end());
        auto result = run_process(argv, {.env = home.env()});
        ASSERT_EQ(result.exit_code, 0) << result.err;
    }
    void write_mouse(std::vector<std::string> value) {
        defaults_write(kGlissorPaneIdentifierText, "MouseSpeed", std::move(value));
    }
};

TEST_F(SpeedPrefs, NothingStoredReadsAsOne) {
    EXPECT_EQ(readMousePref(), 1.0f);
    EXPECT_EQ(readTrackpadPref(), 1.0f);
}

TEST_F(SpeedPrefs, StoredFloatsAndOtherNumberWidthsReadAsFloats) {
    write_mouse({"-float", "1.5"});
    defaults_write(kGlissorPaneIdentifierText, "TrackpadSpeed", {"-float", "0.7"});
    EXPECT_EQ(readMousePref(), 1.5f);
    EXPECT_EQ(readTrackpadPref(), 0.7f) << "each key is read on its own";
    write_mouse({"-int", "2"});
    EXPECT_EQ(readMousePref(), 2.0f);
    write_mouse({"-double", "0.1"});
    EXPECT_EQ(readMousePref(), 0.1f) << "a double is narrowed to the nearest float";
    write_mouse({"-float", "-3"});
    EXPECT_EQ(readMousePref(), -3.0f) << "negative speeds are kept";
}

TEST_F(SpeedPrefs, ValuesThatAreNotNumbersReadAsOne) {
    write_mouse({"2.5"});  // text
    EXPECT_EQ(readMousePref(), 1.0f);
    write_mouse({"-bool", "true"});
    EXPECT_EQ(readMousePref(), 1.0f);
    write_mouse({"-array", "-float", "2"});
    EXPECT_EQ(readMousePref(), 1.0f);
}

TEST_F(SpeedPrefs, OnlyThePaneDomainCounts) {
    defaults_write("org.example.other", "MouseSpeed", {"-float", "3"});
    defaults_write(kGlissorPaneIdentifierText, "mousespeed", {"-float", "3"});  // keys are case-sensitive
    EXPECT_EQ(readMousePref(), 1.0f);
}

}  // namespace
