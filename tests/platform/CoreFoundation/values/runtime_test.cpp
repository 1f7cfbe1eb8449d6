// The runtime: ownership, immortal constants, types, and loud misuse.
#include "values_test_util.h"

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace values_test;

class CfRuntime : public glissor_test::LiveValueTest {};
class CfRuntimeDeathTest : public glissor_test::LiveValueTest {};

TEST_F(CfRuntime, CreatedValuesAreOwnedAndFreedByTheLastRelease) {
    CFIndex live = CFTestingLiveValueCount();
    CFStringRef text = CFStringCreateWithCString(nullptr, "owned", kCFStringEncodingUTF8);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(CFGetRetainCount(text), 1);
    EXPECT_EQ(CFTestingLiveValueCount(), live + 1);

    EXPECT_EQ(CFRetain(text), text);
    EXPECT_EQ(CFGetRetainCount(text), 2);
    CFRelease(text);
    EXPECT_EQ(CFGetRetainCount(text), 1);
    EXPECT_EQ(CFTestingLiveValueCount(), live + 1);
    CFRelease(text);
    EXPECT_EQ(CFTestingLiveValueCount(), live);
}

TEST_F(CfRuntime, ConstantsAreImmortalAndUncounted) {
    CFIndex live = CFTestingLiveValueCount();
    CFStringRef constant = CFSTR("an immortal literal");
    const CFTypeRef immortals[] = {constant, kCFBooleanTrue, kCFBooleanFalse, kCFPreferencesCurrentUser};
    for (CFTypeRef value : immortals) {
        CFIndex count = CFGetRetainCount(value);
        EXPECT_GT(count, CFIndex{1} << 40) << describe(value);
        CFRetain(value);
        CFRelease(value);
        CFRelease(value);
        EXPECT_EQ(CFGetRetainCount(value), count) << describe(value);
    }
    EXPECT_EQ(CFTestingLiveValueCount(), live);
    EXPECT_EQ(UTF8FromCFString(constant), "an immortal literal");
}

TEST_F(CfRuntime, LiteralsAreInternedAcrossThreadsButScopeConstantsAreDistinct) {
    std::vector<CFStringRef> seen(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) {
        threads.emplace_back([&seen, i] { seen[i] = CFSTR("interned from many threads"); });
    }
    for (std::thread &thread : threads) thread.join();
    for (CFStringRef string : seen) EXPECT_EQ(string, CFSTR("interned from many threads"));

    // A scope constant has its own identity even where a literal has its text.
    std::string scope_text = UTF8FromCFString(kCFPreferencesCurrentUser);
    ASSERT_FALSE(scope_text.empty());
    CFStringRef literal = __CFStringMakeConstantString(scope_text.c_str());
    EXPECT_NE(literal, kCFPreferencesCurrentUser);
    EXPECT_PRED_FORMAT2(cf_equal, literal, kCFPreferencesCurrentUser);
    EXPECT_NE(kCFPreferencesCurrentUser, kCFPreferencesAnyUser);
}

TEST_F(CfRuntime, EachTypeHasItsOwnIdAndName) {
    auto array = CFRef<CFArrayRef>::adopt(CFArrayCreate(nullptr, nullptr, 0, &kCFTypeArrayCallBacks));
    auto dictionary = CFRef<CFDictionaryRef>::adopt(
        CFDictionaryCreate(nullptr, nullptr, nullptr, 0, nullptr, nullptr));
    auto data = CFRef<CFDataRef>::adopt(CFDataCreate(nullptr, nullptr, 0));
    auto date = CFRef<CFDateRef>::adopt(CFDateCreate(nullptr, 0));
    auto one = number(kCFNumberIntType, 1);
    struct Case {
        CFTypeRef value;
        CFTypeID type;
        const char *name;
    } cases[] = {
        {CFSTR("s"), CFStringGetTypeID(), "CFString"},
        {one.get(), CFNumberGetTypeID(), "CFNumber"},
        {kCFBooleanTrue, CFBooleanGetTypeID(), "CFBoolean"},
        {array.get(), CFArrayGetTypeID(), "CFArray"},
        {dictionary.get(), CFDictionaryGetTypeID(), "CFDictionary"},
        {data.get(), CFDataGetTypeID(), "CFData"},
        {date.get(), CFDateGetTypeID(), "CFDate"},
    };
    std::set<CFTypeID> ids;
    for (const Case &c : cases) {
        EXPECT_EQ(CFGetTypeID(c.value), c.type) << c.name;
        auto name = CFRef<CFStringRef>::adopt(CFCopyTypeIDDescription(c.type));
        EXPECT_EQ(UTF8FromCFString(name.get()), c.name);
        ids.insert(c.type);
    }
    EXPECT_EQ(ids.size(), std::size(cases));
    EXPECT_EQ(CFCopyTypeIDDescription(0), nullptr);
    EXPECT_EQ(CFCopyTypeIDDescription(100000), nullptr);
}

TEST_F(CfRuntimeDeathTest, MisuseStopsTheProcessWithOneLine) {
    EXPECT_DEATH(CFRelease(nullptr), "CoreFoundation: CFRelease: NULL reference");
    EXPECT_DEATH(CFRetain(nullptr), "CoreFoundation: CFRetain: NULL reference");
    EXPECT_DEATH(CFEqual(nullptr, CFSTR("x")), "CoreFoundation: CFEqual: NULL");
    ASSERT_TRUE(CFTestingChecksLiveValues()) << "run with CF_CHECK_LIVE_VALUES=1, as ctest does";
    EXPECT_DEATH(
        {
            CFStringRef text = CFStringCreateWithCString(nullptr, "twice", kCFStringEncodingUTF8);
            CFRelease(text);
            CFRelease(text);
        },
        "CoreFoundation: CFRelease: .* is not a live value \\(over-released");
    EXPECT_DEATH(CFArrayGetCount(reinterpret_cast<CFArrayRef>(CFSTR("not an array"))),
                 "CoreFoundation: CFArrayGetCount: expected a CFArray, got a CFString");
    EXPECT_DEATH(CFBooleanGetValue(reinterpret_cast<CFBooleanRef>(number(kCFNumberIntType, 1).get())),
                 "CoreFoundation: CFBooleanGetValue: expected a CFBoolean, got a CFNumber");
}

}  // namespace
