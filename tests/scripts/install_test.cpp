// `make install` and `make uninstall` (scripts/install.sh, uninstall.sh)
// against the built tree, into temporary homes and staging directories:
// the installed programs run from where they landed, a session start runs
// the autostart entries' own command lines, and uninstalling leaves the
// home as it was apart from the user's data.
#include "process.h"
#include "temp_home.h"
#include "wait.h"
#include "x_windows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using glissor_test::BackgroundProcess;
using glissor_test::eventually;
using glissor_test::ProcessOptions;
using glissor_test::ProcessResult;
using glissor_test::read_file;
using glissor_test::run_process;
using glissor_test::TempDir;
using glissor_test::write_file;
using namespace std::chrono_literals;

namespace {

// Every path under root, relative to it.
std::set<std::string> listing(const std::string &root) {
    std::set<std::string> paths;
    for (const auto &entry : fs::recursive_directory_iterator(root))
        paths.insert(fs::relative(entry.path(), root).string());
    return paths;
}

// The value of KEY= in a desktop entry's file, with the file's string
// escapes (\\, \s, \t, \n) undone.
std::string entryValue(const std::string &file, const std::string &key) {
    std::istringstream in(read_file(file));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + "=", 0) != 0) continue;
        std::string value;
        for (size_t i = key.size() + 1; i < line.size(); ++i) {
            if (line[i] != '\\' || i + 1 == line.size()) {
                value += line[i];
                continue;
            }
            char next = line[++i];
            value += next == 's' ? ' ' : next == 't' ? '\t' : next == 'n' ? '\n' : next;
        }
        return value;
    }
    return "";
}

// An Exec value split into arguments as a launcher does: double quotes
// group, and inside them a backslash takes the next character as it is.
std::vector<std::string> execArguments(const std::string &exec) {
    std::vector<std::string> arguments;
    std::string current;
    bool quoted = false, inArgument = false;
    for (size_t i = 0; i < exec.size(); ++i) {
        char c = exec[i];
        if (quoted && c == '\\' && i + 1 < exec.size()) {
            current += exec[++i];
        } else if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if (c == ' ' && !quoted) {
            if (inArgument) arguments.push_back(current);
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument) arguments.push_back(current);
    return arguments;
}

// Whether any process runs the program at that path.
bool somebodyRuns(const std::string &program) {
    std::error_code ignored;
    for (const auto &entry : std::filesystem::directory_iterator("/proc", ignored))
        if (std::filesystem::read_symlink(entry.path() / "exe", ignored) == program) return true;
    return false;
}

int countOf(const std::string &text, const std::string &part) {
    int found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
    return found;
}

class InstallTest : public ::testing::Test {
protected:
    // The environment of a user whose home is `home`: no library path, no
    // socket named, the runtime directory a private one.
    std::map<std::string, std::string> userEnv() const {
        // No desktop either: the service's --backend auto then picks none,
        // and nothing reaches the session of whoever runs the tests.
        return {{"HOME", home},          {"XDG_CONFIG_HOME", ""}, {"XDG_RUNTIME_DIR", runtime.path()},
                {"HIDSYSTEM_SOCKET", ""}, {"LD_LIBRARY_PATH", ""}, {"CFPREFERENCES_SYSTEM_DIR", ""},
                {"PREFIX", ""},           {"DESTDIR", ""},         {"GLISSOR_AUTOSTART_DIR", ""},
                {"DISPLAY", ""},          {"WAYLAND_DISPLAY", ""}, {"XDG_CURRENT_DESKTOP", ""},
                {"SWAYSOCK", ""},         {"XDG_STATE_HOME", ""},  {"DBUS_SESSION_BUS_ADDRESS", "disabled:"},
                {"XDG_SESSION_TYPE", ""}};
    }
    ProcessResult script(const std::string &name, std::map<std::string, std::string> env) const {
        return run_process({GLISSOR_SOURCE_DIR "/scripts/" + name, GLISSOR_BUILD_DIR}, {.env = std::move(env)});
    }
    ProcessResult installed(const std::string &program, std::vector<std::string> arguments,
                            const std::string &input = "") const {
        arguments.insert(arguments.begin(), installDir() + "/bin/" + program);
        return run_process(arguments, {.stdin_text = input, .env = userEnv()});
    }
    std::string installDir() const { return home + "/.local/lib/glissor"; }
    std::string autostart(const std::string &name) const {
        return home + "/.config/autostart/org.glissor.Glissor." + name + ".desktop";
    }

    TempDir root;
    TempDir runtime;
    std::string home = root.path() + "/home of a user";
};

TEST_F(InstallTest, AnInstalledSessionRunsTheHelperAndUninstallingLeavesOnlyTheUsersData) {
    // The user's own things, before Glissor: a program, an autostart entry.
    fs::create_directories(home + "/.local/bin");
    fs::create_directories(home + "/.config/autostart");
    glissor_test::write_file(home + "/.local/bin/their-tool", "#!/bin/sh\n");
    glissor_test::write_file(home + "/.config/autostart/their.desktop", "[Desktop Entry]\n");
    std::set<std::string> before = listing(home);

    ProcessResult install = script("install.sh", userEnv());
    ASSERT_EQ(install.exit_code, 0) << install.out << install.err;
    std::string application = home + "/.local/share/applications/org.glissor.Glissor.desktop";
    ProcessResult valid = run_process({"/usr/bin/desktop-file-validate", application, autostart("EventService"),
                                       autostart("Login")});
    EXPECT_EQ(valid.exit_code, 0) << valid.out << valid.err;
    EXPECT_EQ(valid.out + valid.err, "");
    EXPECT_EQ(entryValue(application, "Name"), "Glissor");
    EXPECT_TRUE(glissor_test::file_exists(home + "/.local/share/icons/hicolor/scalable/apps/" +
                                          entryValue(application, "Icon") + ".svg"));

    // The menu runs the glissor command; the pane it opens, run as a
    // script: ticking the box registers the installed helper, by its
    // installed path.
    EXPECT_EQ(execArguments(entryValue(application, "Exec")), std::vector<std::string>{home + "/.local/bin/glissor"});
    ProcessResult ticked = installed("prefhost", {"--script", "-", installDir() + "/Glissor.prefPane"},
                                     "click theCheckbox\nset theMouseSlider 2\nleave\n");
    ASSERT_EQ(ticked.exit_code, 0) << ticked.err;
    std::string helper = installDir() + "/Glissor.prefPane/Contents/Resources/GlissorHelper.app";
    EXPECT_NE(installed("defaults", {"read", "loginwindow"}).out.find("Path = \"" + helper + "\""),
              std::string::npos)
        << installed("defaults", {"read", "loginwindow"}).out;

    // A session starts: exactly the autostart entries' command lines.
    BackgroundProcess service(execArguments(entryValue(autostart("EventService"), "Exec")), userEnv());
    ASSERT_TRUE(eventually([&] { return installed("hidctl", {"ping"}).exit_code == 0; }));
    ProcessResult login = run_process(execArguments(entryValue(autostart("Login"), "Exec")), {.env = userEnv()});
    EXPECT_EQ(login.exit_code, 0) << login.err;
    auto passes = [&] { return countOf(installed("hidctl", {"log"}).out, " HIDMouseAcceleration 131072"); };
    EXPECT_TRUE(eventually([&] { return passes() >= 6; }, 15s)) << installed("hidctl", {"log"}).out;
    // Once the helper has ended, nothing more comes.
    EXPECT_TRUE(eventually([&] { return !somebodyRuns(helper + "/Contents/MacOS/GlissorHelper"); }))
        << "the helper is still running";
    EXPECT_EQ(passes(), 6) << installed("hidctl", {"log"}).out;
    // The installed service chose its backend from the session, and this one has no desktop.
    std::string backend = installed("hidctl", {"backend"}).out;
    EXPECT_NE(backend.find("chosen by: --backend auto: no desktop Glissor knows"), std::string::npos) << backend;
    // glissor status: which install this is and which entries the session
    // runs, then exactly what hidctl backend prints.
    ProcessResult status = run_process({home + "/.local/bin/glissor", "status"}, {.env = userEnv()});
    ASSERT_EQ(status.exit_code, 0) << status.err;
    EXPECT_NE(status.out.find(home + "/.local/bin/glissor, Glissor " GLISSOR_VERSION_FOR_TESTS " from make install\n"), std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("started at session start by " + autostart("EventService") + ": " +
                              entryValue(autostart("EventService"), "Exec")),
              std::string::npos)
        << status.out;
    EXPECT_EQ(status.out.substr(status.out.size() - std::min(status.out.size(), backend.size())), backend);
    EXPECT_EQ(service.stop(SIGTERM), 0);

    ProcessResult uninstall = script("uninstall.sh", userEnv());
    ASSERT_EQ(uninstall.exit_code, 0) << uninstall.out << uninstall.err;
    // Nothing of ours is left; what the user had and what they stored stay.
    std::set<std::string> after = listing(home);
    std::set<std::string> userData;
    std::copy_if(after.begin(), after.end(), std::inserter(userData, userData.end()),
                 [](const std::string &path) { return path.rfind("Library", 0) == 0; });
    std::set<std::string> expected = before;
    expected.insert(userData.begin(), userData.end());
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(userData.count("Library/Preferences/org.glissor.Glissor.plist"));
    ProcessOptions options;
    options.env = userEnv();
    EXPECT_EQ(run_process({glissor_test::bin_path("defaults"), "read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "MouseSpeed"},
                          options).out,
              "2\n");
    // The login window would otherwise look for the deleted helper.
    std::string items = run_process({glissor_test::bin_path("defaults"), "read", "loginwindow"}, options).out;
    EXPECT_EQ(items.find("GlissorHelper"), std::string::npos) << items;
}

TEST_F(InstallTest, AStagedSystemInstallNamesItsFinalPathsAndUninstallsFromTheStage) {
    std::string stage = root.path() + "/stage";
    std::map<std::string, std::string> env = userEnv();
    env["PREFIX"] = "/usr";
    env["DESTDIR"] = stage;
    ProcessResult install = script("install.sh", env);
    ASSERT_EQ(install.exit_code, 0) << install.out << install.err;
    EXPECT_FALSE(fs::exists(home)) << "a staged install touched the user's home";
    std::string service = stage + "/etc/xdg/autostart/org.glissor.Glissor.EventService.desktop";
    EXPECT_EQ(entryValue(service, "Exec"), "/usr/lib/glissor/bin/hidsystemd --backend auto");
    EXPECT_EQ(entryValue(stage + "/usr/share/applications/org.glissor.Glissor.desktop", "Exec"), "/usr/bin/glissor");
    EXPECT_TRUE(fs::is_regular_file(stage + "/usr/lib/glissor/lib/prefhost-window.so"));

    // Installing twice is still one install; uninstalling empties the stage.
    ASSERT_EQ(script("install.sh", env).exit_code, 0);
    ProcessResult uninstall = script("uninstall.sh", env);
    ASSERT_EQ(uninstall.exit_code, 0) << uninstall.out << uninstall.err;
    ASSERT_TRUE(fs::exists(stage));
    EXPECT_TRUE(fs::is_empty(stage)) << "left behind: " << *listing(stage).begin();
}

std::string sha256(const std::string &file) {
    std::string out = run_process({"/usr/bin/sha256sum", file}).out;
    return out.substr(0, out.find(' '));
}

TEST_F(InstallTest, GlissorOpensThePaneInAWindowAndAnswersHelpAndVersion) {
    ASSERT_EQ(script("install.sh", userEnv()).exit_code, 0);
    std::string glissor = home + "/.local/bin/glissor";
    EXPECT_EQ(run_process({glissor, "--version"}).out, "glissor (Glissor) " GLISSOR_VERSION_FOR_TESTS "\n");
    EXPECT_NE(run_process({glissor, "--help"}).out.find("glissor status [ARGUMENT...]"), std::string::npos);
    ProcessResult wrong = run_process({glissor, "stauts"});
    EXPECT_EQ(wrong.exit_code, 2);
    EXPECT_NE(wrong.err.find("glissor: unknown command stauts"), std::string::npos) << wrong.err;

    glissor_test::XServer xserver;
    std::map<std::string, std::string> env = userEnv();
    for (const auto &[name, value] : xserver.env()) env[name] = value;
    BackgroundProcess window({glissor}, env);
    glissor_test::WindowId id = glissor_test::waitForWindowOf(xserver, window.pid(), 20s);
    ASSERT_NE(id, 0u) << "no window of glissor on " << xserver.display();
    glissor_test::requestClose(xserver, id);
    EXPECT_EQ(window.wait(20s), 0);
    // Closing the window left the pane: both speeds are stored.
    EXPECT_EQ(installed("defaults", {"read", GLISSOR_PANE_IDENTIFIER_FOR_TESTS, "TrackpadSpeed"}).out, "1\n");
}

TEST_F(InstallTest, UninstallRemovesOnlyWhatTheInstallWroteAndInstallOverwritesNothingElse) {
    // Another program's manual page with the name of one of ours.
    std::string theirPage = home + "/.local/share/man/man1/defaults.1";
    fs::create_directories(home + "/.local/share/man/man1");
    write_file(theirPage, "another program's page\n");
    ASSERT_EQ(script("install.sh", userEnv()).exit_code, 0);
    EXPECT_EQ(read_file(theirPage), "another program's page\n");
    EXPECT_TRUE(fs::is_regular_file(home + "/.local/share/man/man1/glissor-defaults.1"));

    // Lines no install wrote: the user's files and folder, one reached
    // through "..", one outside the prefix; and a file of ours changed since.
    std::string thesis = home + "/thesis.txt", notes = home + "/.local/notes.txt";
    std::string folder = home + "/.local/share/empty of mine";
    write_file(thesis, "years of work\n");
    write_file(notes, "mine\n");
    fs::create_directories(folder);
    std::string icon = home + "/.local/share/icons/hicolor/scalable/apps/org.glissor.Glissor.svg";
    write_file(icon, read_file(icon) + "<!-- changed -->\n");
    std::string manifest = home + "/.local/share/glissor/install-manifest.txt";
    write_file(manifest, read_file(manifest) + thesis + "\n" + "file " + sha256(thesis) + " " + thesis + "\n" +
                             "file " + sha256(notes) + " " + home + "/.local/lib/glissor/../../notes.txt\n" +
                             "dir " + folder + "\n" + folder + "/\n");

    ProcessResult uninstall = script("uninstall.sh", userEnv());
    ASSERT_EQ(uninstall.exit_code, 0) << uninstall.err;
    EXPECT_EQ(read_file(thesis), "years of work\n");
    EXPECT_EQ(read_file(notes), "mine\n");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(read_file(theirPage), "another program's page\n");
    EXPECT_TRUE(fs::exists(icon));
    EXPECT_NE(uninstall.err.find("kept " + thesis + ": outside " + home + "/.local"), std::string::npos)
        << uninstall.err;
    EXPECT_NE(uninstall.err.find("/../../notes.txt: not a plain path"), std::string::npos) << uninstall.err;
    EXPECT_NE(uninstall.err.find("kept " + icon + ": changed since it was installed"), std::string::npos)
        << uninstall.err;
    // The rest of ours is gone.
    EXPECT_FALSE(fs::exists(installDir()));
    EXPECT_FALSE(fs::exists(home + "/.local/bin/glissor"));
    EXPECT_FALSE(fs::exists(home + "/.local/share/man/man1/glissor-defaults.1"));
    EXPECT_FALSE(fs::exists(autostart("EventService")));
    EXPECT_FALSE(fs::exists(manifest));
}

TEST_F(InstallTest, InstallStopsBeforeOverwritingAFileItDidNotWrite) {
    std::string theirs = home + "/.local/bin/glissor";
    fs::create_directories(home + "/.local/bin");
    write_file(theirs, "#!/bin/sh\necho another glissor\n");
    ProcessResult install = script("install.sh", userEnv());
    EXPECT_EQ(install.exit_code, 1);
    EXPECT_NE(install.err.find(theirs + " exists and was not installed by Glissor; not overwriting it"),
              std::string::npos)
        << install.err;
    EXPECT_TRUE(read_file(theirs) == "#!/bin/sh\necho another glissor\n") << "their glissor was overwritten";
    EXPECT_FALSE(fs::exists(installDir())) << "installed part of it after all";
}

TEST_F(InstallTest, PrefixIsTakenAsDataAndWhatADesktopEntryCannotCarryIsRefused) {
    // Through make, as a user types it: nothing in it is expanded or run.
    std::string prefix = root.path() + "/odd $HOME `touch " + root.path() + "/ran` \"q\" 'x'";
    std::map<std::string, std::string> env = userEnv();
    env.insert({{"MAKEFLAGS", ""}, {"MAKELEVEL", ""}, {"MFLAGS", ""}});
    auto make = [&](const std::string &target, const std::string &prefixValue) {
        return run_process({"/usr/bin/make", "-s", "-C", GLISSOR_SOURCE_DIR, target, "BUILD_DIR=" GLISSOR_BUILD_DIR,
                            "PREFIX=" + prefixValue},
                           {.env = env});
    };
    ProcessResult install = make("install-built", prefix);
    ASSERT_EQ(install.exit_code, 0) << install.out << install.err;
    EXPECT_FALSE(fs::exists(root.path() + "/ran")) << "a command in PREFIX ran";
    EXPECT_TRUE(fs::is_regular_file(prefix + "/lib/glissor/bin/prefhost"));
    std::string application = prefix + "/share/applications/org.glissor.Glissor.desktop";
    std::string service = prefix + "/etc/xdg/autostart/org.glissor.Glissor.EventService.desktop";
    ProcessResult valid = run_process({"/usr/bin/desktop-file-validate", application, service});
    EXPECT_EQ(valid.exit_code, 0) << valid.out << valid.err;
    EXPECT_EQ(execArguments(entryValue(application, "Exec")), std::vector<std::string>{prefix + "/bin/glissor"});
    std::vector<std::string> serviceCommand = execArguments(entryValue(service, "Exec"));
    ASSERT_FALSE(serviceCommand.empty());
    EXPECT_EQ(serviceCommand[0], prefix + "/lib/glissor/bin/hidsystemd");
    EXPECT_EQ(run_process({prefix + "/bin/glissor", "--version"}).exit_code, 0);
    ProcessResult uninstall = make("uninstall", prefix);
    EXPECT_EQ(uninstall.exit_code, 0) << uninstall.err;
    EXPECT_FALSE(fs::exists(prefix)) << "the install made the prefix; uninstalling takes it";

    for (const auto &[refusedPrefix, reason] : std::map<std::string, std::string>{
             {root.path() + "/at 100%", "has a '%'"}, {root.path() + "/back\\slash", "has a '\\'"}}) {
        ProcessResult refused = make("install-built", refusedPrefix);
        EXPECT_EQ(refused.exit_code, 2);
        EXPECT_NE(refused.err.find("install: PREFIX '" + refusedPrefix + "' " + reason), std::string::npos)
            << refused.err;
        EXPECT_FALSE(fs::exists(refusedPrefix));
    }
}

TEST_F(InstallTest, TwoInstallsIntoOnePrefixAtOnceBothSucceedWithOneCompleteList) {
    fs::create_directories(home);
    BackgroundProcess first({GLISSOR_SOURCE_DIR "/scripts/install.sh", GLISSOR_BUILD_DIR}, userEnv());
    ProcessResult second = script("install.sh", userEnv());
    EXPECT_EQ(second.exit_code, 0) << second.err;
    EXPECT_EQ(first.wait(60s), 0);

    // Every file on disk is listed once, with the checksum of what is there.
    std::string manifest = home + "/.local/share/glissor/install-manifest.txt";
    std::set<std::string> listed;
    std::istringstream lines(read_file(manifest));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("file ", 0) != 0) continue;
        std::string checksum = line.substr(5, 64), path = line.substr(70);
        EXPECT_TRUE(listed.insert(path).second) << "listed twice: " << path;
        EXPECT_EQ(sha256(path), checksum) << path;
    }
    std::set<std::string> onDisk;
    for (const auto &entry : fs::recursive_directory_iterator(home))
        if (entry.is_regular_file() && entry.path() != manifest) onDisk.insert(entry.path().string());
    EXPECT_EQ(listed, onDisk);
    ASSERT_EQ(script("uninstall.sh", userEnv()).exit_code, 0);
    EXPECT_TRUE(fs::is_empty(home)) << "left behind: " << *listing(home).begin();
}

}  // namespace

namespace {

// Uninstalling forgets the installed helper's login item: every entry of
// that exact path, and no other (not a helper of the same name elsewhere).
TEST(ForgetLoginItem, RemovesEveryEntryOfThatPathAndNothingElse) {
    glissor_test::TempHome home;
    auto item = [](const std::string &path) {
        return "<dict><key>Hide</key><true/><key>Path</key><string>" + path + "</string></dict>";
    };
    std::string installed = "/opt/a b/Glissor.prefPane/Contents/Resources/GlissorHelper.app";
    fs::create_directories(home.preferences_dir());
    glissor_test::write_file(home.preferences_dir() + "/loginwindow.plist",
                             "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                             "<key>AutoLaunchedApplicationDictionary</key><array>" +
                                 item(installed) + item("/elsewhere/GlissorHelper.app") + item(installed) +
                                 item("/usr/bin/other.app") + "</array></dict></plist>\n");
    ProcessOptions options;
    options.env = home.env();
    ProcessResult forget = run_process({glissor_test::bin_path("glissor-forget-login-item"), installed}, options);
    ASSERT_EQ(forget.exit_code, 0) << forget.err;
    std::string items =
        run_process({glissor_test::bin_path("defaults"), "read", "loginwindow", "AutoLaunchedApplicationDictionary"},
                    options)
            .out;
    EXPECT_EQ(items.find("/opt/a b/"), std::string::npos) << items;
    EXPECT_NE(items.find("/elsewhere/GlissorHelper.app"), std::string::npos) << items;
    EXPECT_NE(items.find("/usr/bin/other.app"), std::string::npos) << items;
    // Nothing to forget is no failure, and a wrong command line is a usage error.
    EXPECT_EQ(run_process({glissor_test::bin_path("glissor-forget-login-item"), installed}, options).exit_code, 0);
    EXPECT_EQ(run_process({glissor_test::bin_path("glissor-forget-login-item")}, options).exit_code, 2);
}

}  // namespace
