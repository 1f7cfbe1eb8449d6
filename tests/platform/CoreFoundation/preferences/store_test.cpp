// What callers of the preference service rely on, in one process and
// across processes.
#include "prefs_test_util.h"
#include "process.h"

#include <CoreFoundation/CFPreferencesPrivate.h>

#include <plist/plist.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <sstream>

using namespace glissor_test;
using namespace prefs_test;

namespace {

const std::string kDomain = "org.example.prefs-test";

class PreferencesTest : public LiveValueTest {
protected:
    TempHome home;
    std::string domain_file() const { return home.preferences_dir() + "/" + kDomain + ".plist"; }
};

TEST_F(PreferencesTest, AbsentKeysAndDomainsAreNullNotErrors) {
    EXPECT_FALSE(copy_app_value("MouseSpeed", kDomain));
    EXPECT_FALSE(CFPreferencesCopyKeyList(cf(kDomain).get(), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    auto all = CFRef<CFDictionaryRef>::adopt(
        CFPreferencesCopyMultiple(nullptr, cf(kDomain).get(), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    ASSERT_TRUE(all);
    EXPECT_EQ(CFDictionaryGetCount(all.get()), 0);
    // Synchronizing with nothing pending succeeds and writes nothing.
    EXPECT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_FALSE(file_exists(domain_file()));
}

TEST_F(PreferencesTest, PendingChangesAreSeenFirstAndNullRemoves) {
    ASSERT_TRUE(store("Kept", int_number(1).get(), kDomain));
    ASSERT_TRUE(store("Gone", int_number(2).get(), kDomain));

    CFPreferencesSetAppValue(cf("Kept").get(), int_number(3).get(), cf(kDomain).get());
    CFPreferencesSetAppValue(cf("Gone").get(), nullptr, cf(kDomain).get());
    EXPECT_EQ(int_of(copy_app_value("Kept", kDomain).get()), 3) << "pending value first";
    EXPECT_FALSE(copy_app_value("Gone", kDomain)) << "pending removal hides the stored value";
    EXPECT_EQ(read_file(domain_file()).find("<integer>3</integer>"), std::string::npos)
        << "nothing reaches the file before synchronize";

    ASSERT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    std::string text = read_file(domain_file());
    EXPECT_NE(text.find("<key>Kept</key>"), std::string::npos);
    EXPECT_EQ(text.find("<key>Gone</key>"), std::string::npos);
}

TEST_F(PreferencesTest, AnotherProcessesWriteIsSeenAtOnce) {
    ASSERT_TRUE(store("Speed", int_number(1).get(), kDomain));
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 1);
    auto result = run_process({bin_path("defaults"), "write", kDomain, "Speed", "-int", "7"}, {.env = home.env()});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 7);
}

TEST_F(PreferencesTest, FloatsComeBackBitForBitInAFreshProcess) {
    std::vector<float> values = {1.0f, 0.5f, -1.0f, 0.0f, -0.0f, 1.1f, 1.5f, 3.0f, FLT_MAX, -FLT_MAX,
                                 FLT_MIN, FLT_TRUE_MIN, 1e-40f, 32767.998f, 123456.789f, 1.0f / 3.0f};
    std::mt19937 random(42);
    std::uniform_int_distribution<uint32_t> any_bits;
    while (values.size() < 1000) {
        uint32_t bits = any_bits(random);
        float value;
        memcpy(&value, &bits, sizeof value);
        if (std::isfinite(value)) values.push_back(value);
    }
    std::map<std::string, uint32_t> expected;
    for (size_t i = 0; i < values.size(); ++i) {
        std::string key = "f" + std::to_string(i);
        CFPreferencesSetAppValue(cf(key).get(), float_number(values[i]).get(), cf(kDomain).get());
        memcpy(&expected[key], &values[i], sizeof(uint32_t));
    }
    ASSERT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));

    auto result = run_process({PREFERENCES_PROBE, "dump-floats", kDomain}, {.env = home.env()});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    std::map<std::string, uint32_t> seen;
    std::istringstream lines(result.out);
    std::string key, bits, extra;
    while (lines >> key >> bits) seen[key] = static_cast<uint32_t>(std::stoul(bits, nullptr, 16));
    EXPECT_EQ(result.out.find("inexact"), std::string::npos) << "a float did not convert back exactly";
    EXPECT_EQ(seen, expected);
}

TEST_F(PreferencesTest, ScopesAreKeptApartInTheirOwnFiles) {
    struct Scope {
        CFStringRef user, host;
        int value;
    };
    const Scope scopes[] = {{kCFPreferencesCurrentUser, kCFPreferencesAnyHost, 1},
                            {kCFPreferencesCurrentUser, kCFPreferencesCurrentHost, 2},
                            {kCFPreferencesAnyUser, kCFPreferencesAnyHost, 3},
                            {kCFPreferencesAnyUser, kCFPreferencesCurrentHost, 4}};
    for (const auto &scope : scopes) {
        CFPreferencesSetValue(cf("Which").get(), int_number(scope.value).get(), cf(kDomain).get(), scope.user, scope.host);
        ASSERT_TRUE(CFPreferencesSynchronize(cf(kDomain).get(), scope.user, scope.host));
    }
    for (const auto &scope : scopes) {
        auto value = CFRef<CFPropertyListRef>::adopt(
            CFPreferencesCopyValue(cf("Which").get(), cf(kDomain).get(), scope.user, scope.host));
        EXPECT_EQ(int_of(value.get()), scope.value);
    }
    EXPECT_TRUE(parses_as_dictionary(domain_file()));
    EXPECT_TRUE(parses_as_dictionary(home.system_dir() + "/" + kDomain + ".plist"));
    // Programs that look at the files themselves find them in the scope's
    // directory, the per-host ones by the name the store gives this machine.
    auto host = CFRef<CFStringRef>::adopt(CFPreferencesCopyHostIdentifier());
    ASSERT_FALSE(UTF8FromCFString(host.get()).empty());
    std::string host_suffix = "." + UTF8FromCFString(host.get()) + ".plist";
    for (const auto &scope : scopes) {
        auto dir = CFRef<CFStringRef>::adopt(CFPreferencesCopyDomainDirectory(scope.user, scope.host));
        bool any_host = scope.host == kCFPreferencesAnyHost;
        EXPECT_TRUE(parses_as_dictionary(UTF8FromCFString(dir.get()) + "/" + kDomain +
                                         (any_host ? ".plist" : host_suffix)))
            << UTF8FromCFString(dir.get());
    }
    EXPECT_EQ(UTF8FromCFString(CFRef<CFStringRef>::adopt(CFPreferencesCopyDomainDirectory(
                                   kCFPreferencesCurrentUser, kCFPreferencesAnyHost)).get()),
              home.preferences_dir());
    EXPECT_EQ(CFPreferencesCopyDomainDirectory(cf("somebody").get(), kCFPreferencesAnyHost), nullptr);
    EXPECT_EQ(int_of(copy_app_value("Which", kDomain).get()), 1) << "App calls use the current user, any host";

    // The scope constants are distinct, immortal references, not shared with
    // literals of the same text; any other name is not a scope.
    EXPECT_NE(kCFPreferencesCurrentUser, kCFPreferencesAnyUser);
    EXPECT_NE(kCFPreferencesCurrentUser, CFSTR("kCFPreferencesCurrentUser"));
    CFIndex count = CFGetRetainCount(kCFPreferencesCurrentUser);
    CFRelease(CFRetain(kCFPreferencesCurrentUser));
    CFRelease(kCFPreferencesCurrentUser);
    EXPECT_EQ(CFGetRetainCount(kCFPreferencesCurrentUser), count);
    EXPECT_FALSE(CFPreferencesSynchronize(cf(kDomain).get(), cf("somebody").get(), kCFPreferencesAnyHost));
}

TEST_F(PreferencesTest, DomainNamesThatCouldLeaveTheDirectoryAreRefused) {
    for (std::string name : {"../escaped", "a/b", ".hidden", ""}) {
        CFPreferencesSetAppValue(cf("Key").get(), int_number(1).get(), cf(name).get());
        EXPECT_FALSE(CFPreferencesAppSynchronize(cf(name).get())) << name;
        EXPECT_FALSE(copy_app_value("Key", name)) << name;
    }
    EXPECT_FALSE(file_exists(home.home() + "/Library/escaped.plist"));
}

TEST_F(PreferencesTest, BinaryPropertyListsAreRead) {
    plist_t root = plist_new_dict();
    plist_dict_set_item(root, "MouseSpeed", plist_new_real(1.5));
    plist_dict_set_item(root, "Name", plist_new_string("caf\xc3\xa9"));
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    write_file(domain_file(), std::string(bytes, length));
    plist_to_bin_free(bytes);
    plist_free(root);

    auto speed = copy_app_value("MouseSpeed", kDomain);
    float value = 0;
    ASSERT_TRUE(speed);
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(speed.get()), kCFNumberFloatType, &value));
    EXPECT_EQ(value, 1.5f);
    EXPECT_EQ(UTF8FromCFString(static_cast<CFStringRef>(copy_app_value("Name", kDomain).get())), "caf\xc3\xa9");
    // A write keeps the other keys and turns the file into XML.
    ASSERT_TRUE(store("TrackpadSpeed", float_number(2.0f).get(), kDomain));
    EXPECT_NE(read_file(domain_file()).find("<key>Name</key>"), std::string::npos);
}

std::string synchronize_failure(const std::string &domain) {
    auto why = CFRef<CFStringRef>::adopt(
        CFPreferencesCopySynchronizeFailure(cf(domain).get(), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    return why ? UTF8FromCFString(why.get()) : std::string("(none)");
}

// An array nested depth deep around one string.
CFRef<CFPropertyListRef> nested_arrays(int depth) {
    auto value = CFRef<CFPropertyListRef>::retain(CFSTR("inner"));
    for (int i = 0; i < depth; ++i) {
        const void *item = value.get();
        value = CFRef<CFPropertyListRef>::adopt(CFArrayCreate(nullptr, &item, 1, &kCFTypeArrayCallBacks));
    }
    return value;
}

TEST_F(PreferencesTest, AValueThatCannotBeStoredFailsTheSynchronizeAndWritesNothing) {
    ASSERT_TRUE(store("Kept", int_number(1).get(), kDomain));
    const std::string before = read_file(domain_file());

    auto bad = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(bad.get(), int_number(1).get(), int_number(2).get());  // non-string key
    CFPreferencesSetAppValue(cf("Bad").get(), bad.get(), cf(kDomain).get());
    CFPreferencesSetAppValue(cf("Good").get(), int_number(5).get(), cf(kDomain).get());
    EXPECT_FALSE(CFPreferencesAppSynchronize(cf(kDomain).get())) << "reported stored without the value";
    EXPECT_EQ(read_file(domain_file()), before) << "the file changed";
    EXPECT_EQ(synchronize_failure(kDomain),
              "the value of key Bad cannot be stored: it holds a dictionary key that is not a string");
    // The value that never could be stored is forgotten; the rest is still
    // pending and written by the next synchronize.
    EXPECT_FALSE(copy_app_value("Bad", kDomain));
    EXPECT_EQ(int_of(copy_app_value("Good", kDomain).get()), 5);
    ASSERT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_EQ(synchronize_failure(kDomain), "(none)");
    EXPECT_NE(read_file(domain_file()).find("<key>Good</key>"), std::string::npos);

    // Nested deeper than a file may hold (one more level than the value's
    // own, inside the domain): the same.
    const std::string written = read_file(domain_file());
    EXPECT_FALSE(store("Deep", nested_arrays(512).get(), kDomain));
    EXPECT_EQ(synchronize_failure(kDomain), "the value of key Deep cannot be stored: it is nested deeper than 512 containers");
    EXPECT_EQ(read_file(domain_file()), written);
    EXPECT_FALSE(copy_app_value("Deep", kDomain));
    // One level less fits.
    EXPECT_TRUE(store("Deep", nested_arrays(511).get(), kDomain));
}

TEST_F(PreferencesTest, TextWithControlCharactersIsWrittenInBinaryAndReadsBackEqual) {
    std::string text;
    for (char c = 1; c < 0x20; ++c)
        if (c != '\t' && c != '\n' && c != '\r') text += c;
    auto value = cf("a" + text + "b");
    ASSERT_TRUE(value);
    ASSERT_TRUE(store("Text", value.get(), kDomain)) << synchronize_failure(kDomain);
    const std::string bytes = read_file(domain_file());
    ASSERT_EQ(bytes.compare(0, 8, "bplist00"), 0) << "not written as a binary list";
    // Read back from the file, by the store and by another reader.
    CFTestingForgetPreferenceCaches();
    EXPECT_TRUE(CFEqual(copy_app_value("Text", kDomain).get(), value.get()));
    plist_t root = nullptr;
    plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
    ASSERT_TRUE(root);
    char *stored = nullptr;
    plist_get_string_val(plist_dict_get_item(root, "Text"), &stored);
    EXPECT_EQ(std::string(stored ? stored : ""), "a" + text + "b");
    free(stored);
    plist_free(root);
    // A later write of a plain value keeps the binary form while it is needed.
    ASSERT_TRUE(store("Speed", float_number(1.5f).get(), kDomain));
    CFTestingForgetPreferenceCaches();
    EXPECT_TRUE(CFEqual(copy_app_value("Text", kDomain).get(), value.get()));
}

}  // namespace
