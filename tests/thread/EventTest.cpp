#include "platform/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using tev::Event;

TEST(Event, ManualResetStaysSetForEveryWaiterUntilReset) {
    Event event(Event::Manual, false);
    EXPECT_FALSE(event.TryWait());
    event.Set();
    EXPECT_TRUE(event.TryWait());
    EXPECT_TRUE(event.WaitFor(0ms));
    event.Wait();
    event.Reset();
    EXPECT_FALSE(event.TryWait());
    EXPECT_FALSE(event.IsSet());
}

TEST(Event, AutoResetIsConsumedByOneWaitAndSetsCollapse) {
    Event event(Event::Auto, false);
    event.Set();
    event.Set();  // several signals before anyone waits are one signal
    EXPECT_TRUE(event.TryWait());
    EXPECT_FALSE(event.TryWait());
}

TEST(Event, InitialStateIsKeptAndRestored) {
    Event done(Event::Manual, true);
    EXPECT_TRUE(done.IsSet());
    done.Reset();
    done.Restore(true);
    EXPECT_TRUE(done.IsSet());
}

TEST(Event, TimedWaitExpiresWithoutSignal) {
    Event event(Event::Manual, false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.WaitFor(20ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 20ms);
}

TEST(Event, AutoResetReleasesExactlyOneOfTwoWaiters) {
    Event event(Event::Auto, false);
    std::atomic<int> released{0};
    auto wait = [&] {
        if (event.WaitFor(2s)) {
            ++released;
        }
    };
    std::thread a(wait);
    std::thread b(wait);
    std::this_thread::sleep_for(20ms);
    event.Set();
    const auto deadline = std::chrono::steady_clock::now() + 1s;
    while (released.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(released.load(), 1);
    event.Set();  // lets the other one go
    a.join();
    b.join();
    EXPECT_EQ(released.load(), 2);
    EXPECT_FALSE(event.IsSet());
}

// Two threads hand a token back and forth through a pair of automatic-reset events many times
// over: no signal is lost (which would hang) and none is doubled (which would let a side run
// twice in a row), whatever the interleaving.
TEST(Event, ThousandsOfPingPongsLoseAndDoubleNothing) {
    constexpr int kRounds = 20000;
    Event ping(Event::Auto, false);
    Event pong(Event::Auto, false);
    std::atomic<int> turn{0};  // even: the first side's turn
    std::atomic<bool> doubled{false};
    std::thread other([&] {
        for (int i = 0; i < kRounds; ++i) {
            ping.Wait();
            if (turn.fetch_add(1) % 2 != 1) {
                doubled = true;
            }
            pong.Set();
        }
    });
    for (int i = 0; i < kRounds; ++i) {
        if (turn.fetch_add(1) % 2 != 0) {
            doubled = true;
        }
        ping.Set();
        ASSERT_TRUE(pong.WaitFor(10s)) << "a signal was lost in round " << i;
    }
    other.join();
    EXPECT_FALSE(doubled.load());
    EXPECT_EQ(turn.load(), 2 * kRounds);
}
