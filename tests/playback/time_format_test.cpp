#include "playback/playback_clock.h"
#include "tests/playback/playback_fakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A project with a type (shift -1000, secondary key shift 60), events at
// 0, 20, 1000, 1001 and -60 and titles at 20 and 999, all in milliseconds.
class TimeFormatSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        TEventType type("Enter");
        type.Offset = -1000;
        type.SecondaryKeys.push_back(TSecondaryKey{0, 60, TParameters()});
        rig.Project.AddEventType(type);
        for (int32_t time : {1001, 0, 20, 1000, -60})
            rig.Project.InsertEvent(std::make_unique<TEvent>(0, time, QString::number(time), TParameters()));
        rig.Project.InsertTitle(std::make_unique<TTitle>("a", 20));
        rig.Project.InsertTitle(std::make_unique<TTitle>("b", 999));
    }

    std::vector<int32_t> EventTimes() const {
        std::vector<int32_t> times;
        for (const auto& event : rig.Project.Events())
            times.push_back(event->Time);
        return times;
    }
    std::vector<int32_t> TitleTimes() const {
        std::vector<int32_t> times;
        for (const auto& title : rig.Project.Titles)
            times.push_back(title->Time);
        return times;
    }
    QStringList EventTexts() const {
        QStringList texts;
        for (const auto& event : rig.Project.Events())
            texts.append(event->Text);
        return texts;
    }

    TPlaybackRig rig;
};

TEST_F(TimeFormatSwitch, WithoutMediaAFrameIsFortyMilliseconds) {
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames));
    EXPECT_EQ(rig.Project.TimeFormat, TTimeFormat::Frames);
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{-1, 0, 0, 25, 25})); // truncated toward zero
    EXPECT_EQ(TitleTimes(), (std::vector<int32_t>{0, 24}));
    EXPECT_EQ(rig.Host.Log, QStringList({"events 0 0", "repaint timeline", "titles 0 0"}));

    EXPECT_FALSE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames)); // already there
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Milliseconds));
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{-40, 0, 0, 1000, 1000}));
    EXPECT_EQ(TitleTimes(), (std::vector<int32_t>{0, 960}));
    // Events that came to share a time keep their order.
    EXPECT_EQ(EventTexts(), QStringList({"-60", "0", "20", "1000", "1001"}));
}

TEST_F(TimeFormatSwitch, WithMediaTheFirstMediumsRateConvertsWithRounding) {
    rig.AddMedium(30000, 1001, 1000);
    rig.AddMedium(30000, 1001, 10);
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames));
    // 20 ms is 0.5994 frames, 1000 ms 29.97, 1001 ms 29.999.
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{-2, 0, 1, 30, 30}));
    EXPECT_EQ(TitleTimes(), (std::vector<int32_t>{1, 30}));
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Milliseconds));
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{-67, 0, 33, 1001, 1001}));
}

TEST_F(TimeFormatSwitch, TypeTimeShiftsChangeUnitWithTheEvents) {
    rig.AddMedium(25, 1, 1000);
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames));
    EXPECT_EQ(rig.Project.EventTypes[0].Offset, -25);
    EXPECT_EQ(rig.Project.EventTypes[0].SecondaryKeys[0].Offset, 2); // 1.5 rounds away from zero
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Milliseconds));
    EXPECT_EQ(rig.Project.EventTypes[0].Offset, -1000);
    EXPECT_EQ(rig.Project.EventTypes[0].SecondaryKeys[0].Offset, 80);
}

TEST_F(TimeFormatSwitch, MixedRatesStayInMilliseconds) {
    rig.AddMedium(25, 1, 1000);
    rig.AddMedium(30000, 1001, 1000);
    rig.Host.Log.clear();
    EXPECT_FALSE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames));
    EXPECT_EQ(rig.Project.TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{-60, 0, 20, 1000, 1001}));
    EXPECT_TRUE(rig.Host.Log.isEmpty());
}

TEST_F(TimeFormatSwitch, AddingAMediumOfAnotherRateReturnsToMilliseconds) {
    rig.AddMedium(25, 1, 1000);
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames));
    const std::vector<int32_t> frames = EventTimes();

    rig.AddMedium(25, 1, 500); // same rate: frames stay
    EXPECT_EQ(rig.Project.TimeFormat, TTimeFormat::Frames);
    EXPECT_EQ(EventTimes(), frames);

    rig.Host.Log.clear();
    rig.AddMedium(30000, 1001, 500);
    EXPECT_EQ(rig.Project.TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_EQ(EventTimes(), (std::vector<int32_t>{-80, 0, 40, 1000, 1000})); // at 25/1, not 30000/1001
    EXPECT_EQ(rig.Project.EventTypes[0].Offset, -1000);
    EXPECT_EQ(rig.Host.Log, QStringList({"events 0 0", "titles 0 0", "refresh timeline"}));
}

} // namespace
