// The curve view as the pane's interface file places it: its own two sliders
// reshape the rendered curve, and they are no speed settings.
#include "pane_host_support.h"

#include <cairo.h>

#include <string>

using pane_test::PaneHostTest;
using Lines = std::vector<std::string>;

namespace {

// Where the strongly orange pixels of a snapshot lie (rows from the top).
struct OrangeRows {
    int count = 0;
    int highest = -1;  // smallest row, -1 when none
    int lowest = -1;
};

bool isStrongOrange(uint32_t argb) {
    uint32_t red = (argb >> 16) & 0xff, green = (argb >> 8) & 0xff, blue = argb & 0xff;
    return red >= 240 && green >= 110 && green <= 150 && blue <= 40;
}

OrangeRows orangeRowsOf(const std::string &png) {
    OrangeRows rows;
    cairo_surface_t *image = cairo_image_surface_create_from_png(png.c_str());
    EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << png;
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        const unsigned char *data = cairo_image_surface_get_data(image);
        int stride = cairo_image_surface_get_stride(image);
        for (int row = 0; row < cairo_image_surface_get_height(image); ++row) {
            auto line = reinterpret_cast<const uint32_t *>(data + row * stride);
            for (int column = 0; column < cairo_image_surface_get_width(image); ++column) {
                if (!isStrongOrange(line[column])) continue;
                ++rows.count;
                if (rows.highest < 0) rows.highest = row;
                rows.lowest = row;
            }
        }
    }
    cairo_surface_destroy(image);
    return rows;
}

}  // namespace

// The view is 156 points square: one drawing unit is 156 / 110 points, the
// line 8.5 points wide, the bottom of the drawing space 7.1 points up.
TEST_F(PaneHostTest, TheCurveSlidersReshapeTheRenderedCurve) {
    std::string start = scratch.path() + "/start.png";
    std::string flat = scratch.path() + "/flat.png";
    std::string steep = scratch.path() + "/steep.png";
    EXPECT_EQ(runScriptLines("get theSpeed\nget theAccel\nsnapshot arcView " + start +
                             "\nset theSpeed 0\nsnapshot arcView " + flat +
                             "\nset theSpeed 5\nset theAccel 0\nsnapshot arcView " + steep + "\n"),
              (Lines{"2.5", "1"}));

    // The start values draw a fresh view's curve, ending 55 units up: 78 points.
    OrangeRows atStart = orangeRowsOf(start);
    EXPECT_GT(atStart.count, 200);
    EXPECT_GE(atStart.highest, 156 - 84);
    EXPECT_LE(atStart.highest, 156 - 72);

    // Speed 0: flat along the bottom of the drawing space, rows 144 to 153.
    OrangeRows atZero = orangeRowsOf(flat);
    EXPECT_GT(atZero.count, 500);
    EXPECT_GE(atZero.highest, 156 - 12);
    EXPECT_LE(atZero.lowest, 156 - 3);

    // Speed 5, acceleration 0: a straight rise to the top right corner.
    OrangeRows atFull = orangeRowsOf(steep);
    EXPECT_GT(atFull.count, 500);
    EXPECT_LE(atFull.highest, 12);
    EXPECT_GE(atFull.lowest, 156 - 12);
}

TEST_F(PaneHostTest, TheCurveSlidersApplyAndStoreNoSpeed) {
    EXPECT_EQ(runScriptLines("set theSpeed 4\nset theAccel 2\nleave\n"), Lines{});
    EXPECT_TRUE(daemon.log().empty()) << "a curve slider applied the speeds";
    EXPECT_EQ(defaults({"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS}),
              "{\n    MouseSpeed = 1;\n    TrackpadSpeed = 1;\n}\n");
}
