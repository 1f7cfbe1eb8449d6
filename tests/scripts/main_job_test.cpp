// `make run`'s main job with no display: the walk-through of a user's
// session, on a sandbox of its own, stopping what it started.
#include "process.h"
#include "temp_home.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>

using glissor_test::run_process;
using glissor_test::TempDir;

namespace {

void expectContains(const std::string &text, const std::string &part) {
    EXPECT_NE(text.find(part), std::string::npos) << "missing: " << part;
}

// Processes whose command line mentions the text: what a run left running.
int processesMentioning(const std::string &text) {
    int found = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline");
        std::string commandLine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (commandLine.find(text) != std::string::npos) ++found;
    }
    return found;
}

// The text after `prefix` up to the end of its line.
std::string lineAfter(const std::string &text, const std::string &prefix) {
    size_t at = text.find(prefix);
    if (at == std::string::npos) return "";
    at += prefix.size();
    return text.substr(at, text.find('\n', at) - at);
}

}  // namespace

TEST(MainJob, TheWalkThroughShowsEveryStepOnItsOwnSandboxAndStopsTheService) {
    TempDir outside;  // stands for the user's real home
    TempDir scratch;
    TempDir runtime;
    std::string sandbox = scratch.path() + "/sandbox";
    auto result = run_process({GLISSOR_SOURCE_DIR "/scripts/run.sh", GLISSOR_BUILD_DIR},
                              {.env = {{"DISPLAY", ""},
                                       {"WAYLAND_DISPLAY", ""},
                                       {"HOME", outside.path()},
                                       {"XDG_RUNTIME_DIR", runtime.path()},
                                       {"GLISSOR_SANDBOX", sandbox}},
                               .timeout = std::chrono::seconds(60)});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");

    expectContains(result.out, "theMouseSlider NSSlider 1\n");
    expectContains(result.out, "theCheckbox NSButton 0\n");
    expectContains(result.out, "the factor labels now read: 2.5x 0.5x\n");
    expectContains(result.out, "HIDTrackpadAcceleration    32768    (0.50x)\n");
    expectContains(result.out, "MouseSpeed = 2.5;");
    expectContains(result.out, "TrackpadSpeed = 0.5;");
    expectContains(result.out, "labels, then the checkbox after the click: 2.5x 0.5x 1\n");
    expectContains(result.out, "/GlissorHelper.app: pid ");
    expectContains(result.out, "The helper applied the stored speeds 6 times, one second apart:\n");

    // The picture of the pane, at its size.
    cairo_surface_t *picture = cairo_image_surface_create_from_png((sandbox + "/Glissor.png").c_str());
    EXPECT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(picture), 595);
    EXPECT_EQ(cairo_image_surface_get_height(picture), 300);
    cairo_surface_destroy(picture);

    // Nothing outside the sandbox was touched, and the service is gone.
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
    EXPECT_TRUE(glissor_test::file_exists(sandbox + "/home/Library/Preferences/org.glissor.Glissor.plist"));
    EXPECT_EQ(processesMentioning(runtime.path()), 0) << "the event service is still running";
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
    expectContains(result.out, "What changed where (nothing outside " + sandbox + "):\n");
    expectContains(result.out,
                   "HOME='" + sandbox + "/home' '" GLISSOR_BUILD_DIR "/bin/defaults' read org.glissor.Glissor\n");
}

// A checkout at a long path with spaces (longer than a socket's path can
// be), run twice at once, once with a display that cannot be opened: each
// run falls back to the walk-through, on a sandbox and a service of its own.
TEST(MainJob, TwoRunsAtOnceOnALongPathWithSpacesKeepTheirServicesApart) {
    TempDir scratch;
    TempDir runtime;
    std::string checkout = scratch.path() + "/a checkout with spaces/" + std::string(120, 'x');
    std::filesystem::create_directories(checkout);
    std::filesystem::create_directory_symlink(GLISSOR_BUILD_DIR, checkout + "/build");
    auto run = [&](const std::string &display) {
        return run_process({GLISSOR_SOURCE_DIR "/scripts/run.sh", checkout + "/build"},
                           {.env = {{"DISPLAY", display},
                                    {"WAYLAND_DISPLAY", ""},
                                    {"HOME", scratch.path()},
                                    {"XDG_RUNTIME_DIR", runtime.path()},
                                    {"GLISSOR_SANDBOX", checkout + "/sandbox"}},
                            .timeout = std::chrono::seconds(60)});
    };
    auto unusable = std::async(std::launch::async, run, ":31999");
    auto none = std::async(std::launch::async, run, "");
    glissor_test::ProcessResult first = unusable.get(), second = none.get();

    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    ASSERT_EQ(second.exit_code, 0) << second.out << second.err;
    EXPECT_EQ(first.out.rfind("run: cannot open the display ':31999'; walking through a session instead of "
                              "opening the window\nGlissor walk-through on a fresh sandbox: ",
                              0),
              0u)
        << first.out;
    EXPECT_EQ(second.out.rfind("Glissor walk-through on a fresh sandbox: ", 0), 0u) << second.out;
    for (const auto *result : {&first, &second}) {
        EXPECT_EQ(result->err, "");
        expectContains(result->out, "The helper applied the stored speeds 6 times, one second apart:\n");
        expectContains(result->out, "labels, then the checkbox after the click: 2.5x 0.5x 1\n");
    }
    std::string firstSandbox = lineAfter(first.out, "fresh sandbox: ");
    std::string secondSandbox = lineAfter(second.out, "fresh sandbox: ");
    EXPECT_NE(firstSandbox, secondSandbox);
    EXPECT_TRUE(glissor_test::file_exists(firstSandbox + "/Glissor.png"));
    EXPECT_TRUE(glissor_test::file_exists(secondSandbox + "/Glissor.png"));
    EXPECT_EQ(processesMentioning(runtime.path()), 0) << "an event service is still running";
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
}
