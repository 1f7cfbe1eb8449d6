// The 16.16 conversion at the event-service boundary.
#include "FixedPoint.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(FixedPoint, ConvertsSpeedsTruncatingTowardZero) {
    EXPECT_EQ(GlissorSpeedToFixed(1.0f), 65536);
    EXPECT_EQ(GlissorSpeedToFixed(0.5f), 32768);
    EXPECT_EQ(GlissorSpeedToFixed(-1.0f), -65536);
    EXPECT_EQ(static_cast<uint32_t>(GlissorSpeedToFixed(-1.0f)), 0xFFFF0000u);
    EXPECT_EQ(GlissorSpeedToFixed(0.0f), 0);
    EXPECT_EQ(GlissorSpeedToFixed(-0.0f), 0);
    EXPECT_EQ(GlissorSpeedToFixed(1.0f / 131072.0f), 0) << "between 0 and 1/65536";
    EXPECT_EQ(GlissorSpeedToFixed(-1.0f / 131072.0f), 0) << "toward zero, not down";
    EXPECT_EQ(GlissorSpeedToFixed(1.5f), 98304);
    EXPECT_EQ(GlissorSpeedToFixed(1.1f), 72089) << "1.1f x 65536 = 72089.6 in single precision";
}

TEST(FixedPoint, OutOfRangeAndNotANumberGiveTheMostNegativeValue) {
    const int32_t most_negative = std::numeric_limits<int32_t>::min();
    const float below_two_to_15 = std::nextafter(32768.0f, 0.0f);  // 32767.998046875
    EXPECT_EQ(GlissorSpeedToFixed(below_two_to_15), 2147483520);
    EXPECT_EQ(GlissorSpeedToFixed(-below_two_to_15), -2147483520);
    EXPECT_EQ(GlissorSpeedToFixed(32768.0f), most_negative);
    EXPECT_EQ(GlissorSpeedToFixed(-32768.0f), most_negative);
    EXPECT_EQ(GlissorSpeedToFixed(1e30f), most_negative);
    EXPECT_EQ(GlissorSpeedToFixed(std::numeric_limits<float>::quiet_NaN()), most_negative);
    EXPECT_EQ(GlissorSpeedToFixed(-std::numeric_limits<float>::quiet_NaN()), most_negative);
    EXPECT_EQ(GlissorSpeedToFixed(std::numeric_limits<float>::infinity()), most_negative);
    EXPECT_EQ(GlissorSpeedToFixed(-std::numeric_limits<float>::infinity()), most_negative);
}

}  // namespace
