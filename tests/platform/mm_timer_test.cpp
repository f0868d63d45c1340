#include "platform/mm_timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <numeric>
#include <set>

namespace {

// Generous: only there so a broken timer fails the test instead of hanging it.
constexpr auto kPatience = std::chrono::seconds(20);

} // namespace

TEST(ThreadMMTimerTest, IdsAreNonZeroAndDistinctWhilePending) {
    TThreadMMTimer timer;
    std::set<TMMTimer::TTimerId> ids;
    for (int i = 0; i < 100; ++i) {
        const auto id = timer.SetOneShot(60000, [] {});
        EXPECT_NE(id, 0u);
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 100u);
    for (const auto id : ids)
        EXPECT_TRUE(timer.Kill(id));
}

TEST(ThreadMMTimerTest, DueTimersFireOnceOnTheTimerThreadInArmingOrder) {
    TThreadMMTimer timer;
    std::mutex mutex;
    std::vector<int> order;
    std::set<std::thread::id> threads;
    std::promise<void> allFired;
    constexpr int kCount = 20;
    for (int i = 0; i < kCount; ++i)
        timer.SetOneShot(0, [&, i] {
            std::lock_guard lock(mutex);
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
            if (static_cast<int>(order.size()) == kCount)
                allFired.set_value();
        });
    ASSERT_EQ(allFired.get_future().wait_for(kPatience), std::future_status::ready);

    std::lock_guard lock(mutex);
    std::vector<int> expected(kCount);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST(ThreadMMTimerTest, KilledAndDroppedTimersNeverFire) {
    std::atomic<int> fired{0};
    {
        TThreadMMTimer timer;
        const auto killed = timer.SetOneShot(50, [&] { fired += 100; });
        timer.SetOneShot(60000, [&] { fired += 1000; }); // dropped by the destructor
        EXPECT_TRUE(timer.Kill(killed));
        EXPECT_FALSE(timer.Kill(killed));
        EXPECT_FALSE(timer.Kill(0));

        // A later timer that does fire proves the thread ran past the
        // killed one's deadline.
        std::promise<void> done;
        timer.SetOneShot(100, [&] {
            ++fired;
            done.set_value();
        });
        ASSERT_EQ(done.get_future().wait_for(kPatience), std::future_status::ready);
    }
    EXPECT_EQ(fired.load(), 1);
}

TEST(ThreadMMTimerTest, AfterKillReturnsTheCallbackIsNeitherRunningNorToCome) {
    TThreadMMTimer timer;
    constexpr int kRounds = 300;
    std::atomic<bool> inside{false};
    std::vector<std::atomic<int>> runs(kRounds);
    std::vector<bool> cancelled(kRounds);
    for (int round = 0; round < kRounds; ++round) {
        const auto id = timer.SetOneShot(0, [&, round] {
            inside = true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            ++runs[round];
            inside = false;
        });
        // Kill at varying moments: before, during and after the callback.
        const auto killAt = std::chrono::steady_clock::now() + std::chrono::microseconds((round % 8) * 60);
        while (std::chrono::steady_clock::now() < killAt) {
        }
        cancelled[round] = timer.Kill(id);
        EXPECT_FALSE(inside.load()) << "callback still running after Kill, round " << round;
        if (!cancelled[round]) {
            EXPECT_EQ(runs[round].load(), 1) << "Kill returned before the callback finished, round " << round;
        }
    }
    // Let any wrongly surviving callback show itself.
    std::promise<void> drained;
    timer.SetOneShot(1, [&] { drained.set_value(); });
    ASSERT_EQ(drained.get_future().wait_for(kPatience), std::future_status::ready);
    for (int round = 0; round < kRounds; ++round)
        EXPECT_EQ(runs[round].load(), cancelled[round] ? 0 : 1) << "round " << round;
}

TEST(ThreadMMTimerTest, CallbackMayKillItselfAndReArm) {
    TThreadMMTimer timer;
    std::promise<bool> selfKill;
    std::promise<void> reArmed;
    TMMTimer::TTimerId id = 0;
    std::mutex idMutex;
    {
        std::lock_guard lock(idMutex);
        id = timer.SetOneShot(0, [&] {
            TMMTimer::TTimerId own = 0;
            {
                std::lock_guard inner(idMutex);
                own = id;
            }
            selfKill.set_value(timer.Kill(own));
            timer.SetOneShot(0, [&] { reArmed.set_value(); });
        });
    }
    auto killResult = selfKill.get_future();
    ASSERT_EQ(killResult.wait_for(kPatience), std::future_status::ready);
    EXPECT_FALSE(killResult.get());
    EXPECT_EQ(reArmed.get_future().wait_for(kPatience), std::future_status::ready);
}

TEST(ThreadMMTimerTest, PeriodsAreCountedAndBoundedByTheCapabilities) {
    TThreadMMTimer timer;
    TTimerCaps caps{};
    ASSERT_TRUE(timer.GetDevCaps(caps));
    EXPECT_GE(caps.PeriodMinMs, 1u);
    EXPECT_LE(caps.PeriodMinMs, caps.PeriodMaxMs);

    EXPECT_FALSE(timer.BeginPeriod(caps.PeriodMinMs - 1));
    EXPECT_FALSE(timer.EndPeriod(caps.PeriodMinMs));
    EXPECT_TRUE(timer.BeginPeriod(caps.PeriodMinMs));
    EXPECT_TRUE(timer.BeginPeriod(caps.PeriodMinMs));
    EXPECT_EQ(timer.OpenPeriodCount(), 2u);
    EXPECT_FALSE(timer.EndPeriod(caps.PeriodMinMs + 1));
    EXPECT_TRUE(timer.EndPeriod(caps.PeriodMinMs));
    EXPECT_TRUE(timer.EndPeriod(caps.PeriodMinMs));
    EXPECT_FALSE(timer.EndPeriod(caps.PeriodMinMs));
    EXPECT_EQ(timer.OpenPeriodCount(), 0u);
}
