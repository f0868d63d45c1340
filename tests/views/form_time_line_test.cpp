#include "views/form_time_line.h"

#include "model/group_colors.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class FormTimeLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.AddGroup({QStringLiteral("Speech"), QStringLiteral("State"), true});
        TEventType talk(QStringLiteral("Talk"));
        talk.Group = 0;
        talk.GroupIndex = 5;
        project.AddEventType(talk);
        Add(1000, QStringLiteral("Ann"));
        form.SetSliderSource([] { return TTimelineSlider{0, 60000, 40}; });
    }
    const TEvent* Add(int32_t time, const QString& person) {
        return project.InsertEvent(
            std::make_unique<TEvent>(0, time, QString(), TParameters{{"Person", person}}));
    }
    void Show() {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    }

    TProject project;
    TFormTimeLine form{nullptr, project};
};

} // namespace

TEST_F(FormTimeLineTest, RowsAreKeptOnlyWhileShown) {
    Add(2000, QStringLiteral("Bob"));
    EXPECT_TRUE(form.Rows().Rows().empty());
    Show();
    EXPECT_EQ(form.Rows().Rows().size(), 2u);
    EXPECT_EQ(form.ScrollBarPosition->maximum(), 60000);
    EXPECT_EQ(form.ScrollBarPosition->pageStep(), 40);
    EXPECT_EQ(form.ScrollBarZoom->value(), 1000);

    const TEvent* cleo = Add(3000, QStringLiteral("Cleo"));
    EXPECT_EQ(form.Rows().Rows().size(), 3u);
    project.DeleteEvent(cleo);
    EXPECT_EQ(form.Rows().Rows().size(), 2u);
    project.ClearEvents();
    EXPECT_TRUE(form.Rows().Rows().empty());
    Add(4000, QStringLiteral("Dan"));
    form.hide();
    EXPECT_TRUE(form.Rows().Rows().empty());
}

TEST_F(FormTimeLineTest, PlaybackPositionRecentresThePositionBarAndIsDrawn) {
    Show();
    form.ScrollBarZoom->setValue(0); // 1 ms per pixel
    form.SetTimelinePosition(30000);
    const TTimelineGeometry& geometry = form.Geometry();
    const int span = form.PaintBox->width() - geometry.LabelWidth;
    EXPECT_EQ(form.ScrollBarPosition->value(), 30000 - span / 2);
    const int x = static_cast<int>(30000 - geometry.Left) + geometry.LabelWidth;
    EXPECT_EQ(form.Picture().pixelColor(x, form.Picture().height() - 1), QColor(0xFF, 0, 0));

    // Scrolling moves the view without recentring.
    form.ScrollBarPosition->setValue(800);
    EXPECT_EQ(form.Geometry().Left, 800);
    const TColor colour = GroupIndexToColor(5);
    const int row = geometry.RowTops.at(0) + geometry.RowHeights.at(0) / 2;
    EXPECT_EQ(form.Picture().pixelColor(geometry.LabelWidth + 1200 - 800, row),
              QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
}

TEST_F(FormTimeLineTest, ManyInsertionsAreComposedOnceAndTheNewRowIsDrawn) {
    Show();
    QCoreApplication::processEvents();
    const int64_t before = form.Compositions();
    for (int32_t i = 0; i < 500; ++i)
        Add(2000 + i, QStringLiteral("Bob"));
    QCoreApplication::processEvents();
    EXPECT_LE(form.Compositions() - before, 1);

    ASSERT_EQ(form.Rows().Rows().size(), 2u);
    const TTimelineGeometry& geometry = form.Geometry();
    ASSERT_EQ(geometry.RowTops.size(), 2u);
    const int32_t bobRow = geometry.RowTops[1] + geometry.RowHeights[1] / 2;
    const int32_t x =
        geometry.LabelWidth + static_cast<int32_t>((2400 - geometry.Left) / geometry.MsPerPixel);
    const TColor colour = GroupIndexToColor(5);
    EXPECT_EQ(form.Picture().pixelColor(x, bobRow),
              QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
}

// The label column fits every row, shown or not, also when the widths are
// remembered between paints, and follows a renamed group.
TEST_F(FormTimeLineTest, LabelColumnFitsEveryRowAndFollowsRenamedGroups) {
    for (int32_t i = 0; i < 30; ++i)
        Add(2000 + i, QStringLiteral("P%1").arg(i, 2, 10, QLatin1Char('0')));
    const QString longest = QStringLiteral("zz %1").arg(QString(60, u'w'));
    Add(5000, longest); // sorts last: far below the picture
    Show();
    const QFontMetrics metrics(form.font());
    const TTimelineGeometry& geometry = form.Geometry();
    ASSERT_GT(geometry.RowTops.back(), form.PaintBox->height());
    const int32_t expected = metrics.horizontalAdvance(QStringLiteral("Person=") + longest) + 4;
    EXPECT_EQ(geometry.LabelWidth, expected);

    form.SetTimelinePosition(3000); // a paint with the widths remembered
    EXPECT_EQ(form.Geometry().LabelWidth, expected);

    project.EditGroup(0, [](TEventTypeGroup& group) { group.Name = QString(80, u'W'); });
    EXPECT_EQ(form.Geometry().LabelWidth, metrics.horizontalAdvance(QString(80, u'W')) + 4);
}
