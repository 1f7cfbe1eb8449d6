// Property lists: round trips through both file formats, the types values
// come back with, and what cannot be read or written.
#include "values_test_util.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

using namespace values_test;

class CfPropertyList : public glissor_test::LiveValueTest {};
class CfPropertyListDeathTest : public glissor_test::LiveValueTest {};

CFRef<CFDataRef> data_of(const std::string &bytes) {
    return CFRef<CFDataRef>::adopt(
        CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(bytes.data()), static_cast<CFIndex>(bytes.size())));
}

std::string bytes_of(CFDataRef data) {
    return std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(data)), static_cast<size_t>(CFDataGetLength(data)));
}

CFRef<CFDataRef> written(CFPropertyListRef value, CFPropertyListFormat format) {
    return CFRef<CFDataRef>::adopt(CFPropertyListCreateData(nullptr, value, format, 0, nullptr));
}

CFRef<CFPropertyListRef> read(CFDataRef data, CFOptionFlags options = kCFPropertyListImmutable,
                              CFPropertyListFormat *format = nullptr) {
    return CFRef<CFPropertyListRef>::adopt(CFPropertyListCreateWithData(nullptr, data, options, format, nullptr));
}

CFRef<CFPropertyListRef> read_xml(const std::string &body, CFOptionFlags options = kCFPropertyListImmutable) {
    return read(data_of("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">" + body +
                        "</plist>").get(), options);
}

CFRef<CFPropertyListRef> round_trip(CFPropertyListRef value, CFPropertyListFormat format) {
    auto data = written(value, format);
    EXPECT_TRUE(data) << describe(value);
    if (!data) return {};
    CFPropertyListFormat found = kCFPropertyListOpenStepFormat;
    auto back = read(data.get(), kCFPropertyListImmutable, &found);
    EXPECT_EQ(found, format);
    return back;
}

uint32_t bits_of(float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

const CFPropertyListFormat kFormats[] = {kCFPropertyListXMLFormat_v1_0, kCFPropertyListBinaryFormat_v1_0};

TEST_F(CfPropertyList, NestedValuesRoundTripInBothFormats) {
    auto text = str("<a&b> \"quoted\" 'single' caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 ]]>");
    const UInt8 raw[] = {0x00, 0xFF, 0x10, '<', '&'};
    auto blob = CFRef<CFDataRef>::adopt(CFDataCreate(nullptr, raw, sizeof raw));
    auto empty_blob = CFRef<CFDataRef>::adopt(CFDataCreate(nullptr, nullptr, 0));
    auto moment = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 123456789.0));
    auto before_2001 = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, -86400.0 * 365));
    auto integers = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (SInt64 value : {SInt64{-5}, INT64_MIN, INT64_MAX, SInt64{0}, SInt64{1} << 40}) {
        CFArrayAppendValue(integers.get(), number(kCFNumberSInt64Type, value).get());
    }
    auto empty_array = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks));
    auto inner = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(inner.get(), CFSTR("Integers"), integers.get());
    CFDictionarySetValue(inner.get(), CFSTR("Empty"), empty_array.get());
    CFDictionarySetValue(inner.get(), CFSTR("Nothing"), empty_blob.get());

    auto root = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(root.get(), text.get(), text.get());  // as key and as value
    CFDictionarySetValue(root.get(), CFSTR("MouseSpeed"), number(kCFNumberFloatType, 1.7f).get());
    CFDictionarySetValue(root.get(), CFSTR("Tenth"), number(kCFNumberDoubleType, 0.1).get());
    CFDictionarySetValue(root.get(), CFSTR("Hide"), kCFBooleanTrue);
    CFDictionarySetValue(root.get(), CFSTR("Shown"), kCFBooleanFalse);
    CFDictionarySetValue(root.get(), CFSTR("Blob"), blob.get());
    CFDictionarySetValue(root.get(), CFSTR("When"), moment.get());
    CFDictionarySetValue(root.get(), CFSTR("Before"), before_2001.get());
    CFDictionarySetValue(root.get(), CFSTR("Inner"), inner.get());

    for (CFPropertyListFormat format : kFormats) {
        auto back = round_trip(root.get(), format);
        EXPECT_PRED_FORMAT2(cf_equal, root.get(), back.get()) << "format " << format;
    }
}

TEST_F(CfPropertyList, FloatsComeBackBitForBit) {
    const float samples[] = {1.7f, 0.1f, FLT_MAX, -FLT_MAX, FLT_MIN, FLT_TRUE_MIN, -FLT_TRUE_MIN * 3,
                             -0.0f, 16777217.0f, std::numeric_limits<float>::infinity()};
    for (CFPropertyListFormat format : kFormats) {
        for (float sample : samples) {
            auto back = round_trip(number(kCFNumberFloatType, sample).get(), format);
            ASSERT_TRUE(back) << sample;
            auto read_number = static_cast<CFNumberRef>(back.get());
            EXPECT_EQ(CFNumberGetType(read_number), kCFNumberFloat64Type) << "a file real is a double";
            float value = 0;
            EXPECT_TRUE(CFNumberGetValue(read_number, kCFNumberFloatType, &value)) << sample;
            EXPECT_EQ(bits_of(value), bits_of(sample)) << sample << " in format " << format;
        }
    }
    // Negative zeros keep their sign in XML too, beside the reals the writer
    // could confuse them with.
    const double zeros[] = {-0.0, 0.0, 4.9406564584124654e-324, -0.0, 9.8813129168249309e-324};
    auto mixed = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (double zero : zeros) CFArrayAppendValue(mixed.get(), number(kCFNumberDoubleType, zero).get());
    auto mixed_xml = written(mixed.get(), kCFPropertyListXMLFormat_v1_0);
    EXPECT_NE(bytes_of(mixed_xml.get()).find("<real>-0.0</real>"), std::string::npos);
    auto mixed_back = read(mixed_xml.get());
    ASSERT_TRUE(mixed_back);
    for (CFIndex i = 0; i < static_cast<CFIndex>(std::size(zeros)); ++i) {
        double value = 1;
        CFNumberGetValue(static_cast<CFNumberRef>(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(mixed_back.get()), i)),
                         kCFNumberDoubleType, &value);
        EXPECT_EQ(memcmp(&value, &zeros[i], sizeof value), 0) << i << ": " << value;
    }

    auto xml = written(number(kCFNumberFloatType, 0.1f).get(), kCFPropertyListXMLFormat_v1_0);
    EXPECT_NE(bytes_of(xml.get()).find("<real>0.10000000149011612</real>"), std::string::npos)
        << bytes_of(xml.get());
}

TEST_F(CfPropertyList, ReadValuesHaveTheFileTypes) {
    auto integer = read_xml("<integer>-5</integer>");
    ASSERT_TRUE(integer);
    EXPECT_EQ(CFNumberGetType(static_cast<CFNumberRef>(integer.get())), kCFNumberSInt64Type);
    SInt64 value = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(integer.get()), kCFNumberSInt64Type, &value);
    EXPECT_EQ(value, -5);
    auto real = read_xml("<real>1.5</real>");
    EXPECT_EQ(CFNumberGetType(static_cast<CFNumberRef>(real.get())), kCFNumberFloat64Type);
    EXPECT_EQ(read_xml("<true/>").get(), kCFBooleanTrue);
    auto date = read_xml("<date>2001-01-02T00:00:01Z</date>");
    ASSERT_EQ(CFGetTypeID(date.get()), CFDateGetTypeID());
    EXPECT_EQ(CFDateGetAbsoluteTime(static_cast<CFDateRef>(date.get())), 86401.0);
    auto data = read_xml("<data>AAEC/w==</data>");
    ASSERT_EQ(CFGetTypeID(data.get()), CFDataGetTypeID());
    EXPECT_EQ(bytes_of(static_cast<CFDataRef>(data.get())), std::string("\x00\x01\x02\xFF", 4));

    // Binary dates keep their fraction of a second, before 2001 too.
    for (double at : {0.25, 1234.5, -1.5, -86400.75}) {
        auto moment = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, at));
        auto back = round_trip(moment.get(), kCFPropertyListBinaryFormat_v1_0);
        ASSERT_TRUE(back) << at;
        EXPECT_EQ(CFDateGetAbsoluteTime(static_cast<CFDateRef>(back.get())), at);
    }

    // Containers are mutable only when asked for.
    auto list = read_xml("<array><dict><key>Path</key><string>/A.app</string></dict></array>",
                         kCFPropertyListMutableContainers);
    ASSERT_TRUE(list);
    CFArrayAppendValue(static_cast<CFMutableArrayRef>(const_cast<void *>(list.get())), CFSTR("added"));
    auto record = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(list.get()), 0));
    CFDictionarySetValue(const_cast<CFMutableDictionaryRef>(record), CFSTR("Hide"), kCFBooleanTrue);
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(list.get())), 2);
    EXPECT_EQ(CFDictionaryGetCount(record), 2);
}

TEST_F(CfPropertyList, RefusesWhatIsNotAPropertyList) {
    EXPECT_FALSE(read(data_of("").get()));
    EXPECT_FALSE(read(data_of("not a property list").get()));
    EXPECT_FALSE(read(data_of("bplist00 and then garbage").get()));
    EXPECT_FALSE(read_xml("<array><string>cut short</string>"));
    EXPECT_FALSE(read_xml("<string>\xC3\x28</string>")) << "strings must be valid UTF-8";
    EXPECT_FALSE(read_xml("<dict><key>\xFF</key><true/></dict>")) << "keys must be valid UTF-8";
    // A binary list whose one object is a UID, which no value type holds:
    // header, the object (marker 0x80, one byte), a one-entry offset table,
    // and the trailer (sizes 1 and 1, one object, top 0, table at 10).
    std::string uid("bplist00\x80\x01\x08", 11);
    uid += std::string(6, '\0') + "\x01\x01" + std::string(7, '\0') + "\x01" + std::string(8, '\0') +
           std::string(7, '\0') + "\x0A";
    EXPECT_FALSE(read(data_of(uid).get()));

    // Dictionary keys must be strings.
    auto one = number(kCFNumberIntType, 1);
    const void *key = one.get();
    const void *value = CFSTR("one");
    auto numbered = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        nullptr, &key, &value, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    EXPECT_FALSE(written(numbered.get(), kCFPropertyListXMLFormat_v1_0));
    EXPECT_FALSE(CFPropertyListIsValid(numbered.get(), kCFPropertyListXMLFormat_v1_0));

    // An array without callbacks may hold pointers that are no values at all:
    // refused where the process checks values are alive (as ctest runs it).
    if (CFTestingChecksLiveValues()) {
        int plain = 0;
        const void *pointers[] = {&plain};
        auto foreign = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, pointers, 1, nullptr));
        EXPECT_FALSE(written(foreign.get(), kCFPropertyListBinaryFormat_v1_0));
        EXPECT_FALSE(CFPropertyListIsValid(foreign.get(), kCFPropertyListXMLFormat_v1_0));
    }

    // Text the format's C strings would cut short, and dates beyond its range.
    auto with_nul = CFRef<CFStringRef>::adopt(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("a%cb"), 0));
    ASSERT_EQ(CFStringGetLength(with_nul.get()), 3);
    EXPECT_FALSE(written(with_nul.get(), kCFPropertyListXMLFormat_v1_0));
    auto far_future = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 1e12));
    EXPECT_FALSE(written(far_future.get(), kCFPropertyListBinaryFormat_v1_0));

    // An array that holds itself is refused instead of recursing forever.
    auto loop = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, nullptr));
    CFArrayAppendValue(loop.get(), loop.get());
    EXPECT_FALSE(CFPropertyListIsValid(loop.get(), kCFPropertyListBinaryFormat_v1_0));

    EXPECT_TRUE(CFPropertyListIsValid(CFSTR("text"), kCFPropertyListOpenStepFormat));
    EXPECT_FALSE(CFPropertyListIsValid(kCFBooleanTrue, kCFPropertyListOpenStepFormat));
    EXPECT_FALSE(written(CFSTR("text"), kCFPropertyListOpenStepFormat)) << "not a format we write";
}

// The XML check answers without writing the text: it must agree with the
// writer on every value, text that XML cannot carry and nesting included.
TEST_F(CfPropertyList, XmlValidityAgreesWithTheWriter) {
    auto control = CFRef<CFStringRef>::adopt(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("a%cb"), 1));
    auto nul = CFRef<CFStringRef>::adopt(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("a%cb"), 0));
    auto escaped = CFRef<CFStringRef>::adopt(
        CFStringCreateWithCString(nullptr, "<&>\r\t plain & more", kCFStringEncodingUTF8));
    auto nested = [](int depth) {
        auto inner = CFRef<CFPropertyListRef>::retain(CFSTR("leaf"));
        for (int i = 0; i < depth; ++i) {
            const void *element = inner.get();
            inner = CFRef<CFPropertyListRef>::adopt(CFArrayCreate(nullptr, &element, 1, &kCFTypeArrayCallBacks));
        }
        return inner;
    };
    const void *keys[] = {control.get()};
    const void *values[] = {kCFBooleanTrue};
    auto control_key = CFRef<CFDictionaryRef>::adopt(
        CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    struct Case {
        const char *name;
        CFPropertyListRef value;
    };
    auto shallow = nested(3), deepest = nested(512), too_deep = nested(513);
    for (const Case &c : {Case{"control", control.get()}, Case{"NUL", nul.get()}, Case{"escaped", escaped.get()},
                          Case{"control key", control_key.get()}, Case{"shallow", shallow.get()},
                          Case{"512 deep", deepest.get()}, Case{"513 deep", too_deep.get()}}) {
        bool valid = CFPropertyListIsValid(c.value, kCFPropertyListXMLFormat_v1_0);
        auto first = written(c.value, kCFPropertyListXMLFormat_v1_0);
        EXPECT_EQ(valid, static_cast<bool>(first)) << c.name;
        // Written again, the strings' text is known: the same answer, the same bytes.
        EXPECT_EQ(CFPropertyListIsValid(c.value, kCFPropertyListXMLFormat_v1_0), valid) << c.name;
        auto second = written(c.value, kCFPropertyListXMLFormat_v1_0);
        EXPECT_TRUE(first ? second && CFEqual(first.get(), second.get()) : !second) << c.name;
    }
    auto text_of = [](CFDataRef data) {
        return std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(data)),
                           static_cast<size_t>(CFDataGetLength(data)));
    };
    auto escaped_list = written(escaped.get(), kCFPropertyListXMLFormat_v1_0);
    ASSERT_TRUE(escaped_list);
    EXPECT_NE(text_of(escaped_list.get()).find("<string>&lt;&amp;&gt;&#13;\t plain &amp; more</string>"),
              std::string::npos);
    EXPECT_TRUE(CFPropertyListIsValid(escaped.get(), kCFPropertyListXMLFormat_v1_0));
    EXPECT_FALSE(CFPropertyListIsValid(control.get(), kCFPropertyListXMLFormat_v1_0));
}

TEST_F(CfPropertyListDeathTest, ImmutableReadContainersStayImmutable) {
    auto list = read_xml("<array><string>a</string></array>");
    ASSERT_TRUE(list);
    EXPECT_DEATH(CFArrayAppendValue(static_cast<CFMutableArrayRef>(const_cast<void *>(list.get())), CFSTR("b")),
                 "CFArrayAppendValue: the array .* is immutable");
}

}  // namespace
