// The mate backend with MATE's own applier, mate-settings-daemon, run for
// real on a private Xvfb with a private session bus and real dconf. The
// daemon needs all three: without a session bus or a display it exits, and
// with another GSettings backend than the writer's (keyfile, memory) it
// reads its defaults and applies nothing. Xvfb's mouse has no libinput
// properties, so the daemon gives it pointer feedback from the stored m,
// rounded to halves: that is what a feedback-only device gets under MATE.
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"
#include "private_session.h"
#include "private_x.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::Feedback;
using hidsystem_test::gsettings;

constexpr const char *kDaemon = "/usr/bin/mate-settings-daemon";
constexpr const char *kMouseSchema = "org.mate.peripherals-mouse";

// Every plugin but the mouse one off: the daemon starts in a fraction of
// the time, and none of them touches a pointer.
constexpr const char *kOnlyTheMousePlugin =
    "[a11y-keyboard]\nactive=false\n[a11y-settings]\nactive=false\n[background]\nactive=false\n"
    "[clipboard]\nactive=false\n[housekeeping]\nactive=false\n[keybindings]\nactive=false\n"
    "[keyboard]\nactive=false\n[media-keys]\nactive=false\n[mpris]\nactive=false\n[rfkill]\nactive=false\n"
    "[smartcard]\nactive=false\n[sound]\nactive=false\n[typing-break]\nactive=false\n[xrandr]\nactive=false\n"
    "[xrdb]\nactive=false\n[xsettings]\nactive=false\n[mouse]\nactive=true\n";

class MateBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access(kDaemon, X_OK) != 0) GTEST_SKIP() << "mate-settings-daemon is not installed";
        x_ = std::make_unique<glissor_test::XServer>();
        display_ = std::make_unique<glissor_test::ScopedEnv>("DISPLAY", x_->display());
        mouse_ = hidsystem_test::device_id(x_->connection(), "Xvfb mouse");
        ASSERT_GT(mouse_, 0);
        auto loaded = glissor_test::run_process({"/usr/bin/dconf", "load", "/org/mate/settings-daemon/plugins/"},
                                                {.stdin_text = kOnlyTheMousePlugin});
        ASSERT_EQ(loaded.exit_code, 0) << loaded.err;
    }

    // The daemon as a session starts it, its output kept for a failure.
    void start_daemon() {
        daemon_ = glissor_test::BackgroundProcess(
            {"/bin/sh", "-c", std::string("exec ") + kDaemon + " >\"$0/msd.log\" 2>&1", session_.root()},
            x_->env());
    }
    std::string daemon_log() const { return glissor_test::read_file(session_.root() + "/msd.log"); }

    Feedback mouse() const { return hidsystem_test::feedback(x_->connection(), mouse_).value_or(Feedback{}); }
    bool mouse_becomes(int numerator, int denominator) const {
        return eventually(
            [&] {
                Feedback now = mouse();
                return now.numerator == numerator && now.denominator == denominator;
            },
            std::chrono::seconds(10));
    }
    std::string shown() const { return std::to_string(mouse().numerator) + "/" + std::to_string(mouse().denominator); }

    hidsystem_test::PrivateSession session_;
    std::unique_ptr<glissor_test::XServer> x_;
    std::unique_ptr<glissor_test::ScopedEnv> display_;
    glissor_test::BackgroundProcess daemon_;
    int mouse_ = 0;
};

TEST_F(MateBackendTest, TheDaemonAppliesGlissorsValueAlsoWhenAPointerAppears) {
    // The user once chose 3 in MATE's Mouse dialog; the daemon applies it.
    gsettings({"set", kMouseSchema, "motion-acceleration", "3.0"});
    start_daemon();
    ASSERT_TRUE(mouse_becomes(3, 1)) << shown() << "\n" << daemon_log();

    DesktopService service({"--backend", "mate"});
    // 2.0 is libinput's 2/3, stored as m = 8.5: 17/2 on a feedback device.
    service.set("HIDMouseAcceleration", 2.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_TRUE(mouse_becomes(17, 2)) << shown();

    // A pointer that appears makes the daemon apply its keys to every
    // device again: the mouse, as a replugged one from the server's
    // defaults, gets Glissor's value back, not the user's old one.
    hidsystem_test::set_feedback(x_->connection(), mouse_, 2, 1);
    hidsystem_test::add_master(x_->connection(), "Glissor test");
    EXPECT_TRUE(mouse_becomes(17, 2)) << shown();

    // No acceleration is libinput's flat profile at speed 0, m = 5.5; the
    // daemon applies no profile to a feedback device, so it gets 11/2.
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_TRUE(mouse_becomes(11, 2)) << shown();

    // Glissor's end puts the user's 3 back, and the daemon applies it.
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(gsettings({"get", kMouseSchema, "motion-acceleration"}), "3.0");
    EXPECT_TRUE(mouse_becomes(3, 1)) << shown();
    EXPECT_TRUE(daemon_.running()) << daemon_log();
}

}  // namespace
