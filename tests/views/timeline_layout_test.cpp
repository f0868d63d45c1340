#include "views/timeline_layout.h"

#include "model/group_colors.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

QColor Colour(TColor colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

struct TRendered {
    QImage Image;
    TTimelineGeometry Geometry;
};

TRendered Render(const TTimelineRows& rows, const TProject& project, QSize size, TTimelineView view,
                 TRecentre recentre = TRecentre::No) {
    TRendered rendered{QImage(size, QImage::Format_RGB32), {}};
    QPainter painter(&rendered.Image);
    rendered.Geometry = PaintTimeline(painter, size, rows, project, view, recentre);
    return rendered;
}

// Columns of the bottom line that hold a grid line.
std::vector<int> GridColumns(const QImage& image) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, image.height() - 1) == QColor(0xC0, 0xC0, 0xC0))
            columns.push_back(x);
    return columns;
}

} // namespace

class TimelineTest : public ::testing::Test {
protected:
    void SetUp() override {
        project.AddGroup({QStringLiteral("Speech"), QStringLiteral("State"), true});
        TEventType start(QStringLiteral("Start speaking"));
        start.Group = 0;
        start.GroupIndex = 1;
        project.AddEventType(start);
        TEventType stop(QStringLiteral("Stop speaking"));
        stop.Group = 0;
        stop.GroupIndex = 2;
        project.AddEventType(stop);
        TEventType noColour(QStringLiteral("No colour"));
        noColour.Group = 0;
        project.AddEventType(noColour);
        project.AddEventType(TEventType(QStringLiteral("No group")));
    }
    const TEvent* Add(int32_t type, int32_t time, const QString& person) {
        return project.InsertEvent(
            std::make_unique<TEvent>(type, time, QString(), TParameters{{QStringLiteral("Person"), person}}));
    }

    TProject project;
    TTimelineRows rows{project};
};

TEST_F(TimelineTest, RowsByGroupThenParametersAndBarsUpToTheRightEdge) {
    Add(0, 1000, QStringLiteral("Bob"));
    Add(0, 2000, QStringLiteral("Ann"));
    Add(2, 2500, QStringLiteral("Ann"));
    Add(3, 2600, QStringLiteral("Ann"));
    Add(1, 5000, QStringLiteral("Ann"));
    rows.Rebuild();
    ASSERT_EQ(rows.Rows().size(), 2u);
    EXPECT_EQ(rows.Rows()[0].size(), 2u);
    EXPECT_EQ(rows.Rows()[0].front()->Parameters[0].Value, QStringLiteral("Ann"));

    TTimelineView view;
    view.PositionMaximum = 10000;
    view.TimelinePosition = 8000;
    const TRendered shot = Render(rows, project, QSize(600, 200), view);
    const TTimelineGeometry& g = shot.Geometry;
    ASSERT_EQ(g.RowTops.size(), 2u);
    const auto x = [&](int64_t time) {
        return static_cast<int>(g.LabelWidth + (time - g.Left) / g.MsPerPixel);
    };
    const auto middle = [&](std::size_t row) { return g.RowTops[row] + g.RowHeights[row] / 2; };
    const QColor started = Colour(GroupIndexToColor(1));
    const QColor stopped = Colour(GroupIndexToColor(2));
    EXPECT_EQ(shot.Image.pixelColor(x(3500), middle(0)), started);
    EXPECT_EQ(shot.Image.pixelColor(x(7000), middle(0)), stopped); // Ann stopped at 5000
    EXPECT_EQ(shot.Image.pixelColor(x(7000), middle(1)), started); // Bob still speaking
    EXPECT_EQ(shot.Image.pixelColor(x(9900), middle(1)), started);
    EXPECT_EQ(shot.Image.pixelColor(x(1500), middle(0)), QColor(Qt::white));
    EXPECT_EQ(shot.Image.pixelColor(x(8000), middle(0)), QColor(0xFF, 0, 0));
}

TEST_F(TimelineTest, AddedEventsGoAfterThoseOfEqualTime) {
    const TEvent* first = Add(0, 1000, QStringLiteral("Ann"));
    const TEvent* later = Add(1, 3000, QStringLiteral("Ann"));
    rows.Rebuild();
    const TEvent* second = Add(1, 1000, QStringLiteral("Ann"));
    rows.Add(second);
    rows.Add(second);
    const TEvent* bob = Add(0, 500, QStringLiteral("Bob"));
    rows.Add(bob);
    ASSERT_EQ(rows.Rows().size(), 2u);
    EXPECT_EQ(rows.Rows()[0], (TTimelineRows::TRow{first, second, later}));

    EXPECT_TRUE(rows.Remove(bob));
    EXPECT_EQ(rows.Rows().size(), 1u);
    EXPECT_FALSE(rows.Remove(bob));
}

TEST(TimelineScaleTest, MillisecondsPerPixel) {
    EXPECT_EQ(TimelineMsPerPixel(404, 1000, 1000, 60000), 149);
    EXPECT_EQ(TimelineMsPerPixel(404, 0, 1000, 60000), 1);
    EXPECT_EQ(TimelineMsPerPixel(404, 500, 1000, 60000), 75); // 148 * 0.5 + 1
}

TEST_F(TimelineTest, GridStepsFollowTheScale) {
    struct TCase {
        int Width;
        int32_t Maximum;
        int32_t Zoom;
        int64_t MsPerPixel;
        int64_t Step;
        double Spacing;
    };
    // No rows: the label column is 4 pixels wide.
    const TCase cases[] = {
        {2100, 100000, 0, 1, 1000, 1000},
        {408, 60000, 1000, 149, 1000, 1000.0 / 149},
        {1000, 249 * 996, 1000, 250, 10000, 40},
        {1000, 2499 * 996, 1000, 2500, 60000, 24},
    };
    for (const TCase& c : cases) {
        TTimelineView view;
        view.PositionMaximum = c.Maximum;
        view.ZoomPosition = c.Zoom;
        view.TimelinePosition = -1;
        const TRendered shot = Render(rows, project, QSize(c.Width, 60), view);
        EXPECT_EQ(shot.Geometry.MsPerPixel, c.MsPerPixel);
        EXPECT_EQ(shot.Geometry.GridStep, c.Step);
        const std::vector<int> columns = GridColumns(shot.Image);
        ASSERT_GE(columns.size(), 2u) << c.Width;
        for (std::size_t k = 0; k < columns.size(); ++k)
            EXPECT_EQ(columns[k], 4 + static_cast<int>(k * c.Spacing + 1e-9)) << c.Width << " line " << k;
    }
}

TEST_F(TimelineTest, RecentringKeepsThePositionInTheMiddleWithinTheRange) {
    TTimelineView view;
    view.PositionMaximum = 100000;
    view.ZoomPosition = 0; // 1 ms per pixel
    view.TimelinePosition = 50000;
    const TRendered shot = Render(rows, project, QSize(404, 60), view, TRecentre::Yes);
    EXPECT_EQ(shot.Geometry.Left, 50000 - 200);
    EXPECT_EQ(shot.Image.pixelColor(4 + 200, 59), QColor(0xFF, 0, 0));
    view.TimelinePosition = 99990;
    const TRendered end = Render(rows, project, QSize(404, 60), view, TRecentre::Yes);
    EXPECT_EQ(end.Geometry.Right, 100000);
    EXPECT_EQ(end.Geometry.Left, 100000 - 400);
}

TEST_F(TimelineTest, EventsWithoutGroupOrColourAreNotShown) {
    Add(2, 100, QStringLiteral("Ann"));
    Add(3, 100, QStringLiteral("Ann"));
    rows.Rebuild();
    EXPECT_TRUE(rows.Rows().empty());
    TTimelineView view;
    view.PositionMaximum = 1000;
    // A label column wider than the drawing still paints.
    Add(0, 100, QString(200, u'W'));
    rows.Rebuild();
    EXPECT_EQ(Render(rows, project, QSize(50, 60), view).Geometry.MsPerPixel, 1001);
}
