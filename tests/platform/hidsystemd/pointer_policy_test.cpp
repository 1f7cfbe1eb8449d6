// How a wire value becomes a device setting: decoding, the touchpad test and
// the mapping onto each knob, with the floors that keep a pointer usable.
#include <gtest/gtest.h>

#include <hidsystem/backend_channel.h>
#include <hidsystem/pointer_policy.h>

#include <array>
#include <string_view>
#include <vector>

namespace {

using hidsystem::LibinputProfile;
using hidsystem::PointerClass;

constexpr std::int32_t fixed(double speed) { return static_cast<std::int32_t>(speed * 65536); }

TEST(PointerPolicy, TheMarkerKeepsTheLastGoodSpeedAndOutOfRangeValuesAreClamped) {
    EXPECT_EQ(hidsystem::decode_speed(fixed(1.5), std::nullopt), 1.5);
    EXPECT_EQ(hidsystem::decode_speed(INT32_MIN, 2.0), 2.0);
    EXPECT_EQ(hidsystem::decode_speed(INT32_MIN, std::nullopt), std::nullopt);
    EXPECT_EQ(hidsystem::decode_speed(fixed(-0.5), 2.0), 0.0);
    EXPECT_EQ(hidsystem::decode_speed(INT32_MIN + 1, 2.0), 0.0);
    EXPECT_EQ(hidsystem::decode_speed(fixed(3.5), std::nullopt), 3.0);
    EXPECT_EQ(hidsystem::decode_speed(INT32_MAX, std::nullopt), 3.0);
}

TEST(PointerPolicy, TouchpadsAreToldByTypeThenTappingThenSynapticsThenName) {
    std::vector<std::string_view> none;
    std::vector<std::string_view> tapping = {"Device Enabled", "libinput Tapping Enabled"};
    std::vector<std::string_view> synaptics = {"Synaptics Finger"};
    std::vector<std::string_view> almost = {"SynapticsX", "libinput Accel Speed"};
    EXPECT_EQ(hidsystem::classify({"TOUCHPAD", none, "Generic"}), PointerClass::Touchpad);
    EXPECT_EQ(hidsystem::classify({"MOUSE", tapping, "Generic"}), PointerClass::Touchpad);
    EXPECT_EQ(hidsystem::classify({"MOUSE", synaptics, "Generic"}), PointerClass::Touchpad);
    EXPECT_EQ(hidsystem::classify({"MOUSE", none, "ELAN0501 TouchPad"}), PointerClass::Touchpad);
    EXPECT_EQ(hidsystem::classify({"", none, "Magic TRACKPAD 2"}), PointerClass::Touchpad);
    EXPECT_EQ(hidsystem::classify({"MOUSE", almost, "Logitech USB Receiver"}), PointerClass::Mouse);
    EXPECT_EQ(hidsystem::classify({"", none, "touch screen"}), PointerClass::Mouse);
}

TEST(PointerPolicy, PtrFeedbackIsOnePlusTheSpeedInTenths) {
    struct Row {
        double speed;
        int numerator;
    };
    for (Row row : {Row{0, 10}, Row{0.04, 10}, Row{0.6875, 17}, Row{1, 20}, Row{2.5, 35}, Row{3, 40}}) {
        auto ratio = hidsystem::feedback_for(row.speed);
        EXPECT_EQ(ratio.numerator, row.numerator) << row.speed;
        EXPECT_EQ(ratio.denominator, 10) << row.speed;
    }
}

TEST(PointerPolicy, LibinputMiceKeepThePlateauAndTouchpadsNeverSlowBelowTheirCurve) {
    auto mouse = [](double speed) { return hidsystem::libinput_for(PointerClass::Mouse, speed); };
    auto pad = [](double speed) { return hidsystem::libinput_for(PointerClass::Touchpad, speed); };
    EXPECT_EQ(mouse(0).profile, LibinputProfile::Flat);
    EXPECT_EQ(mouse(0).speed, 0);
    EXPECT_EQ(mouse(1).profile, LibinputProfile::Adaptive);
    EXPECT_DOUBLE_EQ(mouse(1).speed, 0);
    EXPECT_DOUBLE_EQ(mouse(0.01).speed, -0.66);
    EXPECT_GE(mouse(1e-9).speed, -2.0 / 3.0);  // the floor: never under the 1:1 plateau
    EXPECT_DOUBLE_EQ(mouse(2.5).speed, 1.0);
    EXPECT_DOUBLE_EQ(mouse(3).speed, 1.0);
    EXPECT_DOUBLE_EQ(mouse(1.75).speed, 0.5);

    EXPECT_EQ(pad(0).profile, LibinputProfile::Flat);
    EXPECT_DOUBLE_EQ(pad(0).speed, -0.1);
    EXPECT_EQ(pad(0.3).profile, LibinputProfile::Adaptive);
    EXPECT_DOUBLE_EQ(pad(0.3).speed, 0);
    EXPECT_DOUBLE_EQ(pad(2).speed, 0.5);
    EXPECT_DOUBLE_EQ(pad(3).speed, 1.0);
    // Flat at -1 freezes the pointer: no speed maps near it.
    for (double speed = 0; speed <= 3; speed += 0.05) {
        EXPECT_GT(mouse(speed).speed, -0.7) << speed;
        EXPECT_GT(pad(speed).speed, -0.7) << speed;
    }
}

TEST(PointerPolicy, TheProfileArrayKeepsItsSizeWithOneEntrySet) {
    std::array<unsigned char, 3> three = {1, 1, 1};
    ASSERT_TRUE(hidsystem::fill_profile_array(LibinputProfile::Flat, three));
    EXPECT_EQ(three, (std::array<unsigned char, 3>{0, 1, 0}));
    std::array<unsigned char, 2> two = {0, 1};
    ASSERT_TRUE(hidsystem::fill_profile_array(LibinputProfile::Adaptive, two));
    EXPECT_EQ(two, (std::array<unsigned char, 2>{1, 0}));
    std::array<unsigned char, 1> one = {7};
    EXPECT_FALSE(hidsystem::fill_profile_array(LibinputProfile::Flat, one));
    EXPECT_EQ(one[0], 7);
}

TEST(BackendChannel, MessagesRoundTripAndHostileTextStaysInItsField) {
    hidsystem::ApplyMessage apply{42, {fixed(2.5), std::nullopt}};
    auto parsed = hidsystem::parse_apply(hidsystem::encode_apply(apply));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->sequence, 42u);
    EXPECT_EQ(parsed->speeds, apply.speeds);
    for (const char *bad : {"APPLY", "APPLY 1 2", "APPLY x 1 2", "APPLY 1 2 3 4", "APPLY 1 2.5 -", "SET 1 - -"})
        EXPECT_FALSE(hidsystem::parse_apply(bad)) << bad;

    hidsystem::BackendReport report;
    report.applied_sequence = 7;
    report.state = "connected";
    report.display = ":5";
    report.devices.push_back({6, "mouse", "PtrFeedback", "35/10", "evil\tname\nREPORT 99"});
    report.devices.push_back({9, "touchpad", "libinput", "flat -0.100", std::string(1000, 'x')});
    auto back = hidsystem::parse_report(hidsystem::encode_report(report));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->applied_sequence, 7u);
    EXPECT_EQ(back->error, "");
    ASSERT_EQ(back->devices.size(), 2u);
    EXPECT_EQ(back->devices[0].name, "evil name REPORT 99");
    EXPECT_EQ(back->devices[1].name.size(), hidsystem::kMaxReportField);
    EXPECT_FALSE(hidsystem::parse_report("REPORT 1\nconnected\n"));
    EXPECT_FALSE(hidsystem::parse_report("REPORT 1\na\nb\nc\n6\tmouse\n"));

    for (int i = 0; i < 500; ++i) report.devices.push_back({i, "mouse", "none", "-", std::string(300, 'n')});
    std::string many = hidsystem::encode_report(report);
    EXPECT_LE(many.size(), hidsystem::kMaxChannelMessage);
    EXPECT_TRUE(hidsystem::parse_report(many));
}

// A pair the desktop refused is done but not applied: the report carries
// both, and one that refused nothing reads as it always did.
TEST(BackendChannel, AReportTellsARefusedPairFromAnAppliedOne) {
    hidsystem::BackendReport report;
    report.applied_sequence = 3;
    report.done_sequence = 5;
    report.error = "org.mate.peripherals-mouse: locked";
    std::string text = hidsystem::encode_report(report);
    EXPECT_TRUE(text.starts_with("REPORT 3 5\n")) << text;
    auto back = hidsystem::parse_report(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->applied_sequence, 3u);
    EXPECT_EQ(back->last_done(), 5u);

    auto plain = hidsystem::parse_report("REPORT 4\nconnected\n\n\n");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->applied_sequence, 4u);
    EXPECT_EQ(plain->last_done(), 4u);
    EXPECT_EQ(hidsystem::encode_report(*plain), "REPORT 4\nconnected\n\n\n");
    report.done_sequence = 3;  // nothing refused since: the old form
    EXPECT_TRUE(hidsystem::encode_report(report).starts_with("REPORT 3\n"));

    for (const char *bad : {"REPORT 5 3\na\nb\nc\n", "REPORT 5 5\na\nb\nc\n", "REPORT 1 2 3\na\nb\nc\n",
                            "REPORT 1 x\na\nb\nc\n", "REPORT 1 \na\nb\nc\n"})
        EXPECT_FALSE(hidsystem::parse_report(bad)) << bad;
}

}  // namespace
