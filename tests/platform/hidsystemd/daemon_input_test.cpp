// The daemon under bad input and many clients: it answers what it can,
// drops what it must, and every other client goes on as if nothing happened.
#include <fcntl.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <hidsystem/protocol.h>
#include <hidsystem/service_limits.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "event_daemon.h"
#include "raw_client.h"
#include "wait.h"

namespace {

using glissor_test::EventDaemon;
using hidsystem_test::RawClient;
using hidsystem_test::request_line;

constexpr const char *kHelloReply = "HIDSYSTEM/1 OK hidsystemd";

class DaemonInputTest : public ::testing::Test {
protected:
    RawClient client() { return RawClient(daemon_.socket_path()); }
    // A fresh client can still set and read a value.
    void expect_serving(std::int32_t value) {
        RawClient probe = client();
        ASSERT_TRUE(probe.connected());
        EXPECT_EQ(probe.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(value)), "HIDSYSTEM/1 OK");
        EXPECT_EQ(daemon_.get("HIDMouseAcceleration"), std::to_string(value));
    }
    EventDaemon daemon_;
};

TEST_F(DaemonInputTest, MalformedRequestsGetAnErrorAndTheConnectionStaysUsable) {
    RawClient garbage = client();
    ASSERT_TRUE(garbage.connected());
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"garbage\n", "HIDSYSTEM/1 ERR e00002c2 malformed-request"},
        {"\n", "HIDSYSTEM/1 ERR e00002c2 malformed-request"},
        {"HIDSYSTEM/7 HELLO\n", "HIDSYSTEM/1 ERR e00002c7 unsupported-version"},
        {"HIDSYSTEM/1 REBOOT\n", "HIDSYSTEM/1 ERR e00002c7 unknown-request"},
        {"HIDSYSTEM/1 SET HIDMouseAcceleration 0g000100\n", "HIDSYSTEM/1 ERR e00002c2 malformed-request"},
        {std::string("HIDSYSTEM/1 GET HID\0Mouse\n", 26), "HIDSYSTEM/1 ERR e00002c2 malformed-request"},
        {"\xff\xfe\x01\x02\n", "HIDSYSTEM/1 ERR e00002c2 malformed-request"},
    };
    for (const auto &[bytes, reply] : cases) {
        ASSERT_TRUE(garbage.send(bytes));
        EXPECT_EQ(garbage.read_line(), reply);
    }
    EXPECT_EQ(garbage.ask("HELLO"), kHelloReply);
    expect_serving(70000);
}

TEST_F(DaemonInputTest, AnOverlongLineIsRefusedAndItsClientDroppedAlone) {
    RawClient bystander = client();
    RawClient flooder = client();
    ASSERT_TRUE(bystander.connected() && flooder.connected());
    EXPECT_EQ(bystander.ask("HELLO"), kHelloReply);

    // Exactly the longest line still fits; one byte more does not.
    std::string longest = "HIDSYSTEM/1 GET " + std::string(hidsystem::kMaxLineLength - 17, 'k') + "\n";
    ASSERT_EQ(longest.size(), hidsystem::kMaxLineLength);
    ASSERT_TRUE(flooder.send(longest));
    EXPECT_EQ(flooder.read_line(), "HIDSYSTEM/1 ERR e00002c2 malformed-request");

    flooder.send(std::string(64 * 1024, 'A'));
    EXPECT_EQ(flooder.read_line(), "HIDSYSTEM/1 ERR e00002c2 line-too-long");
    EXPECT_TRUE(flooder.closed_by_daemon());

    EXPECT_EQ(bystander.ask("HELLO"), kHelloReply);
    expect_serving(131072);
}

TEST_F(DaemonInputTest, ClientsThatVanishOrDawdleHarmNobody) {
    {
        RawClient half = client();
        ASSERT_TRUE(half.send("HIDSYSTEM/1 SET HIDMouseAcceleration 0000"));
    }
    {
        // Gone before its reply can be sent.
        RawClient impatient = client();
        ASSERT_TRUE(impatient.send(request_line("SET HIDTrackpadAcceleration 00000200")));
    }
    {
        // Done sending, still listening: its replies come, then the end.
        RawClient half_closed = client();
        ASSERT_TRUE(half_closed.send(request_line("HELLO") + request_line("GET HIDMouseAcceleration") + "HIDSYS"));
        ASSERT_EQ(shutdown(half_closed.fd(), SHUT_WR), 0);
        EXPECT_EQ(half_closed.read_line(), kHelloReply);
        EXPECT_EQ(half_closed.read_line(), "HIDSYSTEM/1 OK 00b00000");
        EXPECT_TRUE(half_closed.closed_by_daemon());
    }
    RawClient slow = client();
    ASSERT_TRUE(slow.send("HIDSYSTEM/1 SET HIDMouse"));
    expect_serving(90000);
    ASSERT_TRUE(slow.send("Acceleration 00000300\n"));
    EXPECT_EQ(slow.read_line(), "HIDSYSTEM/1 OK");
    EXPECT_EQ(daemon_.get("HIDMouseAcceleration"), std::to_string(0x30000));
}

TEST_F(DaemonInputTest, PipelinedRequestsFromAClientThatDoesNotReadAreAllAnsweredInTurn) {
    RawClient greedy = client();
    ASSERT_TRUE(greedy.connected());
    ASSERT_EQ(fcntl(greedy.fd(), F_SETFL, O_NONBLOCK), 0);
    // Write until the socket is full: the daemon has stopped reading, having
    // nowhere to put replies nobody collects.
    const std::string hello = request_line("HELLO");
    std::size_t requests = 0;
    while (::send(greedy.fd(), hello.data(), hello.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(hello.size()))
        ++requests;
    ASSERT_GT(requests, 100u);

    expect_serving(100000);

    ASSERT_EQ(fcntl(greedy.fd(), F_SETFL, 0), 0);
    std::size_t replies = 0;
    while (replies < requests) {
        auto line = greedy.read_line();
        if (!line) break;
        ASSERT_EQ(*line, kHelloReply) << "reply " << replies;
        ++replies;
    }
    EXPECT_EQ(replies, requests);
}

TEST_F(DaemonInputTest, AClientThatNeverPausesCannotKeepOthersWaiting) {
    // Its next requests are always there before the daemon looks, so a
    // daemon that went on reading this client while it had more to say
    // would never look at anyone else.
    RawClient chatty = client();
    ASSERT_TRUE(chatty.connected());
    std::string batch;
    for (int i = 0; i < 50; ++i) batch += request_line("HELLO");
    std::atomic<bool> stop{false};
    std::atomic<long> batches_sent{0};
    std::thread writer([&] {
        while (!stop && chatty.send(batch)) ++batches_sent;
        shutdown(chatty.fd(), SHUT_WR);
    });
    long replies = 0;
    std::thread reader([&] {
        while (chatty.read_line() == kHelloReply) ++replies;
    });
    // The others come once the talker is talking: on a loaded machine its
    // thread may not have run yet.
    EXPECT_TRUE(glissor_test::eventually([&] { return batches_sent > 0; })) << "the talker never sent";
    for (std::int32_t value = 1; value <= 20; ++value) {
        RawClient other = client();
        ASSERT_TRUE(other.connected());
        EXPECT_EQ(other.ask("SET HIDMouseAcceleration " + hidsystem_test::hex_of(value)), "HIDSYSTEM/1 OK")
            << "request " << value;
    }
    stop = true;
    writer.join();
    reader.join();
    EXPECT_EQ(daemon_.get("HIDMouseAcceleration"), "20");
    // And the talker lost nothing.
    EXPECT_EQ(replies, batches_sent * 50);
}

TEST_F(DaemonInputTest, AHundredClientsAtOnceAreAllServed) {
    std::vector<RawClient> clients;
    for (int i = 0; i < 100; ++i) {
        clients.emplace_back(daemon_.socket_path());
        ASSERT_TRUE(clients.back().connected()) << i;
    }
    for (auto &each : clients) ASSERT_TRUE(each.send(request_line("GET HIDTrackpadAcceleration")));
    for (auto &each : clients) EXPECT_EQ(each.read_line(), "HIDSYSTEM/1 OK 00b00000");
}

TEST_F(DaemonInputTest, OneClientPastTheLimitIsToldBusyAndRoomReturnsWhenOthersLeave) {
    std::vector<RawClient> clients;
    for (std::size_t i = 0; i < hidsystem::kMaxClients; ++i) {
        clients.emplace_back(daemon_.socket_path());
        ASSERT_TRUE(clients.back().connected());
    }
    // The last of them answering means the daemon has admitted them all.
    EXPECT_EQ(clients.back().ask("HELLO"), kHelloReply);
    RawClient extra = client();
    EXPECT_EQ(extra.read_line(), "HIDSYSTEM/1 ERR e00002d5 busy");
    EXPECT_TRUE(extra.closed_by_daemon());

    clients.front().disconnect();
    EXPECT_EQ(clients[1].ask("HELLO"), kHelloReply);  // the daemon has seen the departure
    RawClient later = client();
    EXPECT_EQ(later.ask("HELLO"), kHelloReply);
}

TEST_F(DaemonInputTest, IdleConnectionsCannotLockEveryoneOut) {
    std::vector<RawClient> idle;
    for (std::size_t i = 0; i < hidsystem::kMaxClients; ++i) {
        idle.emplace_back(daemon_.socket_path());
        ASSERT_TRUE(idle.back().connected());
    }
    EXPECT_EQ(idle.back().ask("HELLO"), kHelloReply);  // all admitted
    std::this_thread::sleep_for(hidsystem::kIdleEviction + std::chrono::milliseconds(300));
    // A newcomer is served ahead of the silent ones, twice over.
    for (int round = 0; round < 2; ++round) {
        RawClient newcomer = client();
        EXPECT_EQ(newcomer.ask("HELLO"), kHelloReply) << round;
    }
    auto closed = [](const RawClient &each) {
        char byte = 0;
        return recv(each.fd(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    };
    EXPECT_GE(std::count_if(idle.begin(), idle.end() - 1, closed), 1) << "a silent one made room";
    EXPECT_EQ(idle.back().ask("HELLO"), kHelloReply) << "the one active lately stays";
}

TEST_F(DaemonInputTest, MemoryStaysBoundedUnderAFloodOfBadClients) {
    auto flood = [this](int round) {
        std::vector<RawClient> clients;
        for (int i = 0; i < 100; ++i) clients.emplace_back(daemon_.socket_path());
        for (int i = 0; i < 100; ++i) {
            RawClient &each = clients[static_cast<std::size_t>(i)];
            switch (i % 4) {
            case 0: each.send(std::string(64 * 1024, 'x')); break;
            case 1: each.send("HIDSYSTEM/1 SET HIDMouseAcceleration 00"); break;
            case 2: each.send(request_line("SET Flood" + std::to_string(round * 100 + i) + " " + std::string(512, 'a'))); break;
            case 3: each.send(std::string(5000, '\n')); break;
            }
        }
    };
    flood(0);
    expect_serving(1);
    long before = hidsystem_test::resident_kilobytes(daemon_.process().pid());
    ASSERT_GT(before, 0);
    for (int round = 1; round <= 8; ++round) flood(round);
    expect_serving(2);
    long after = hidsystem_test::resident_kilobytes(daemon_.process().pid());
    // 800 clients pushed over 12 MB at it; holding on to any of that would show.
    EXPECT_LT(after - before, 2048) << "VmRSS " << before << " kB -> " << after << " kB";
}

}  // namespace
