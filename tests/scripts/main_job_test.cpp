// `make run`'s main job with no display: the walk-through of a user's
// session, on a sandbox of its own, stopping what it started.
#include "process.h"
#include "temp_home.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using glissor_test::run_process;
using glissor_test::TempDir;

namespace {

void expectContains(const std::string &text, const std::string &part) {
    EXPECT_NE(text.find(part), std::string::npos) << "missing: " << part;
}

}  // namespace

TEST(MainJob, TheWalkThroughShowsEveryStepOnItsOwnSandboxAndStopsTheService) {
    TempDir outside;  // stands for the user's real home
    TempDir scratch;
    std::string sandbox = scratch.path() + "/sandbox";
    auto result = run_process({GLISSOR_SOURCE_DIR "/scripts/run.sh", GLISSOR_BUILD_DIR},
                              {.env = {{"DISPLAY", ""},
                                       {"WAYLAND_DISPLAY", ""},
                                       {"HOME", outside.path()},
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
    auto ping = run_process({glissor_test::bin_path("hidctl"), "--socket", sandbox + "/hidsystem.sock", "ping"});
    EXPECT_NE(ping.exit_code, 0) << "the event service is still running";
}
