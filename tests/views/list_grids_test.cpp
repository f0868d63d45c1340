#include "views/list_grids.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class EventListGridTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.AddEventType(TEventType(QStringLiteral("Nod")));
        for (int32_t i = 0; i < 10; ++i)
            project.InsertEvent(
                std::make_unique<TEvent>(0, i * 100, QStringLiteral("e%1").arg(i), TParameters{}));
        grid.verticalHeader()->hide();
        grid.verticalHeader()->setMinimumSectionSize(16);
        grid.verticalHeader()->setDefaultSectionSize(16);
        grid.setSelectionBehavior(QAbstractItemView::SelectRows);
        grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        grid.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        TEventListHooks hooks;
        hooks.Clock = [this] { return clock; };
        hooks.GoToTime = [this](int32_t time, bool fromUser) { wentTo.emplace_back(time, fromUser); };
        hooks.Modify = [this] { ++modified; };
        hooks.IsShowAllChecked = [this] { return showAll; };
        hooks.IsTextChecked = [] { return true; };
        hooks.SetCaptionText = [this](const QString& text) { caption = text; };
        list = std::make_unique<TEventListGrid>(grid, bar, project, hooks);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
        // Room for three 16-pixel rows and a part of a fourth.
        grid.resize(400, grid.height() - grid.viewport()->height() + 3 * 16 + 5);
        ASSERT_EQ(VisibleRows(grid), 3);
    }
    QStringList Texts() const {
        QStringList texts;
        for (int row = 0; row < grid.rowCount(); ++row)
            texts << (grid.item(row, 2) ? grid.item(row, 2)->text() : QString());
        return texts;
    }
    QPoint RowCentre(int row) const { return QPoint(20, grid.rowViewportPosition(row) + 8); }

    TProject project;
    QTableWidget grid{1, 4};
    QScrollBar bar{Qt::Vertical};
    TListClock clock{650, TTimeFormat::Milliseconds, 40};
    bool showAll = false;
    std::vector<std::pair<int32_t, bool>> wentTo;
    int modified = 0;
    QString caption;
    std::unique_ptr<TEventListGrid> list;
};

} // namespace

TEST_F(EventListGridTest, FollowsTheCursorAndScrollsByKeysAndBar) {
    list->RefreshEventList(false, true);
    EXPECT_EQ(Texts(), (QStringList{"e4", "e5", "e6"}));
    EXPECT_EQ(bar.maximum(), 4);
    EXPECT_EQ(bar.value(), 4);
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(list->SelectedEventIndex(), 6);

    QTest::keyClick(&grid, Qt::Key_Down); // at the end: nothing more
    EXPECT_EQ(Texts(), (QStringList{"e4", "e5", "e6"}));
    grid.setCurrentCell(0, 0);
    QTest::keyClick(&grid, Qt::Key_PageUp);
    EXPECT_EQ(Texts(), (QStringList{"e3", "e4", "e5"}));
    EXPECT_EQ(bar.value(), 3);
    bar.setValue(0);
    EXPECT_EQ(Texts(), (QStringList{"e0", "e1", "e2"}));
}

TEST_F(EventListGridTest, ShiftClickGoesToTheEventAndDoubleClickModifies) {
    list->RefreshEventList(false, true);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(0));
    EXPECT_TRUE(wentTo.empty());
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCentre(1));
    EXPECT_EQ(wentTo, (std::vector<std::pair<int32_t, bool>>{{500, true}}));
    showAll = true;
    list->FillEventGrid(false);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, RowCentre(0));
    EXPECT_EQ(wentTo.back(), (std::pair<int32_t, bool>{400, false})); // everything shown: no following
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, Qt::NoModifier, RowCentre(0));
    EXPECT_EQ(modified, 1);
}

TEST_F(EventListGridTest, ActiveRowsAreWrittenInBlue) {
    clock.CurrentTime = 610; // e6 at 600 is active for 40 ms
    list->RefreshEventList(false, true);
    grid.setCurrentCell(0, 0);
    const QImage shot = grid.viewport()->grab().toImage();
    const auto hasColour = [&](int row, const QColor& colour) {
        const int top = grid.rowViewportPosition(row);
        for (int y = top; y < top + 16; ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixelColor(x, y) == colour)
                    return true;
        return false;
    };
    EXPECT_TRUE(hasColour(2, QColor(0, 0, 255)));
    EXPECT_FALSE(hasColour(1, QColor(0, 0, 255)));
    grid.setCurrentCell(2, 0);
    const QImage selected = grid.viewport()->grab().toImage();
    bool hasSkyBlue = false;
    for (int y = grid.rowViewportPosition(2); y < grid.rowViewportPosition(2) + 16 && !hasSkyBlue; ++y)
        for (int x = 0; x < selected.width() && !hasSkyBlue; ++x)
            hasSkyBlue = selected.pixelColor(x, y) == QColor(0xA6, 0xCA, 0xF0);
    EXPECT_TRUE(hasSkyBlue);
}

TEST_F(EventListGridTest, ChangedEventsSendTheCursorBackToASearch) {
    list->RefreshEventList(false, false);
    EXPECT_EQ(list->State().Cursor(), 6);
    project.InsertEvent(std::make_unique<TEvent>(0, 0, QStringLiteral("new"), TParameters{}));
    EXPECT_EQ(list->State().Cursor(), -1);
    clock.CurrentTime = 700;
    list->RefreshEventList(true, false);
    EXPECT_EQ(list->State().Cursor(), 8);
    EXPECT_EQ(caption, QStringLiteral(" e7"));
}
