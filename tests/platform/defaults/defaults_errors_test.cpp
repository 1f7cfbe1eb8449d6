// Every failure of defaults is one line naming the object, what went wrong
// and the system's reason, with a non-zero exit.
#include "process.h"
#include "temp_home.h"

#include <gmock/gmock.h>

#include <filesystem>

#include <sys/stat.h>

using namespace glissor_test;
using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

const std::string kDomain = "org.example.errors";

class DefaultsErrors : public ::testing::Test {
protected:
    TempHome home;
    std::string file = home.preferences_dir() + "/" + kDomain + ".plist";

    ProcessResult defaults(std::vector<std::string> args) {
        args.insert(args.begin(), bin_path("defaults"));
        return run_process(args, {.env = home.env()});
    }
    static void expect_one_line_failure(const ProcessResult &result, const std::string &expected) {
        EXPECT_EQ(result.exit_code, 1);
        EXPECT_EQ(result.err, "defaults: " + expected + "\n");
    }
};

TEST_F(DefaultsErrors, RefusedValuesAndNamesSayWhy) {
    expect_one_line_failure(defaults({"write", kDomain, "K", "-string", "bad\xffutf8"}),
                            "argument 5 is not valid UTF-8: bad\\xffutf8");
    expect_one_line_failure(defaults({"write", kDomain, "K", "-float", "nan"}),
                            "not a number (nan is refused for a float): nan");
    expect_one_line_failure(defaults({"write", kDomain, "K", "-float", "inf"}), "out of range for a float: inf");
    expect_one_line_failure(defaults({"write", kDomain, "K", "-float", "1e39"}), "out of range for a float: 1e39");
    expect_one_line_failure(defaults({"write", kDomain, "K", "-double", "-infinity"}),
                            "out of range for a double: -infinity");
    expect_one_line_failure(defaults({"write", kDomain, "K", "-data", "abc"}), "not hex data (pairs of hex digits): abc");
    EXPECT_EQ(defaults({"write", kDomain, "K", "-date", "yesterday"}).exit_code, 1);
    expect_one_line_failure(
        defaults({"write", "../escape", "K", "1"}),
        "refused domain name ../escape: a domain name cannot hold '/' (name a file by an absolute path or one "
        "ending in .plist)");
    EXPECT_FALSE(std::filesystem::exists(file)) << "nothing refused was written";

    ASSERT_EQ(defaults({"write", kDomain, "Text", "words"}).exit_code, 0);
    expect_one_line_failure(defaults({"write", kDomain, "Text", "-array-add", "x"}),
                            "cannot add to Text in domain " + kDomain + ": it is a string, not an array");
}

TEST_F(DefaultsErrors, UnreadableAndBrokenFilesAreNamedWithTheReason) {
    std::filesystem::create_directories(file);  // a directory where the file should be: read() fails
    expect_one_line_failure(defaults({"read", kDomain}),
                            "could not read domain " + kDomain + " from " + file + ": Is a directory");
    expect_one_line_failure(defaults({"write", kDomain, "K", "1"}),
                            "could not write domain " + kDomain + " to " + file +
                                ": the file cannot be read (Is a directory)");
    std::filesystem::remove(file);

    write_file(file, "this is not a property list");
    expect_one_line_failure(defaults({"read", kDomain}),
                            "domain " + kDomain + ": " + file + " is not a property list");
    auto replaced = defaults({"write", kDomain, "K", "-int", "1"});
    EXPECT_EQ(replaced.exit_code, 0);
    EXPECT_THAT(replaced.err, MatchesRegex("defaults: domain " + kDomain + ": .*" + kDomain +
                                           "\\.plist was not a property list; the old file was kept as .*\\.corrupt-.*\n"));
    std::string kept = replaced.err.substr(replaced.err.rfind(' ') + 1);
    kept.pop_back();
    EXPECT_EQ(read_file(kept), "this is not a property list");
    EXPECT_EQ(defaults({"read", kDomain, "K"}).out, "1\n");

    std::string not_plist = home.home() + "/notes.plist";
    write_file(not_plist, "plain text");
    expect_one_line_failure(defaults({"write", not_plist, "K", "1"}),
                            "could not write domain " + not_plist + " to " + not_plist +
                                ": the file is not a property list; it was left as it is");
    EXPECT_EQ(read_file(not_plist), "plain text");
}

TEST_F(DefaultsErrors, UnwritableStorageNamesThePathAndTheReason) {
    std::filesystem::create_directories(home.home() + "/Library");
    write_file(home.preferences_dir(), "a file where the directory should be");
    expect_one_line_failure(defaults({"write", kDomain, "K", "1"}),
                            "could not write domain " + kDomain + " to " + file + ": Not a directory");
    expect_one_line_failure(defaults({"write", home.home() + "/missing/dir/x.plist", "K", "1"}),
                            "could not write domain " + home.home() + "/missing/dir/x.plist to " + home.home() +
                                "/missing/dir/x.plist: No such file or directory");
}

TEST_F(DefaultsErrors, MissingThingsAndBadImports) {
    expect_one_line_failure(defaults({"read", kDomain}), "domain " + kDomain + " does not exist");
    expect_one_line_failure(defaults({"export", kDomain, "-"}), "domain " + kDomain + " does not exist");
    expect_one_line_failure(defaults({"import", kDomain, home.home() + "/nothing.plist"}),
                            "could not import " + home.home() + "/nothing.plist: No such file or directory");
    std::string text = home.home() + "/text.plist";
    write_file(text, "(1, 2)");
    expect_one_line_failure(defaults({"import", kDomain, text}),
                            "could not import " + text + ": it is not a property list (XML or binary)");
    ASSERT_EQ(defaults({"write", kDomain, "K", "1"}).exit_code, 0);
    expect_one_line_failure(defaults({"export", kDomain, home.home() + "/no/such/dir.plist"}),
                            "could not export domain " + kDomain + " to " + home.home() +
                                "/no/such/dir.plist: No such file or directory");
}

}  // namespace

// A FIFO where the file should be would block a reader for ever, and a
// stopped writer holding the lock would block every other writer.
TEST(DefaultsHostFiles, AFifoOrAStoppedLockHolderNeverHangsTheTool) {
    TempHome home;
    std::string byhost = home.preferences_dir() + "/ByHost";
    std::filesystem::create_directories(byhost);
    std::string fifo = byhost + "/" + kDomain + ".elsewhere.plist";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ProcessOptions options{.env = home.env()};
    options.timeout = std::chrono::seconds(20);
    ProcessResult read =
        run_process({bin_path("defaults"), "-host", "elsewhere", "read", kDomain}, options);
    EXPECT_EQ(read.exit_code, 1) << read.err;
    EXPECT_THAT(read.err, HasSubstr(fifo));
    ProcessResult write =
        run_process({bin_path("defaults"), "-host", "elsewhere", "write", kDomain, "K", "1"}, options);
    EXPECT_EQ(write.exit_code, 1) << write.err;
    EXPECT_THAT(write.err, HasSubstr(fifo));
}
