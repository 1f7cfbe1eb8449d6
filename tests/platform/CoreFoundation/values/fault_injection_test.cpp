// Allocation failures: every Create and Copy gives NULL and leaves nothing
// behind, whichever of its allocations fails.
#include "values_test_util.h"

#include <cstring>

namespace {

using namespace values_test;

class CfFaultInjection : public glissor_test::LiveValueTest {};

const char kNestedList[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<plist version=\"1.0\"><dict>"
    "<key>AutoLaunchedApplicationDictionary</key><array>"
    "<dict><key>Path</key><string>/A.app</string><key>Hide</key><true/></dict>"
    "<dict><key>Path</key><string>/B.app</string><key>Hide</key><false/>"
    "<key>Extra</key><array><integer>-3</integer><real>1.5</real><date>2001-01-01T00:00:00Z</date>"
    "<data>AAEC</data></array></dict>"
    "</array></dict></plist>";

CFRef<CFDataRef> nested_list_data() {
    return CFRef<CFDataRef>::adopt(
        CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(kNestedList), strlen(kNestedList)));
}

TEST_F(CfFaultInjection, TheNthAllocationFromNowFailsOnce) {
    CFTestingFailAllocation(2);
    CFIndex before = CFTestingAllocationCount();
    auto first = str("first");
    auto second = str("second");
    auto third = str("third");
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_TRUE(third);
    EXPECT_EQ(CFTestingAllocationCount() - before, 3) << "a failed allocation is counted too";

    CFTestingFailAllocation(1);
    CFTestingFailAllocation(0);
    EXPECT_TRUE(str("disarmed"));
    // Constants never fail: they are not value allocations.
    CFTestingFailAllocation(1);
    EXPECT_NE(CFSTR("a constant made while an allocation is to fail"), nullptr);
    EXPECT_FALSE(str("the armed failure is still pending"));
}

TEST_F(CfFaultInjection, EveryCreateFailsCleanly) {
    auto path = str("/Applications/Glissor.prefPane/Contents/Resources/GlissorHelper.app");
    auto list = nested_list_data();
    auto tree = CFRef<CFPropertyListRef>::adopt(
        CFPropertyListCreateWithData(nullptr, list.get(), kCFPropertyListImmutable, nullptr, nullptr));
    ASSERT_TRUE(tree);
    const void *record_keys[] = {CFSTR("Path"), CFSTR("Hide")};
    const void *record_values[] = {path.get(), kCFBooleanTrue};
    float speed = 1.5f;
    const UInt8 bytes[] = {1, 2, 3};

    const std::pair<const char *, Maker> makers[] = {
        {"CFStringCreateWithCString", [] { return CFStringCreateWithCString(nullptr, "x", kCFStringEncodingMacRoman); }},
        {"CFStringCreateWithFormat", [] { return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%.1fx"), 1.5); }},
        {"CFStringCreateArrayBySeparatingStrings",
         [&] { return CFStringCreateArrayBySeparatingStrings(nullptr, path.get(), CFSTR("/")); }},
        {"CFStringCreateArrayBySeparatingStrings (one piece)",
         [] { return CFStringCreateArrayBySeparatingStrings(nullptr, CFSTR("whole"), CFSTR("/")); }},
        {"CFNumberCreate", [&] { return CFNumberCreate(nullptr, kCFNumberFloatType, &speed); }},
        {"CFDataCreate", [&] { return CFDataCreate(nullptr, bytes, 3); }},
        {"CFDateCreate", [] { return CFDateCreate(nullptr, 1.0); }},
        {"CFArrayCreate", [&] { return CFArrayCreate(nullptr, record_values, 2, &kCFTypeArrayCallBacks); }},
        {"CFArrayCreateMutableCopy",
         [&] { return CFArrayCreateMutableCopy(nullptr, 0, static_cast<CFArrayRef>(CFDictionaryGetValue(
                                                               static_cast<CFDictionaryRef>(tree.get()),
                                                               CFSTR("AutoLaunchedApplicationDictionary")))); }},
        {"CFDictionaryCreate",
         [&] {
             return CFDictionaryCreate(nullptr, record_keys, record_values, 2, &kCFTypeDictionaryKeyCallBacks,
                                       &kCFTypeDictionaryValueCallBacks);
         }},
        {"CFDictionaryCreateMutableCopy",
         [&] { return CFDictionaryCreateMutableCopy(nullptr, 0, static_cast<CFDictionaryRef>(tree.get())); }},
        {"CFCopyDescription", [&] { return CFCopyDescription(tree.get()); }},
        {"CFPropertyListCreateWithData",
         [&] { return CFPropertyListCreateWithData(nullptr, list.get(), 0, nullptr, nullptr); }},
        {"CFPropertyListCreateWithData (mutable)",
         [&] {
             return CFPropertyListCreateWithData(nullptr, list.get(), kCFPropertyListMutableContainers, nullptr,
                                                 nullptr);
         }},
        {"CFPropertyListCreateData",
         [&] { return CFPropertyListCreateData(nullptr, tree.get(), kCFPropertyListBinaryFormat_v1_0, 0, nullptr); }},
    };
    for (const auto &[name, make] : makers) expect_each_failure_is_clean(name, make);
}

}  // namespace
