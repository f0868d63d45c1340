#include "capture/recording.h"

#include "capture/event_commands.h"
#include "fake_capture_host.h"

#include "../model/qstring_printer.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TParameters Params(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    QStringList lines;
    for (const auto& [name, value] : pairs)
        lines << QStringLiteral("%1=%2").arg(QLatin1String(name), QLatin1String(value));
    TParameters parameters;
    parameters.ParametersFromLines(lines);
    return parameters;
}

class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        TEventType start{QStringLiteral("Start speaking")};
        start.CheckEndPoints = true;
        start.Parameters = Params({{"Person", "A"}});
        startType = project.AddEventType(start);
        TEventType stop{QStringLiteral("Stop speaking")};
        stop.CheckEndPoints = true;
        stop.Parameters = Params({{"Person", "A"}});
        stopType = project.AddEventType(stop);
        TEventType box{QStringLiteral("Box")};
        box.Offset = -500;
        box.Parameters = Params({{"Kind", "main"}});
        box.SecondaryKeys.push_back({'X', 300, Params({{"Kind", "first"}})});
        box.SecondaryKeys.push_back({'Y', -100, Params({{"Kind", "second"}})});
        boxType = project.AddEventType(box);
    }

    const TEvent* Press(int32_t typeIndex, int32_t keyNumber, int32_t now, bool isInserting = true) {
        return ExecuteEventCommand(project, host, PackEventTag(typeIndex, keyNumber), isInserting, now);
    }

    TProject project;
    TFakeCaptureHost host{project};
    int32_t startType = -1;
    int32_t stopType = -1;
    int32_t boxType = -1;
};

TEST_F(RecordingTest, InsertingOffRecordsNothing) {
    EXPECT_EQ(Press(boxType, 0, 1000, false), nullptr);
    EXPECT_EQ(RecordEventNow(project, host, false, 1000, boxType, QString(), nullptr, true, TParameters()),
              nullptr);
    EXPECT_TRUE(project.Events().IsEmpty());
    EXPECT_EQ(host.EventListRefreshes, 0);
}

TEST_F(RecordingTest, TypeOffsetBelowZeroRecordsAtZero) {
    const TEvent* event = Press(boxType, 0, 200);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->Time, 0);
    EXPECT_EQ(event->Parameters.ParametersToText(), QStringLiteral("Kind=main"));
    EXPECT_TRUE(event->Text.isEmpty());
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
    EXPECT_EQ(host.VideoRepaints, 1);
}

TEST_F(RecordingTest, SecondaryKeyRecordsWithItsOwnParametersAndOffset) {
    const TEvent* second = Press(boxType, 2, 1000);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->Time, 900);
    EXPECT_EQ(second->Parameters.ParametersToText(), QStringLiteral("Kind=second"));
    // A key number the type no longer has falls back to the main key.
    const TEvent* stale = Press(boxType, 3, 1000);
    ASSERT_NE(stale, nullptr);
    EXPECT_EQ(stale->Time, 500);
    EXPECT_EQ(stale->Parameters.ParametersToText(), QStringLiteral("Kind=main"));
}

TEST_F(RecordingTest, StaleTypeNumberRecordsNothing) {
    EXPECT_EQ(Press(3, 0, 1000), nullptr);
    EXPECT_TRUE(project.Events().IsEmpty());
}

TEST_F(RecordingTest, LargeOffsetSaturatesInsteadOfWrapping) {
    project.EditEventType(boxType, [&](TEventType& edited) { edited.Offset = std::numeric_limits<int32_t>::max(); });
    const TEvent* event = Press(boxType, 0, 1000);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->Time, std::numeric_limits<int32_t>::max());
}

TEST_F(RecordingTest, EndPointsKeepOnlyTheLatestWithTheFirstText) {
    const TEvent* first = Press(startType, 0, 1000);
    const_cast<TEvent*>(first)->Text = QStringLiteral("hello");
    const TEvent* second = Press(startType, 0, 2000);
    ASSERT_EQ(project.Events().Count(), 1u);
    EXPECT_EQ(project.Events()[0], second);
    EXPECT_EQ(second->Time, 2000);
    EXPECT_EQ(second->Text, QStringLiteral("hello"));
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
    EXPECT_EQ(host.RemovalsOfUnknownEvents, 0);
}

TEST_F(RecordingTest, EndPointsKeepBothAcrossAnEventOfAnotherType) {
    Press(startType, 0, 1000);
    Press(stopType, 0, 1500);
    Press(startType, 0, 2000);
    EXPECT_EQ(project.Events().Count(), 3u);
}

TEST_F(RecordingTest, WithoutCheckEndPointsEqualEventsAccumulate) {
    project.EditEventType(startType, [&](TEventType& edited) { edited.CheckEndPoints = false; });
    Press(startType, 0, 1000);
    Press(startType, 0, 2000);
    EXPECT_EQ(project.Events().Count(), 2u);
}

TEST_F(RecordingTest, MouseRecordingAtTheSameTimeReplacesIgnoringPosition) {
    const TParameterNames ignored = {QStringLiteral("CenterX"), QStringLiteral("CenterY")};
    const auto record = [&](int32_t now, const char* x, const char* camera) {
        return RecordEventNow(project, host, true, now, boxType, QStringLiteral("t"), &ignored, true,
                              Params({{"Camera", camera}, {"CenterX", x}, {"CenterY", "5"}}));
    };
    record(1000, "10", "1");
    const TEvent* moved = record(1000, "20", "1");
    ASSERT_EQ(project.Events().Count(), 1u);
    EXPECT_EQ(project.Events()[0], moved);
    record(1000, "30", "2");
    record(1040, "40", "2");
    EXPECT_EQ(project.Events().Count(), 3u);
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
}

TEST_F(RecordingTest, MouseRecordingOfNoTypeRecordsNothing) {
    EXPECT_EQ(RecordEventNow(project, host, true, 1000, -1, QString(), nullptr, true, TParameters()),
              nullptr);
    EXPECT_TRUE(project.Events().IsEmpty());
}

TEST_F(RecordingTest, DrawOffLeavesTheVideosAlone) {
    host.IsDraw = false;
    RecordEvent(project, host, 10, boxType, TParameters(), QString());
    EXPECT_EQ(host.VideoRepaints, 0);
    EXPECT_EQ(host.EventListRefreshes, 1);
}

TEST(MouseMode, RefusedWithoutAValidTemplateType) {
    TEventTypes types;
    EXPECT_FALSE(MouseModeRefusal(types, -1).isEmpty());
    types.AddEventType(TEventType(QStringLiteral("Box")));
    EXPECT_FALSE(MouseModeRefusal(types, 1).isEmpty());
    EXPECT_TRUE(MouseModeRefusal(types, 0).isEmpty());
}

} // namespace
