// Mouse input of the video window: right-button selection and moving of
// rectangles, the mouse-mode drag and what it records.
#include "views/form_video.h"

#include "tests/support/temp_dir.h"
#include "tests/views/video_test_media.h"

#include <QAction>
#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using TRectangle = TFormVideo::TRectangle;

const TRectangle& RectangleAt(const TFormVideo& form, size_t index) {
    return dynamic_cast<const TRectangle&>(*form.Overlays()[index]);
}

int CountColour(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == colour;
    return count;
}

// A 320 x 240 sequence shown at normal size, so picture-area pixels are
// video pixels; DoubleSize() makes every video pixel two.
class FormVideoMouseTest : public ::testing::Test {
protected:
    FormVideoMouseTest() : form(nullptr, &host, BMPOpener()) {
        EXPECT_TRUE(form.OpenFile(QString::fromStdString(WriteSequence(dir.Path().string(), 320, 240, 1))));
        Settle();
    }

    static void Settle() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    void DoubleSize() {
        form.Double1Click();
        Settle();
        ASSERT_EQ(form.ImageVideo->size(), QSize(640, 480));
    }

    TTempDir dir;
    TFakeVideoHost host;
    TFormVideo form;
};

} // namespace

TEST_F(FormVideoMouseTest, RightClickSelectsTheNearestEdgeAndMovesThere) {
    form.AddRectangle(0, 0, 200, 200, QStringLiteral("outer"), nullptr);
    form.AddRectangle(90, 90, 110, 110, QStringLiteral("inner"), nullptr);
    form.ImageVideoMouseDown(Qt::RightButton, 100, 95);
    ASSERT_EQ(form.SelectedOverlay(), form.Overlays()[1].get());
    EXPECT_EQ(RectangleAt(form, 1).MinY, 85);
    EXPECT_EQ(RectangleAt(form, 1).MaxY, 105);
    EXPECT_EQ(RectangleAt(form, 0).MinX, 0) << "the outer one stays";
    EXPECT_TRUE(host.GridRefills.empty()) << "no event behind these rectangles";

    // Dragging with the right button carries it along; releasing drops it.
    form.ImageVideoMouseMove(Qt::RightButton, 150, 150);
    EXPECT_EQ(RectangleAt(form, 1).MinX, 140);
    form.ImageVideoMouseUp(Qt::RightButton, 150, 150);
    EXPECT_EQ(form.SelectedOverlay(), nullptr);
    form.ImageVideoMouseMove(Qt::RightButton, 20, 20);
    EXPECT_EQ(RectangleAt(form, 1).MinX, 140);
}

TEST_F(FormVideoMouseTest, EqualDistancesSelectTheEarlierShape) {
    form.AddRectangle(0, 0, 40, 40, QString(), nullptr);
    form.AddRectangle(20, 0, 60, 40, QString(), nullptr);
    // (30, 20) is 10 from the right edge of the first and the left of the second.
    form.ImageVideoMouseDown(Qt::RightButton, 30, 20);
    EXPECT_EQ(form.SelectedOverlay(), form.Overlays()[0].get());
}

TEST_F(FormVideoMouseTest, ReversedRectanglesAndOtherShapesAreNeverSelected) {
    form.AddRectangle(60, 60, 10, 10, QString(), nullptr);
    form.AddCircle(30, 30, 20);
    form.ImageVideoMouseDown(Qt::RightButton, 30, 30);
    EXPECT_EQ(form.SelectedOverlay(), nullptr);
    EXPECT_EQ(RectangleAt(form, 0).MinX, 60);
}

TEST_F(FormVideoMouseTest, ClicksCountInVideoPixels) {
    DoubleSize();
    form.AddRectangle(100, 100, 111, 120, QString(), nullptr);
    // Area (211, 221) is video (105.5, 110.5), truncated to (105, 110).
    form.ImageVideoMouseDown(Qt::RightButton, 211, 221);
    ASSERT_NE(form.SelectedOverlay(), nullptr);
    EXPECT_EQ(RectangleAt(form, 0).MinX, 100);
    EXPECT_EQ(RectangleAt(form, 0).MaxX, 110) << "11 wide becomes 10 wide";
    EXPECT_EQ(RectangleAt(form, 0).MinY, 100);
}

TEST_F(FormVideoMouseTest, MovingAnEventsRectangleRewritesItAndRefillsTheGrid) {
    const TEvent event(
        0, 0, QString(),
        TParameters{{"Camera", "1"}, {"MinX", "10"}, {"MaxX", "30"}, {"MinY", "10"}, {"MaxY", "30"}});
    form.AddRectangle(10, 10, 30, 30, QStringLiteral("e"), &event);
    form.ImageVideoMouseDown(Qt::RightButton, 25, 25);
    ASSERT_EQ(host.ChangedParameters.size(), 1u);
    EXPECT_EQ(host.ChangedParameters[0].first, &event);
    EXPECT_EQ(host.ChangedParameters[0].second, QStringLiteral("Camera=1 MinX=15 MaxX=35 MinY=15 MaxY=35"));
    EXPECT_EQ(host.GridRefills, std::vector<bool>{false});
    form.ImageVideoMouseMove(Qt::RightButton, 100, 50);
    ASSERT_EQ(host.ChangedParameters.size(), 2u);
    EXPECT_EQ(host.ChangedParameters[1].second, QStringLiteral("Camera=1 MinX=90 MaxX=110 MinY=40 MaxY=60"));
    EXPECT_EQ(host.GridRefills.size(), 2u);
}

TEST_F(FormVideoMouseTest, AGridRefillThatRebuildsTheOverlaysIsSafe) {
    const TEvent event(0, 0, QString(), TParameters{{"MinX", "10"}});
    form.AddRectangle(10, 10, 30, 30, QString(), &event);
    host.OnFillGrid = [this] {
        form.ClearOverlays();
        form.AddRectangle(0, 0, 5, 5, QString(), nullptr);
    };
    form.ImageVideoMouseDown(Qt::RightButton, 20, 20);
    EXPECT_EQ(form.SelectedOverlay(), nullptr);
    form.ImageVideoMouseMove(Qt::RightButton, 40, 40);
    EXPECT_EQ(RectangleAt(form, 0).MinX, 0);
}

TEST_F(FormVideoMouseTest, PressesAreIgnoredWithoutInsertingOrVideo) {
    form.AddRectangle(0, 0, 100, 100, QString(), nullptr);
    host.MouseMode = true;
    host.Inserting = false;
    form.ImageVideoMouseDown(Qt::RightButton, 50, 50);
    form.ImageVideoMouseDown(Qt::LeftButton, 50, 50);
    EXPECT_EQ(form.SelectedOverlay(), nullptr);
    EXPECT_FALSE(form.IsTracking());

    host.Inserting = true;
    form.CheckBoxVideoClick(form.CheckBoxVideo);
    form.ImageVideoMouseDown(Qt::RightButton, 50, 50);
    form.ImageVideoMouseDown(Qt::LeftButton, 50, 50);
    EXPECT_EQ(form.SelectedOverlay(), nullptr);
    EXPECT_FALSE(form.IsTracking());

    TFormVideo hostless(nullptr, nullptr, BMPOpener());
    hostless.AddRectangle(0, 0, 100, 100, QString(), nullptr);
    hostless.ImageVideoMouseDown(Qt::RightButton, 50, 50);
    EXPECT_EQ(hostless.SelectedOverlay(), nullptr);
}

TEST_F(FormVideoMouseTest, LeftDragOutsideMouseModeDoesNothing) {
    form.ImageVideoMouseDown(Qt::LeftButton, 50, 50);
    EXPECT_FALSE(form.IsTracking());
    form.ImageVideoMouseUp(Qt::LeftButton, 50, 50);
    EXPECT_TRUE(host.Recorded.empty());
    form.ImageVideoMouseDown(Qt::MiddleButton, 50, 50);
    EXPECT_FALSE(form.IsTracking());
}

TEST_F(FormVideoMouseTest, DragRecordsTheRegionWhereTheButtonIsReleased) {
    DoubleSize();
    host.MouseMode = true;
    form.Camera = 2;
    form.ImageVideoMouseDown(Qt::LeftButton, 10, 10);
    ASSERT_TRUE(form.IsTracking());
    form.ImageVideoMouseMove(Qt::LeftButton, 150, 150);
    EXPECT_EQ(form.MousePosition(), QPoint(150, 150));
    EXPECT_TRUE(host.Recorded.empty());
    // Area (201, 101) is video (100.5, 50.5).
    form.ImageVideoMouseUp(Qt::LeftButton, 201, 101);
    EXPECT_FALSE(form.IsTracking());
    ASSERT_EQ(host.Recorded.size(), 1u);
    const TFakeVideoHost::TRecorded& recorded = host.Recorded[0];
    EXPECT_EQ(recorded.TypeIndex, 1);
    EXPECT_EQ(recorded.Text, QStringLiteral("note"));
    EXPECT_TRUE(recorded.ReplaceSameTime);
    ASSERT_TRUE(recorded.HadIgnored);
    EXPECT_EQ(recorded.Ignored, (TParameterNames{"CenterX", "CenterY", "MinX", "MaxX", "MinY", "MaxY"}));
    EXPECT_EQ(recorded.Parameters,
              QStringLiteral(
                  "Width=64 Height=64 Camera=2 CenterX=100 CenterY=50 MinX=68 MaxX=132 MinY=18 MaxY=82"));
}

TEST_F(FormVideoMouseTest, CommitsDuringADragRecordEachTimeAndKeepTheDrag) {
    host.MouseMode = true;
    form.ImageVideoMouseDown(Qt::LeftButton, 40, 30);
    form.CommitMouseRegion();
    form.CommitMouseRegion();
    form.EndMouseInteraction();
    EXPECT_TRUE(form.IsTracking()) << "only the release ends a drag";
    EXPECT_EQ(host.Recorded.size(), 2u);
    form.ImageVideoMouseUp(Qt::LeftButton, 40, 30);
    EXPECT_EQ(host.Recorded.size(), 3u);
    form.CommitMouseRegion();
    EXPECT_EQ(host.Recorded.size(), 3u) << "nothing after the release";
}

TEST_F(FormVideoMouseTest, RecordingThatRebuildsTheOverlaysIsSafe) {
    host.MouseMode = true;
    form.AddRectangle(0, 0, 10, 10, QString(), nullptr);
    host.OnRecord = [this] { form.ClearOverlays(); };
    form.ImageVideoMouseDown(Qt::LeftButton, 40, 30);
    form.ImageVideoMouseUp(Qt::LeftButton, 40, 30);
    EXPECT_TRUE(form.Overlays().empty());
    EXPECT_EQ(host.Recorded.size(), 1u);
}

TEST_F(FormVideoMouseTest, PreviewIsRedWhileDraggingOnly) {
    host.MouseMode = true;
    host.TemplateParameters = TParameters{{"Width", "40"}, {"Height", "20"}, {"Person", "Ann"}};
    EXPECT_EQ(CountColour(form.ImageVideo->grab().toImage(), 0xff0000), 0);
    form.ImageVideoMouseDown(Qt::LeftButton, 100, 100);
    const QImage dragging = form.ImageVideo->grab().toImage();
    EXPECT_GT(CountColour(dragging, 0xff0000), 100);
    EXPECT_EQ(dragging.pixel(80, 100) & 0xffffff, 0x000000u) << "left edge at 100 - 20";
    form.ImageVideoMouseUp(Qt::LeftButton, 100, 100);
    EXPECT_EQ(CountColour(form.ImageVideo->grab().toImage(), 0xff0000), 0);

    // Without a size there is no preview but still a record.
    host.TemplateParameters = TParameters{{"Person", "Ann"}};
    form.ImageVideoMouseDown(Qt::LeftButton, 100, 100);
    EXPECT_EQ(CountColour(form.ImageVideo->grab().toImage(), 0xff0000), 0);
    form.ImageVideoMouseUp(Qt::LeftButton, 100, 100);
    EXPECT_EQ(host.Recorded.back().Parameters,
              QStringLiteral("Person=Ann Camera=-1 CenterX=100 CenterY=100"));
}

TEST_F(FormVideoMouseTest, RealMouseEventsReachTheHandlers) {
    form.AddRectangle(0, 0, 100, 100, QString(), nullptr);
    QTest::mousePress(form.ImageVideo, Qt::RightButton, Qt::NoModifier, QPoint(60, 70));
    EXPECT_NE(form.SelectedOverlay(), nullptr);
    EXPECT_EQ(RectangleAt(form, 0).MinX, 10);
    QTest::mouseRelease(form.ImageVideo, Qt::RightButton, Qt::NoModifier, QPoint(60, 70));
    EXPECT_EQ(form.SelectedOverlay(), nullptr);

    host.MouseMode = true;
    QTest::mousePress(form.ImageVideo, Qt::LeftButton, Qt::NoModifier, QPoint(30, 40));
    EXPECT_TRUE(form.IsTracking());
    QTest::mouseRelease(form.ImageVideo, Qt::LeftButton, Qt::NoModifier, QPoint(32, 44));
    ASSERT_EQ(host.Recorded.size(), 1u);
    EXPECT_TRUE(host.Recorded[0].Parameters.contains(QStringLiteral("CenterX=32 CenterY=44")));
}
