#include "views/list_cursor.h"

#include <gtest/gtest.h>

namespace {

// The event indexes shown, top to bottom (-1 for an empty row).
std::vector<int32_t> Shown(const TGridState& grid) {
    std::vector<int32_t> indexes;
    for (const TGridRow& row : grid.Rows)
        indexes.push_back(row.Index);
    return indexes;
}

std::vector<bool> Active(const TGridState& grid) {
    std::vector<bool> flags;
    for (const TGridRow& row : grid.Rows)
        flags.push_back(row.IsActive);
    return flags;
}

} // namespace

class EventListTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.AddEventType(TEventType(QStringLiteral("Shown")));
        project.AddEventType(TEventType(QStringLiteral("Hidden")));
    }
    void Add(int32_t time, const QString& text = QString(), int32_t type = 0) {
        project.InsertEvent(std::make_unique<TEvent>(type, time, text, TParameters{}));
    }
    TListClock At(int32_t time) {
        clock.CurrentTime = time;
        return clock;
    }

    TProject project;
    TEventListState list{project};
    TListClock clock{0, TTimeFormat::Milliseconds, 40};
};

TEST_F(EventListTest, EmptyListAndTimeBeforeTheFirstEvent) {
    list.Refresh(At(0), 5, false, true);
    EXPECT_EQ(Shown(list.Grid()), std::vector<int32_t>{-1});
    EXPECT_EQ(list.Grid().ScrollMax, 0);

    Add(100);
    Add(200);
    list.Refresh(At(99), 5, false, true);
    EXPECT_EQ(list.Cursor(), -1);
    EXPECT_EQ(Shown(list.Grid()), std::vector<int32_t>{-1});
    list.ShowAll = true;
    list.Fill(clock, 5, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{0, 1}));
}

TEST_F(EventListTest, ActiveEventsAtTheCurrentTime) {
    Add(500);
    Add(960);
    Add(1000);
    Add(1000);
    Add(1000);
    list.Refresh(At(1000), 10, false, false);
    EXPECT_EQ(list.Cursor(), 4); // the last of the three at 1000
    EXPECT_EQ(Active(list.Grid()), (std::vector<bool>{false, false, true, true, true}));

    list.Refresh(At(999), 10, false, false);
    EXPECT_EQ(Active(list.Grid()), (std::vector<bool>{false, true}));

    clock.TimeFormat = TTimeFormat::Frames; // frames: only the very frame
    list.Refresh(At(960), 10, false, false);
    EXPECT_EQ(Active(list.Grid()), (std::vector<bool>{false, true}));
    list.Refresh(At(961), 10, false, false);
    EXPECT_EQ(Active(list.Grid()), (std::vector<bool>{false, false}));
}

TEST_F(EventListTest, ScrollingShowsEarlierEventsAndStopsAtTheEnds) {
    for (int32_t i = 0; i < 10; ++i)
        Add(i * 100);
    list.Refresh(At(650), 3, false, true); // cursor 6
    EXPECT_EQ(list.Grid().ScrollMax, 4);
    EXPECT_EQ(list.Grid().ScrollPosition, 4);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{4, 5, 6}));
    EXPECT_EQ(list.Grid().RowToSelect, 2);
    EXPECT_FALSE(list.ScrollTowardsNewer()); // Down at the end: nothing
    ASSERT_TRUE(list.ScrollTowardsOlder());
    list.Fill(clock, 3, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(list.Grid().RowToSelect, -1);
    list.SetScrollPosition(0);
    list.Fill(clock, 3, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_FALSE(list.ScrollTowardsOlder());
}

TEST_F(EventListTest, ShowAllWithFollowSelectsTheCursorRowAndListsLaterEvents) {
    Add(100);
    Add(200);
    Add(300);
    Add(400);
    list.ShowAll = true;
    list.Refresh(At(250), 10, false, true);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(list.Grid().RowToSelect, 1);
}

TEST_F(EventListTest, FilteredTypesAreNotCountedWhenScrolling) {
    for (int32_t i = 0; i < 8; ++i)
        Add(i * 100, QString(), i % 2); // odd indexes are hidden
    project.SetFilteredTypes({1});
    list.Refresh(At(700), 2, false, true);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{4, 6}));
    ASSERT_TRUE(list.ScrollTowardsOlder());
    list.Fill(clock, 2, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{2, 4})); // one visible event further back
    list.SetScrollPosition(0);
    list.Fill(clock, 2, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{0, 2}));
}

TEST_F(EventListTest, PlaybackMovesIncrementallyAndCollectsThePassedTexts) {
    Add(0, QStringLiteral("start"));
    Add(100, QStringLiteral("a"));
    Add(120);
    Add(140, QStringLiteral("b"));
    Add(500, QStringLiteral("later"));
    list.Refresh(At(50), 2, false, false);
    EXPECT_EQ(list.Refresh(At(150), 2, true, false), QStringLiteral(" start a b"));
    EXPECT_EQ(list.Cursor(), 3);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{2, 3})); // follows the newest
    // Going back is a full search; only the new cursor's text counts.
    EXPECT_EQ(list.Refresh(At(110), 2, true, false), QStringLiteral(" a"));
    EXPECT_EQ(list.Refresh(At(10000), 2, true, false), QStringLiteral(" a b later"));
    project.ClearEvents();
    list.ResetCursor();
    EXPECT_EQ(list.Refresh(At(10000), 2, false, false), QString());
}

TEST(TitleListTest, TitlesFollowOnlyWhenAskedAndNeverShowTheFuture) {
    TProject project;
    TTitleListState list(project);
    for (int32_t i = 0; i < 6; ++i)
        project.InsertTitle(std::make_unique<TTitle>(QString::number(i), i * 100));
    list.Refresh(-1, 3, false, true);
    EXPECT_EQ(Shown(list.Grid()), std::vector<int32_t>{-1});
    list.Refresh(250, 3, false, true);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{0, 1, 2}));
    list.Refresh(450, 3, false, true);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{2, 3, 4}));
    EXPECT_EQ(list.Grid().RowToSelect, 2);
    ASSERT_TRUE(list.ScrollTowardsOlder());
    list.Fill(3, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{1, 2, 3}));
    // A playback tick keeps the scroll position.
    list.Refresh(460, 3, false, false);
    EXPECT_EQ(Shown(list.Grid()), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_TRUE(list.ScrollTowardsNewer());
    EXPECT_FALSE(list.ScrollTowardsNewer());
}
