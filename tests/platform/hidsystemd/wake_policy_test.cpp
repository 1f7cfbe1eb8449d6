// The event service's wake policy with times of the test's choosing: when
// the loop polls and when it sleeps, and how long it reads one client alone.
#include <gtest/gtest.h>

#include "client_slot.h"
#include "wake_policy.h"

namespace {

using hidsystemd::ClientSlot;
using hidsystemd::WakePolicy;
using namespace std::chrono_literals;

const WakePolicy::Clock::time_point kStart = WakePolicy::Clock::now();

TEST(WakePolicy, AwakeWhileAServedClientStaysConnectedAsleepAtOnceWhenItLeaves) {
    WakePolicy wake;
    ClientSlot talking, other;
    EXPECT_FALSE(wake.awake(kStart)) << "a fresh loop sleeps";

    wake.served(kStart, &talking);
    EXPECT_TRUE(wake.awake(kStart + 199us));
    EXPECT_FALSE(wake.awake(kStart + 200us));
    EXPECT_EQ(wake.conversation(), &talking);
    EXPECT_TRUE(wake.reads_directly(&talking, kStart + 100us));
    EXPECT_FALSE(wake.reads_directly(&other, kStart + 100us));
    EXPECT_FALSE(wake.reads_directly(&talking, kStart + 300us)) << "asleep, every client is watched";

    wake.served(kStart + 1ms, &talking);
    EXPECT_TRUE(wake.awake(kStart + 1ms + 150us)) << "each request starts the wait again";

    // The first call ever cannot have come back to back.
    wake.served(kStart + 2ms, nullptr);
    EXPECT_FALSE(wake.awake(kStart + 2ms));
    EXPECT_EQ(wake.conversation(), nullptr);
}

TEST(WakePolicy, CallsBackToBackKeepItAwakeBetweenThemAndPacedOnesDoNot) {
    WakePolicy wake;
    ClientSlot client, second;
    auto call = [&](WakePolicy::Clock::time_point at) {
        wake.connected(at, true);
        wake.served(at + 20us, &client);
        wake.served(at + 40us, nullptr);
        return at + 40us;
    };
    auto ended = call(kStart);
    ended = call(ended + 50us);
    EXPECT_TRUE(wake.awake(ended + 49us)) << "a call 50 us after the last counts as back to back";
    EXPECT_FALSE(wake.awake(ended + 50us));

    // A second client joining one still connected says nothing about pace.
    ended += 1ms;
    wake.connected(ended, false);
    wake.served(ended, nullptr);
    EXPECT_TRUE(wake.awake(ended + 10us));

    ended = call(ended + 8ms);
    EXPECT_FALSE(wake.awake(ended)) << "a drag's calls, 8 ms apart, each find it asleep";
    ended = call(ended + 51us);
    EXPECT_FALSE(wake.awake(ended));
}

TEST(WakePolicy, DirectReadsAreBoundedBetweenWaitsOnEverySocket) {
    WakePolicy wake;
    EXPECT_FALSE(wake.take_direct_read()) << "none before the first wait";
    for (int round = 0; round < 2; ++round) {
        wake.waited_on_every_socket();
        for (int read = 0; read < WakePolicy::kDirectReadsPerWait; ++read) EXPECT_TRUE(wake.take_direct_read());
        EXPECT_FALSE(wake.take_direct_read());
    }
    EXPECT_EQ(WakePolicy::kDirectReadsPerWait, 16);
}

TEST(WakePolicy, ANewcomerBecomesTheConversationAndAReleasedSlotStopsBeingIt) {
    WakePolicy wake;
    ClientSlot first, newcomer;
    wake.served(kStart, &first);
    wake.accepted(kStart + 1ms, nullptr);
    EXPECT_EQ(wake.conversation(), &first) << "a client that came and went leaves the conversation alone";
    EXPECT_TRUE(wake.awake(kStart + 1ms + 199us));
    wake.accepted(kStart + 2ms, &newcomer);
    EXPECT_EQ(wake.conversation(), &newcomer);
    wake.forget(&first);
    EXPECT_EQ(wake.conversation(), &newcomer);
    wake.forget(&newcomer);
    EXPECT_EQ(wake.conversation(), nullptr);
    EXPECT_FALSE(wake.reads_directly(nullptr, kStart + 2ms)) << "no slot is read for a conversation that ended";
}

}  // namespace
