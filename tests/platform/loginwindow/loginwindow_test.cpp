// The login window, run as a program against lists stored in a throwaway home.
#include "loginwindow_test_support.h"

#include "process.h"
#include "temp_home.h"
#include "wait.h"

#include <gmock/gmock.h>

#include <filesystem>

using namespace glissor_test;
using namespace loginwindow_test;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// Any value, as a list element.
template <typename T>
CFRef<CFTypeRef> any(const CFRef<T> &value) {
    return CFRef<CFTypeRef>::retain(value.get());
}

class LoginWindow : public LiveValueTest {
protected:
    TempHome home;
    std::string apps = home.home() + "/Applications";

    void SetUp() override {
        LiveValueTest::SetUp();
        std::filesystem::create_directories(apps);
    }

    ProcessResult login(const std::vector<std::string> &arguments = {"--wait"},
                        std::map<std::string, std::string> env = {}) {
        std::vector<std::string> argv = {bin_path("loginwindow")};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        env.merge(home.env());
        return run_process(argv, {.env = env, .timeout = std::chrono::seconds(20)});
    }

    // A plain executable that records how it was started in apps/NAME.record.
    std::string recorder(const std::string &name) {
        std::string path = apps + "/" + name;
        write_script(path, recorder_script(record_of(name)));
        return path;
    }
    std::string record_of(const std::string &name) const { return apps + "/" + name + ".record"; }
};

TEST_F(LoginWindow, OpensEachApplicationDetachedWithNoArgumentsInItsOwnSessionWithTheHint) {
    // The bundle's executable has a name of its own: it is found through Info.plist.
    std::string bundle = make_bundle(apps, "Recorder.app", info_naming("record-launch"));
    write_script(bundle + "/Contents/MacOS/record-launch", recorder_script(record_of("bundle")));
    std::string plain = recorder("plain");
    store_list({any(record(bundle, true)), any(record(plain, false))});

    // A hint the login window itself inherited must not reach what it opens.
    auto result = login({"--wait"}, {{"LOGINWINDOW_HIDE", "1"}, {"LOGINWINDOW_TEST_MARK", "from-login"}});
    ASSERT_EQ(result.exit_code, 0) << result.err;

    auto bundle_lines = lines_about(result.err, 0);
    ASSERT_EQ(bundle_lines.size(), 2u) << result.err;
    EXPECT_THAT(bundle_lines[0], HasSubstr(bundle + ": opened, pid "));
    EXPECT_THAT(bundle_lines[0], testing::EndsWith(", hidden"));
    long bundle_pid = pid_in(bundle_lines[0]);
    EXPECT_THAT(bundle_lines[1], testing::EndsWith("pid " + std::to_string(bundle_pid) + " exited with status 0"));

    auto plain_lines = lines_about(result.err, 1);
    ASSERT_EQ(plain_lines.size(), 2u) << result.err;
    EXPECT_THAT(plain_lines[0], testing::EndsWith(", not hidden"));
    long plain_pid = pid_in(plain_lines[0]);

    auto hidden = read_record(record_of("bundle"));
    auto shown = read_record(record_of("plain"));
    for (auto *started : {&hidden, &shown}) {
        EXPECT_EQ((*started)["args"], "0");
        EXPECT_EQ((*started)["cwd"], "/");
        EXPECT_EQ((*started)["sid"], (*started)["pid"]) << "a session of its own";
        EXPECT_EQ((*started)["mark"], "from-login") << "the user's environment";
        EXPECT_EQ((*started)["fd0"], "/dev/null");
        EXPECT_EQ((*started)["fd1"], "/dev/null");
        EXPECT_EQ((*started)["fd2"], "/dev/null");
    }
    EXPECT_EQ(hidden["pid"], std::to_string(bundle_pid));
    EXPECT_EQ(shown["pid"], std::to_string(plain_pid));
    EXPECT_EQ(hidden["hide"], "1");
    EXPECT_EQ(shown["hide"], "unset");
}

TEST_F(LoginWindow, ReportsEveryRecordItCannotOpenAndGoesOn) {
    std::string bare_dir = apps + "/Bare.app";
    std::filesystem::create_directories(bare_dir);
    std::string readable = apps + "/notes.txt";
    write_script(readable, "exit 0\n", 0644);
    std::string no_name = make_bundle(apps, "NoName.app", "<key>CFBundleName</key><string>x</string>\n");
    // An executable reached by climbing out of Contents/MacOS must not run.
    std::string climbing = make_bundle(apps, "Climb.app", info_naming("../../escape"));
    write_script(climbing + "/escape", recorder_script(record_of("escape")));
    std::string locked = make_bundle(apps, "Locked.app", info_naming("Tool"));
    write_script(locked + "/Contents/MacOS/Tool", "exit 0\n", 0644);
    std::string garbled = make_bundle(apps, "Garbled.app", "");
    write_file(garbled + "/Contents/Info.plist", "<plist><dict><key>oops");
    std::string empty = make_bundle(apps, "Empty.app", info_naming("Tool"));
    std::string not_a_program = apps + "/not-a-program";
    write_script(not_a_program, "", 0755);
    write_file(not_a_program, "just text, no interpreter line\n");
    std::string last = recorder("last");

    int seven = 7;
    auto number = CFRef<CFNumberRef>::adopt(CFNumberCreate(nullptr, kCFNumberIntType, &seven));
    store_list({any(record(apps + "/Missing.app", true)), any(record(bare_dir, true)), any(record(readable, false)),
                any(CFStringFromUTF8("/not/a/record")), any(dictionary({{"Hide", kCFBooleanTrue}})),
                any(dictionary({{"Path", number.get()}})), any(record(no_name, true)), any(record(climbing, true)),
                any(record(locked, true)), any(record(garbled, true)), any(record(empty, true)),
                any(record("Applications/last", false)), any(record(not_a_program, false)),
                any(record(last, false))});
    std::string stored = read_file(list_file());

    auto result = login();
    ASSERT_EQ(result.exit_code, 0) << "an item that cannot be opened is not the login window's failure";
    auto only = [&](size_t index) {
        auto lines = lines_about(result.err, index);
        return lines.size() == 1 ? lines[0] : "lines: " + std::to_string(lines.size());
    };
    EXPECT_THAT(only(0), testing::EndsWith("Missing.app: not opened: missing"));
    EXPECT_THAT(only(1), testing::EndsWith("Bare.app: not opened: not an application: no Contents/Info.plist"));
    EXPECT_THAT(only(2), testing::EndsWith("notes.txt: not opened: not executable"));
    EXPECT_EQ(only(3), "loginwindow: item 3: not opened: the record is not a dictionary");
    EXPECT_EQ(only(4), "loginwindow: item 4: not opened: the record has no string Path");
    EXPECT_EQ(only(5), "loginwindow: item 5: not opened: the record has no string Path");
    EXPECT_THAT(only(6), HasSubstr("NoName.app: not opened: not an application: "
                                   "Contents/Info.plist names no CFBundleExecutable"));
    EXPECT_THAT(only(7), HasSubstr("Climb.app: not opened: not an application: "
                                   "CFBundleExecutable is not a file name in Contents/MacOS"));
    EXPECT_THAT(only(8), testing::EndsWith("Locked.app: not opened: not executable: Contents/MacOS/Tool"));
    EXPECT_THAT(only(9), HasSubstr("Garbled.app: not opened: not an application: Contents/Info.plist does not parse"));
    EXPECT_THAT(only(10), HasSubstr("Empty.app: not opened: not an application: Contents/MacOS/Tool is missing"));
    EXPECT_THAT(only(11), HasSubstr("not opened: not an application: the path is not absolute"));
    EXPECT_THAT(only(12), testing::EndsWith("not-a-program: not opened: cannot start: Exec format error"));
    auto last_lines = lines_about(result.err, 13);
    ASSERT_EQ(last_lines.size(), 2u) << result.err;
    EXPECT_THAT(last_lines[0], HasSubstr(": opened, pid "));

    EXPECT_TRUE(file_exists(record_of("last"))) << "the item after the bad ones still opened";
    EXPECT_FALSE(file_exists(record_of("escape")));
    EXPECT_EQ(read_file(list_file()), stored) << "the login window never changes the list";
}

TEST_F(LoginWindow, SaysSoWhenNothingIsListedAndRefusesAWrongCommandLine) {
    auto wrong = login({"--wait", "extra"});
    EXPECT_EQ(wrong.exit_code, 2);
    EXPECT_EQ(wrong.err,
              "loginwindow: unexpected argument extra\n"
              "usage: loginwindow [--wait]\n"
              "       loginwindow --help | --version\n"
              "Try 'loginwindow --help' for more information.\n");

    auto nothing_stored = login();
    EXPECT_EQ(nothing_stored.exit_code, 0);
    EXPECT_EQ(nothing_stored.err, "loginwindow: no login items\n");
    EXPECT_FALSE(file_exists(list_file())) << "reading creates no list";

    store_list({});
    ASSERT_THAT(read_file(list_file()), HasSubstr("<array")) << "an empty list is stored";
    auto empty = login();
    EXPECT_EQ(empty.exit_code, 0);
    EXPECT_EQ(empty.err, "loginwindow: no login items\n");

    store_value(CFSTR("/Applications/Tool.app"));
    auto foreign = login();
    EXPECT_EQ(foreign.exit_code, 0);
    EXPECT_EQ(foreign.err, "loginwindow: the login items list is not an array; nothing opened\n");
}

TEST_F(LoginWindow, WaitStaysUntilEachApplicationEndsAndReportsHow) {
    std::string slow = apps + "/slow";
    write_script(slow, "sleep 1\ntouch '" + apps + "/slow.done'\nexit 3\n");
    std::string killed = apps + "/killed";
    write_script(killed, "kill -TERM $$\n");
    store_list({any(record(slow, true)), any(record(killed, false))});

    auto result = login({"--wait"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_GE(result.elapsed.count(), 1000);
    EXPECT_TRUE(file_exists(apps + "/slow.done"));
    auto slow_lines = lines_about(result.err, 0);
    ASSERT_EQ(slow_lines.size(), 2u) << result.err;
    EXPECT_THAT(slow_lines[1], testing::EndsWith("pid " + std::to_string(pid_in(slow_lines[0])) +
                                                 " exited with status 3"));
    auto killed_lines = lines_about(result.err, 1);
    ASSERT_EQ(killed_lines.size(), 2u) << result.err;
    EXPECT_THAT(killed_lines[1], testing::EndsWith(" ended by signal 15 (Terminated)"));
}

TEST_F(LoginWindow, WithoutWaitItReturnsWhileTheApplicationsRun) {
    // The application runs until the test lets it end: the login window
    // returns at all only if it neither waits for it nor holds a pipe of it.
    std::string slow = apps + "/slow";
    write_script(slow, "while [ ! -e '" + apps + "/go' ]; do sleep 0.05; done\ntouch '" + apps + "/slow.done'\n");
    store_list({any(record(slow, false))});

    auto result = login({});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_FALSE(result.timed_out) << "the login window waited for the application";
    EXPECT_THAT(lines_about(result.err, 0), ElementsAre(HasSubstr(": opened, pid ")));
    write_file(apps + "/go", "");
    EXPECT_TRUE(eventually([&] { return file_exists(apps + "/slow.done"); }))
        << "it went on running after the login window left";
}

}  // namespace

namespace {

// A record typed by hand with `defaults` holds Hide as the text "1" (old-style
// property lists have only strings); the login window takes it as hidden.
TEST_F(LoginWindow, OpensRecordsWrittenByHandWithDefaults) {
    std::string hidden = recorder("typed-hidden");
    std::string shown = recorder("typed-shown");
    for (const std::string &record : {"{Path=\"" + hidden + "\"; Hide=1;}", "{Path=\"" + shown + "\"; Hide=NO;}"}) {
        auto added = run_process({bin_path("defaults"), "write", "loginwindow", "AutoLaunchedApplicationDictionary",
                                  "-array-add", record},
                                 {.env = home.env()});
        ASSERT_EQ(added.exit_code, 0) << added.err;
    }
    auto result = login();
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_THAT(lines_about(result.err, 0).at(0), testing::EndsWith(", hidden"));
    EXPECT_THAT(lines_about(result.err, 1).at(0), testing::EndsWith(", not hidden"));
    EXPECT_EQ(read_record(record_of("typed-hidden"))["hide"], "1");
}

}  // namespace
