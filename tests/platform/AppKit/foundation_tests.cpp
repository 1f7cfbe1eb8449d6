// NSString, NSNumber and the collections over Core Foundation values.
#include <gtest/gtest.h>

#include <CFText.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <utility>

#include "appkit_test_support.h"

using FoundationTest = AppKitTest;

TEST_F(FoundationTest, StringsReadTheirLeadingNumberLikeTheNSStringParser) {
    struct Case {
        const char *text;
        double value;
    };
    const Case cases[] = {
        {"1.5", 1.5},     {"  2.25x", 2.25}, {"-3e2", -300}, {"+4", 4},     {".5", 0.5},
        {"5.", 5},        {"1e", 1},         {"1e+", 1},     {"abc", 0},    {"", 0},
        {"-", 0},         {".", 0},          {"0x10", 0},    {"nan", 0},    {"inf", 0},
        {"\t\n7 8", 7},   {"1e-999", 0},     {"2,5", 2},
    };
    for (const Case &c : cases) {
        NSString *text = NSString::stringWithUTF8String(c.text);
        EXPECT_EQ(text->doubleValue(), c.value) << '"' << c.text << '"';
        EXPECT_EQ(text->floatValue(), static_cast<float>(c.value)) << '"' << c.text << '"';
    }
    EXPECT_EQ(NSSTR("1e999")->doubleValue(), std::numeric_limits<double>::infinity());
    EXPECT_EQ(NSSTR("-1e300")->floatValue(), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(NSSTR("12abc")->intValue(), 12);
    EXPECT_EQ(NSSTR("-99999999999")->intValue(), std::numeric_limits<int>::min());
    EXPECT_EQ(NSSTR("99999999999999999999999")->integerValue(), std::numeric_limits<long>::max());
    for (const char *yes : {"YES", "yes", "true", " T", "1", "007", "-5"})
        EXPECT_TRUE(NSString::stringWithUTF8String(yes)->boolValue()) << yes;
    for (const char *no : {"NO", "no", "false", "0", "", "000", "x"})
        EXPECT_FALSE(NSString::stringWithUTF8String(no)->boolValue()) << no;
}

TEST_F(FoundationTest, StringsFormatAndKeepUnicodeText) {
    const std::pair<float, const char *> labels[] = {
        {1.0f, "1.0x"}, {1.5f, "1.5x"}, {3.0f, "3.0x"}, {1.15f, "1.1x"}, {0.0f, "0.0x"}};
    for (const auto &[value, label] : labels)
        EXPECT_STREQ(NSString::stringWithFormat(NSSTR("%.1fx"), static_cast<double>(value))->UTF8String(),
                     label);
    EXPECT_STREQ(NSString::stringWithFormat("%s-%d", "a", 7)->UTF8String(), "a-7");
    // The same labels whatever locale the process set (GTK sets it from the
    // environment); scripts/install-deps.sh makes de_DE.UTF-8.
    std::string previous = setlocale(LC_ALL, nullptr);
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "run scripts/install-deps.sh";
    EXPECT_STREQ(NSString::stringWithFormat("%.1fx", 2.5)->UTF8String(), "2.5x");
    EXPECT_STREQ(NSString::stringWithFormat(NSSTR("%.2f|%g"), 0.75, 1e-5)->UTF8String(), "0.75|1e-05");
    setlocale(LC_ALL, previous.c_str());
    NSString *text = NSString::stringWithUTF8String("Beschleunigung \xC3\xBC \xE2\x86\x92");
    ASSERT_NE(text, nil);
    EXPECT_STREQ(text->UTF8String(), "Beschleunigung \xC3\xBC \xE2\x86\x92");
    EXPECT_EQ(text->length(), 18u);  // UTF-16 units
    EXPECT_EQ(NSString::stringWithUTF8String("\xC3"), nil);  // not UTF-8
    EXPECT_EQ(NSString::stringWithUTF8String(nullptr), nil);
    EXPECT_TRUE(NSSTR("same")->isEqual(NSString::stringWithUTF8String("same")));
    EXPECT_FALSE(NSSTR("same")->isEqual(NSNumber::numberWithInt(1)));
    EXPECT_EQ(NSSTR("same")->hash(), NSString::stringWithUTF8String("same")->hash());
    EXPECT_STREQ(NSString::string()->UTF8String(), "");
}

TEST_F(FoundationTest, StringsBridgeToTheirCFStringWithoutCopying) {
    CFRef<CFStringRef> cf = CFStringFromUTF8("bridged");
    CFIndex count = CFGetRetainCount(cf.get());
    NSString *wrapped = NSString::stringWithCFString(cf.get());
    EXPECT_EQ(wrapped->cfString(), cf.get());
    EXPECT_EQ(wrapped->cfTypeRef(), cf.get());
    EXPECT_EQ(CFGetRetainCount(cf.get()), count + 1);
    drainPool();
    EXPECT_EQ(CFGetRetainCount(cf.get()), count);
    EXPECT_EQ(NSString::stringWithCFString(nullptr), nil);
}

TEST_F(FoundationTest, NumbersKeepTheirTypeAndBooleansAreOneOrZero) {
    NSNumber *yes = NSNumber::numberWithBool(YES);
    NSNumber *no = NSNumber::numberWithBool(NO);
    EXPECT_EQ(yes->cfTypeRef(), kCFBooleanTrue);
    EXPECT_EQ(no->cfTypeRef(), kCFBooleanFalse);
    EXPECT_TRUE(yes->isBoolean());
    EXPECT_EQ(yes->cfNumber(), nullptr);
    EXPECT_EQ(yes->floatValue(), 1.0f);
    EXPECT_EQ(no->floatValue(), 0.0f);
    EXPECT_TRUE(yes->respondsToSelector("floatValue"));

    NSNumber *speed = NSNumber::numberWithFloat(1.1f);
    ASSERT_NE(speed->cfNumber(), nullptr);
    EXPECT_EQ(CFNumberGetType(speed->cfNumber()), kCFNumberFloat32Type);
    EXPECT_EQ(speed->floatValue(), 1.1f);
    EXPECT_STREQ(speed->stringValue()->UTF8String(), "1.1");
    EXPECT_STREQ(NSNumber::numberWithInteger(-42)->description()->UTF8String(), "-42");
    EXPECT_STREQ(NSNumber::numberWithDouble(0.1)->description()->UTF8String(), "0.1");
    EXPECT_EQ(NSNumber::numberWithDouble(2.9)->intValue(), 2);
    EXPECT_TRUE(NSNumber::numberWithInt(2)->isEqual(NSNumber::numberWithDouble(2.0)));
    EXPECT_EQ(NSNumber::numberWithCFType(CFSTR("not a number")), nil);
}

TEST_F(FoundationTest, DictionaryValuesComeBackAsTheMatchingWrappers) {
    float speed = 2.5f;
    CFRef<CFNumberRef> number = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberFloatType, &speed));
    CFRef<CFArrayRef> array = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks));
    CFRef<CFDictionaryRef> inner = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        nullptr, nullptr, nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    const UInt8 bytes[] = {1, 2, 3};
    CFRef<CFDataRef> data = CFRef<CFDataRef>::adopt(CFDataCreate(nullptr, bytes, 3));
    CFRef<CFDateRef> date = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 1000));
    const void *keys[] = {CFSTR("Text"), CFSTR("Speed"), CFSTR("Flag"), CFSTR("List"),
                          CFSTR("Table"), CFSTR("Blob"), CFSTR("When")};
    const void *values[] = {CFSTR("3.5 fast"), number.get(), kCFBooleanTrue, array.get(),
                            inner.get(), data.get(), date.get()};
    CFRef<CFDictionaryRef> cf = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
        nullptr, keys, values, 7, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));

    NSDictionary *dictionary = NSDictionary::dictionaryWithCFDictionary(cf.get());
    EXPECT_EQ(dictionary->count(), 7u);
    EXPECT_EQ(dictionary->allKeys()->count(), 7u);
    struct Expected {
        NSString *key;
        Class cls;
        bool answersFloatValue;
        float floatValue;
    };
    const Expected expected[] = {
        {NSSTR("Text"), NSString::staticClass(), true, 3.5f},
        {NSSTR("Speed"), NSNumber::staticClass(), true, 2.5f},
        {NSSTR("Flag"), NSNumber::staticClass(), true, 1.0f},
        {NSSTR("List"), NSArray::staticClass(), false, 0},
        {NSSTR("Table"), NSDictionary::staticClass(), false, 0},
        {NSSTR("Blob"), NSData::staticClass(), false, 0},
        {NSSTR("When"), NSDate::staticClass(), false, 0},
    };
    for (const Expected &e : expected) {
        NSObject *value = dictionary->objectForKey(e.key);
        ASSERT_NE(value, nil) << e.key->UTF8String();
        EXPECT_EQ(value->getClass(), e.cls) << e.key->UTF8String();
        EXPECT_EQ(value->respondsToSelector("floatValue"), e.answersFloatValue) << e.key->UTF8String();
        if (e.answersFloatValue) {
            EXPECT_EQ(value->floatValue(), e.floatValue) << e.key->UTF8String();
        }
    }
    EXPECT_EQ(static_cast<NSData *>(dictionary->objectForKey(NSSTR("Blob")))->length(), 3u);
    EXPECT_EQ(static_cast<NSDate *>(dictionary->objectForKey(NSSTR("When")))->timeIntervalSinceReferenceDate(), 1000);
    EXPECT_EQ(dictionary->objectForKey(NSSTR("Missing")), nil);
    EXPECT_EQ(dictionary->objectForKey(nil), nil);
    NSView *notBridged = NSView::new_()->autorelease();
    EXPECT_EQ(dictionary->objectForKey(notBridged), nil);
}

// Dictionaries and sets of objects rely on equal objects hashing alike.
TEST_F(FoundationTest, WrappersOfEqualValuesAreEqualAndHashAlike) {
    const UInt8 bytes[] = {7, 8};
    const void *items[] = {CFSTR("a"), CFSTR("b")};
    auto array = [&] {
        auto cf = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, items, 2, &kCFTypeArrayCallBacks));
        return NSArray::arrayWithCFArray(cf.get());
    };
    auto table = [&] {
        auto cf = CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(
            nullptr, items, items, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        return NSDictionary::dictionaryWithCFDictionary(cf.get());
    };
    const std::pair<NSObject *, NSObject *> equalPairs[] = {
        {NSString::stringWithUTF8String("speed"), NSString::stringWithFormat("%s", "speed")},
        {NSNumber::numberWithInt(3), NSNumber::numberWithDouble(3.0)},
        {array(), array()},
        {table(), table()},
        {NSData::dataWithBytes_length(bytes, 2), NSData::dataWithBytes_length(bytes, 2)},
        {NSDate::dateWithTimeIntervalSinceReferenceDate(5), NSDate::dateWithTimeIntervalSinceReferenceDate(5)},
    };
    for (const auto &[one, other] : equalPairs) {
        const char *name = one->getClass()->name();
        ASSERT_NE(one, other) << name;
        EXPECT_NE(one->cfTypeRef(), other->cfTypeRef()) << name << ": the values themselves are distinct";
        EXPECT_TRUE(one->isEqual(other)) << name;
        EXPECT_TRUE(other->isEqual(one)) << name;
        EXPECT_EQ(one->hash(), other->hash()) << name;
        EXPECT_FALSE(one->isEqual(nil)) << name;
        EXPECT_FALSE(one->isEqual(NSView::new_()->autorelease())) << name;
    }
    EXPECT_FALSE(NSSTR("1")->isEqual(NSNumber::numberWithInt(1)));
    EXPECT_FALSE(NSNumber::numberWithInt(1)->isEqual(NSSTR("1")));
    EXPECT_FALSE(NSArray::array()->isEqual(array()));
    EXPECT_FALSE(NSSTR("speed")->isEqualToString(NSSTR("Speed")));
}

using FoundationDeathTest = AppKitTest;

TEST_F(FoundationDeathTest, MisuseStopsTheProcessWithAClearLine) {
    EXPECT_DEATH(NSArray::array()->objectAtIndex(0), "objectAtIndex:\\]: index 0 beyond bounds");
    EXPECT_DEATH(NSString::stringWithFormat(NSSTR("%@"), "x"), "%@ is not supported");
    EXPECT_DEATH(NSTextField::new_()->setStringValue(nil), "setStringValue:\\]: nil string");
}
