// defaults at the limits of what a property list holds and of the file
// system: nothing reported done that was not done, every refusal one line
// with exit 1, and no input, however large or deep, ends it by a signal.
#include "process.h"
#include "temp_home.h"

#include <gmock/gmock.h>

#include <CFText.h>

#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace glissor_test;
using testing::HasSubstr;
using testing::MatchesRegex;
using testing::StartsWith;

namespace {

const std::string kDomain = "org.example.limits";

std::string nested_arrays(size_t depth) { return std::string(depth, '(') + std::string(depth, ')'); }

std::string xml_domain(const std::string &entries) {
    return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" + entries + "</dict></plist>";
}

std::string xml_nested_arrays(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<array>";
    text += "<string>deep-marker</string>";
    for (int i = 0; i < depth; ++i) text += "</array>";
    return text;
}

mode_t mode_of(const std::string &path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

class DefaultsLimits : public ::testing::Test {
protected:
    TempHome home;
    std::string file = home.preferences_dir() + "/" + kDomain + ".plist";

    ProcessResult defaults(std::vector<std::string> args) {
        args.insert(args.begin(), bin_path("defaults"));
        return run_process(args, {.env = home.env()});
    }
    // defaults run by sh after the given shell commands (ulimit, umask, a pipe).
    ProcessResult defaults_after(const std::string &shell, const std::string &arguments) {
        return run_process({"/bin/sh", "-c", shell + "; exec '" + bin_path("defaults") + "' " + arguments},
                           {.env = home.env()});
    }
    void write(std::vector<std::string> args) {
        args.insert(args.begin(), {"write", kDomain});
        auto result = defaults(args);
        ASSERT_EQ(result.exit_code, 0) << result.err;
    }
    std::vector<std::string> names_in_preferences() const {
        std::vector<std::string> names;
        for (const auto &entry : std::filesystem::directory_iterator(home.preferences_dir()))
            names.push_back(entry.path().filename());
        return names;
    }
    std::string kept_aside_copy() const {
        for (const auto &name : names_in_preferences())
            if (name.starts_with(kDomain + ".plist.corrupt-")) return home.preferences_dir() + "/" + name;
        return {};
    }
};

TEST_F(DefaultsLimits, TextWithAControlCharacterIsStoredInBinaryAndReadsBackExactly) {
    auto written = defaults({"write", kDomain, "k", "-string", "a\x01" "b"});
    ASSERT_EQ(written.exit_code, 0) << written.err;
    EXPECT_EQ(written.err, "");
    ASSERT_TRUE(file_exists(file)) << "the write said done and stored nothing";
    EXPECT_THAT(read_file(file), StartsWith("bplist00"));
    EXPECT_EQ(defaults({"read", kDomain, "k"}).out, "a\x01" "b\n");
    EXPECT_EQ(defaults({"read", kDomain}).out, "{\n    k = \"a\\001b\";\n}\n");
    // Another reader (this process, through the store) sees the same text.
    auto value = CFRef<CFPropertyListRef>::adopt(
        CFPreferencesCopyAppValue(CFSTR("k"), CFStringFromUTF8(kDomain).get()));
    ASSERT_TRUE(value);
    EXPECT_EQ(UTF8FromCFString(static_cast<CFStringRef>(value.get())), "a\x01" "b");

    // Exported, it stays exact: as a binary list, and the user is told.
    auto exported = defaults({"export", kDomain, "-"});
    EXPECT_EQ(exported.exit_code, 0);
    EXPECT_THAT(exported.out, StartsWith("bplist00"));
    EXPECT_EQ(exported.err, "defaults: domain " + kDomain +
                                " holds text XML cannot carry; it is exported as a binary property list\n");

    // A domain named by its path is written the same way.
    std::string direct = home.home() + "/direct.plist";
    ASSERT_EQ(defaults({"write", direct, "k", "-string", "\x1f"}).exit_code, 0);
    EXPECT_THAT(read_file(direct), StartsWith("bplist00"));
    EXPECT_EQ(defaults({"read", direct, "k"}).out, "\x1f\n");
}

TEST_F(DefaultsLimits, AValueTooDeepToStoreFailsInOneLineAndLeavesTheDomainAsItWas) {
    write({"old", "-int", "1"});
    std::string before = read_file(file);
    // 512 containers of text, added inside an array: 514 deep in the file.
    auto deep = defaults({"write", kDomain, "k", "-array-add", nested_arrays(512)});
    EXPECT_EQ(deep.exit_code, 1);
    EXPECT_EQ(deep.err, "defaults: could not write domain " + kDomain + " to " + file +
                            ": the value of key k cannot be stored: it is nested deeper than 512 containers\n");
    EXPECT_EQ(read_file(file), before);

    // A whole domain whose only key is too deep: refused, the old keys stay.
    auto whole = defaults({"write", kDomain, "{a=" + nested_arrays(600) + ";}"});
    EXPECT_EQ(whole.exit_code, 1);
    EXPECT_THAT(whole.err, MatchesRegex("defaults: could not parse \\{a=\\(+\\.\\.\\. \\(1205 bytes\\) as property-list "
                                        "text: containers nested deeper than 512 at offset 514\n"));
    EXPECT_EQ(read_file(file), before);
    EXPECT_EQ(defaults({"read", kDomain, "old"}).out, "1\n");
}

TEST_F(DefaultsLimits, DeeplyNestedTextIsRefusedInOneLineNotByACrash) {
    auto result = defaults({"write", "x", "k", nested_arrays(60000)});
    EXPECT_EQ(result.signal, 0) << "the parser ran out of stack";
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_THAT(result.err, MatchesRegex("defaults: could not parse \\(+\\.\\.\\. \\(120000 bytes\\) as property-list "
                                         "text: containers nested deeper than 512 at offset 512 \\(quote the whole "
                                         "value for the shell, or use -string\\)\n"));
    EXPECT_FALSE(file_exists(home.preferences_dir() + "/x.plist"));
}

TEST_F(DefaultsLimits, AnEntryTooDeepInTheFileHidesOnlyItself) {
    std::filesystem::create_directories(home.preferences_dir());
    const std::string original =
        xml_domain("<key>keep</key><integer>1</integer><key>deep</key>" + xml_nested_arrays(600));
    write_file(file, original);
    const std::string note = "defaults: domain " + kDomain + ": 1 entry of " + file +
                             " nested deeper than the property-list limit (512) left out\n";
    auto one = defaults({"read", kDomain, "keep"});
    EXPECT_EQ(one.exit_code, 0) << one.err;
    EXPECT_EQ(one.out, "1\n");
    EXPECT_EQ(one.err, note);
    auto all = defaults({"read", kDomain});
    EXPECT_EQ(all.exit_code, 0);
    EXPECT_EQ(all.out, "{\n    keep = 1;\n}\n");

    // A write keeps the rest and the whole old file aside, deep entry and all.
    auto written = defaults({"write", kDomain, "other", "-int", "2"});
    EXPECT_EQ(written.exit_code, 0) << written.err;
    ASSERT_FALSE(kept_aside_copy().empty());
    EXPECT_EQ(written.err, "defaults: domain " + kDomain + ": " + file +
                               " held 1 entry nested deeper than the property-list limit (512); the old file was "
                               "kept as " + kept_aside_copy() + "\n");
    EXPECT_EQ(read_file(kept_aside_copy()), original);
    EXPECT_EQ(defaults({"read", kDomain}).out, "{\n    keep = 1;\n    other = 2;\n}\n");

    // A file named by its path is never rewritten without the entry.
    std::string direct = home.home() + "/direct.plist";
    write_file(direct, original);
    auto refused = defaults({"write", direct, "other", "-int", "2"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.err, "defaults: could not write domain " + direct + " to " + direct +
                               ": the file holds 1 entry nested deeper than the property-list limit (512); it was "
                               "left as it is\n");
    EXPECT_EQ(read_file(direct), original);
}

TEST_F(DefaultsLimits, ImportStopsAtTheSizeLimitWhileReading) {
    auto device = defaults({"import", kDomain, "/dev/zero"});
    EXPECT_EQ(device.signal, 0);
    EXPECT_EQ(device.exit_code, 1);
    EXPECT_EQ(device.err, "defaults: could not import /dev/zero: too large: more than 64 MiB\n");
    auto endless = defaults_after("true", "import " + kDomain + " - < /dev/zero");
    EXPECT_EQ(endless.exit_code, 1);
    EXPECT_EQ(endless.err, "defaults: could not import standard input: too large: more than 64 MiB\n");
    auto piped = run_process({"/bin/sh", "-c", "yes 2>/dev/null | '" + bin_path("defaults") + "' import " + kDomain + " -"},
                             {.env = home.env()});
    EXPECT_EQ(piped.exit_code, 1);
    EXPECT_EQ(piped.err, "defaults: could not import standard input: too large: more than 64 MiB\n");
    EXPECT_FALSE(file_exists(file));

    // A domain file over the limit is not read either, and says why.
    std::filesystem::create_directories(home.preferences_dir());
    int fd = open(file.c_str(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t{64} << 20) + 1), 0);
    close(fd);
    auto huge = defaults({"read", kDomain});
    EXPECT_EQ(huge.exit_code, 1);
    EXPECT_EQ(huge.err, "defaults: domain " + kDomain + ": " + file + " is too large: more than 64 MiB\n");
}

TEST_F(DefaultsLimits, ImportKeepsTextWithANulAndRefusesWhatItCannotStore) {
    std::string with_nul = home.home() + "/nul.plist";
    write_file(with_nul, xml_domain("<key>a</key><string>x" + std::string(1, '\0') +
                                    "y</string><key>b</key><integer>1</integer>"));
    auto imported = defaults({"import", kDomain, with_nul});
    EXPECT_EQ(imported.exit_code, 0) << imported.err;
    EXPECT_EQ(defaults({"read", kDomain, "a"}).out, std::string("x\0y\n", 4)) << "the key was dropped or cut";
    EXPECT_EQ(defaults({"read", kDomain}).out, "{\n    a = \"x\\000y\";\n    b = 1;\n}\n");

    // A file with an entry beyond the limits is refused whole; the domain stays.
    std::string deep = home.home() + "/deep.plist";
    write_file(deep, xml_domain("<key>c</key><integer>3</integer><key>deep</key>" + xml_nested_arrays(600)));
    std::string before = read_file(file);
    auto refused = defaults({"import", kDomain, deep});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.err, "defaults: could not import " + deep +
                               ": 1 entry is nested deeper than the property-list limit (512)\n");
    EXPECT_EQ(read_file(file), before);
}

TEST_F(DefaultsLimits, TakingTheLockClearsWhatAKilledWriterLeft) {
    write({"k", "-int", "1"});
    std::string stale = home.preferences_dir() + "/." + kDomain + ".plist.tmp-0123456789abcdef0123";
    write_file(stale, "half a file");
    std::string direct = home.home() + "/direct.plist";
    ASSERT_EQ(defaults({"write", direct, "k", "-int", "1"}).exit_code, 0);
    std::string direct_stale = home.home() + "/.direct.plist.tmp-KILLED";
    write_file(direct_stale, "half a file");

    write({"k", "-int", "2"});
    EXPECT_FALSE(file_exists(stale)) << "the store's writer kept a killed writer's temporary";
    ASSERT_EQ(defaults({"write", direct, "k", "-int", "2"}).exit_code, 0);
    EXPECT_FALSE(file_exists(direct_stale)) << "a direct write kept a killed writer's temporary";
}

TEST_F(DefaultsLimits, AFileSizeLimitIsAReportedFailureNotASignal) {
    write({"k", "-int", "1"});
    std::string before = read_file(file);
    auto limited = defaults_after("ulimit -f 0", "write " + kDomain + " k -int 2");
    EXPECT_EQ(limited.signal, 0) << "killed by SIGXFSZ";
    EXPECT_EQ(limited.exit_code, 1);
    EXPECT_EQ(limited.err, "defaults: could not write domain " + kDomain + " to " + file + ": File too large\n");
    EXPECT_EQ(read_file(file), before);
    for (const auto &name : names_in_preferences())
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << "temporary left behind: " << name;
}

TEST_F(DefaultsLimits, AUmaskThatClearsOwnerWriteLeavesNoFolderOrFileUnwritable) {
    auto first = defaults_after("umask 0277", "write " + kDomain + " k -int 1");
    ASSERT_EQ(first.exit_code, 0) << first.err;
    EXPECT_EQ(mode_of(home.home() + "/Library"), 0700u);
    EXPECT_EQ(mode_of(home.preferences_dir()), 0700u);
    EXPECT_EQ(mode_of(file), 0600u);
    auto second = defaults_after("umask 0277", "write " + kDomain + " k -int 2");
    EXPECT_EQ(second.exit_code, 0) << second.err;
    EXPECT_EQ(defaults({"read", kDomain, "k"}).out, "2\n");
}

TEST_F(DefaultsLimits, APreferencesFolderOfAnotherUserIsRefused) {
    TempDir elsewhere;
    std::string foreign = elsewhere.path() + "/world-writable";
    std::filesystem::create_directories(foreign);
    chmod(foreign.c_str(), 0777);
    if (geteuid() != 0 || chown(foreign.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "needs root to give a folder away";
    std::filesystem::create_directories(home.home() + "/Library");
    ASSERT_EQ(symlink(foreign.c_str(), home.preferences_dir().c_str()), 0);
    auto refused = defaults({"write", kDomain, "k", "-int", "1"});
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.err, "defaults: could not write domain " + kDomain + " to " + file + ": the folder " +
                               home.preferences_dir() + " (which leads to " + foreign +
                               ") belongs to user 65534, not to this user (0)\n");
    EXPECT_TRUE(std::filesystem::is_empty(foreign)) << "something was written in another user's folder";
}

}  // namespace
