// The xfce backend against a real xfconfd on a private session bus and a
// private Xvfb, and Xfce's own applier, xfsettingsd, run for real: after
// Glissor's write the daemon applies Glissor's value at its next start
// (as at the next login) instead of undoing it, and leaves it when a
// pointer appears.
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

constexpr const char *kProperty = "/Xvfb_mouse/Acceleration";
// The XTEST pointer of a master added as "Glissor test", as xfsettingsd names it.
constexpr const char *kAddedProperty = "/Glissor_test_XTEST_pointer/Acceleration";

std::string xfconf(const std::vector<std::string> &arguments) {
    std::vector<std::string> argv = {"/usr/bin/xfconf-query", "-c", "pointers"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto result = glissor_test::run_process(argv);
    std::string out = result.exit_code == 0 ? result.out : "(unset)";
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

class XfceBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/bin/xfconf-query", X_OK) != 0) GTEST_SKIP() << "xfconf is not installed";
        x_ = std::make_unique<glissor_test::XServer>();
        display_ = std::make_unique<glissor_test::ScopedEnv>("DISPLAY", x_->display());
        mouse_ = hidsystem_test::device_id(x_->connection(), "Xvfb mouse");
        ASSERT_GT(mouse_, 0);
    }
    Feedback mouse() const { return hidsystem_test::feedback(x_->connection(), mouse_).value_or(Feedback{}); }
    // The factor a feedback stands for: 35/10 and 7/2 are the same.
    double factor() const { return factor_of(mouse_); }
    double factor_of(int id) const {
        Feedback now = hidsystem_test::feedback(x_->connection(), id).value_or(Feedback{});
        return now.denominator ? static_cast<double>(now.numerator) / now.denominator : 0;
    }

    hidsystem_test::PrivateSession session_;
    std::unique_ptr<glissor_test::XServer> x_;
    std::unique_ptr<glissor_test::ScopedEnv> display_;
    int mouse_ = 0;
};

TEST_F(XfceBackendTest, TheStoreAndTheDeviceGetTheSpeedAndXfsettingsdKeepsIt) {
    // The user once chose 2.0 in Xfce's Mouse dialog.
    ASSERT_EQ(glissor_test::run_process({"/usr/bin/xfconf-query", "-c", "pointers", "-p", kProperty, "-n", "-t",
                                         "double", "-s", "2.0"})
                  .exit_code,
              0);
    DesktopService service({"--backend", "xfce"});
    service.set("HIDMouseAcceleration", 2.5);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_EQ(xfconf({"-p", kProperty}), "3.500000");
    EXPECT_EQ(mouse(), (Feedback{35, 10, 4})) << "live, at once";
    auto status = service.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->error, "");
    ASSERT_TRUE(status->device(kProperty));
    EXPECT_EQ(status->device(kProperty)->value, "Acceleration 3.500");

    // xfsettingsd starting, as at the next login, applies what the store
    // holds now: Glissor's 3.5x, not the user's old 2.0.
    if (access("/usr/bin/xfsettingsd", X_OK) == 0) {
        hidsystem_test::set_feedback(x_->connection(), mouse_, 2, 1);  // a fresh server's default
        glissor_test::BackgroundProcess xfsettingsd({"/usr/bin/xfsettingsd", "--disable-wm-check"});
        EXPECT_TRUE(eventually([&] { return factor() == 3.5; }, std::chrono::seconds(10)))
            << mouse().numerator << "/" << mouse().denominator;

        // A pointer that appears: xfsettingsd gives it what the store holds
        // for it (the user's 3.0, from an earlier session) and touches no
        // other device; Glissor writes neither it nor its entry (an XTEST
        // device is never accelerated), and the mouse keeps Glissor's 3.5x.
        ASSERT_EQ(glissor_test::run_process({"/usr/bin/xfconf-query", "-c", "pointers", "-p", kAddedProperty, "-n",
                                             "-t", "double", "-s", "3.0"})
                      .exit_code,
                  0);
        hidsystem_test::add_master(x_->connection(), "Glissor test");
        int added = hidsystem_test::device_id(x_->connection(), "Glissor test XTEST pointer");
        ASSERT_GT(added, 0);
        EXPECT_TRUE(eventually([&] { return factor_of(added) == 3.0; }, std::chrono::seconds(10)))
            << "xfsettingsd did not handle the new device: " << factor_of(added);
        EXPECT_EQ(factor(), 3.5);
        EXPECT_EQ(xfconf({"-p", kAddedProperty}), "3.000000");
        xfsettingsd.stop(SIGTERM);
    }

    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(xfconf({"-p", kProperty}), "2.000000") << "the user's own value is back";
    EXPECT_FALSE(glissor_test::file_exists(session_.snapshot_path("xfce")));
}

// A value Glissor did not write stays: the user changed it meanwhile.
TEST_F(XfceBackendTest, AStoreValueChangedMeanwhileIsKept) {
    DesktopService service({"--backend", "xfce"});
    service.set("HIDMouseAcceleration", 0.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_EQ(xfconf({"-p", kProperty}), "1.000000");
    ASSERT_EQ(glissor_test::run_process({"/usr/bin/xfconf-query", "-c", "pointers", "-p", kProperty, "-s", "4.0"})
                  .exit_code,
              0);
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(xfconf({"-p", kProperty}), "4.000000");
}

// A value of another type left there by hand is the user's: reported and
// kept, never overwritten (and so never lost at the put-back), and the pair
// does not count as applied, since the next login would not get it. Once
// the user's value is gone, the next pair lands and counts.
TEST_F(XfceBackendTest, AMalformedStoreValueIsKeptAndSaidAndThePairNotCounted) {
    ASSERT_EQ(glissor_test::run_process({"/usr/bin/xfconf-query", "-c", "pointers", "-p", kProperty, "-n", "-t",
                                         "string", "-s", "fast please"})
                  .exit_code,
              0);
    DesktopService service({"--backend", "xfce"});
    service.set("HIDMouseAcceleration", 2.5);
    ASSERT_TRUE(service.backend_says("holds a s, not a number: left as it is")) << service.backend();
    EXPECT_EQ(xfconf({"-p", kProperty}), "fast please");
    EXPECT_EQ(mouse(), (Feedback{35, 10, 4})) << "the device still gets it live";
    auto refused = service.status();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->applied, 0u);

    ASSERT_EQ(glissor_test::run_process({"/usr/bin/xfconf-query", "-c", "pointers", "-p", kProperty, "-r"}).exit_code,
              0);
    service.set("HIDMouseAcceleration", 2.0);
    ASSERT_TRUE(service.settled()) << service.backend();
    EXPECT_EQ(xfconf({"-p", kProperty}), "3.000000");
    EXPECT_GT(service.status()->applied, 0u);
    ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
    EXPECT_EQ(xfconf({"-p", kProperty}), "(unset)") << "the user had no value of their own any more";
}

}  // namespace
