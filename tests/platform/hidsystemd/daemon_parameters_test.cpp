// What the daemon accepts, refuses, holds and logs.
#include <time.h>

#include <gtest/gtest.h>

#include <hidsystem/service_limits.h>

#include <string>

#include "event_daemon.h"
#include "raw_client.h"

namespace {

using glissor_test::EventDaemon;
using hidsystem_test::hex_of;
using hidsystem_test::RawClient;

constexpr const char *kOk = "HIDSYSTEM/1 OK";
constexpr const char *kRefused = "HIDSYSTEM/1 ERR e00002e2 refused";
constexpr const char *kWrongSize = "HIDSYSTEM/1 ERR e00002c2 wrong-size";

double now_seconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST(DaemonParameters, AFreshDaemonHoldsTheDefaultsAndAnEmptyLog) {
    EventDaemon daemon;
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "45056");
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "45056");
    EXPECT_EQ(daemon.get("legacy-mouse-acceleration"), "0.6875");
    EXPECT_TRUE(daemon.log().empty());
    RawClient client(daemon.socket_path());
    EXPECT_EQ(client.ask("GET HIDNeverSet"), "HIDSYSTEM/1 ERR e00002f0 not-found");
}

TEST(DaemonParameters, RefusedAndWrongSizedParametersChangeNothingAndAreNotLogged) {
    EventDaemon daemon({"HIDTrackpadAcceleration"});
    RawClient client(daemon.socket_path());
    EXPECT_EQ(client.ask("SET HIDTrackpadAcceleration " + hex_of(65536)), kRefused);
    EXPECT_EQ(client.ask("SET HIDMouseAcceleration 000001"), kWrongSize);
    EXPECT_EQ(client.ask("SET HIDMouseAcceleration 0000010000"), kWrongSize);
    EXPECT_EQ(client.ask("ACCEL 0000f03f"), kWrongSize);
    EXPECT_EQ(client.ask("SET legacy-mouse-acceleration 000000000000f03f"),
              "HIDSYSTEM/1 ERR e00002c2 reserved-key");
    EXPECT_EQ(daemon.get("HIDTrackpadAcceleration"), "45056");
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "45056");
    EXPECT_TRUE(daemon.log().empty());

    // Refusing one parameter leaves the others alone.
    EXPECT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(-65536)), kOk);
    EXPECT_EQ(daemon.get("HIDMouseAcceleration"), "-65536");
}

TEST(DaemonParameters, TheLegacyCallCanBeRefusedToo) {
    EventDaemon daemon({"legacy-mouse-acceleration"});
    RawClient client(daemon.socket_path());
    EXPECT_EQ(client.ask("ACCEL 000000000000f03f"), kRefused);
    EXPECT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(65536)), kOk);
    ASSERT_EQ(daemon.log().size(), 1u);
}

TEST(DaemonParameters, OtherKeysTakeAnySizeUpToATableLimit) {
    EventDaemon daemon;
    RawClient client(daemon.socket_path());
    EXPECT_EQ(client.ask("SET HIDPointerResolution 0102"), kOk);
    EXPECT_EQ(client.ask("GET HIDPointerResolution"), "HIDSYSTEM/1 OK 0102");
    // The two acceleration keys and the one above are held already.
    std::size_t room = hidsystem::kMaxParameterKeys - 3;
    for (std::size_t i = 0; i < room; ++i) ASSERT_EQ(client.ask("SET Extra" + std::to_string(i) + " 00"), kOk) << i;
    EXPECT_EQ(client.ask("SET OneTooMany 00"), "HIDSYSTEM/1 ERR e00002db too-many-parameters");
    // Keys it holds can still change.
    EXPECT_EQ(client.ask("SET Extra0 ff"), kOk);
    EXPECT_EQ(client.ask("GET Extra0"), "HIDSYSTEM/1 OK ff");
}

TEST(DaemonParameters, TheLogKeepsTheNewestChangesOldestFirstWithTheirTimes) {
    EventDaemon daemon;
    RawClient client(daemon.socket_path());
    double started = now_seconds();
    std::size_t total = hidsystem::kChangeLogCapacity + 44;
    for (std::size_t i = 0; i < total; ++i)
        ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(static_cast<std::int32_t>(i))), kOk);
    double finished = now_seconds();

    auto log = daemon.log();
    ASSERT_EQ(log.size(), hidsystem::kChangeLogCapacity);
    for (std::size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].key, "HIDMouseAcceleration");
        EXPECT_EQ(log[i].value, std::to_string(total - hidsystem::kChangeLogCapacity + i));
        if (i > 0) {
            EXPECT_GE(log[i].time, log[i - 1].time);
        }
    }
    EXPECT_GE(log.front().time, started - 0.001);
    EXPECT_LE(log.back().time, finished + 0.001);
}

}  // namespace
