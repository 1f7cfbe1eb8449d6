// The sway backend against a real sway, headless (Debian's sway 1.7): its
// debug log shows each command it handled. sway refuses to run as root, so
// a test run by root starts it as nobody. It has no input devices here,
// so the log and the IPC replies are the evidence, not a device's values.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "desktop_test_support.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;

class RealSway {
public:
    RealSway() {
        if (access("/usr/bin/sway", X_OK) != 0) return;
        const std::string dir = dir_.path();
        glissor_test::write_file(dir + "/config", "output HEADLESS-1 resolution 640x480\n");
        chmod(dir.c_str(), 0755);
        runtime_ = dir + "/runtime";
        mkdir(runtime_.c_str(), 0700);
        std::vector<std::string> argv = {"/usr/bin/sway", "-d", "-c", dir + "/config"};
        if (geteuid() == 0) {
            if (chown(runtime_.c_str(), 65534, 65534) != 0) return;
            argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
        }
        std::string command = "exec \"$@\" >\"" + dir + "/log\" 2>&1";
        argv.insert(argv.begin(), {"/bin/sh", "-c", command, "sh"});
        sway_ = glissor_test::BackgroundProcess(argv, {{"WLR_BACKENDS", "headless"},
                                                       {"WLR_RENDERER", "pixman"},
                                                       {"WLR_LIBINPUT_NO_DEVICES", "1"},
                                                       {"XDG_RUNTIME_DIR", runtime_},
                                                       {"HOME", dir}});
        eventually([&] { return !(socket_ = find_socket()).empty(); }, std::chrono::seconds(20));
    }
    ~RealSway() { sway_.stop(SIGTERM); }

    // Empty when sway is not installed or did not start.
    const std::string &socket() const { return socket_; }
    std::string log() const { return glissor_test::read_file(dir_.path() + "/log"); }
    std::size_t handled(const std::string &command) const {
        std::string text = log(), wanted = "Handling command '" + command + "'";
        std::size_t count = 0;
        for (std::size_t at = 0; (at = text.find(wanted, at)) != std::string::npos; at += wanted.size()) ++count;
        return count;
    }
    void reload() const {
        glissor_test::run_process({"/usr/bin/swaymsg", "-s", socket_, "reload"});
    }

private:
    std::string find_socket() const {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(runtime_, error))
            if (entry.path().filename().string().starts_with("sway-ipc.")) return entry.path().string();
        return {};
    }

    glissor_test::TempDir dir_;
    std::string runtime_;
    std::string socket_;
    glissor_test::BackgroundProcess sway_;
};

TEST(RealSwayBackend, SwayHandlesTheCommandsAndGetsThemAgainAfterAReload) {
    RealSway sway;
    if (sway.socket().empty()) GTEST_SKIP() << "no headless sway here\n" << sway.log();
    glissor_test::TempHome home;
    glissor_test::ScopedEnv swaysock("SWAYSOCK", sway.socket());
    DesktopService service({"--backend", "sway"});
    service.set("HIDMouseAcceleration", 0.0);
    service.set("HIDTrackpadAcceleration", 2.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    const std::vector<std::string> sent = {"input type:pointer accel_profile flat",
                                           "input type:pointer pointer_accel 0.000000",
                                           "input type:touchpad accel_profile adaptive",
                                           "input type:touchpad pointer_accel 0.500000"};
    for (const std::string &command : sent)
        EXPECT_TRUE(eventually([&] { return sway.handled(command) == 1; })) << command << "\n" << sway.log();
    auto status = service.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->error, "") << "sway answered success to each";

    sway.reload();
    for (const std::string &command : sent)
        EXPECT_TRUE(eventually([&] { return sway.handled(command) == 2; })) << command << " after the reload";
}

}  // namespace
