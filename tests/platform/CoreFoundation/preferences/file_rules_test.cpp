// What is at a domain's path, and who else holds it: FIFOs and other
// non-files, symbolic links, file modes, the lock, and values beyond the
// reader's limits.
#include "prefs_test_util.h"
#include "process.h"

#include <CoreFoundation/CFPreferencesPrivate.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

using namespace glissor_test;
using namespace prefs_test;

namespace {

const std::string kDomain = "org.example.file-rules";

class DomainFileRules : public LiveValueTest {
protected:
    TempHome home;
    std::string domain_file() const { return home.preferences_dir() + "/" + kDomain + ".plist"; }
    std::string lock_file() const { return home.preferences_dir() + "/." + kDomain + ".plist.lock"; }

    void SetUp() override {
        LiveValueTest::SetUp();
        std::filesystem::create_directories(home.preferences_dir());
    }
    // Drops what a refused write left pending, so nothing stays alive.
    void discard(const std::string &key) {
        CFPreferencesDiscardPendingValue(cf(key).get(), cf(kDomain).get(), kCFPreferencesCurrentUser,
                                          kCFPreferencesAnyHost);
    }
    // The preference service in another process.
    ProcessResult probe(const std::vector<std::string> &args) {
        std::vector<std::string> argv{PREFERENCES_PROBE};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_process(argv, {.env = home.env(), .timeout = std::chrono::seconds(10)});
    }
    ProcessResult defaults(const std::vector<std::string> &args) {
        std::vector<std::string> argv{bin_path("defaults")};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_process(argv, {.env = home.env(), .timeout = std::chrono::seconds(10)});
    }
    mode_t mode_of(const std::string &path) const {
        struct stat info {};
        stat(path.c_str(), &info);
        return info.st_mode & 07777;
    }
};

TEST_F(DomainFileRules, FifoOrDeviceAtThePathIsUnreadableWithoutBlocking) {
    // Run in other processes: a reader that blocks would hang the test.
    ASSERT_EQ(mkfifo(domain_file().c_str(), 0600), 0);
    auto read = probe({"dump-floats", kDomain});
    EXPECT_FALSE(read.timed_out) << "reading a FIFO blocked";
    EXPECT_EQ(read.exit_code, 0) << "a FIFO reads as an empty domain";
    auto write = probe({"write-many", kDomain, "Speed", "1"});
    EXPECT_FALSE(write.timed_out) << "writing over a FIFO blocked";
    EXPECT_NE(write.exit_code, 0) << "a FIFO is never replaced";
    struct stat info {};
    ASSERT_EQ(lstat(domain_file().c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));

    // A device reads as nothing too, and is never replaced.
    std::filesystem::remove(domain_file());
    std::filesystem::create_symlink("/dev/zero", domain_file());
    read = probe({"dump-floats", kDomain});
    EXPECT_FALSE(read.timed_out) << "reading /dev/zero did not end";
    EXPECT_NE(probe({"write-many", kDomain, "Speed", "1"}).exit_code, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(domain_file()));
}

TEST_F(DomainFileRules, SymlinkedDomainStaysALinkAndIsWrittenThrough) {
    std::string elsewhere = home.home() + "/dotfiles";
    std::filesystem::create_directories(elsewhere);
    std::string target = elsewhere + "/kept.plist";
    write_file(target, "<?xml version=\"1.0\"?><plist><dict><key>Old</key><integer>1</integer></dict></plist>");
    std::filesystem::create_symlink(target, domain_file());

    EXPECT_EQ(int_of(copy_app_value("Old", kDomain).get()), 1);
    ASSERT_TRUE(store("New", int_number(2).get(), kDomain));
    EXPECT_TRUE(std::filesystem::is_symlink(domain_file())) << "the link was replaced by a file";
    EXPECT_EQ(std::filesystem::read_symlink(domain_file()), target);
    std::string text = read_file(target);
    EXPECT_NE(text.find("<key>Old</key>"), std::string::npos);
    EXPECT_NE(text.find("<key>New</key>"), std::string::npos);
    for (const auto &entry : std::filesystem::directory_iterator(elsewhere))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();

    // A link that leads nowhere is left as it is, and the write fails.
    std::filesystem::remove(target);
    EXPECT_FALSE(store("New", int_number(3).get(), kDomain));
    EXPECT_TRUE(std::filesystem::is_symlink(domain_file()));
    EXPECT_FALSE(file_exists(target));
    discard("New");
}

TEST_F(DomainFileRules, RewriteKeepsTheModeAndNeverReplacesAReadOnlyFile) {
    ASSERT_TRUE(store("Speed", int_number(1).get(), kDomain));
    ASSERT_EQ(chmod(domain_file().c_str(), 0640), 0);
    ASSERT_TRUE(store("Speed", int_number(2).get(), kDomain));
    EXPECT_EQ(mode_of(domain_file()), 0640u);

    ASSERT_EQ(chmod(domain_file().c_str(), 0444), 0);
    const std::string frozen = read_file(domain_file());
    EXPECT_FALSE(store("Speed", int_number(3).get(), kDomain)) << "a read-only file was replaced";
    EXPECT_EQ(read_file(domain_file()), frozen);
    EXPECT_EQ(mode_of(domain_file()), 0444u);
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 3) << "the change stays pending";

    ASSERT_EQ(chmod(domain_file().c_str(), 0600), 0);
    EXPECT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_NE(read_file(domain_file()).find("<integer>3</integer>"), std::string::npos);
}

TEST_F(DomainFileRules, LockFileIsNeverFollowedThroughALink) {
    std::string victim = home.home() + "/victim";
    std::filesystem::create_symlink(victim, lock_file());
    EXPECT_FALSE(store("Speed", int_number(1).get(), kDomain));
    EXPECT_FALSE(file_exists(victim)) << "the lock was opened through a link";
    EXPECT_FALSE(file_exists(domain_file()));
    discard("Speed");
}

TEST_F(DomainFileRules, StoppedLockHolderMakesSynchronizeFailInBoundedTime) {
    ASSERT_TRUE(store("Speed", int_number(1).get(), kDomain));
    // Another writer takes the lock and is stopped while holding it.
    pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        int fd = open(lock_file().c_str(), O_RDWR);
        if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
        raise(SIGSTOP);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, WUNTRACED), holder);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the lock holder ended early";

    // It gives up rather than waiting for the holder for ever.
    EXPECT_FALSE(store("Speed", int_number(2).get(), kDomain));
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 2) << "the change stays pending";
    EXPECT_EQ(read_file(domain_file()).find("<integer>2</integer>"), std::string::npos);

    kill(holder, SIGKILL);
    waitpid(holder, &status, 0);
    EXPECT_TRUE(CFPreferencesAppSynchronize(cf(kDomain).get()));
    EXPECT_NE(read_file(domain_file()).find("<integer>2</integer>"), std::string::npos);
}

// An array nested depth deep around one string.
std::string nested_array(int depth, const std::string &inner) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<array>";
    text += "<string>" + inner + "</string>";
    for (int i = 0; i < depth; ++i) text += "</array>";
    return text;
}

TEST_F(DomainFileRules, ValueBeyondTheDepthLimitIsNotLostByAWrite) {
    const std::string marker = "deep-value-marker";
    write_file(domain_file(), "<?xml version=\"1.0\"?><plist><dict><key>Deep</key>" + nested_array(2000, marker) +
                                  "<key>Kept</key><integer>7</integer></dict></plist>");
    bool written = store("Other", int_number(1).get(), kDomain);
    if (written) {
        // Written: the other entries went along, and the file parses.
        EXPECT_TRUE(parses_as_dictionary(domain_file()));
        EXPECT_EQ(int_of(copy_app_value("Kept", kDomain).get()), 7);
        EXPECT_EQ(int_of(copy_app_value("Other", kDomain).get()), 1);
    } else {
        discard("Other");
    }
    // Written or refused, the deep value is still on disk: in the file, or in
    // the copy kept aside before the write replaced it.
    bool found = false;
    for (const auto &entry : std::filesystem::directory_iterator(home.preferences_dir()))
        if (entry.is_regular_file() && read_file(entry.path()).find(marker) != std::string::npos) found = true;
    EXPECT_TRUE(found) << "the value beyond the limit was dropped";
    EXPECT_NE(read_file(domain_file()).find("<key>Kept</key>"), std::string::npos);
}

TEST_F(DomainFileRules, ReadsShareTheStoredValueUntilTheFileChanges) {
    const std::string first = "<?xml version=\"1.0\"?><plist><dict><key>List</key><array><integer>1</integer>"
                              "</array></dict></plist>";
    write_file(domain_file(), first);
    auto before = copy_app_value("List", kDomain);
    ASSERT_TRUE(before);
    EXPECT_EQ(copy_app_value("List", kDomain).get(), before.get()) << "an unchanged file was read again";

    // Edited in place, same size and inode: the next read sees the edit.
    std::string edited = first;
    edited.replace(edited.find("<integer>1"), 10, "<integer>5");
    write_file(domain_file(), edited);
    auto after = copy_app_value("List", kDomain);
    ASSERT_TRUE(after && CFGetTypeID(after.get()) == CFArrayGetTypeID());
    EXPECT_EQ(int_of(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(after.get()), 0)), 5);
    EXPECT_EQ(int_of(CFArrayGetValueAtIndex(static_cast<CFArrayRef>(before.get()), 0)), 1)
        << "a value handed out earlier changed under its holder";

    // Replaced by another process.
    ASSERT_EQ(defaults({"write", kDomain, "List", "-int", "9"}).exit_code, 0);
    EXPECT_EQ(int_of(copy_app_value("List", kDomain).get()), 9);
}

TEST_F(DomainFileRules, WhatWasWrittenIsReadBackWithoutDecodingAndCannotChangeAfterwards) {
    int one = 1, two = 2;
    auto number_one = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberIntType, &one));
    auto number_two = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberIntType, &two));
    auto list = CFRef<CFMutableArrayRef>::adopt(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(list.get(), number_one.get());
    const void *keys[] = {CFSTR("Hide")};
    const void *values[] = {kCFBooleanTrue};
    auto fixed = CFRef<CFDictionaryRef>::adopt(
        CFDictionaryCreate(nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    ASSERT_TRUE(store("List", list.get(), kDomain));
    ASSERT_TRUE(store("Fixed", fixed.get(), kDomain));

    auto key = cf("List"), domain = cf(kDomain);
    CFIndex allocations = CFTestingAllocationCount();
    auto stored = CFRef<CFPropertyListRef>::adopt(CFPreferencesCopyAppValue(key.get(), domain.get()));
    EXPECT_EQ(CFTestingAllocationCount(), allocations) << "the file just written was decoded again";
    EXPECT_EQ(copy_app_value("Fixed", kDomain).get(), fixed.get()) << "an immutable value was copied";

    // The caller's own list changes after the write; the stored one must not.
    CFArrayAppendValue(list.get(), number_two.get());
    ASSERT_TRUE(stored && CFGetTypeID(stored.get()) == CFArrayGetTypeID());
    EXPECT_NE(stored.get(), static_cast<CFPropertyListRef>(list.get()));
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(stored.get())), 1);
    EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(copy_app_value("List", kDomain).get())), 1);

    // Another program rewrites the file right after: that is what reads now.
    write_file(domain_file(), "<?xml version=\"1.0\"?><plist><dict><key>List</key><integer>9</integer>"
                              "</dict></plist>");
    EXPECT_EQ(int_of(copy_app_value("List", kDomain).get()), 9);
    EXPECT_EQ(copy_app_value("Fixed", kDomain).get(), nullptr) << "the other writer's file was not read";
}

TEST_F(DomainFileRules, AValueIsWrittenAsItIsAtSynchronizeInTheTextAWholeWriteMakes) {
    using Values = std::vector<const void *>;
    auto dictionary_of = [](Values keys, Values values) {
        return CFRef<CFDictionaryRef>::adopt(CFDictionaryCreate(nullptr, keys.data(), values.data(),
                                                                static_cast<CFIndex>(keys.size()),
                                                                &kCFTypeDictionaryKeyCallBacks,
                                                                &kCFTypeDictionaryValueCallBacks));
    };
    auto array_of = [](Values values) {
        return CFRef<CFArrayRef>::adopt(
            CFArrayCreate(nullptr, values.data(), static_cast<CFIndex>(values.size()), &kCFTypeArrayCallBacks));
    };
    // An immutable list whose record is mutable: the record can still change
    // after the set, and the file must hold it as it is at synchronize.
    auto record = CFRef<CFMutableDictionaryRef>::adopt(
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(record.get(), CFSTR("Path"), CFSTR("/a"));
    auto open_list = array_of({record.get()});
    // And a list immutable all the way down, set under two keys.
    auto fixed_record = dictionary_of({CFSTR("Hide"), CFSTR("Path")}, {kCFBooleanFalse, CFSTR("/b & <c>")});
    auto fixed_list = array_of({fixed_record.get(), fixed_record.get()});

    auto domain = cf(kDomain);
    CFPreferencesSetAppValue(CFSTR("Open"), open_list.get(), domain.get());
    CFPreferencesSetAppValue(CFSTR("Fixed"), fixed_list.get(), domain.get());
    CFPreferencesSetAppValue(CFSTR("Again"), fixed_list.get(), domain.get());
    CFDictionarySetValue(record.get(), CFSTR("Hide"), kCFBooleanTrue);
    ASSERT_TRUE(CFPreferencesAppSynchronize(domain.get()));

    // Byte for byte what writing the whole domain in one go makes.
    auto whole = dictionary_of({CFSTR("Again"), CFSTR("Fixed"), CFSTR("Open")},
                               {fixed_list.get(), fixed_list.get(), open_list.get()});
    auto expected = CFRef<CFDataRef>::adopt(
        CFPropertyListCreateData(nullptr, whole.get(), kCFPropertyListXMLFormat_v1_0, 0, nullptr));
    ASSERT_TRUE(expected);
    std::string text = read_file(domain_file());
    EXPECT_EQ(text, std::string(reinterpret_cast<const char *>(CFDataGetBytePtr(expected.get())),
                                static_cast<size_t>(CFDataGetLength(expected.get()))));
    EXPECT_NE(text.find("<key>Hide</key>\n\t\t\t<true/>"), std::string::npos) << "the change after the set was lost";
    EXPECT_NE(text.find("/b &amp; &lt;c&gt;"), std::string::npos) << text;
}

std::string synchronize_failure() {
    auto why = CFRef<CFStringRef>::adopt(
        CFPreferencesCopySynchronizeFailure(cf(kDomain).get(), kCFPreferencesCurrentUser, kCFPreferencesAnyHost));
    return why ? UTF8FromCFString(why.get()) : std::string("(none)");
}

TEST_F(DomainFileRules, AUmaskThatClearsOwnerWriteLeavesNoFolderOrFileUnwritable) {
    std::filesystem::remove_all(home.home() + "/Library");
    mode_t old_umask = umask(0277);
    bool first = store("Speed", int_number(1).get(), kDomain);
    bool second = store("Speed", int_number(2).get(), kDomain);
    umask(old_umask);
    EXPECT_TRUE(first) << synchronize_failure();
    EXPECT_TRUE(second) << "the first write left something its owner may not write: " << synchronize_failure();
    EXPECT_EQ(mode_of(home.home() + "/Library"), 0700u);
    EXPECT_EQ(mode_of(home.preferences_dir()), 0700u);
    EXPECT_EQ(mode_of(domain_file()), 0600u);
}

TEST_F(DomainFileRules, APreferencesFolderOfAnotherUserIsNeverWrittenIn) {
    TempDir elsewhere;
    std::string foreign = elsewhere.path() + "/world-writable";
    std::filesystem::create_directories(foreign);
    chmod(foreign.c_str(), 0777);
    if (geteuid() != 0 || chown(foreign.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a folder away";
    std::filesystem::remove_all(home.preferences_dir());
    ASSERT_EQ(symlink(foreign.c_str(), home.preferences_dir().c_str()), 0);
    EXPECT_FALSE(store("Speed", int_number(1).get(), kDomain));
    EXPECT_EQ(synchronize_failure(), "the folder " + home.preferences_dir() + " (which leads to " + foreign +
                                         ") belongs to user 65534, not to this user (0)");
    EXPECT_TRUE(std::filesystem::is_empty(foreign)) << "something was written in another user's folder";
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 1) << "the change stays pending";
    discard("Speed");
}

TEST_F(DomainFileRules, AFileOverTheSizeLimitIsNotReadAndIsKeptAsideByAWrite) {
    int fd = open(domain_file().c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t{64} << 20) + 1), 0);  // sparse: nothing to read but its size
    close(fd);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(copy_app_value("Speed", kDomain));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "the file was read";
    ASSERT_TRUE(store("Speed", int_number(1).get(), kDomain)) << synchronize_failure();
    bool kept = false;
    for (const auto &entry : std::filesystem::directory_iterator(home.preferences_dir()))
        if (entry.path().filename().string().starts_with(kDomain + ".plist.corrupt-"))
            kept = std::filesystem::file_size(entry.path()) == (uintmax_t{64} << 20) + 1;
    EXPECT_TRUE(kept) << "the large file was destroyed";
    EXPECT_EQ(int_of(copy_app_value("Speed", kDomain).get()), 1);
}

}  // namespace
