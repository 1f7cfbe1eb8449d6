// The desktops that keep their pointer settings in GSettings schemas of
// their own, against real dconf with the schemas Debian ships for them:
// each store gets the value its own daemon reads back as the same speed,
// and a store that is not there is said so while the service goes on.
#include <signal.h>

#include <gtest/gtest.h>

#include <string>

#include "desktop_test_support.h"
#include "private_session.h"

namespace {

using hidsystem_test::DesktopService;
using hidsystem_test::eventually;
using hidsystem_test::gsettings;

struct Store {
    const char *kind;
    const char *mouse_schema;
    const char *touchpad_schema;
    const char *speed_key;
    bool touchpad_has_profile;
    // What the store holds for mouse 2.0 and touchpad 2.0 (libinput 2/3
    // and 1/2 in the desktop's own units), and for mouse 0.0 (flat).
    double mouse_two, touchpad_two, mouse_zero;
    const char *users_own;  // a mouse value the user chose before us
};

double stored(const char *schema, const char *key) { return std::stod(gsettings({"get", schema, key})); }

TEST(GSettingsDesktops, EachStoreGetsTheSpeedInItsOwnUnitsAndGetsItsValuesBack) {
    for (const Store &store : {
             Store{"cinnamon", "org.cinnamon.desktop.peripherals.mouse", "org.cinnamon.desktop.peripherals.touchpad",
                   "speed", false, 2.0 / 3.0, 0.5, 0.0, "0.25"},
             // mate-settings-daemon reads m back as (m - 1) * 2/9 - 1.
             Store{"mate", "org.mate.peripherals-mouse", "org.mate.peripherals-touchpad", "motion-acceleration", true,
                   1 + 4.5 * (2.0 / 3.0 + 1), 1 + 4.5 * 1.5, 5.5, "3.5"},
         }) {
        SCOPED_TRACE(store.kind);
        hidsystem_test::PrivateSession session;
        gsettings({"set", store.mouse_schema, store.speed_key, store.users_own});
        {
            DesktopService service({"--backend", store.kind});
            service.set("HIDMouseAcceleration", 2.0);
            service.set("HIDTrackpadAcceleration", 2.0);
            ASSERT_TRUE(service.settled()) << service.backend();
            EXPECT_NEAR(stored(store.mouse_schema, store.speed_key), store.mouse_two, 1e-9);
            EXPECT_EQ(gsettings({"get", store.mouse_schema, "accel-profile"}), "'adaptive'");
            EXPECT_NEAR(stored(store.touchpad_schema, store.speed_key), store.touchpad_two, 1e-9);
            if (store.touchpad_has_profile) {
                EXPECT_EQ(gsettings({"get", store.touchpad_schema, "accel-profile"}), "'adaptive'");
            }

            service.set("HIDMouseAcceleration", 0.0);
            ASSERT_TRUE(service.settled()) << service.backend();
            EXPECT_NEAR(stored(store.mouse_schema, store.speed_key), store.mouse_zero, 1e-9);
            EXPECT_EQ(gsettings({"get", store.mouse_schema, "accel-profile"}), "'flat'");
            auto status = service.status();
            ASSERT_TRUE(status);
            EXPECT_EQ(status->error, "");
            ASSERT_TRUE(status->device(store.mouse_schema));
            ASSERT_EQ(service.daemon().process().stop(SIGTERM), 0);
        }
        // Put back: the user's own value, and the keys they never set unset.
        EXPECT_NEAR(stored(store.mouse_schema, store.speed_key), std::stod(store.users_own), 1e-9);
        auto unset = glissor_test::run_process({"/usr/bin/dconf", "dump", "/"});
        EXPECT_EQ(unset.out.find("accel-profile"), std::string::npos) << unset.out;
    }
}

// No schema for the desktop (its packages are not installed): nothing is
// written and nothing counts as applied, the service says why and serves.
TEST(GSettingsDesktops, AMissingSchemaIsSaidAndTheServiceGoesOn) {
    hidsystem_test::PrivateSession session;
    glissor_test::TempDir empty;
    glissor_test::ScopedEnv schemas("GSETTINGS_SCHEMA_DIR", empty.path());
    glissor_test::ScopedEnv no_system_schemas("XDG_DATA_DIRS", empty.path());
    DesktopService service({"--backend", "mate"});
    service.set("HIDMouseAcceleration", 2.0);
    EXPECT_TRUE(service.backend_says("the GSettings schema org.mate.peripherals-mouse is not installed"))
        << service.backend();
    auto status = service.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->applied, 0u);
    hidsystem_test::RawClient client(service.daemon().socket_path());
    EXPECT_EQ(client.ask("GET HIDMouseAcceleration"), "HIDSYSTEM/1 OK " + hidsystem_test::hex_of(hidsystem_test::fixed(2.0)));
}

// A key the administrator locked (a dconf lock in a system database) is a
// store that refuses: said, and no pair counts as applied while the mouse's
// value is not in the store; the other class is still written, and the
// refusal is an answer, so the next pair goes out to the same backend.
TEST(GSettingsDesktops, ALockedKeyIsSaidNotCountedAndTheOtherClassStillWritten) {
    hidsystem_test::PrivateSession session;
    const std::string db = session.root() + "/dconf-db";
    glissor_test::write_file(db + ".d/locks/pointer", "/org/mate/desktop/peripherals/mouse/motion-acceleration\n");
    glissor_test::write_file(db + ".d/defaults", "[org/mate/desktop/peripherals/mouse]\nmotion-acceleration=2.0\n");
    auto compiled = glissor_test::run_process({"/usr/bin/dconf", "compile", db, db + ".d"});
    ASSERT_EQ(compiled.exit_code, 0) << compiled.err;
    glissor_test::write_file(session.root() + "/dconf-profile", "user-db:user\nfile-db:" + db + "\n");
    glissor_test::ScopedEnv profile("DCONF_PROFILE", session.root() + "/dconf-profile");
    ASSERT_EQ(gsettings({"writable", "org.mate.peripherals-mouse", "motion-acceleration"}), "false");

    DesktopService service({"--backend", "mate"});
    service.set("HIDMouseAcceleration", 2.0);
    ASSERT_TRUE(service.backend_says("org.mate.peripherals-mouse: the store does not let this user change it"))
        << service.backend();
    auto refused = service.status();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->applied, 0u);

    service.set("HIDTrackpadAcceleration", 2.0);
    auto touchpad_written = [&] {
        auto now = service.status();
        auto touchpad = now ? now->device("org.mate.peripherals-touchpad") : std::nullopt;
        return touchpad && touchpad->value != "-";
    };
    ASSERT_TRUE(eventually(touchpad_written, std::chrono::seconds(10))) << service.backend();
    EXPECT_EQ(stored("org.mate.peripherals-mouse", "motion-acceleration"), 2.0);
    EXPECT_NEAR(stored("org.mate.peripherals-touchpad", "motion-acceleration"), 1 + 4.5 * 1.5, 1e-9);
    auto status = service.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->pid, refused->pid) << "the same backend took the next pair";
    EXPECT_EQ(status->state, "connected");
    EXPECT_NE(status->error.find("org.mate.peripherals-mouse: the store does not let this user change it"),
              std::string::npos)
        << status->error;
    EXPECT_EQ(status->applied, 0u) << "sent " << status->sent;
    EXPECT_EQ(status->device("org.mate.peripherals-mouse")->value, "-") << "nothing shown as written";
}

}  // namespace
