#include "platform/Event.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/Clock.h"
#include "tests/support/platform/ManualClock.h"

using platform::Event;

TEST(EventTest, AutoResetReleasesOneWaitThenClears) {
    Event event(false);
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.IsSet());
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, ManualResetStaysSignalledUntilReset) {
    Event event(true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(EventTest, WaitWakesWhenAnotherThreadSignals) {
    Event event(false);
    std::thread signaller([&] { event.Set(); });
    EXPECT_TRUE(event.Wait(5000));
    signaller.join();
}

TEST(ManualClockTest, WaitPassesAtOnceAndMovesTime) {
    platform::ManualClock clock;
    Event event(false);
    platform::LocalTime before = clock.Now();
    EXPECT_FALSE(clock.Wait(event, 5000));
    EXPECT_EQ(clock.MonotonicMs(), 5000);
    platform::LocalTime after = clock.Now();
    EXPECT_EQ(after.ToEpoch() - before.ToEpoch(), 5);
    ASSERT_EQ(clock.Pauses().size(), 1u);
    EXPECT_EQ(clock.Pauses()[0], 5000);
}

TEST(ManualClockTest, HookCanSignalTheEventDuringThePause) {
    platform::ManualClock clock;
    Event event(false);
    clock.SetHook([&](int64_t ms) {
        if (ms == 1000) {
            event.Set();
        }
    });
    EXPECT_FALSE(clock.Wait(event, 5000));
    EXPECT_TRUE(clock.Wait(event, 1000));
    EXPECT_EQ(clock.MonotonicMs(), 5000);  // the interrupted pause did not move time
}

TEST(ManualClockTest, ScopedClockInstallsAndRestores) {
    platform::ManualClock clock;
    {
        platform::ScopedClock scoped(clock);
        EXPECT_EQ(&platform::Clock::Current(), &clock);
    }
    EXPECT_NE(&platform::Clock::Current(), &clock);
}
