#include "capture/editing.h"

#include "fake_capture_host.h"

#include "../model/qstring_printer.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"A", "B", "C"})
            project.AddEventType(TEventType(QString::fromLatin1(name)));
    }

    const TEvent* Add(int32_t type, int32_t time, const QString& parameterLine = QString()) {
        TParameters parameters;
        if (!parameterLine.isEmpty())
            parameters.ParametersFromLines({parameterLine});
        return RecordEvent(project, host, time, type, parameters, QString());
    }

    std::vector<int32_t> Times() const {
        std::vector<int32_t> times;
        for (const auto& event : project.Events())
            times.push_back(event->Time);
        return times;
    }

    std::vector<const TEvent*> Order() const {
        std::vector<const TEvent*> order;
        for (const auto& event : project.Events())
            order.push_back(event.get());
        return order;
    }

    TProject project;
    TFakeCaptureHost host{project};
};

TEST_F(EditingTest, OffsetClampsAtZeroAndKeepsOrder) {
    const TEvent* a = Add(0, 500);
    const TEvent* b = Add(1, 300);
    Add(2, 2000);
    OffsetEvents(project, host, -1000);
    EXPECT_EQ(Times(), (std::vector<int32_t>{0, 0, 1000}));
    EXPECT_EQ(project.Events()[0], b);
    EXPECT_EQ(project.Events()[1], a);
    EXPECT_EQ(host.TimelineRepaints, 1);
}

TEST_F(EditingTest, LargeOffsetSaturatesInsteadOfWrapping) {
    Add(0, 10);
    Add(0, 2000000000);
    OffsetEvents(project, host, 1000000000);
    EXPECT_EQ(Times(), (std::vector<int32_t>{1000000010, std::numeric_limits<int32_t>::max()}));
}

TEST_F(EditingTest, TitleOffsetClampsAtZero) {
    InsertTitle(project, host, true, 500, QStringLiteral("a"));
    InsertTitle(project, host, true, 2000, QStringLiteral("b"));
    OffsetTitles(project, host, -1000);
    EXPECT_EQ(project.Titles[0]->Time, 0);
    EXPECT_EQ(project.Titles[1]->Time, 1000);
}

TEST_F(EditingTest, ModifyTextKeepsPlaceAmongEqualTimes) {
    const TEvent* first = Add(0, 1000);
    Add(1, 1000);
    TEventEdit edit{1000, 2, QStringLiteral("new"), TParameters(), false};
    ASSERT_TRUE(ModifyEvent(project, host, first, edit));
    EXPECT_EQ(project.Events()[0], first);
    EXPECT_EQ(first->EventType, 2);
    EXPECT_EQ(first->Text, QStringLiteral("new"));
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
    EXPECT_EQ(host.RemovalsOfUnknownEvents, 0);
}

TEST_F(EditingTest, ModifyTimeMovesAfterEventsOfThatTime) {
    const TEvent* moved = Add(0, 500);
    Add(1, 1000);
    Add(2, 1000);
    ASSERT_TRUE(ModifyEvent(project, host, moved, TEventEdit{1000, 0, QString(), TParameters(), false}));
    EXPECT_EQ(project.Events()[2], moved);
    EXPECT_EQ(Times(), (std::vector<int32_t>{1000, 1000, 1000}));
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
}

TEST_F(EditingTest, ModifyWithoutAChosenTypeKeepsTheType) {
    const TEvent* event = Add(1, 500);
    ASSERT_TRUE(ModifyEvent(project, host, event, TEventEdit{500, -1, QString(), TParameters(), false}));
    EXPECT_EQ(event->EventType, 1);
}

TEST_F(EditingTest, SetParametersForAllSameFillsOnlyBareEventsOfTheType) {
    const TEvent* edited = Add(0, 100);
    const TEvent* bare = Add(0, 200);
    const TEvent* own = Add(0, 300, QStringLiteral("Person=B"));
    const TEvent* otherType = Add(1, 400);
    TParameters parameters;
    parameters.ParametersFromLines({QStringLiteral("Person=A"), QStringLiteral("Camera=1")});
    ASSERT_TRUE(ModifyEvent(project, host, edited, TEventEdit{100, 0, QString(), parameters, true}));
    EXPECT_EQ(bare->Parameters.ParametersToText(), QStringLiteral("Person=A Camera=1"));
    EXPECT_EQ(own->Parameters.ParametersToText(), QStringLiteral("Person=B"));
    EXPECT_TRUE(otherType->Parameters.IsEmpty());
    EXPECT_TRUE(host.TimelineMatches(project.Events()));

    // An edited event without parameters gives nothing to the others.
    const TEvent* empty = Add(2, 500);
    const TEvent* emptyToo = Add(2, 600);
    ASSERT_TRUE(ModifyEvent(project, host, empty, TEventEdit{500, 2, QString(), TParameters(), true}));
    EXPECT_TRUE(emptyToo->Parameters.IsEmpty());
}

TEST_F(EditingTest, DeleteWithoutSelectionDoesNothing) {
    Add(0, 100);
    DeleteSelectedEvent(project, host, nullptr);
    EXPECT_EQ(project.Events().Count(), 1u);
    DeleteSelectedEvent(project, host, project.Events()[0]);
    EXPECT_TRUE(project.Events().IsEmpty());
    EXPECT_TRUE(host.Timeline.empty());
}

TEST_F(EditingTest, InsertTextNeedsInsertingAndASelection) {
    const TEvent* event = Add(0, 100);
    EXPECT_FALSE(InsertEventText(project, host, false, event, QStringLiteral("x")));
    EXPECT_TRUE(event->Text.isEmpty());
    EXPECT_FALSE(InsertEventText(project, host, true, nullptr, QStringLiteral("x")));
    EXPECT_TRUE(InsertEventText(project, host, true, event, QStringLiteral("y")));
    EXPECT_EQ(event->Text, QStringLiteral("y"));
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
    EXPECT_EQ(project.Events().Count(), 1u);
    EXPECT_EQ(InsertTitle(project, host, false, 100, QStringLiteral("t")), nullptr);
    EXPECT_TRUE(project.Titles.IsEmpty());
}

TEST_F(EditingTest, RemoveEventsOfTypeRenumbersAndClearsTheTimeline) {
    Add(0, 100);
    Add(1, 200);
    Add(2, 300);
    Add(1, 400);
    project.SetFilteredTypes({2});
    ASSERT_TRUE(RemoveEventsOfType(project, host, 1));
    ASSERT_EQ(project.Events().Count(), 2u);
    EXPECT_EQ(project.Events()[1]->EventType, 1);
    EXPECT_EQ(project.FilteredTypes, (std::set<int32_t>{1}));
    EXPECT_TRUE(host.TimelineMatches(project.Events()));
    EXPECT_FALSE(RemoveEventsOfType(project, host, 5));
}

TEST_F(EditingTest, ModifyTitleMovesOnlyWhenTimeChanges) {
    const TTitle* first = InsertTitle(project, host, true, 100, QStringLiteral("a"));
    InsertTitle(project, host, true, 100, QStringLiteral("b"));
    ASSERT_TRUE(ModifyTitle(project, host, first, 100, QStringLiteral("c")));
    EXPECT_EQ(project.Titles[0], first);
    ASSERT_TRUE(ModifyTitle(project, host, first, 100 + 1, QStringLiteral("c")));
    EXPECT_EQ(project.Titles[1], first);
}

struct TNavigationCase {
    int32_t Now;
    std::optional<int32_t> Previous;
    std::optional<int32_t> Next;
};

class EventNavigation : public ::testing::TestWithParam<TNavigationCase> {};

TEST_P(EventNavigation, GoesToTheNearestEventStrictlyBeforeOrAfter) {
    TEvents events;
    events.InsertEvent(std::make_unique<TEvent>(0, 1000));
    events.InsertEvent(std::make_unique<TEvent>(0, 2000));
    EXPECT_EQ(PreviousEventTime(events, GetParam().Now), GetParam().Previous);
    EXPECT_EQ(NextEventTime(events, GetParam().Now), GetParam().Next);
}

INSTANTIATE_TEST_SUITE_P(Table, EventNavigation,
                         ::testing::Values(TNavigationCase{500, std::nullopt, 1000},
                                           TNavigationCase{1000, std::nullopt, 2000},
                                           TNavigationCase{1500, 1000, 2000},
                                           TNavigationCase{2000, 1000, std::nullopt},
                                           TNavigationCase{2500, 2000, std::nullopt}));

TEST(EventNavigationEmpty, NoEventsGoNowhere) {
    EXPECT_EQ(PreviousEventTime(TEvents(), 100), std::nullopt);
    EXPECT_EQ(NextEventTime(TEvents(), 100), std::nullopt);
}

} // namespace
