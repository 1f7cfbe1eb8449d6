// hidctl against a real daemon, and without one.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <hidsystem/service_limits.h>

#include "event_daemon.h"
#include "raw_client.h"

namespace {

using glissor_test::bin_path;
using glissor_test::EventDaemon;
using glissor_test::run_process;
using hidsystem_test::hex_of;
using hidsystem_test::RawClient;

// hidctl with the arguments, in an environment of env on top of ours.
glissor_test::ProcessResult hidctl(std::vector<std::string> arguments,
                                   const std::map<std::string, std::string> &env = {}) {
    arguments.insert(arguments.begin(), bin_path("hidctl"));
    glissor_test::ProcessOptions options;
    options.env = env;
    return run_process(arguments, options);
}

std::vector<std::string> fields_of(const std::string &line) {
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string word; words >> word;) fields.push_back(word);
    return fields;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

TEST(Hidctl, LogPrintsTimeKeyAndValueInEachKindsFormat) {
    EventDaemon daemon;
    RawClient client(daemon.socket_path());
    ASSERT_EQ(client.ask("ACCEL 9a9999999999f93f"), "HIDSYSTEM/1 OK");  // 1.6
    ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(-65536)), "HIDSYSTEM/1 OK");
    ASSERT_EQ(client.ask("SET HIDTrackpadAcceleration " + hex_of(98304)), "HIDSYSTEM/1 OK");
    ASSERT_EQ(client.ask("SET HIDWheelBytes 00ff10"), "HIDSYSTEM/1 OK");

    auto result = hidctl({"log"}, daemon.env());
    ASSERT_EQ(result.exit_code, 0) << result.err;
    auto lines = lines_of(result.out);
    ASSERT_EQ(lines.size(), 4u) << result.out;
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"legacy-mouse-acceleration", "1.6000000000000001"},
        {"HIDMouseAcceleration", "-65536"},
        {"HIDTrackpadAcceleration", "98304"},
        {"HIDWheelBytes", "0x00ff10"},
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto fields = fields_of(lines[i]);
        ASSERT_EQ(fields.size(), 3u) << lines[i];
        EXPECT_EQ(lines[i], fields[0] + " " + fields[1] + " " + fields[2]);
        EXPECT_EQ(fields[1], expected[i].first);
        EXPECT_EQ(fields[2], expected[i].second);
        // Seconds, a dot, and exactly six digits of microseconds.
        auto dot = fields[0].find('.');
        ASSERT_NE(dot, std::string::npos);
        EXPECT_EQ(fields[0].size() - dot - 1, 6u) << fields[0];
        EXPECT_EQ(fields[0].find_first_not_of("0123456789."), std::string::npos) << fields[0];
    }
}

TEST(Hidctl, GetPrintsOneValueAndFailsForAnUnknownKey) {
    EventDaemon daemon;
    RawClient client(daemon.socket_path());
    ASSERT_EQ(client.ask("SET HIDTrackpadAcceleration " + hex_of(-2147483647 - 1)), "HIDSYSTEM/1 OK");
    auto result = hidctl({"get", "HIDTrackpadAcceleration"}, daemon.env());
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.out, "-2147483648\n");

    auto unknown = hidctl({"get", "HIDNoSuchThing"}, daemon.env());
    EXPECT_EQ(unknown.exit_code, 1);
    EXPECT_TRUE(unknown.out.empty());
    EXPECT_NE(unknown.err.find("HIDNoSuchThing"), std::string::npos) << unknown.err;

    auto by_option = hidctl({"--socket", daemon.socket_path(), "get", "HIDMouseAcceleration"},
                            {{"HIDSYSTEM_SOCKET", "/nonexistent/hid.sock"}});
    EXPECT_EQ(by_option.out, "45056\n") << by_option.err;
}

// A compositor read only from the user's own file: `hidctl backend` gives
// the lines for the speeds in force, decoded as the service decodes them.
TEST(Hidctl, BackendAdvisesTheLinesForTheSpeedsInForce) {
    EventDaemon daemon({}, {"--backend", "wayfire"});
    auto unset = hidctl({"backend"}, daemon.env());
    ASSERT_EQ(unset.exit_code, 0) << unset.err;
    EXPECT_NE(unset.out.find("state: advice\n"), std::string::npos) << unset.out;
    EXPECT_NE(unset.out.find("\nno speed set yet: nothing to add to ~/.config/wayfire.ini"), std::string::npos)
        << unset.out;

    RawClient client(daemon.socket_path());
    ASSERT_EQ(client.ask("SET HIDTrackpadAcceleration " + hex_of(2 * 65536)), "HIDSYSTEM/1 OK");
    auto trackpad_only = hidctl({"backend"}, daemon.env());
    ASSERT_EQ(trackpad_only.exit_code, 0) << trackpad_only.err;
    EXPECT_NE(trackpad_only.out.find(":\n"
                                     "    [input]\n"
                                     "    touchpad_accel_profile = adaptive\n"
                                     "    touchpad_cursor_speed = 0.5\n"
                                     "then: nothing more: wayfire reads the file again when it is saved\n"),
              std::string::npos)
        << trackpad_only.out;

    // The marker keeps the last good speed; too fast counts as the fastest.
    ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(0)), "HIDSYSTEM/1 OK");
    ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(-2147483647 - 1)), "HIDSYSTEM/1 OK");
    ASSERT_EQ(client.ask("SET HIDTrackpadAcceleration " + hex_of(5 * 65536)), "HIDSYSTEM/1 OK");
    auto json = hidctl({"backend", "--json"}, daemon.env());
    ASSERT_EQ(json.exit_code, 0) << json.err;
    auto described = nlohmann::json::parse(json.out, nullptr, false);
    ASSERT_FALSE(described.is_discarded()) << json.out;
    EXPECT_EQ(described["state"], "advice");
    EXPECT_EQ(described["received"], 4);
    EXPECT_EQ(described["advice"]["lines"],
              nlohmann::json({"[input]", "mouse_accel_profile = flat", "mouse_cursor_speed = 0.0",
                              "touchpad_accel_profile = adaptive", "touchpad_cursor_speed = 1.0"}));
    EXPECT_NE(described["advice"]["where"].get<std::string>().find("[input]"), std::string::npos) << json.out;
}

// The service's log is bounded: a speed whose every change has left it
// still counts with its value now.
TEST(Hidctl, ASpeedOlderThanTheLogStillCountsInTheAdvice) {
    EventDaemon daemon({}, {"--backend", "weston"});
    RawClient client(daemon.socket_path());
    ASSERT_EQ(client.ask("SET HIDMouseAcceleration " + hex_of(0)), "HIDSYSTEM/1 OK");
    for (std::size_t i = 0; i <= hidsystem::kChangeLogCapacity; ++i)
        ASSERT_EQ(client.ask("SET HIDWheelBytes " + hex_of(static_cast<std::int32_t>(i))), "HIDSYSTEM/1 OK");
    ASSERT_EQ(daemon.log().front().key, "HIDWheelBytes") << "the mouse's change has left the log";
    auto advised = hidctl({"backend"}, daemon.env());
    ASSERT_EQ(advised.exit_code, 0) << advised.err;
    EXPECT_NE(advised.out.find("    [libinput]\n"
                               "    accel-profile=flat\n"
                               "    accel-speed=0.0\n"),
              std::string::npos)
        << advised.out;
    EXPECT_EQ(advised.out.find("trackpad"), std::string::npos) << "never set, so not advised\n" << advised.out;
}

TEST(Hidctl, PingAnswersOnlyWhenADaemonDoes) {
    std::string path;
    {
        EventDaemon daemon;
        path = daemon.socket_path();
        auto ping = hidctl({"ping"}, daemon.env());
        EXPECT_EQ(ping.exit_code, 0) << ping.err;
    }
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"ping"}, {"log"}, {"get", "HIDMouseAcceleration"}}) {
        auto result = hidctl(command, {{"HIDSYSTEM_SOCKET", path}});
        EXPECT_NE(result.exit_code, 0) << command[0];
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(lines_of(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(path), std::string::npos) << result.err;
    }
}

TEST(Hidctl, BadUsagePrintsTheUsageAndExitsTwo) {
    for (const std::vector<std::string> &arguments :
         {std::vector<std::string>{}, {"get"}, {"get", "a", "b"}, {"log", "extra"}, {"frobnicate"}, {"--socket"},
          {"get", "two words"}}) {
        auto result = hidctl(arguments);
        EXPECT_EQ(result.exit_code, 2) << result.err;
        EXPECT_EQ(lines_of(result.err).size(), 1u) << result.err;
    }
    auto bare = hidctl({});
    EXPECT_EQ(bare.err.rfind("usage: hidctl", 0), 0u) << bare.err;
}

TEST(Hidctl, HelpAndVersionGoToStdoutAndExitZero) {
    auto help = hidctl({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_TRUE(help.err.empty()) << help.err;
    for (const char *described : {"get KEY", "log", "ping", "backend", "--socket PATH", "--version"})
        EXPECT_NE(help.out.find(described), std::string::npos) << described;
    auto version = hidctl({"--version"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out.rfind("hidctl ", 0), 0u) << version.out;
    auto unknown = hidctl({"--frobnicate", "ping"});
    EXPECT_EQ(unknown.exit_code, 2);
    EXPECT_NE(unknown.err.find("--frobnicate"), std::string::npos) << unknown.err;
}

}  // namespace
