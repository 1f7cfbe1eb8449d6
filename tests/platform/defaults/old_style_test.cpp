// The old-style property-list text `defaults write` reads, on its own: the
// nesting bound that keeps the parser within its stack, the printer's text
// parsing back to the same value, and every kept fuzz input.
#include "old_style.h"
#include "value_text.h"

#include <CFText.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

std::string nested_arrays(size_t depth) { return std::string(depth, '(') + std::string(depth, ')'); }

// Parsed text, printed and parsed again, is the same value.
void expect_round_trip(const std::string &text, CFPropertyListRef value) {
    std::string printed = value_text(value);
    auto again = parse_old_style(printed);
    ASSERT_TRUE(again) << text << " printed as " << printed << ": " << again.message();
    EXPECT_TRUE(CFEqual(again->get(), value)) << text << " printed as " << printed;
}

TEST(OldStyleText, NestingStopsAt512WithAReasonInsteadOfTheStack) {
    auto deepest = parse_old_style(nested_arrays(512));
    ASSERT_TRUE(deepest) << deepest.message();
    auto deeper = parse_old_style(nested_arrays(513));
    ASSERT_FALSE(deeper);
    EXPECT_EQ(deeper.message(), "containers nested deeper than 512 at offset 512");
    // Deep enough to overflow the stack of a parser without the bound.
    auto hostile = parse_old_style(nested_arrays(60000));
    ASSERT_FALSE(hostile);
    EXPECT_EQ(hostile.message(), "containers nested deeper than 512 at offset 512");
    std::string open_dictionaries;
    for (int i = 0; i < 100000; ++i) open_dictionaries += "{a=";
    auto dictionaries = parse_old_style(open_dictionaries);
    ASSERT_FALSE(dictionaries);
    EXPECT_NE(dictionaries.message().find("nested deeper than 512"), std::string::npos);
}

TEST(OldStyleText, ControlCharactersPrintAsEscapesThatReadBack) {
    const std::string text = "{ \"k\\001\" = \"a\\002b\\000c\\177\"; }";
    auto parsed = parse_old_style(text);
    ASSERT_TRUE(parsed) << parsed.message();
    auto dictionary = static_cast<CFDictionaryRef>(parsed->get());
    auto value = static_cast<CFStringRef>(CFDictionaryGetValue(dictionary, CFStringFromUTF8("k\x01").get()));
    ASSERT_TRUE(value);
    EXPECT_EQ(CFStringGetLength(value), 6);
    EXPECT_EQ(CFStringGetCharacterAtIndex(value, 3), 0) << "U+0000 kept inside the string";
    EXPECT_EQ(value_text(value), "\"a\\002b\\000c\\177\"");
    expect_round_trip(text, parsed->get());
}

TEST(OldStyleText, EveryKeptInputParsesOrIsRefusedWithAReason) {
    size_t files = 0, parsed_files = 0;
    for (const auto &item : std::filesystem::directory_iterator(OLD_STYLE_REGRESSIONS_DIR)) {
        std::ifstream in(item.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ++files;
        auto parsed = parse_old_style(text);
        if (!parsed) {
            EXPECT_FALSE(parsed.message().empty()) << item.path();
            continue;
        }
        ++parsed_files;
        expect_round_trip(text, parsed->get());
    }
    EXPECT_GE(files, 10u);
    EXPECT_GE(parsed_files, 5u);
}

}  // namespace
