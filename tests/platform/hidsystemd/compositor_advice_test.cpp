// The lines advised for compositors read only from the user's own file:
// each compositor's syntax, with the speed mapping applied and a class no
// client has set left out.
#include <gtest/gtest.h>

#include <hidsystem/backend_kinds.h>
#include <hidsystem/compositor_advice.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

std::int32_t fixed(double speed) { return static_cast<std::int32_t>(std::lround(speed * 65536)); }

// A mouse without acceleration (flat), a trackpad at twice the usual amount
// (adaptive, libinput speed (2 - 1) / 2).
const hidsystem::SpeedPair kFlatMouseFastTrackpad{fixed(0), fixed(2)};

TEST(CompositorAdvice, EachCompositorGetsBothClassesInItsOwnSyntax) {
    const Lines labwc{
        "<libinput>",
        "  <device category=\"non-touch\">",
        "    <accelProfile>flat</accelProfile>",
        "    <pointerSpeed>0.0</pointerSpeed>",
        "  </device>",
        "  <device category=\"touchpad\">",
        "    <accelProfile>adaptive</accelProfile>",
        "    <pointerSpeed>0.5</pointerSpeed>",
        "  </device>",
        "</libinput>",
    };
    const Lines wayfire{
        "[input]",
        "mouse_accel_profile = flat",
        "mouse_cursor_speed = 0.0",
        "touchpad_accel_profile = adaptive",
        "touchpad_cursor_speed = 0.5",
    };
    const Lines niri{
        "input {",
        "    mouse {",
        "        accel-speed 0.0",
        "        accel-profile \"flat\"",
        "    }",
        "    touchpad {",
        "        accel-speed 0.5",
        "        accel-profile \"adaptive\"",
        "    }",
        "}",
    };
    // weston has one pair for every pointer: the mouse's, saying so and what
    // the trackpad would have had.
    const Lines weston{
        "# weston has one setting for every pointer: the mouse's; the trackpad's would be adaptive 0.5",
        "[libinput]",
        "accel-profile=flat",
        "accel-speed=0.0",
    };
    EXPECT_EQ(hidsystem::kLabwcAdvice.lines(kFlatMouseFastTrackpad), labwc);
    EXPECT_EQ(hidsystem::kWayfireAdvice.lines(kFlatMouseFastTrackpad), wayfire);
    EXPECT_EQ(hidsystem::kNiriAdvice.lines(kFlatMouseFastTrackpad), niri);
    EXPECT_EQ(hidsystem::kWestonAdvice.lines(kFlatMouseFastTrackpad), weston);
}

TEST(CompositorAdvice, AClassNobodySetIsLeftOutAndNoSpeedGivesNoLines) {
    const hidsystem::SpeedPair slow_mouse{fixed(0.5), std::nullopt};
    const hidsystem::SpeedPair fastest_trackpad{std::nullopt, fixed(3)};
    EXPECT_EQ(hidsystem::kWayfireAdvice.lines(slow_mouse),
              (Lines{"[input]", "mouse_accel_profile = adaptive", "mouse_cursor_speed = -0.333"}));
    EXPECT_EQ(hidsystem::kNiriAdvice.lines(fastest_trackpad),
              (Lines{"input {", "    touchpad {", "        accel-speed 1.0", "        accel-profile \"adaptive\"", "    }",
                     "}"}));
    EXPECT_EQ(hidsystem::kLabwcAdvice.lines(fastest_trackpad).size(), 6u);
    // weston's one pair reaches the other class too, and the note says so.
    EXPECT_EQ(hidsystem::kWestonAdvice.lines(fastest_trackpad),
              (Lines{"# weston has one setting for every pointer: the trackpad's, for mice too", "[libinput]",
                     "accel-profile=adaptive", "accel-speed=1.0"}));
    // Both at the usual amount map to the same setting: nothing to explain.
    EXPECT_EQ(hidsystem::kWestonAdvice.lines({fixed(1), fixed(1)}),
              (Lines{"[libinput]", "accel-profile=adaptive", "accel-speed=0.0"}));
    for (const hidsystem::CompositorAdvice *advice :
         {&hidsystem::kLabwcAdvice, &hidsystem::kWayfireAdvice, &hidsystem::kWestonAdvice, &hidsystem::kNiriAdvice})
        EXPECT_TRUE(advice->lines({}).empty()) << advice->where;
}

TEST(CompositorAdvice, SpeedsKeepAtLeastOneDecimalAndNeverANegativeZero) {
    EXPECT_EQ(hidsystem::libinput_speed_text(0), "0.0");
    EXPECT_EQ(hidsystem::libinput_speed_text(-0.0), "0.0");
    EXPECT_EQ(hidsystem::libinput_speed_text(-0.0001), "0.0");
    EXPECT_EQ(hidsystem::libinput_speed_text(-0.1), "-0.1");
    EXPECT_EQ(hidsystem::libinput_speed_text(2.0 / 3.0), "0.667");
    EXPECT_EQ(hidsystem::libinput_speed_text(-2.0 / 3.0), "-0.667");
    EXPECT_EQ(hidsystem::libinput_speed_text(1), "1.0");
    EXPECT_EQ(hidsystem::libinput_speed_text(0.25), "0.25");
}

// A compositor the service cannot drive is told apart from "none" by its
// advice: a row without it would leave the user with nothing.
TEST(CompositorAdvice, EveryCompositorReadOnlyFromItsFileHasAdvice) {
    for (const hidsystem::BackendKind &kind : hidsystem::backend_kinds()) {
        if (kind.program != hidsystem::BackendProgram::None || &kind == &hidsystem::no_backend()) continue;
        ASSERT_NE(kind.advice, nullptr) << kind.name;
        EXPECT_FALSE(kind.advice->where.empty()) << kind.name;
        EXPECT_FALSE(kind.advice->lines(kFlatMouseFastTrackpad).empty()) << kind.name;
    }
    EXPECT_EQ(hidsystem::no_backend().advice, nullptr);
    ASSERT_NE(hidsystem::find_backend_kind("niri"), nullptr);
    EXPECT_EQ(hidsystem::find_backend_kind("niri")->advice, &hidsystem::kNiriAdvice);
}

}  // namespace
