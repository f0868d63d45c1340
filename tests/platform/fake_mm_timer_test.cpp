#include "platform/fake_mm_timer.h"

#include <gtest/gtest.h>

// A re-arming chain like the playback engine's: each callback arms the next
// frame relative to the clock reading at the moment it runs.
class FakeMMTimerTest : public ::testing::Test {
protected:
    void ArmFrame(uint32_t delayMs) {
        m_timer.SetOneShot(delayMs, [this] {
            m_fireTimes.push_back(m_timer.Clock().NowMs());
            if (m_fireTimes.size() < 5)
                ArmFrame(40);
        });
    }

    TFakeMMTimer m_timer{1000};
    std::vector<int64_t> m_fireTimes;
};

TEST_F(FakeMMTimerTest, AdvanceFiresDueTimersAtTheirDeadlinesIncludingReArmedOnes) {
    ArmFrame(40);
    EXPECT_EQ(m_timer.AdvanceMs(39), 0);
    EXPECT_EQ(m_timer.Clock().NowMs(), 1039);
    EXPECT_EQ(m_timer.AdvanceMs(500), 5);
    EXPECT_EQ(m_fireTimes, (std::vector<int64_t>{1040, 1080, 1120, 1160, 1200}));
    EXPECT_EQ(m_timer.Clock().NowMs(), 1539);
    EXPECT_TRUE(m_timer.Pending().empty());
}

TEST_F(FakeMMTimerTest, TimersFireInDeadlineOrderTiesInArmingOrder) {
    std::vector<char> order;
    m_timer.SetOneShot(30, [&] { order.push_back('a'); });
    m_timer.SetOneShot(10, [&] { order.push_back('b'); });
    m_timer.SetOneShot(30, [&] { order.push_back('c'); });
    m_timer.SetOneShot(20, [&] { order.push_back('d'); });
    const auto pending = m_timer.Pending();
    ASSERT_EQ(pending.size(), 4u);
    EXPECT_EQ(pending[0].DueMs, 1010);
    EXPECT_EQ(pending[3].DelayMs, 30u);
    EXPECT_EQ(m_timer.AdvanceMs(30), 4);
    EXPECT_EQ(order, (std::vector<char>{'b', 'd', 'a', 'c'}));
}

TEST_F(FakeMMTimerTest, KillFireAndFireNext) {
    int fired = 0;
    const auto killed = m_timer.SetOneShot(10, [&] { fired += 100; });
    const auto early = m_timer.SetOneShot(500, [&] { fired += 1; });
    m_timer.SetOneShot(900, [&] { fired += 10; });
    EXPECT_TRUE(m_timer.Kill(killed));
    EXPECT_FALSE(m_timer.Kill(killed));

    EXPECT_TRUE(m_timer.Fire(early));
    EXPECT_EQ(m_timer.Clock().NowMs(), 1000); // firing by id does not move time
    EXPECT_FALSE(m_timer.Fire(early));
    EXPECT_TRUE(m_timer.FireNext());
    EXPECT_EQ(m_timer.Clock().NowMs(), 1900);
    EXPECT_FALSE(m_timer.FireNext());
    EXPECT_EQ(fired, 11);
}

TEST_F(FakeMMTimerTest, IdsAreNotReusedWhilePending) {
    const auto first = m_timer.SetOneShot(10, [] {});
    const auto second = m_timer.SetOneShot(10, [] {});
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    m_timer.Kill(first);
    EXPECT_NE(m_timer.SetOneShot(10, [] {}), second);
}

TEST_F(FakeMMTimerTest, CapabilitiesAndPeriodRefusalCanBeStaged) {
    TTimerCaps caps{};
    m_timer.SetDevCaps(TTimerCaps{2, 50});
    ASSERT_TRUE(m_timer.GetDevCaps(caps));
    EXPECT_EQ(caps.PeriodMinMs, 2u);
    EXPECT_FALSE(m_timer.BeginPeriod(1));
    EXPECT_TRUE(m_timer.BeginPeriod(2));
    EXPECT_EQ(m_timer.OpenPeriods().at(2), 1);
    EXPECT_TRUE(m_timer.EndPeriod(2));
    EXPECT_TRUE(m_timer.OpenPeriods().empty());

    m_timer.SetBeginPeriodRefused(true);
    EXPECT_FALSE(m_timer.BeginPeriod(2));
    m_timer.SetDevCaps(std::nullopt);
    EXPECT_FALSE(m_timer.GetDevCaps(caps));
}
