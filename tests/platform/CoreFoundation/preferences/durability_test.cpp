// The preference files under failure: corrupt files, failing writes, killed
// writers and concurrent writers.
#include "prefs_test_util.h"
#include "process.h"

#include <CoreFoundation/CFPreferencesPrivate.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <thread>

using namespace glissor_test;
using namespace prefs_test;

namespace {

const std::string kDomain = "org.example.durability";

class PreferenceFilesTest : public LiveValueTest {
protected:
    TempHome home;
    std::string domain_file() const { return home.preferences_dir() + "/" + kDomain + ".plist"; }
    std::vector<std::string> files_in_preferences() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(home.preferences_dir()))
            names.push_back(entry.path().filename());
        return names;
    }
};

TEST_F(PreferenceFilesTest, CorruptFileReadsAsEmptyAndIsKeptAsideOnWrite) {
    const std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>Mouse";
    write_file(domain_file(), garbage);
    EXPECT_FALSE(copy_app_value("MouseSpeed", kDomain));

    ASSERT_TRUE(store("MouseSpeed", float_number(2.0f).get(), kDomain));
    EXPECT_TRUE(parses_as_dictionary(domain_file()));
    int kept = 0;
    for (const auto &name : files_in_preferences()) {
        if (name.find(kDomain + ".plist.corrupt-") != 0) continue;
        ++kept;
        EXPECT_EQ(read_file(home.preferences_dir() + "/" + name), garbage);
    }
    EXPECT_EQ(kept, 1) << "the unparsable file must be kept, once";

    // A top level that is not a dictionary is no domain either.
    write_file(domain_file(), "<?xml version=\"1.0\"?><plist><array/></plist>");
    EXPECT_FALSE(copy_app_value("MouseSpeed", kDomain));
}

TEST_F(PreferenceFilesTest, FileThatCannotBeReadIsNeverOverwritten) {
    std::filesystem::create_directories(domain_file());  // a directory where the file belongs
    EXPECT_FALSE(copy_app_value("MouseSpeed", kDomain));
    EXPECT_FALSE(store("MouseSpeed", float_number(2.0f).get(), kDomain));
    EXPECT_TRUE(std::filesystem::is_directory(domain_file()));
    CFPreferencesSetAppValue(cf("MouseSpeed").get(), nullptr, cf(kDomain).get());  // drop what is pending
}

// The change stays pending after a failed write, and a later write, once
// storage works again, delivers it.
void expect_failed_write_keeps_change(const std::string &domain_file) {
    EXPECT_FALSE(store("MouseSpeed", float_number(2.5f).get(), kDomain));
    float value = 0;
    auto pending = copy_app_value("MouseSpeed", kDomain);
    ASSERT_TRUE(pending);
    CFNumberGetValue(static_cast<CFNumberRef>(pending.get()), kCFNumberFloatType, &value);
    EXPECT_EQ(value, 2.5f);
    EXPECT_FALSE(file_exists(domain_file) && read_file(domain_file).find("2.5") != std::string::npos);
}

TEST_F(PreferenceFilesTest, FullDiskFailsTheSynchronizeAndKeepsTheChangePending) {
    std::filesystem::create_directories(home.preferences_dir());
    signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit no_room = old_limit;
    no_room.rlim_cur = 0;  // every write fails as on a full disk
    setrlimit(RLIMIT_FSIZE, &no_room);
    expect_failed_write_keeps_change(domain_file());
    setrlimit(RLIMIT_FSIZE, &old_limit);

    EXPECT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_NE(read_file(domain_file()).find("<real>2.5</real>"), std::string::npos);
    for (const auto &name : files_in_preferences())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << "temporary left behind: " << name;
}

TEST_F(PreferenceFilesTest, UnwritableDirectoryFailsTheSynchronizeAndKeepsTheChangePending) {
    std::filesystem::create_directories(home.preferences_dir());
    // Root writes anywhere, so the check runs as an ordinary user in a child.
    EXPECT_EXIT(
        {
            const uid_t nobody = 65534;
            for (const auto &entry : std::filesystem::recursive_directory_iterator(home.home()))
                lchown(entry.path().c_str(), nobody, nobody);
            chown(home.home().c_str(), nobody, nobody);
            chmod(home.preferences_dir().c_str(), 0500);
            if (geteuid() == 0 && (setgid(nobody) != 0 || setuid(nobody) != 0)) _exit(3);
            expect_failed_write_keeps_change(domain_file());
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

// The inode of the file, 0 when there is none: each write replaces it.
ino_t inode_of(const std::string &file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

// How long a fresh writer takes to replace the file for the first time:
// the kills below land around that moment, mid-write as often as not. A
// write over an existing file reads and merges it first, so that is timed
// when the file is there.
std::chrono::microseconds time_to_first_write(const TempHome &home, const std::string &file) {
    ino_t before = inode_of(file);
    auto started = std::chrono::steady_clock::now();
    BackgroundProcess writer({PREFERENCES_PROBE, "write-loop", kDomain, "Big"}, home.env());
    while (inode_of(file) == before && std::chrono::steady_clock::now() - started < std::chrono::seconds(10))
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
}

TEST_F(PreferenceFilesTest, WriterKilledAtRandomMomentsNeverLeavesATornFile) {
    time_to_first_write(home, domain_file());
    ASSERT_TRUE(parses_as_dictionary(domain_file()));
    auto first_write = time_to_first_write(home, domain_file());
    std::mt19937 random(7);
    std::uniform_int_distribution<long> delay_us(first_write.count() / 2, first_write.count() * 2 + 20000);
    // Rounds go on until enough of them wrote; on a loaded machine (or under
    // the sanitizers) that takes more of them, within a bound of rounds and
    // of time that keeps the test inside its limit.
    int rounds_that_wrote = 0;
    auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < 400 && rounds_that_wrote <= 50 &&
                        std::chrono::steady_clock::now() - started < std::chrono::seconds(80);
         ++round) {
        auto before = std::filesystem::last_write_time(domain_file());
        BackgroundProcess writer({PREFERENCES_PROBE, "write-loop", kDomain, "Big"}, home.env());
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
        writer.stop(SIGKILL);
        ASSERT_TRUE(parses_as_dictionary(domain_file())) << "torn file after round " << round;
        if (std::filesystem::last_write_time(domain_file()) != before) ++rounds_that_wrote;
    }
    EXPECT_GT(rounds_that_wrote, 50) << "the writer rarely got to write; the test proves little";
    // Whatever temporaries the kills left are cleared by the next write.
    ASSERT_TRUE(store("After", int_number(1).get(), kDomain));
    for (const auto &name : files_in_preferences())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << "stale temporary kept: " << name;
}

TEST_F(PreferenceFilesTest, ConcurrentWritersOfDifferentKeysBothKeepTheirKey) {
    const int writers = 4, rounds = 40;
    std::vector<BackgroundProcess> running;
    for (int i = 0; i < writers; ++i)
        running.emplace_back(std::vector<std::string>{PREFERENCES_PROBE, "write-many", kDomain,
                                                      "Key" + std::to_string(i), std::to_string(rounds)},
                             home.env());
    for (auto &writer : running) ASSERT_EQ(writer.wait(std::chrono::seconds(60)), 0);
    for (int i = 0; i < writers; ++i)
        EXPECT_EQ(int_of(copy_app_value("Key" + std::to_string(i), kDomain).get()), rounds - 1) << i;
}

CFRef<CFArrayRef> int_array(std::initializer_list<int> items) {
    std::vector<CFRef<CFNumberRef>> numbers;
    std::vector<const void *> values;
    for (int item : items) {
        numbers.push_back(int_number(item));
        values.push_back(numbers.back().get());
    }
    return CFRef<CFArrayRef>::adopt(
        CFArrayCreate(nullptr, values.data(), static_cast<CFIndex>(values.size()), &kCFTypeArrayCallBacks));
}

TEST_F(PreferenceFilesTest, ListWrittenBackOverAnotherWritersChangeIsRefused) {
    auto other_writer = [&](const std::vector<std::string> &args) {
        std::vector<std::string> argv{bin_path("defaults"), "write", kDomain};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_EQ(run_process(argv, {.env = home.env()}).exit_code, 0);
    };
    ASSERT_TRUE(store("List", int_array({1}).get(), kDomain));
    ASSERT_TRUE(copy_app_value("List", kDomain));
    other_writer({"List", "-array", "-int", "1", "-int", "2"});
    // Read-change-write from the older read: refused, nothing written, pending.
    CFPreferencesSetAppValue(cf("List").get(), int_array({1, 3}).get(), cf(kDomain).get());
    CFPreferencesSetAppValue(cf("Speed").get(), int_number(4).get(), cf(kDomain).get());
    EXPECT_FALSE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_NE(read_file(domain_file()).find("<integer>2</integer>"), std::string::npos);
    EXPECT_EQ(read_file(domain_file()).find("<key>Speed</key>"), std::string::npos) << "nothing is written";
    EXPECT_TRUE(CFEqual(copy_app_value("List", kDomain).get(), int_array({1, 3}).get())) << "still pending";

    // Dropped and redone from a fresh read, it is written.
    CFPreferencesDiscardPendingValue(cf("List").get(), cf(kDomain).get(), kCFPreferencesCurrentUser,
                                      kCFPreferencesAnyHost);
    EXPECT_TRUE(CFEqual(copy_app_value("List", kDomain).get(), int_array({1, 2}).get()));
    CFPreferencesSetAppValue(cf("List").get(), int_array({1, 2, 3}).get(), cf(kDomain).get());
    ASSERT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 4);

    // A list set without being read, and a number set after a read, replace
    // whatever is stored: they carry nothing of an older read.
    ASSERT_TRUE(copy_app_value("Speed", kDomain));
    other_writer({"List", "-array", "-int", "8"});
    other_writer({"Speed", "-int", "8"});
    CFPreferencesSetAppValue(cf("List").get(), int_array({5}).get(), cf(kDomain).get());
    CFPreferencesSetAppValue(cf("Speed").get(), int_number(5).get(), cf(kDomain).get());
    ASSERT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_TRUE(CFEqual(copy_app_value("List", kDomain).get(), int_array({5}).get()));
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 5);

    // Read as absent, then created by another writer: the same refusal.
    ASSERT_FALSE(copy_app_value("Fresh", kDomain));
    other_writer({"Fresh", "-array", "-int", "1"});
    CFPreferencesSetAppValue(cf("Fresh").get(), int_array({2}).get(), cf(kDomain).get());
    EXPECT_FALSE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    CFPreferencesDiscardPendingValue(cf("Fresh").get(), cf(kDomain).get(), kCFPreferencesCurrentUser,
                                      kCFPreferencesAnyHost);
}

}  // namespace
