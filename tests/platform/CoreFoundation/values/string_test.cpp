// Strings: encodings, direct pointers, ordering, separation, formats.
#include "values_test_util.h"

#include <clocale>
#include <cstring>
#include <vector>

namespace {

using namespace values_test;

class CfString : public glissor_test::LiveValueTest {};
class CfStringDeathTest : public glissor_test::LiveValueTest {};

CFRef<CFStringRef> decoded(const char *bytes, CFStringEncoding encoding) {
    return CFRef<CFStringRef>::adopt(CFStringCreateWithCString(nullptr, bytes, encoding));
}

std::vector<UniChar> units_of(CFStringRef string) {
    std::vector<UniChar> units;
    for (CFIndex i = 0; i < CFStringGetLength(string); ++i) {
        units.push_back(CFStringGetCharacterAtIndex(string, i));
    }
    return units;
}

std::vector<std::string> pieces_of(const char *text, const char *separator) {
    auto pieces = CFRef<CFArrayRef>::adopt(
        CFStringCreateArrayBySeparatingStrings(nullptr, str(text).get(), str(separator).get()));
    std::vector<std::string> result;
    if (!pieces) return {"(null)"};
    for (CFIndex i = 0; i < CFArrayGetCount(pieces.get()); ++i) {
        result.push_back(UTF8FromCFString(static_cast<CFStringRef>(CFArrayGetValueAtIndex(pieces.get(), i))));
    }
    return result;
}

CFComparisonResult compare(const char *a, const char *b, CFStringCompareFlags flags = {}) {
    return CFStringCompare(str(a).get(), str(b).get(), flags);
}

TEST_F(CfString, DecodesEachEncodingAndRejectsInvalidBytes) {
    EXPECT_EQ(units_of(decoded("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", kCFStringEncodingUTF8).get()),
              (std::vector<UniChar>{'a', 0xE9, 0x20AC, 0xD83D, 0xDE00}));
    const char *invalid_utf8[] = {
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong, three bytes
        "\xED\xA0\x80",      // a surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xE2\x82",          // cut short
        "\x80",              // a lone continuation byte
        "\xC3\x28",          // a lead byte without its continuation
    };
    for (const char *bytes : invalid_utf8) {
        EXPECT_FALSE(decoded(bytes, kCFStringEncodingUTF8)) << testing::PrintToString(bytes);
    }
    EXPECT_FALSE(decoded("caf\xE9", kCFStringEncodingASCII));
    EXPECT_EQ(UTF8FromCFString(decoded("caf\xE9", kCFStringEncodingISOLatin1).get()), "caf\xC3\xA9");
    // Mac Roman's upper half is its own: e-acute, bullet, euro, Apple logo, caron.
    EXPECT_EQ(units_of(decoded("\x8E\xA5\xDB\xF0\xFF", kCFStringEncodingMacRoman).get()),
              (std::vector<UniChar>{0xE9, 0x2022, 0x20AC, 0xF8FF, 0x02C7}));
    EXPECT_FALSE(decoded("text", 0x0C000000));  // an encoding not supported
}

TEST_F(CfString, DirectPointerOnlyWhenTheTextIsHeldByteForByte) {
    auto ascii = str("GlissorHelper.app");
    for (CFStringEncoding encoding : {kCFStringEncodingMacRoman, kCFStringEncodingASCII,
                                      kCFStringEncodingISOLatin1, kCFStringEncodingUTF8}) {
        const char *direct = CFStringGetCStringPtr(ascii.get(), encoding);
        ASSERT_NE(direct, nullptr) << encoding;
        EXPECT_STREQ(direct, "GlissorHelper.app");
    }
    auto accented = str("Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(CFStringGetCStringPtr(accented.get(), kCFStringEncodingMacRoman), nullptr);
    EXPECT_EQ(CFStringGetCStringPtr(accented.get(), kCFStringEncodingISOLatin1), nullptr);
    EXPECT_EQ(CFStringGetCStringPtr(accented.get(), kCFStringEncodingASCII), nullptr);
    EXPECT_STREQ(CFStringGetCStringPtr(accented.get(), kCFStringEncodingUTF8), "Caf\xC3\xA9 \xE2\x82\xAC");

    char buffer[16];
    ASSERT_TRUE(CFStringGetCString(accented.get(), buffer, sizeof buffer, kCFStringEncodingMacRoman));
    EXPECT_STREQ(buffer, "Caf\x8E \xDB");
    EXPECT_FALSE(CFStringGetCString(accented.get(), buffer, sizeof buffer, kCFStringEncodingISOLatin1))
        << "the euro sign is not in Latin-1";
    EXPECT_FALSE(CFStringGetCString(accented.get(), buffer, sizeof buffer, kCFStringEncodingASCII));
    EXPECT_FALSE(CFStringGetCString(str("\xF0\x9F\x98\x80").get(), buffer, sizeof buffer,
                                    kCFStringEncodingMacRoman));
    // The terminating NUL must fit too.
    EXPECT_FALSE(CFStringGetCString(ascii.get(), buffer, 17, kCFStringEncodingUTF8));
    char exact[18];
    EXPECT_TRUE(CFStringGetCString(ascii.get(), exact, sizeof exact, kCFStringEncodingUTF8));
    EXPECT_STREQ(exact, "GlissorHelper.app");
}

TEST_F(CfString, LengthsAreInUtf16CodeUnits) {
    auto text = str("a\xF0\x9F\x98\x80" "b");
    EXPECT_EQ(CFStringGetLength(text.get()), 4);
    EXPECT_EQ(CFStringGetCharacterAtIndex(text.get(), 1), 0xD83D);
    EXPECT_EQ(CFStringGetCharacterAtIndex(text.get(), 3), 'b');
    EXPECT_EQ(CFStringGetLength(CFSTR("")), 0);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingUTF8), 12);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingMacRoman), 4);
    EXPECT_EQ(CFStringGetMaximumSizeForEncoding(-1, kCFStringEncodingUTF8), kCFNotFound);
}

TEST_F(CfString, ComparesByCodeUnitAndFoldsCaseOnRequest) {
    EXPECT_EQ(compare("GlissorHelper.app", "glissorhelper.APP"), kCFCompareLessThan);
    EXPECT_EQ(compare("GlissorHelper.app", "glissorhelper.APP", kCFCompareCaseInsensitive),
              kCFCompareEqualTo);
    const char *folded_pairs[][2] = {
        {"\xC3\x89" "COLE \xC3\x98L", "\xC3\xA9" "cole \xC3\xB8l"},                      // Latin-1
        {"\xC5\x81\xC3\x93" "D\xC5\xB9", "\xC5\x82\xC3\xB3" "d\xC5\xBA"},               // Latin Ext-A
        {"\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91\xCE\xA3",
         "\xCF\x83\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1\xCF\x82"},                             // Greek
        {"\xD0\x9F\xD0\xA0\xD0\x98\xD0\x81\xD0\x9C", "\xD0\xBF\xD1\x80\xD0\xB8\xD1\x91\xD0\xBC"},  // Cyrillic
    };
    for (const auto &pair : folded_pairs) {
        EXPECT_EQ(compare(pair[0], pair[1], kCFCompareCaseInsensitive), kCFCompareEqualTo) << pair[0];
        EXPECT_NE(compare(pair[0], pair[1]), kCFCompareEqualTo) << pair[0];
    }
    // 'B' sorts before 'a' by code unit, after it once case is folded.
    EXPECT_EQ(compare("B", "a"), kCFCompareLessThan);
    EXPECT_EQ(compare("B", "a", kCFCompareCaseInsensitive), kCFCompareGreaterThan);
    EXPECT_EQ(compare("app", "apple"), kCFCompareLessThan);
    EXPECT_EQ(compare("apple", "app", kCFCompareCaseInsensitive), kCFCompareGreaterThan);
    // UTF-16 order, not code point order: a surrogate pair sorts below U+FF5E.
    EXPECT_EQ(compare("\xF0\x9F\x98\x80", "\xEF\xBD\x9E"), kCFCompareLessThan);
    EXPECT_EQ(compare("file10", "file9"), kCFCompareLessThan);
    EXPECT_EQ(compare("file10", "file9", kCFCompareNumerically), kCFCompareGreaterThan);
    EXPECT_EQ(compare("file007", "file7", kCFCompareNumerically), kCFCompareEqualTo);
}

TEST_F(CfString, SeparatesAtEveryOccurrence) {
    using Pieces = std::vector<std::string>;
    EXPECT_EQ(pieces_of("/Applications/Glissor.prefPane/GlissorHelper.app", "/"),
              (Pieces{"", "Applications", "Glissor.prefPane", "GlissorHelper.app"}));
    EXPECT_EQ(pieces_of("GlissorHelper.app", "/"), (Pieces{"GlissorHelper.app"}));
    EXPECT_EQ(pieces_of("Applications/", "/"), (Pieces{"Applications", ""}));
    EXPECT_EQ(pieces_of("", "/"), (Pieces{""}));
    EXPECT_EQ(pieces_of("a//b", "/"), (Pieces{"a", "", "b"}));
    EXPECT_EQ(pieces_of("a::b::", "::"), (Pieces{"a", "b", ""}));
    EXPECT_EQ(pieces_of("a/b", ""), (Pieces{"a/b"}));
    EXPECT_EQ(pieces_of("\xC3\xA9/\xF0\x9F\x98\x80", "/"), (Pieces{"\xC3\xA9", "\xF0\x9F\x98\x80"}));
}

TEST_F(CfString, EqualTextIsOneDictionaryKey) {
    auto first = str("MouseSpeed");
    auto second = str("MouseSpeed");
    ASSERT_NE(first.get(), second.get());
    EXPECT_PRED_FORMAT2(cf_equal, first.get(), second.get());
    EXPECT_EQ(CFHash(first.get()), CFHash(second.get()));
    EXPECT_EQ(CFHash(first.get()), CFHash(CFSTR("MouseSpeed")));
    EXPECT_FALSE(CFEqual(first.get(), CFSTR("mousespeed")));

    auto dictionary = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(dictionary.get(), first.get(), kCFBooleanTrue);
    CFDictionarySetValue(dictionary.get(), CFSTR("MouseSpeed"), kCFBooleanFalse);
    EXPECT_EQ(CFDictionaryGetCount(dictionary.get()), 1);
    EXPECT_EQ(CFDictionaryGetValue(dictionary.get(), second.get()), kCFBooleanFalse);
    EXPECT_FALSE(CFDictionaryContainsKey(dictionary.get(), CFSTR("TrackpadSpeed")));
}

TEST_F(CfString, PrefixesSuffixesAndCopies) {
    auto path = str("/Applications/GlissorHelper.app");
    EXPECT_TRUE(CFStringHasSuffix(path.get(), CFSTR(".app")));
    EXPECT_FALSE(CFStringHasSuffix(path.get(), CFSTR(".APP")));
    EXPECT_TRUE(CFStringHasPrefix(path.get(), CFSTR("/Applications")));
    EXPECT_FALSE(CFStringHasPrefix(CFSTR("/A"), path.get()));
    EXPECT_FALSE(CFStringHasPrefix(path.get(), CFSTR("")));
    // An immutable string is its own copy.
    auto copy = CFRef<CFStringRef>::adopt(CFStringCreateCopy(nullptr, path.get()));
    EXPECT_EQ(copy.get(), path.get());
    EXPECT_EQ(CFGetRetainCount(path.get()), 2);
}

TEST_F(CfString, FormatsAndReadsNumbers) {
    auto label = CFRef<CFStringRef>::adopt(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%.1fx"), 1.5));
    EXPECT_EQ(UTF8FromCFString(label.get()), "1.5x");
    auto mixed = CFRef<CFStringRef>::adopt(
        CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%d%% %s %5.2f"), 42, "caf\xC3\xA9", 2.0));
    EXPECT_EQ(UTF8FromCFString(mixed.get()), "42% caf\xC3\xA9  2.00");
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%@"), CFSTR("object")), nullptr);
    int written = 0;
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("ab%n"), &written), nullptr);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%s"), "\xFF"), nullptr)
        << "the result must be valid text";

    EXPECT_DOUBLE_EQ(CFStringGetDoubleValue(CFSTR("  1.5x")), 1.5);
    EXPECT_DOUBLE_EQ(CFStringGetDoubleValue(CFSTR("-2.5e3")), -2500.0);
    EXPECT_EQ(CFStringGetDoubleValue(CFSTR("fast")), 0.0);
    EXPECT_EQ(CFStringGetIntValue(CFSTR(" 42 apples")), 42);
    EXPECT_EQ(CFStringGetIntValue(CFSTR("-7")), -7);
    EXPECT_EQ(CFStringGetIntValue(CFSTR("99999999999")), INT32_MAX);
    EXPECT_EQ(CFStringGetIntValue(CFSTR("-99999999999")), INT32_MIN);
    EXPECT_EQ(CFStringGetIntValue(CFSTR("x1")), 0);
    // A decimal comma locale does not change how text reads.
    if (setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
        EXPECT_DOUBLE_EQ(CFStringGetDoubleValue(CFSTR("1.25")), 1.25);
        setlocale(LC_NUMERIC, "C");
    }
}

TEST_F(CfStringDeathTest, OutOfRangeAndWrongTypesStop) {
    EXPECT_DEATH(CFStringGetCharacterAtIndex(CFSTR("ab"), 2),
                 "CoreFoundation: CFStringGetCharacterAtIndex: index 2 out of range \\(length 2\\)");
    EXPECT_DEATH(CFStringGetLength(reinterpret_cast<CFStringRef>(kCFBooleanTrue)),
                 "CoreFoundation: CFStringGetLength: expected a CFString, got a CFBoolean");
    EXPECT_DEATH(CFStringCompare(CFSTR("a"), nullptr, CFStringCompareFlags{}), "CFStringCompare: NULL CFString");
}

}  // namespace
