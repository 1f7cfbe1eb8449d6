// Numbers and booleans: stored widths, exact conversion, equality by value.
#include "values_test_util.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace values_test;

class CfNumber : public glissor_test::LiveValueTest {};
class CfNumberDeathTest : public glissor_test::LiveValueTest {};

template <typename T>
struct Converted {
    T value;
    bool exact;
};

template <typename T>
Converted<T> convert(CFNumberRef number, CFNumberType type) {
    T value{};
    bool exact = CFNumberGetValue(number, type, &value);
    return {value, exact};
}

constexpr double kTwoTo63 = 9223372036854775808.0;

TEST_F(CfNumber, KeepsTheCanonicalStoredWidth) {
    struct Case {
        CFNumberType declared;
        CFNumberType stored;
        CFIndex size;
        bool is_float;
    } cases[] = {
        {kCFNumberCharType, kCFNumberSInt8Type, 1, false},
        {kCFNumberShortType, kCFNumberSInt16Type, 2, false},
        {kCFNumberIntType, kCFNumberSInt32Type, 4, false},
        {kCFNumberLongType, kCFNumberSInt64Type, 8, false},
        {kCFNumberCFIndexType, kCFNumberSInt64Type, 8, false},
        {kCFNumberFloatType, kCFNumberFloat32Type, 4, true},
        {kCFNumberDoubleType, kCFNumberFloat64Type, 8, true},
        {kCFNumberCGFloatType, kCFNumberFloat64Type, 8, true},
    };
    for (const Case &c : cases) {
        unsigned char bytes[8] = {1};
        auto made = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, c.declared, bytes));
        ASSERT_TRUE(made) << c.declared;
        EXPECT_EQ(CFNumberGetType(made.get()), c.stored) << c.declared;
        EXPECT_EQ(CFNumberGetByteSize(made.get()), c.size) << c.declared;
        EXPECT_EQ(CFNumberIsFloatType(made.get()), c.is_float) << c.declared;
    }
    int value = 3;
    EXPECT_EQ(CFNumberCreate(nullptr, static_cast<CFNumberType>(0), &value), nullptr);
    EXPECT_EQ(CFNumberCreate(nullptr, static_cast<CFNumberType>(17), &value), nullptr);
}

TEST_F(CfNumber, FloatConversionsSayWhetherTheyWereExact) {
    auto speed = number(kCFNumberFloatType, 1.5f);
    EXPECT_EQ(convert<float>(speed.get(), kCFNumberFloatType).value, 1.5f);
    EXPECT_TRUE(convert<float>(speed.get(), kCFNumberFloatType).exact);
    EXPECT_TRUE(convert<double>(speed.get(), kCFNumberDoubleType).exact);

    auto tenth = number(kCFNumberDoubleType, 0.1);
    Converted<float> narrowed = convert<float>(tenth.get(), kCFNumberFloat32Type);
    EXPECT_EQ(narrowed.value, 0.1f);
    EXPECT_FALSE(narrowed.exact);
    EXPECT_TRUE(convert<float>(number(kCFNumberDoubleType, 0.5).get(), kCFNumberFloatType).exact);

    Converted<float> huge = convert<float>(number(kCFNumberDoubleType, 1e300).get(), kCFNumberFloatType);
    EXPECT_EQ(huge.value, FLT_MAX);
    EXPECT_FALSE(huge.exact);
    EXPECT_EQ(convert<float>(number(kCFNumberDoubleType, -1e300).get(), kCFNumberFloatType).value, -FLT_MAX);
    Converted<float> tiny = convert<float>(number(kCFNumberDoubleType, 1e-320).get(), kCFNumberFloatType);
    EXPECT_EQ(tiny.value, 0.0f);
    EXPECT_FALSE(tiny.exact);
    Converted<float> infinite = convert<float>(
        number(kCFNumberDoubleType, std::numeric_limits<double>::infinity()).get(), kCFNumberFloatType);
    EXPECT_TRUE(std::isinf(infinite.value) && infinite.exact);

    auto subnormal = number(kCFNumberFloat32Type, FLT_TRUE_MIN);
    Converted<double> widened = convert<double>(subnormal.get(), kCFNumberFloat64Type);
    EXPECT_EQ(widened.value, static_cast<double>(FLT_TRUE_MIN));
    EXPECT_TRUE(widened.exact);
}

TEST_F(CfNumber, IntegerConversionsTruncateAndSaturate) {
    Converted<int> truncated = convert<int>(number(kCFNumberDoubleType, 2.5).get(), kCFNumberIntType);
    EXPECT_EQ(truncated.value, 2);
    EXPECT_FALSE(truncated.exact);
    EXPECT_EQ(convert<int>(number(kCFNumberDoubleType, -2.5).get(), kCFNumberIntType).value, -2);
    EXPECT_TRUE(convert<int>(number(kCFNumberDoubleType, 3.0).get(), kCFNumberIntType).exact);

    auto large = number(kCFNumberDoubleType, 1e10);
    EXPECT_EQ(convert<SInt32>(large.get(), kCFNumberSInt32Type).value, INT32_MAX);
    EXPECT_FALSE(convert<SInt32>(large.get(), kCFNumberSInt32Type).exact);
    EXPECT_EQ(convert<SInt64>(large.get(), kCFNumberSInt64Type).value, 10000000000);
    EXPECT_TRUE(convert<SInt64>(large.get(), kCFNumberSInt64Type).exact);

    // 2^63 is the first real beyond SInt64; -2^63 is still inside.
    Converted<SInt64> top = convert<SInt64>(number(kCFNumberDoubleType, kTwoTo63).get(), kCFNumberSInt64Type);
    EXPECT_EQ(top.value, INT64_MAX);
    EXPECT_FALSE(top.exact);
    Converted<SInt64> bottom = convert<SInt64>(number(kCFNumberDoubleType, -kTwoTo63).get(), kCFNumberSInt64Type);
    EXPECT_EQ(bottom.value, INT64_MIN);
    EXPECT_TRUE(bottom.exact);

    const double specials[] = {std::nan(""), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity()};
    const SInt32 expected[] = {0, INT32_MAX, INT32_MIN};
    for (size_t i = 0; i < std::size(specials); ++i) {
        auto special = number(kCFNumberDoubleType, specials[i]);
        Converted<SInt32> as_int = convert<SInt32>(special.get(), kCFNumberSInt32Type);
        EXPECT_EQ(as_int.value, expected[i]) << specials[i];
        EXPECT_FALSE(as_int.exact) << specials[i];
        EXPECT_EQ(convert<SInt8>(special.get(), kCFNumberSInt8Type).exact, false);
        EXPECT_EQ(convert<SInt64>(special.get(), kCFNumberSInt64Type).exact, false);
    }

    auto wide = number(kCFNumberSInt64Type, SInt64{300});
    EXPECT_EQ(convert<SInt8>(wide.get(), kCFNumberSInt8Type).value, 127);
    EXPECT_FALSE(convert<SInt8>(wide.get(), kCFNumberSInt8Type).exact);
    EXPECT_EQ(convert<SInt16>(number(kCFNumberSInt64Type, SInt64{-40000}).get(), kCFNumberSInt16Type).value,
              -32768);
    // Integers beyond a real's precision do not convert exactly.
    EXPECT_FALSE(convert<double>(number(kCFNumberSInt64Type, (SInt64{1} << 53) + 1).get(),
                                 kCFNumberDoubleType).exact);
    EXPECT_TRUE(convert<double>(number(kCFNumberSInt64Type, SInt64{1} << 53).get(), kCFNumberDoubleType).exact);
    EXPECT_FALSE(convert<double>(number(kCFNumberSInt64Type, INT64_MAX).get(), kCFNumberDoubleType).exact);
    EXPECT_FALSE(convert<float>(number(kCFNumberIntType, 16777217).get(), kCFNumberFloatType).exact);
    EXPECT_TRUE(convert<float>(number(kCFNumberIntType, 16777216).get(), kCFNumberFloatType).exact);
    EXPECT_FALSE(CFNumberGetValue(wide.get(), static_cast<CFNumberType>(20), nullptr));
}

TEST_F(CfNumber, EqualByValueAcrossWidths) {
    auto int_two = number(kCFNumberIntType, 2);
    auto equal_twos = {number(kCFNumberDoubleType, 2.0), number(kCFNumberFloatType, 2.0f),
                       number(kCFNumberSInt8Type, SInt8{2}), number(kCFNumberSInt64Type, SInt64{2})};
    for (const auto &two : equal_twos) {
        EXPECT_PRED_FORMAT2(cf_equal, int_two.get(), two.get());
        EXPECT_EQ(CFHash(int_two.get()), CFHash(two.get())) << describe(two.get());
        EXPECT_EQ(CFNumberCompare(int_two.get(), two.get(), nullptr), kCFCompareEqualTo);
    }
    auto two_and_half = number(kCFNumberDoubleType, 2.5);
    EXPECT_FALSE(CFEqual(int_two.get(), two_and_half.get()));
    EXPECT_EQ(CFNumberCompare(int_two.get(), two_and_half.get(), nullptr), kCFCompareLessThan);
    EXPECT_EQ(CFNumberCompare(two_and_half.get(), int_two.get(), nullptr), kCFCompareGreaterThan);

    // No rounding through double: 2^53 + 1 is above the real 2^53.
    auto odd = number(kCFNumberSInt64Type, (SInt64{1} << 53) + 1);
    auto power = number(kCFNumberDoubleType, 9007199254740992.0);
    EXPECT_FALSE(CFEqual(odd.get(), power.get()));
    EXPECT_EQ(CFNumberCompare(odd.get(), power.get(), nullptr), kCFCompareGreaterThan);
    EXPECT_EQ(CFNumberCompare(number(kCFNumberSInt64Type, INT64_MAX).get(),
                              number(kCFNumberDoubleType, kTwoTo63).get(), nullptr),
              kCFCompareLessThan);

    auto zero = number(kCFNumberIntType, 0);
    auto negative_zero = number(kCFNumberDoubleType, -0.0);
    EXPECT_PRED_FORMAT2(cf_equal, zero.get(), negative_zero.get());
    EXPECT_EQ(CFHash(zero.get()), CFHash(negative_zero.get()));
    auto nan = number(kCFNumberDoubleType, std::nan(""));
    auto other_nan = number(kCFNumberFloatType, std::nanf(""));
    EXPECT_PRED_FORMAT2(cf_equal, nan.get(), other_nan.get());
    EXPECT_EQ(CFNumberCompare(nan.get(), number(kCFNumberDoubleType, -std::numeric_limits<double>::infinity()).get(), nullptr),
              kCFCompareLessThan);

    // A number key is found by an equal number of another width.
    const void *key = int_two.get();
    const void *value = CFSTR("two");
    auto table = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        nullptr, &key, &value, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    EXPECT_EQ(CFDictionaryGetValue(table.get(), number(kCFNumberFloatType, 2.0f).get()), value);
}

TEST_F(CfNumber, BooleansAreTheirOwnType) {
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_NE(CFGetTypeID(kCFBooleanTrue), CFNumberGetTypeID());
    EXPECT_FALSE(CFEqual(kCFBooleanTrue, number(kCFNumberIntType, 1).get()));
    EXPECT_FALSE(CFEqual(kCFBooleanFalse, number(kCFNumberIntType, 0).get()));
    EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
    EXPECT_EQ(describe(kCFBooleanTrue), "true");
    EXPECT_EQ(describe(kCFBooleanFalse), "false");
}

TEST_F(CfNumber, DescribesInDecimalAndShortestReals) {
    EXPECT_EQ(describe(number(kCFNumberIntType, -42).get()), "-42");
    EXPECT_EQ(describe(number(kCFNumberSInt64Type, INT64_MIN).get()), "-9223372036854775808");
    EXPECT_EQ(describe(number(kCFNumberFloatType, 0.1f).get()), "0.1");
    EXPECT_EQ(describe(number(kCFNumberDoubleType, 0.1).get()), "0.1");
    EXPECT_EQ(describe(number(kCFNumberDoubleType, 2.0).get()), "2");
    EXPECT_EQ(describe(number(kCFNumberDoubleType, 1.0 / 3).get()), "0.3333333333333333");
}

TEST_F(CfNumberDeathTest, WrongTypesStop) {
    double value = 0;
    EXPECT_DEATH(CFNumberGetValue(reinterpret_cast<CFNumberRef>(CFSTR("1.5")), kCFNumberDoubleType, &value),
                 "CoreFoundation: CFNumberGetValue: expected a CFNumber, got a CFString");
    EXPECT_DEATH(CFNumberCompare(nullptr, nullptr, nullptr), "CFNumberCompare: NULL CFNumber");
}

}  // namespace
