// `make deb` (scripts/deb.sh): the package built from this checkout holds
// exactly what `make install PREFIX=/usr` lays out, plus Debian's own
// files; lintian and appstreamcli find nothing wrong with it; unpacked
// into a throwaway root, its tree runs from there; and once its files are
// gone, a login item that pointed at its helper is reported at login.
#include "process.h"
#include "temp_home.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using glissor_test::BackgroundProcess;
using glissor_test::ProcessResult;
using glissor_test::read_file;
using glissor_test::run_process;
using glissor_test::TempDir;
using namespace std::chrono_literals;

namespace {

bool installed(const std::string &program) { return access(program.c_str(), X_OK) == 0; }

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The package, built once: ctest runs each test in a process of its own,
// so its parts are one test. It is built in a folder of the build that is
// emptied first: at a fixed place, a compiler cache finds the objects of
// the last run again. Built without optimization or debug information,
// which saves much of the compile time and changes nothing checked here:
// the files, their places, the dependencies and what lintian looks at.
struct Package {
    std::string out = GLISSOR_BUILD_DIR "/package-test";
    std::string file;

    ProcessResult build() {
        fs::remove_all(out);
        std::map<std::string, std::string> env = {{"JOBS", "2"}, {"DEB_BUILD_OPTIONS", "noopt"},
                                                   {"DEB_CFLAGS_STRIP", "-g"}, {"DEB_CXXFLAGS_STRIP", "-g"}};
        if (installed("/usr/bin/ccache")) env["GLISSOR_LAUNCHER"] = "/usr/bin/ccache";
        std::string architecture = run_process({"/usr/bin/dpkg-architecture", "-q", "DEB_HOST_ARCH"}).out;
        architecture.erase(architecture.find_last_not_of('\n') + 1);
        file = out + "/glissor_" GLISSOR_VERSION_FOR_TESTS "_" + architecture + ".deb";
        return run_process({GLISSOR_SOURCE_DIR "/scripts/deb.sh", out}, {.env = env, .timeout = std::chrono::minutes(20)});
    }
    ~Package() { fs::remove_all(out); }

    // The package unpacked into a fresh root.
    std::string unpack(const TempDir &root) const {
        ProcessResult unpacked = run_process({"/usr/bin/dpkg", "-x", file, root.path()});
        EXPECT_EQ(unpacked.exit_code, 0) << unpacked.err;
        return root.path();
    }
};

// The files of the package, as paths under /.
std::set<std::string> packageFiles(const std::string &unpacked) {
    std::set<std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(unpacked))
        if (!entry.is_directory() || entry.is_symlink()) files.insert("/" + fs::relative(entry.path(), unpacked).string());
    return files;
}

// The files `make install PREFIX=/usr` lists, as the package carries them:
// manual pages compressed, the manifest left out (dpkg keeps its own list).
std::set<std::string> manifestFiles(const std::string &manifest) {
    std::set<std::string> files;
    for (const std::string &line : lines_of(read_file(manifest))) {
        if (line.rfind("file ", 0) != 0) continue;
        std::string path = line.substr(line.find(' ', 5) + 1);
        if (path.rfind("/usr/share/man/", 0) == 0) path += ".gz";
        files.insert(path);
    }
    return files;
}

void holdsWhatMakeInstallListsAndDebiansOwnFiles(const Package &package) {
    TempDir root;
    TempDir stage;
    ProcessResult install = run_process({GLISSOR_SOURCE_DIR "/scripts/install.sh", GLISSOR_BUILD_DIR},
                                        {.env = {{"PREFIX", "/usr"}, {"DESTDIR", stage.path()},
                                                 {"GLISSOR_AUTOSTART_DIR", ""}}});
    ASSERT_EQ(install.exit_code, 0) << install.err;
    std::set<std::string> expected = manifestFiles(stage.path() + "/usr/share/glissor/install-manifest.txt");
    expected.insert({"/usr/share/doc/glissor/copyright", "/usr/share/doc/glissor/changelog.gz"});
    EXPECT_EQ(packageFiles(package.unpack(root)), expected);

    // Its dependencies come from the binaries, not from a list by hand.
    std::string depends = run_process({"/usr/bin/dpkg-deb", "-f", package.file, "Depends"}).out;
    EXPECT_NE(depends.find("libgtk-3-0"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libx11-6"), std::string::npos) << depends;
    EXPECT_NE(depends.find("libc6 (>="), std::string::npos) << depends;
}

void lintianAndAppstreamFindNothingWrong(const Package &package) {
    TempDir root;
    if (!installed("/usr/bin/lintian") || !installed("/usr/bin/appstreamcli")) {
        std::printf("lintian or appstreamcli is not installed (scripts/install-deps.sh installs both): not run\n");
        return;
    }
    ProcessResult lintian = run_process({"/usr/bin/lintian", "--fail-on", "error,warning", package.file},
                                        {.timeout = std::chrono::minutes(5)});
    EXPECT_EQ(lintian.exit_code, 0) << lintian.out << lintian.err;
    EXPECT_EQ(lintian.out, "") << "lintian has something to say";

    std::string metainfo = package.unpack(root) + "/usr/share/metainfo/org.glissor.Glissor.metainfo.xml";
    ProcessResult valid = run_process({"/usr/bin/appstreamcli", "validate", "--no-net", metainfo});
    EXPECT_EQ(valid.exit_code, 0) << valid.out << valid.err;
    EXPECT_NE(read_file(metainfo).find("<launchable type=\"desktop-id\">org.glissor.Glissor.desktop</launchable>"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(root.path() + "/usr/share/applications/org.glissor.Glissor.desktop"));
}

void itsTreeRunsFromWhereverItIsUnpackedAndSaysWhereItCameFrom(const Package &package) {
    TempDir root;
    std::string usr = package.unpack(root) + "/usr";
    EXPECT_NE(read_file(root.path() + "/etc/xdg/autostart/org.glissor.Glissor.EventService.desktop")
                  .find("Exec=/usr/lib/glissor/bin/hidsystemd --backend auto\n"),
              std::string::npos);
    EXPECT_NE(read_file(usr + "/share/applications/org.glissor.Glissor.desktop").find("Exec=/usr/bin/glissor\n"),
              std::string::npos);

    // The programs find their libraries relative to themselves, with no
    // library path, from a root that is not /.
    TempDir runtime;
    glissor_test::TempHome home;
    std::map<std::string, std::string> env = home.env();
    env.insert({{"LD_LIBRARY_PATH", ""}, {"XDG_RUNTIME_DIR", runtime.path()},
                {"HIDSYSTEM_SOCKET", runtime.path() + "/hidsystem.sock"}, {"DISPLAY", ""},
                {"WAYLAND_DISPLAY", ""}, {"XDG_CURRENT_DESKTOP", ""}, {"SWAYSOCK", ""},
                {"XDG_CONFIG_HOME", home.home() + "/.config"}, {"XDG_CONFIG_DIRS", root.path() + "/etc/xdg"}});
    BackgroundProcess service({usr + "/lib/glissor/bin/hidsystemd", "--backend", "auto"}, env);
    ASSERT_TRUE(waitUntil([&] { return run_process({usr + "/lib/glissor/bin/hidctl", "ping"}, {.env = env})
                                           .exit_code == 0; },
                          5s));
    ProcessResult status = run_process({usr + "/bin/glissor", "status"}, {.env = env});
    ASSERT_EQ(status.exit_code, 0) << status.err;
    EXPECT_NE(status.out.find(usr + "/bin/glissor, Glissor " GLISSOR_VERSION_FOR_TESTS
                              " from the Debian package glissor"),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("started at session start by " + root.path() +
                              "/etc/xdg/autostart/org.glissor.Glissor.EventService.desktop: "
                              "/usr/lib/glissor/bin/hidsystemd --backend auto"),
              std::string::npos)
        << status.out;
    EXPECT_NE(status.out.find("chosen by: --backend auto"), std::string::npos) << status.out;
    EXPECT_EQ(service.stop(SIGTERM), 0);
}

void aLoginItemOfTheRemovedHelperIsReportedInOneLineAndTheRestStillOpen(const Package &package) {
    TempDir root;
    std::string usr = package.unpack(root) + "/usr";
    glissor_test::TempHome home;
    std::map<std::string, std::string> env = home.env();
    env.insert({{"LD_LIBRARY_PATH", ""}, {"HIDSYSTEM_SOCKET", home.home() + "/no-service.sock"}});
    // Ticked in the package's pane: the login item names the package's helper.
    ProcessResult ticked = run_process({usr + "/lib/glissor/bin/prefhost", "--script", "-",
                                        usr + "/lib/glissor/Glissor.prefPane"},
                                       {.stdin_text = "click theCheckbox\nleave\n", .env = env});
    ASSERT_EQ(ticked.exit_code, 0) << ticked.err;
    std::string other = home.home() + "/after";
    glissor_test::write_file(other, "#!/bin/sh\ntouch \"$0.ran\"\n");
    chmod(other.c_str(), 0755);
    ProcessResult added = run_process({glissor_test::bin_path("defaults"), "write", "loginwindow",
                                       "AutoLaunchedApplicationDictionary", "-array-add",
                                       "{ Path = \"" + other + "\"; Hide = 0; }"},
                                      {.env = env});
    ASSERT_EQ(added.exit_code, 0) << added.err;

    // The package is removed: its tree is gone, the user's list is not.
    fs::remove_all(root.path() + "/usr");
    ProcessResult login = run_process({glissor_test::bin_path("loginwindow"), "--wait"}, {.env = env});
    EXPECT_EQ(login.exit_code, 0) << login.err;
    std::string helper = usr + "/lib/glissor/Glissor.prefPane/Contents/Resources/GlissorHelper.app";
    std::vector<std::string> lines = lines_of(login.err);
    ASSERT_GE(lines.size(), 1u) << login.err;
    EXPECT_EQ(lines[0], "loginwindow: item 0: " + helper + ": not opened: missing");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string &line) { return line.find("item 0") != std::string::npos; }),
              1)
        << login.err;
    EXPECT_NE(login.err.find("item 1: " + other + ": opened"), std::string::npos) << login.err;
    EXPECT_TRUE(fs::exists(other + ".ran"));
}

TEST(Package, BuildsAndHoldsWhatItShouldAndItsTreeRunsAndLeavesNothingDangling) {
    Package package;
    ProcessResult built = package.build();
    ASSERT_EQ(built.exit_code, 0) << built.out << built.err;
    {
        SCOPED_TRACE("its files");
        holdsWhatMakeInstallListsAndDebiansOwnFiles(package);
    }
    {
        SCOPED_TRACE("lintian and appstreamcli");
        lintianAndAppstreamFindNothingWrong(package);
    }
    {
        SCOPED_TRACE("its tree, unpacked elsewhere");
        itsTreeRunsFromWhereverItIsUnpackedAndSaysWhereItCameFrom(package);
    }
    {
        SCOPED_TRACE("a login item of its helper, once removed");
        aLoginItemOfTheRemovedHelperIsReportedInOneLineAndTheRestStillOpen(package);
    }
}

}  // namespace
