// Numbers in files and formats under a locale that writes decimals with a
// comma: nothing the value layer reads or writes may follow it.
#include "property_list_codec.h"

#include <CFText.h>
#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

// The process locale set to German for one test, as GTK sets it from the
// environment; scripts/install-deps.sh makes the locale on machines without it.
class DecimalCommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = setlocale(LC_ALL, nullptr);
        ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
            << "the de_DE.UTF-8 locale is missing: run scripts/install-deps.sh";
        ASSERT_EQ(localeconv()->decimal_point, std::string(",")) << "the locale really writes a comma";
    }
    void TearDown() override { setlocale(LC_ALL, previous_.c_str()); }

private:
    std::string previous_;
};

double real_in(CFPropertyListRef value) {
    double real = -1;
    CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberDoubleType, &real);
    return real;
}

TEST_F(DecimalCommaLocale, FileRealsAndFormattedNumbersKeepTheirPoint) {
    std::string file =
        "<plist version=\"1.0\"><dict><key>Speed</key><real>2.5</real><key>Scroll</key><real>0.75</real>"
        "<key>Small</key><real>1.5e-3</real></dict></plist>";
    cfplist::DomainContents read = cfplist::decode_domain(file.data(), file.size());
    ASSERT_EQ(read.status, cfplist::DecodeStatus::Ok);
    auto domain = CFRef<CFDictionaryRef>::adopt(read.dictionary);
    EXPECT_EQ(real_in(CFDictionaryGetValue(domain.get(), CFSTR("Speed"))), 2.5);
    EXPECT_EQ(real_in(CFDictionaryGetValue(domain.get(), CFSTR("Scroll"))), 0.75);
    EXPECT_EQ(real_in(CFDictionaryGetValue(domain.get(), CFSTR("Small"))), 0.0015);

    std::string written;
    ASSERT_TRUE(cfplist::encode_xml(domain.get(), written));
    EXPECT_NE(written.find("<real>2.5</real>"), std::string::npos) << written;
    EXPECT_NE(written.find("<real>0.75</real>"), std::string::npos) << written;

    auto label = CFRef<CFStringRef>::adopt(CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%.1fx %g"), 2.5, 0.75));
    ASSERT_TRUE(label);
    EXPECT_EQ(UTF8FromCFString(label.get()), "2.5x 0.75");
    EXPECT_EQ(CFStringGetDoubleValue(CFSTR("0.75")), 0.75);
    auto moment = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 1.5e300));  // shown as a number
    auto description = CFRef<CFStringRef>::adopt(CFCopyDescription(moment.get()));
    EXPECT_EQ(UTF8FromCFString(description.get()).find(','), std::string::npos) << UTF8FromCFString(description.get());
}

}  // namespace
