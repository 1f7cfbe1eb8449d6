// The login items list over real preference files.
#include "LoginItems.h"
#include "temp_home.h"

#include <CFText.h>
#include <CoreFoundation/CFTesting.h>

#include "process.h"

#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

using namespace glissor_test;

namespace {

class LoginItems : public LiveValueTest {
protected:
    TempHome home;
    CFStringRef user = kCFPreferencesCurrentUser;

    std::string list_file() const { return home.preferences_dir() + "/loginwindow.plist"; }

    void add(const char *path, int hide = 1) {
        ASSERT_TRUE(AddLoginItemWithPropertiesToUser(user, CFStringFromUTF8(path).get(), hide)) << path;
    }
    std::string property(int selector, int index) {
        auto text = CFRef<CFStringRef>::adopt(CopyLoginItemPropertyAtIndex(user, selector, index));
        return text ? UTF8FromCFString(text.get()) : "<nothing>";
    }
    // Stores any value under the list's key, as another writer might.
    void store_raw(CFPropertyListRef value) {
        CFPreferencesSetValue(CFSTR("AutoLaunchedApplicationDictionary"), value, CFSTR("loginwindow"), user,
                              kCFPreferencesAnyHost);
        ASSERT_TRUE(CFPreferencesSynchronize(CFSTR("loginwindow"), user, kCFPreferencesAnyHost));
    }
    template <typename Call>
    std::string printed(Call call, Boolean *result) {
        testing::internal::CaptureStdout();
        *result = call();
        fflush(stdout);
        return testing::internal::GetCapturedStdout();
    }
};

CFRef<CFDictionaryRef> record(std::vector<std::pair<const char *, CFTypeRef>> entries) {
    auto dict = CFRef<CFMutableDictionaryRef>::adopt(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    for (auto &[key, value] : entries) CFDictionarySetValue(dict.get(), CFStringFromUTF8(key).get(), value);
    return CFRef<CFDictionaryRef>::adopt(dict.release());
}

CFRef<CFArrayRef> array_of(std::vector<CFTypeRef> values) {
    return CFRef<CFArrayRef>::adopt(
        CFArrayCreate(nullptr, values.data(), static_cast<CFIndex>(values.size()), &kCFTypeArrayCallBacks));
}

TEST_F(LoginItems, EmptyListThenAddThenRemove) {
    EXPECT_EQ(GetCountOfLoginItems(user), 0);
    EXPECT_FALSE(RemoveLoginItemAtIndex(user, 0));
    EXPECT_EQ(property(kLoginItemPathInfo, 0), "<nothing>");

    add("/Applications/Tool.app", 1);
    EXPECT_EQ(GetCountOfLoginItems(user), 1);
    EXPECT_EQ(property(kLoginItemPathInfo, 0), "/Applications/Tool.app");
    EXPECT_EQ(property(kLoginItemNameInfo, 0), "Tool.app");
    EXPECT_EQ(property(kLoginItemHideInfo, 0), "Hide");
    std::string file = read_file(list_file());
    EXPECT_NE(file.find("<key>Path</key>"), std::string::npos);
    EXPECT_NE(file.find("<key>Hide</key>"), std::string::npos);

    EXPECT_FALSE(RemoveLoginItemAtIndex(user, 1));
    EXPECT_FALSE(RemoveLoginItemAtIndex(user, -1));
    EXPECT_TRUE(RemoveLoginItemAtIndex(user, 0));
    EXPECT_EQ(GetCountOfLoginItems(user), 0);
}

TEST_F(LoginItems, OnlyHideOneMeansHidden) {
    add("/a", 1);
    add("/b", 2);
    add("/c", 0);
    add("/d", -1);
    EXPECT_EQ(property(kLoginItemHideInfo, 0), "Hide");
    for (int i = 1; i < 4; ++i) EXPECT_EQ(property(kLoginItemHideInfo, i), "DoNotHide") << i;
}

TEST_F(LoginItems, RemovalShiftsLaterRecordsAndOthersEntriesSurvive) {
    auto foreign = record({{"Path", CFStringFromUTF8("/Other.app").get()}, {"Hide", kCFBooleanFalse}, {"Extra", CFStringFromUTF8("kept").get()}});
    store_raw(array_of({foreign.get()}).get());
    add("/One.app");
    add("/Two.app");
    EXPECT_TRUE(RemoveLoginItemAtIndex(user, 1));
    EXPECT_EQ(GetCountOfLoginItems(user), 2);
    EXPECT_EQ(property(kLoginItemPathInfo, 0), "/Other.app");
    EXPECT_EQ(property(kLoginItemPathInfo, 1), "/Two.app");
    EXPECT_NE(read_file(list_file()).find("<key>Extra</key>"), std::string::npos)
        << "a record written by another program keeps its extra entries";
    EXPECT_TRUE(RemoveLoginItemAtIndex(user, 0));
    EXPECT_EQ(property(kLoginItemPathInfo, 0), "/Two.app");
}

TEST_F(LoginItems, NamesAreTheLastPieceOfThePath) {
    add("NoSlash.app");
    add("/Applications/Trailing.app/");
    add("/Users/zo\xc3\xab/Caf\xc3\xa9.app");
    add("");
    EXPECT_EQ(property(kLoginItemNameInfo, 0), "NoSlash.app");
    EXPECT_EQ(property(kLoginItemNameInfo, 1), "");
    EXPECT_EQ(property(kLoginItemNameInfo, 2), "Caf\xc3\xa9.app");
    EXPECT_EQ(property(kLoginItemNameInfo, 3), "");
}

TEST_F(LoginItems, PrintersWriteTheExactListing) {
    Boolean ok = false;
    EXPECT_EQ(printed([&] { return PrintOutAllLoginItems(user); }, &ok),
              "LoginItems are Empty (i.e. there are no LoginItems)\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(printed([&] { return PrintNumberOfLoginItems(user); }, &ok), "The number of LoginItems is: 0");

    add("/Applications/Tool.app", 1);
    EXPECT_EQ(printed([&] { return PrintOutLoginItemAtIndex(user, 0); }, &ok),
              "\tFull path to App: /Applications/Tool.app\n"
              "\tHide Info:        Hide\n"
              "\tExecutable Name:  Tool.app\n");
    EXPECT_TRUE(ok);

    add("/Users/zo\xc3\xab/Caf\xc3\xa9.app", 0);
    EXPECT_EQ(printed([&] { return PrintOutAllLoginItems(user); }, &ok),
              "LoginItem Index 0:\n"
              "\tFull path to App: /Applications/Tool.app\n"
              "\tHide Info:        Hide\n"
              "\tExecutable Name:  Tool.app\n"
              "LoginItem Index 1:\n"
              "\tFull path to App: /Users/zo\xc3\xab/Caf\xc3\xa9.app\n"
              "\tHide Info:        DoNotHide\n"
              "\tExecutable Name:  Caf\xc3\xa9.app\n");
    EXPECT_TRUE(ok);
    EXPECT_EQ(printed([&] { return PrintNumberOfLoginItems(user); }, &ok), "The number of LoginItems is: 2");
    EXPECT_EQ(printed([&] { return PrintOutLoginItemAtIndex(user, 2); }, &ok), "");
    EXPECT_FALSE(ok);
}

TEST_F(LoginItems, RecordWithNonBooleanHidePrintsThePathLineThenFails) {
    auto odd = record({{"Path", CFStringFromUTF8("/Odd.app").get()}, {"Hide", CFStringFromUTF8("yes").get()}});
    auto good = record({{"Path", CFStringFromUTF8("/Good.app").get()}, {"Hide", kCFBooleanTrue}});
    store_raw(array_of({odd.get(), good.get()}).get());
    EXPECT_EQ(property(kLoginItemHideInfo, 0), "<nothing>");
    Boolean ok = true;
    EXPECT_EQ(printed([&] { return PrintOutLoginItemAtIndex(user, 0); }, &ok), "\tFull path to App: /Odd.app\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(printed([&] { return PrintOutAllLoginItems(user); }, &ok),
              "LoginItem Index 0:\n\tFull path to App: /Odd.app\n")
        << "the listing stops at the first record that fails";
    EXPECT_FALSE(ok);
}

TEST_F(LoginItems, UsersOtherThanTheTwoConstantsAreRefusedWithoutTouchingStorage) {
    auto lookalike = CFStringFromUTF8("kCFPreferencesCurrentUser");
    for (CFStringRef bad : {lookalike.get(), static_cast<CFStringRef>(nullptr), CFSTR("kCFPreferencesAnyUser")}) {
        EXPECT_EQ(GetCountOfLoginItems(bad), 0);
        EXPECT_FALSE(CopyLoginItemPropertyAtIndex(bad, kLoginItemPathInfo, 0));
        EXPECT_FALSE(AddLoginItemWithPropertiesToUser(bad, CFStringFromUTF8("/x.app").get(), 1));
        EXPECT_FALSE(RemoveLoginItemAtIndex(bad, 0));
        Boolean ok = true;
        EXPECT_EQ(printed([&] { return PrintOutLoginItemAtIndex(bad, 0); }, &ok), "");
        EXPECT_FALSE(ok);
        EXPECT_EQ(printed([&] { return PrintOutAllLoginItems(bad); }, &ok), "");
        EXPECT_FALSE(ok);
        EXPECT_EQ(printed([&] { return PrintNumberOfLoginItems(bad); }, &ok), "");
        EXPECT_FALSE(ok);
    }
    EXPECT_FALSE(file_exists(home.preferences_dir())) << "nothing may be written for a refused user";
}

TEST_F(LoginItems, AnyUserHasAListOfItsOwn) {
    user = kCFPreferencesAnyUser;
    add("/Shared.app");
    EXPECT_TRUE(file_exists(home.system_dir() + "/loginwindow.plist"));
    EXPECT_EQ(GetCountOfLoginItems(kCFPreferencesCurrentUser), 0);
    EXPECT_EQ(GetCountOfLoginItems(kCFPreferencesAnyUser), 1);
}

TEST_F(LoginItems, StoredValuesOfTheWrongShapeAreLeftAlone) {
    store_raw(CFStringFromUTF8("not a list").get());
    std::string before = read_file(list_file());
    EXPECT_EQ(GetCountOfLoginItems(user), 0);
    EXPECT_FALSE(AddLoginItemWithPropertiesToUser(user, CFStringFromUTF8("/x.app").get(), 1));
    EXPECT_FALSE(RemoveLoginItemAtIndex(user, 0));
    EXPECT_EQ(read_file(list_file()), before) << "another writer's value must not be destroyed";

    int number = 3;
    auto not_a_record = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberIntType, &number));
    auto path_not_text = record({{"Path", not_a_record.get()}, {"Hide", kCFBooleanTrue}});
    auto no_path = record({{"Hide", kCFBooleanTrue}});
    store_raw(array_of({not_a_record.get(), path_not_text.get(), no_path.get()}).get());
    EXPECT_EQ(GetCountOfLoginItems(user), 3);
    for (int selector : {kLoginItemPathInfo, kLoginItemNameInfo, kLoginItemHideInfo})
        EXPECT_EQ(property(selector, 0), "<nothing>") << selector;
    EXPECT_EQ(property(kLoginItemPathInfo, 1), "<nothing>");
    EXPECT_EQ(property(kLoginItemNameInfo, 1), "<nothing>");
    EXPECT_EQ(property(kLoginItemHideInfo, 1), "Hide");
    EXPECT_EQ(property(kLoginItemPathInfo, 2), "<nothing>");
    EXPECT_EQ(property(kLoginItemPathInfo, 3), "<nothing>") << "index at the count";
    EXPECT_EQ(property(kLoginItemPathInfo, 1000), "<nothing>");
    EXPECT_EQ(property(0, 1), "<nothing>");
    EXPECT_EQ(property(4, 1), "<nothing>");
    EXPECT_EQ(property(kLoginItemHideInfo, -1), "<nothing>");

    std::string stored = read_file(list_file());
    EXPECT_FALSE(AddLoginItemWithPropertiesToUser(user, nullptr, 1));
    EXPECT_EQ(read_file(list_file()), stored);
}

TEST_F(LoginItems, AllocationFailureAnywhereInAddOrRemoveLeavesTheListAsItWas) {
    add("/First.app");
    add("/Second.app");
    const std::string stored = read_file(list_file());
    auto third = CFStringFromUTF8("/Third.app");
    int failures = 0;
    for (CFIndex nth = 1;; ++nth) {
        CFTestingFailAllocation(nth);
        Boolean added = AddLoginItemWithPropertiesToUser(user, third.get(), 1);
        CFTestingFailAllocation(0);
        if (added) break;
        ++failures;
        EXPECT_EQ(read_file(list_file()), stored) << "allocation " << nth << " of Add";
        ASSERT_LT(nth, 200) << "Add never succeeded";
    }
    EXPECT_GE(failures, 4) << "Add makes at least the list copy, the empty list or copy, the record and its copy";
    EXPECT_EQ(GetCountOfLoginItems(user), 3);

    const std::string with_three = read_file(list_file());
    for (CFIndex nth = 1;; ++nth) {
        CFTestingFailAllocation(nth);
        Boolean removed = RemoveLoginItemAtIndex(user, 0);
        CFTestingFailAllocation(0);
        if (removed) break;
        EXPECT_EQ(read_file(list_file()), with_three) << "allocation " << nth << " of Remove";
        ASSERT_LT(nth, 200) << "Remove never succeeded";
    }
    EXPECT_EQ(property(kLoginItemPathInfo, 0), "/Second.app");
}

// Several programs adding at once: each Add that returned true is in the
// list afterwards, once. The home is in memory when the machine has a
// tmpfs: the race is the subject here, not how long fsync takes.
TEST_F(LoginItems, ConcurrentAddersLoseNoRecordTheyWereToldWasStored) {
    std::optional<ScopedEnv> in_memory;
    if (std::filesystem::is_directory("/dev/shm")) in_memory.emplace("TMPDIR", "/dev/shm");
    TempHome racing_home;
    const std::string racing_list = racing_home.preferences_dir() + "/loginwindow.plist";
#ifdef GLISSOR_SANITIZED
    const int adds = 40;  // each Add is many times slower under the sanitizers
#else
    const int adds = 200;
#endif
    for (int writers : {2, 4}) {
        SCOPED_TRACE(std::to_string(writers) + " writers");
        std::filesystem::remove(racing_list);
        std::vector<ProcessResult> results(static_cast<size_t>(writers));
        std::vector<std::thread> running;
        for (int w = 0; w < writers; ++w)
            running.emplace_back([&, w] {
                results[static_cast<size_t>(w)] = run_process(
                    {LOGIN_ITEMS_PROBE, "add", "w" + std::to_string(w), std::to_string(adds)},
                    {.env = racing_home.env(), .timeout = std::chrono::seconds(90)});
            });
        for (auto &thread : running) thread.join();

        std::multiset<std::string> stored;
        for (int i = 0, count = GetCountOfLoginItems(user); i < count; ++i)
            stored.insert(property(kLoginItemPathInfo, i));
        size_t reported = 0;
        for (const auto &result : results) {
            ASSERT_EQ(result.exit_code, 0) << result.err;
            std::istringstream lines(result.out);
            for (std::string path; std::getline(lines, path); ++reported)
                EXPECT_EQ(stored.count(path), 1u) << path << " was reported stored";
        }
        EXPECT_EQ(stored.size(), reported) << "the list holds records no Add reported";
        EXPECT_GT(reported, static_cast<size_t>(writers * adds / 2)) << "most Adds should get through";
    }
}

}  // namespace
