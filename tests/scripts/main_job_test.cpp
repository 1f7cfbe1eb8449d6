// `make run`'s main job with no display: the walk-through of a user's
// session, on a sandbox of its own, stopping what it started.
#include "process.h"
#include "temp_home.h"
#include "wait.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using glissor_test::BackgroundProcess;
using glissor_test::run_process;
using glissor_test::TempDir;

namespace {

void expectContains(const std::string &text, const std::string &part) {
    EXPECT_NE(text.find(part), std::string::npos) << "missing: " << part;
}

// Processes whose command line mentions the text: what a run left running.
int processesMentioning(const std::string &text) {
    int found = 0;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "cmdline");
        std::string commandLine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (commandLine.find(text) != std::string::npos) ++found;
    }
    return found;
}

// The text after `prefix` up to the end of its line.
std::string lineAfter(const std::string &text, const std::string &prefix) {
    size_t at = text.find(prefix);
    if (at == std::string::npos) return "";
    at += prefix.size();
    return text.substr(at, text.find('\n', at) - at);
}

// The processes whose parent is this one, with their command lines; the
// dead ones are reaped on the way. With this process a subreaper, that is
// everything a run it started left behind once the run has ended.
std::vector<std::string> livingChildren() {
    std::vector<std::string> living;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream statFile(entry.path() / "stat");
        std::string stat((std::istreambuf_iterator<char>(statFile)), std::istreambuf_iterator<char>());
        size_t afterName = stat.rfind(')');
        if (afterName == std::string::npos) continue;
        std::istringstream fields(stat.substr(afterName + 1));
        char state = 0;
        pid_t parent = 0;
        if (!(fields >> state >> parent) || parent != getpid()) continue;
        pid_t pid = std::stoi(name);
        if (state == 'Z') {
            waitpid(pid, nullptr, 0);
            continue;
        }
        std::ifstream in(entry.path() / "cmdline");
        std::string commandLine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::replace(commandLine.begin(), commandLine.end(), '\0', ' ');
        living.push_back(std::to_string(pid) + ": " + commandLine);
    }
    return living;
}

// Stops the walk-through during its step on the private Xorg, with
// `signal` to the script alone or to its whole process group (as Ctrl-C
// sends it); then nothing it started may be left: no process, no X server
// socket or lock, nothing in its runtime or temporary folders.
// Display number N is another server's once a live process holds its lock:
// tests run two at a time, and another one's X server may take the number
// as soon as ours has freed it.
bool heldByAnotherServer(const std::string &number) {
    std::ifstream lock("/tmp/.X" + number + "-lock");
    long pid = 0;
    return lock >> pid && pid > 0 && kill(static_cast<pid_t>(pid), 0) == 0;
}

void expectNothingLeftWhenStoppedMidWay(int signal, bool wholeGroup) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    TempDir outside, scratch, runtime, temporary;
    std::string output = scratch.path() + "/output";
    BackgroundProcess run({"/bin/sh", "-c", "exec \"$0\" \"$1\" >\"$2\" 2>&1", GLISSOR_SOURCE_DIR "/scripts/run.sh",
                           GLISSOR_BUILD_DIR, output},
                          {{"DISPLAY", ""},
                           {"WAYLAND_DISPLAY", ""},
                           {"HOME", outside.path()},
                           {"XDG_RUNTIME_DIR", runtime.path()},
                           {"TMPDIR", temporary.path()},
                           {"GLISSOR_SANDBOX", scratch.path() + "/sandbox"}});
    // The line that says the private Xorg and the second service are up.
    std::string text, number;
    glissor_test::eventually(
        [&] {
            text = glissor_test::read_file(output);
            const std::string marker = "\nXorg on :";
            size_t at = text.find(marker);
            if (at != std::string::npos && text.find('\n', at + 1) != std::string::npos) {
                at += marker.size();
                number = text.substr(at, text.find(' ', at) - at);
            }
            return !number.empty() || text.find("skipped)") != std::string::npos || !run.running();
        },
        std::chrono::seconds(90));
    if (number.empty() && text.find("(no private Xorg here") != std::string::npos) GTEST_SKIP() << text;
    ASSERT_FALSE(number.empty()) << text;

    ASSERT_EQ(kill(wholeGroup ? -run.pid() : run.pid(), signal), 0);
    std::optional<int> status = run.wait(std::chrono::seconds(30));
    ASSERT_TRUE(status.has_value()) << "the run did not end; " << glissor_test::read_file(output);
    EXPECT_EQ(*status, 128 + signal) << glissor_test::read_file(output);

    std::vector<std::string> left = livingChildren();
    EXPECT_TRUE(left.empty()) << "left running: " << testing::PrintToString(left);
    // Whatever was left goes, and then what it had started, which comes here.
    glissor_test::eventually([] {
        std::vector<std::string> living = livingChildren();
        for (const std::string &process : living) kill(std::stoi(process), SIGKILL);
        return living.empty();
    });
    // Nothing of ours runs any more; a socket or lock there now is left
    // behind, unless another server holds the number (or is just freeing it).
    EXPECT_TRUE(glissor_test::eventually(
        [&] {
            return heldByAnotherServer(number) || (!std::filesystem::exists("/tmp/.X11-unix/X" + number) &&
                                                   !std::filesystem::exists("/tmp/.X" + number + "-lock"));
        },
        std::chrono::seconds(5)))
        << "the X server's socket or lock is left";
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path())) << "the run's sockets are left";
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path())) << "the private Xorg's folder is left";
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
}

}  // namespace

TEST(MainJob, TheWalkThroughShowsEveryStepOnItsOwnSandboxAndStopsTheService) {
    TempDir outside;  // stands for the user's real home
    TempDir scratch;
    TempDir runtime;
    std::string sandbox = scratch.path() + "/sandbox";
    auto result = run_process({GLISSOR_SOURCE_DIR "/scripts/run.sh", GLISSOR_BUILD_DIR},
                              {.env = {{"DISPLAY", ""},
                                       {"WAYLAND_DISPLAY", ""},
                                       {"HOME", outside.path()},
                                       {"XDG_RUNTIME_DIR", runtime.path()},
                                       {"GLISSOR_SANDBOX", sandbox}},
                               .timeout = std::chrono::seconds(60)});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");

    expectContains(result.out, "theMouseSlider NSSlider 1\n");
    expectContains(result.out, "theCheckbox NSButton 0\n");
    expectContains(result.out, "the factor labels now read: 2.5x 0.5x\n");
    expectContains(result.out, "HIDTrackpadAcceleration    32768    (0.50x)\n");
    expectContains(result.out, "MouseSpeed = 2.5;");
    expectContains(result.out, "TrackpadSpeed = 0.5;");
    expectContains(result.out, "labels, then the checkbox after the click: 2.5x 0.5x 1\n");
    expectContains(result.out, "/GlissorHelper.app: pid ");
    expectContains(result.out, "The helper applied the stored speeds 6 times, one second apart:\n");

    // The picture of the pane, at its size.
    cairo_surface_t *picture = cairo_image_surface_create_from_png((sandbox + "/Glissor.png").c_str());
    EXPECT_EQ(cairo_surface_status(picture), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(picture), 595);
    EXPECT_EQ(cairo_image_surface_get_height(picture), 300);
    cairo_surface_destroy(picture);

    // Nothing outside the sandbox was touched, and the service is gone.
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
    EXPECT_TRUE(glissor_test::file_exists(sandbox + "/home/Library/Preferences/org.glissor.Glissor.plist"));
    EXPECT_EQ(processesMentioning(runtime.path()), 0) << "the event service is still running";
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
    expectContains(result.out, "What changed where (nothing outside " + sandbox + "):\n");
    expectContains(result.out,
                   "HOME='" + sandbox + "/home' '" GLISSOR_BUILD_DIR "/bin/defaults' read org.glissor.Glissor\n");
}

// A checkout at a long path with spaces (longer than a socket's path can
// be), run twice at once, once with a display that cannot be opened: each
// run falls back to the walk-through, on a sandbox and a service of its own.
TEST(MainJob, TwoRunsAtOnceOnALongPathWithSpacesKeepTheirServicesApart) {
    TempDir scratch;
    TempDir runtime;
    std::string checkout = scratch.path() + "/a checkout with spaces/" + std::string(120, 'x');
    std::filesystem::create_directories(checkout);
    std::filesystem::create_directory_symlink(GLISSOR_BUILD_DIR, checkout + "/build");
    auto run = [&](const std::string &display) {
        return run_process({GLISSOR_SOURCE_DIR "/scripts/run.sh", checkout + "/build"},
                           {.env = {{"DISPLAY", display},
                                    {"WAYLAND_DISPLAY", ""},
                                    {"HOME", scratch.path()},
                                    {"XDG_RUNTIME_DIR", runtime.path()},
                                    {"GLISSOR_SANDBOX", checkout + "/sandbox"}},
                            .timeout = std::chrono::seconds(60)});
    };
    auto unusable = std::async(std::launch::async, run, ":31999");
    auto none = std::async(std::launch::async, run, "");
    glissor_test::ProcessResult first = unusable.get(), second = none.get();

    ASSERT_EQ(first.exit_code, 0) << first.out << first.err;
    ASSERT_EQ(second.exit_code, 0) << second.out << second.err;
    EXPECT_EQ(first.out.rfind("run: cannot open the display ':31999'; walking through a session instead of "
                              "opening the window\nGlissor walk-through on a fresh sandbox: ",
                              0),
              0u)
        << first.out;
    EXPECT_EQ(second.out.rfind("Glissor walk-through on a fresh sandbox: ", 0), 0u) << second.out;
    for (const auto *result : {&first, &second}) {
        EXPECT_EQ(result->err, "");
        expectContains(result->out, "The helper applied the stored speeds 6 times, one second apart:\n");
        expectContains(result->out, "labels, then the checkbox after the click: 2.5x 0.5x 1\n");
    }
    std::string firstSandbox = lineAfter(first.out, "fresh sandbox: ");
    std::string secondSandbox = lineAfter(second.out, "fresh sandbox: ");
    EXPECT_NE(firstSandbox, secondSandbox);
    EXPECT_TRUE(glissor_test::file_exists(firstSandbox + "/Glissor.png"));
    EXPECT_TRUE(glissor_test::file_exists(secondSandbox + "/Glissor.png"));
    EXPECT_EQ(processesMentioning(runtime.path()), 0) << "an event service is still running";
    EXPECT_TRUE(std::filesystem::is_empty(runtime.path()));
}

TEST(MainJob, SigtermDuringThePrivateXorgStepLeavesNothingRunning) {
    expectNothingLeftWhenStoppedMidWay(SIGTERM, false);
}

TEST(MainJob, CtrlCDuringThePrivateXorgStepLeavesNothingRunning) {
    expectNothingLeftWhenStoppedMidWay(SIGINT, true);
}
