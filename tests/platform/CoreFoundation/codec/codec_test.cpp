// The property-list codec against files made to hurt it, and the files kept
// from fuzzing: every one decodes within the limits, and whatever reads
// writes back to bytes that read the same.
#include "hostile_lists.h"
#include "property_list_codec.h"

#include <CFText.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using cfplist::DecodeStatus;

struct Read {
    CFRef<CFPropertyListRef> value;
    DecodeStatus status;
};

Read decode(const std::string &bytes, CFOptionFlags options = kCFPropertyListImmutable) {
    DecodeStatus status{};
    auto value = CFRef<CFPropertyListRef>::adopt(cfplist::decode_value(bytes.data(), bytes.size(), options, &status));
    return {value, status};
}

struct Domain {
    CFRef<CFDictionaryRef> dictionary;
    DecodeStatus status;
    CFIndex omitted;
};

Domain decode_domain(const std::string &bytes) {
    cfplist::DomainContents contents = cfplist::decode_domain(bytes.data(), bytes.size());
    return {CFRef<CFDictionaryRef>::adopt(contents.dictionary), contents.status, contents.omitted_entries};
}

// A string of the UTF-8 text; text with U+0000 (ASCII only) comes from a
// binary list, the one way to make such a string.
CFRef<CFStringRef> text(const std::string &utf8) {
    if (utf8.find('\0') == std::string::npos) return CFStringFromUTF8(utf8);
    std::string list = hostile::binary_list({hostile::ascii(utf8)});
    return CFRef<CFStringRef>::adopt(static_cast<CFStringRef>(
        cfplist::decode_value(list.data(), list.size(), kCFPropertyListImmutable, nullptr)));
}

CFTypeRef entry(CFDictionaryRef dictionary, const char *key) {
    return CFDictionaryGetValue(dictionary, text(key).get());
}

// Nested arrays around a true, depth deep, as values in memory.
CFRef<CFArrayRef> nested_arrays(int depth) {
    CFRef<CFTypeRef> inner = CFRef<CFTypeRef>::retain(kCFBooleanTrue);
    for (int i = 0; i < depth; ++i) {
        const void *item = inner.get();
        inner = CFRef<CFTypeRef>::adopt(CFArrayCreate(nullptr, &item, 1, &kCFTypeArrayCallBacks));
    }
    return CFRef<CFArrayRef>::retain(static_cast<CFArrayRef>(inner.get()));
}

TEST(PropertyListCodec, DeepNestingIsRefusedPerValueWithoutExhaustingTheStack) {
    EXPECT_EQ(decode(hostile::binary_nested(100000)).status, DecodeStatus::OverLimit);
    EXPECT_EQ(decode(hostile::xml_nested(30000)).status, DecodeStatus::OverLimit);
    // The limit itself: a value inside 512 containers reads, inside 513 not.
    EXPECT_EQ(decode(hostile::xml_nested(512)).status, DecodeStatus::Ok);
    EXPECT_EQ(decode(hostile::xml_nested(513)).status, DecodeStatus::OverLimit);
    EXPECT_EQ(decode(hostile::binary_nested(512)).status, DecodeStatus::Ok);
    EXPECT_EQ(decode(hostile::binary_nested(513)).status, DecodeStatus::OverLimit);

    // In a domain only the entry that is too deep is left out.
    for (const std::string &bytes : {hostile::binary_domain_with_deep_entry(100000),
                                     hostile::xml_domain_with_deep_entry(30000)}) {
        Domain domain = decode_domain(bytes);
        ASSERT_EQ(domain.status, DecodeStatus::Ok);
        EXPECT_EQ(domain.omitted, 1);
        EXPECT_EQ(CFDictionaryGetCount(domain.dictionary.get()), 2);
        EXPECT_TRUE(CFEqual(entry(domain.dictionary.get(), "z"), CFSTR("last")));
        EXPECT_EQ(entry(domain.dictionary.get(), "deep"), nullptr);
    }
    Domain shallow = decode_domain(hostile::xml_domain_with_deep_entry(3));
    EXPECT_EQ(shallow.omitted, 0);
    EXPECT_EQ(CFDictionaryGetCount(shallow.dictionary.get()), 3);

    // Writing: nesting past the limit, and a container holding itself, are refused.
    std::string out;
    EXPECT_TRUE(cfplist::encode_xml(nested_arrays(512).get(), out));
    EXPECT_FALSE(cfplist::encode_xml(nested_arrays(600).get(), out));
    EXPECT_FALSE(cfplist::encode_binary(nested_arrays(600).get(), out));
    auto loop = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(loop.get(), loop.get());
    EXPECT_FALSE(cfplist::encode_binary(loop.get(), out));
    CFArrayRemoveAllValues(loop.get());
}

TEST(PropertyListCodec, SharedReferencesStaySharedAndCannotExplode) {
    // Four levels of sixteen: 65,536 places, read without copying.
    Read modest = decode(hostile::binary_shared(4, 16));
    ASSERT_EQ(modest.status, DecodeStatus::Ok);
    auto top = static_cast<CFArrayRef>(modest.value.get());
    EXPECT_EQ(CFArrayGetValueAtIndex(top, 0), CFArrayGetValueAtIndex(top, 15)) << "one object, shared";
    std::string binary;
    ASSERT_TRUE(cfplist::encode_binary(modest.value.get(), binary));
    EXPECT_LT(binary.size(), 1000u) << "written shared again";

    // Twelve levels: a few hundred bytes whose written form has 16^12 strings.
    std::string bomb = hostile::binary_shared(12, 16);
    EXPECT_LT(bomb.size(), 1000u);
    EXPECT_EQ(decode(bomb).status, DecodeStatus::OverLimit);
    EXPECT_EQ(decode(bomb, kCFPropertyListMutableContainers).status, DecodeStatus::OverLimit);
    // Mutable containers cannot be shared, so a mutable read copies within a budget.
    EXPECT_EQ(decode(hostile::binary_shared(4, 16), kCFPropertyListMutableContainers).status, DecodeStatus::Ok);
    EXPECT_EQ(decode(hostile::binary_shared(6, 16), kCFPropertyListMutableContainers).status, DecodeStatus::OverLimit);

    EXPECT_EQ(decode(hostile::binary_list({hostile::array_of({1}), hostile::array_of({0})})).status,
              DecodeStatus::NotAPropertyList) << "a reference loop";
}

TEST(PropertyListCodec, TextXmlCannotHoldIsKeptWholeInBinary) {
    using hostile::ascii;
    std::string with_nul("a\0b", 3), bell("bell\a");
    Read read = decode(hostile::binary_list({hostile::dict_of({1, 2}, {3, 4}), ascii(with_nul), ascii("cr"),
                                             ascii(bell), hostile::utf16(u"line\r\nend\r")}));
    ASSERT_EQ(read.status, DecodeStatus::Ok);
    auto dictionary = static_cast<CFDictionaryRef>(read.value.get());
    EXPECT_TRUE(CFEqual(CFDictionaryGetValue(dictionary, text(with_nul).get()), text(bell).get()));

    std::string xml, file;
    EXPECT_FALSE(cfplist::encode_xml(dictionary, xml)) << "XML 1.0 has no form for U+0000 or BEL";
    ASSERT_TRUE(cfplist::encode_for_file(dictionary, file));
    EXPECT_TRUE(cfplist::is_binary_property_list(file.data(), file.size()));
    Read back = decode(file);
    ASSERT_EQ(back.status, DecodeStatus::Ok);
    EXPECT_TRUE(CFEqual(back.value.get(), dictionary)) << "nothing cut short";

    // CR survives XML, which turns raw CRs into LFs on reading.
    CFTypeRef lines = CFDictionaryGetValue(dictionary, CFSTR("cr"));
    ASSERT_TRUE(cfplist::encode_for_file(lines, file));
    EXPECT_FALSE(cfplist::is_binary_property_list(file.data(), file.size()));
    EXPECT_NE(file.find("line&#13;\nend&#13;"), std::string::npos) << file;
    EXPECT_TRUE(CFEqual(decode(file).value.get(), lines));

    // Text that is not well formed never reads, so it is never written out raw.
    EXPECT_EQ(decode(hostile::binary_list({hostile::utf16(u"a\xD800" "b")})).status, DecodeStatus::NotAPropertyList);
    EXPECT_EQ(decode(hostile::binary_list({ascii("caf\xE9")})).status, DecodeStatus::NotAPropertyList);
    EXPECT_EQ(decode("<plist><string>\xC3\x28</string></plist>").status, DecodeStatus::NotAPropertyList);
    EXPECT_EQ(decode("<plist><string>a&#0;b</string></plist>").status, DecodeStatus::NotAPropertyList);
    Read escaped = decode("<plist><string>&lt;&#x263A;&#65;<![CDATA[<&>]]><!-- no --></string></plist>");
    ASSERT_EQ(escaped.status, DecodeStatus::Ok);
    EXPECT_TRUE(CFEqual(escaped.value.get(), text("<\xE2\x98\xBA" "A<&>").get()));
}

TEST(PropertyListCodec, WhateverReadsWritesBackTheSame) {
    Read values = decode(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [ <!ENTITY x \"y\"> ]>\n<plist version=\"1.0\"><dict>"
        "<key>real</key><real>2.5</real><key>big</key><real>1e400</real><key>int</key><integer>-9</integer>"
        "<key>hex</key><integer>0x10</integer><key>unsigned</key><integer>18446744073709551615</integer>"
        "<key>date</key><date>1900-02-28T23:59:59Z</date><key>data</key><data>AAEC\n/w==</data>"
        "<key>empty</key><array/><key>no</key><false/></dict></plist>");
    ASSERT_EQ(values.status, DecodeStatus::Ok);
    auto dictionary = static_cast<CFDictionaryRef>(values.value.get());
    SInt64 all_ones = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(entry(dictionary, "unsigned")), kCFNumberSInt64Type, &all_ones);
    EXPECT_EQ(all_ones, -1) << "unsigned 64-bit values keep their bits";
    double big = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(entry(dictionary, "big")), kCFNumberDoubleType, &big);
    EXPECT_TRUE(std::isinf(big));
    for (bool binary : {false, true}) {
        std::string bytes;
        ASSERT_TRUE(binary ? cfplist::encode_binary(dictionary, bytes) : cfplist::encode_xml(dictionary, bytes));
        Read back = decode(bytes);
        ASSERT_EQ(back.status, DecodeStatus::Ok) << bytes;
        EXPECT_TRUE(CFEqual(back.value.get(), dictionary)) << bytes;
    }
    // A date with a fraction of a second goes to binary, which keeps it.
    auto moment = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 12.25));
    std::string file;
    ASSERT_TRUE(cfplist::encode_for_file(moment.get(), file));
    EXPECT_EQ(CFDateGetAbsoluteTime(static_cast<CFDateRef>(decode(file).value.get())), 12.25);
}

TEST(PropertyListCodec, LargeInputsStayLinearAndBounded) {
    Domain keys = decode_domain(hostile::binary_dictionary(100000));
    ASSERT_EQ(keys.status, DecodeStatus::Ok);
    EXPECT_EQ(CFDictionaryGetCount(keys.dictionary.get()), 100000);
    Domain xml_keys = decode_domain(hostile::xml_dictionary(50000));
    ASSERT_EQ(xml_keys.status, DecodeStatus::Ok);
    EXPECT_EQ(CFDictionaryGetCount(xml_keys.dictionary.get()), 50000);

    // Past the size limit a file reads as over the limit, at once.
    std::string huge(size_t{65} << 20, ' ');
    EXPECT_EQ(decode(huge).status, DecodeStatus::OverLimit);

    // Deep nesting does not make the written text grow with the square of
    // the depth: indentation stops growing.
    auto many = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (int i = 0; i < 1000; ++i) CFArrayAppendValue(many.get(), kCFBooleanTrue);
    CFRef<CFTypeRef> deep = CFRef<CFTypeRef>::retain(many.get());
    for (int i = 0; i < 500; ++i) {
        const void *item = deep.get();
        deep = CFRef<CFTypeRef>::adopt(CFArrayCreate(nullptr, &item, 1, &kCFTypeArrayCallBacks));
    }
    std::string out;
    ASSERT_TRUE(cfplist::encode_xml(deep.get(), out));
    EXPECT_LT(out.size(), 200000u);
    EXPECT_EQ(decode(out).status, DecodeStatus::Ok);
}

// Every file kept in the corpus (the hostile cases and what fuzzing found)
// decodes without harm, and what reads survives the domain round trip.
TEST(PropertyListCodec, KeptRegressionFilesDecodeSafely) {
    size_t files = 0, readable = 0;
    for (const auto &item : std::filesystem::directory_iterator(CODEC_REGRESSIONS_DIR)) {
        std::ifstream in(item.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ++files;
        Read read = decode(bytes, kCFPropertyListMutableContainers);
        EXPECT_EQ(static_cast<bool>(read.value), read.status == DecodeStatus::Ok) << item.path();
        Domain domain = decode_domain(bytes);
        if (domain.status != DecodeStatus::Ok) continue;
        ++readable;
        std::string written;
        ASSERT_TRUE(cfplist::encode_for_file(domain.dictionary.get(), written)) << item.path();
        Domain again = decode_domain(written);
        EXPECT_TRUE(again.dictionary && CFEqual(again.dictionary.get(), domain.dictionary.get())) << item.path();
    }
    EXPECT_GE(files, hostile::small_hostile_lists().size());
    EXPECT_GE(readable, 1u);
}

}  // namespace
