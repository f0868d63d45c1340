// The parameters a mouse-mode drag records and the preview it shows.
#include "views/core/mouse_region.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const TParameters DefaultTemplate{{"Width", "64"}, {"Height", "64"}};

} // namespace

TEST(MouseRegionTest, RecordsCameraCentreAndExtentAfterTheTemplate) {
    const TParameters parameters = MouseRegionParameters(DefaultTemplate, 2, TVideoPoint{100.7, 50.2});
    EXPECT_EQ(parameters.ParametersToText(),
              QStringLiteral(
                  "Width=64 Height=64 Camera=2 CenterX=100 CenterY=50 MinX=68 MaxX=132 MinY=18 MaxY=82"));
}

TEST(MouseRegionTest, WithoutAUsableSizeOnlyThePointIsRecorded) {
    const TParameters noHeight{{"Person", "A"}, {"Width", "10"}};
    EXPECT_EQ(MouseRegionParameters(noHeight, -1, TVideoPoint{3.9, 4.1}).ParametersToText(),
              QStringLiteral("Person=A Width=10 Camera=-1 CenterX=3 CenterY=4"));
    // A template typed with a word for a number must not break the drag.
    const TParameters mistyped{{"Width", "wide"}, {"Height", "64"}};
    EXPECT_EQ(MouseRegionParameters(mistyped, 0, TVideoPoint{1, 1}).ParametersToText(),
              QStringLiteral("Width=wide Height=64 Camera=0 CenterX=1 CenterY=1"));
    EXPECT_FALSE(DragPreviewRectangle(mistyped, QStringLiteral("T"), TVideoPoint{1, 1}));
    EXPECT_FALSE(DragPreviewRectangle(noHeight, QStringLiteral("T"), TVideoPoint{1, 1}));
}

TEST(MouseRegionTest, TemplatePairsOfTheSameNameStayFirst) {
    const TParameters withCentre{{"CenterX", "5"}, {"Width", "2,5"}, {"Height", "1.5"}};
    EXPECT_EQ(MouseRegionParameters(withCentre, 1, TVideoPoint{10, 10}).ParametersToText(),
              QStringLiteral("CenterX=5 Width=2,5 Height=1.5 Camera=1 CenterX=10 CenterY=10 MinX=8 MaxX=11 "
                             "MinY=9 MaxY=10"));
}

TEST(MouseRegionTest, PositionsLeftOfTheVideoTruncateTowardZero) {
    // A drag may leave the picture; -10.7 - 32 = -42.7 gives -42, not -43.
    const TParameters parameters = MouseRegionParameters(DefaultTemplate, 0, TVideoPoint{-10.7, -0.5});
    EXPECT_EQ(parameters.ParametersToText(),
              QStringLiteral(
                  "Width=64 Height=64 Camera=0 CenterX=-10 CenterY=0 MinX=-42 MaxX=21 MinY=-32 MaxY=31"));
}

TEST(MouseRegionTest, AbsurdSizesSaturate) {
    const TParameters huge{{"Width", "1e30"}, {"Height", "1"}};
    const TParameters parameters = MouseRegionParameters(huge, 0, TVideoPoint{0, 0});
    EXPECT_EQ(parameters.FindParameter(QStringLiteral("MinX"))->Value,
              QString::number(std::numeric_limits<int32_t>::min()));
    EXPECT_EQ(parameters.FindParameter(QStringLiteral("MaxX"))->Value,
              QString::number(std::numeric_limits<int32_t>::max()));
}

TEST(MouseRegionTest, PreviewIsASelectedRectangleWithTheTemplateLabel) {
    const TParameters parameters{{"Width", "20"}, {"Height", "10"}, {"Person", "Ann"}, {"Object", "cup"}};
    const auto preview = DragPreviewRectangle(parameters, QStringLiteral("Hold"), TVideoPoint{50.5, 20.9});
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->MinX, 40);
    EXPECT_EQ(preview->MaxX, 60);
    EXPECT_EQ(preview->MinY, 15);
    EXPECT_EQ(preview->MaxY, 25);
    EXPECT_TRUE(preview->Selected);
    EXPECT_EQ(preview->Label, QStringLiteral("Hold - Ann(cup)"));
}

TEST(MouseRegionTest, LabelJoinsPersonAndObject) {
    EXPECT_EQ(MouseTemplateLabel("Look", TParameters{}), QStringLiteral("Look"));
    EXPECT_EQ(MouseTemplateLabel("Look", TParameters{{"person", "Ann"}}), QStringLiteral("Look - Ann"));
    EXPECT_EQ(MouseTemplateLabel("Look", TParameters{{"Object", "cup"}}), QStringLiteral("Look - cup"));
    EXPECT_EQ(MouseTemplateLabel("Look", TParameters{{"Person", ""}, {"Object", ""}}),
              QStringLiteral("Look"));
    EXPECT_EQ(MouseTemplateLabel("", TParameters{{"Person", "Ann"}}), QStringLiteral(" - Ann"));
}

TEST(MouseRegionTest, PictureAreaPixelsToVideoCoordinates) {
    const TVideoPoint doubled = PictureToVideo(101, 51, 640, 480, 320, 240);
    EXPECT_DOUBLE_EQ(doubled.X, 50.5);
    EXPECT_DOUBLE_EQ(doubled.Y, 25.5);
    const TVideoPoint stretched = PictureToVideo(30, 30, 100, 300, 300, 100);
    EXPECT_DOUBLE_EQ(stretched.X, 90);
    EXPECT_DOUBLE_EQ(stretched.Y, 10);
    // A collapsed picture area has no pixel to point at.
    const TVideoPoint collapsed = PictureToVideo(5, 5, 0, 240, 320, 240);
    EXPECT_EQ(collapsed.X, 0);
    EXPECT_DOUBLE_EQ(collapsed.Y, 5);
}

TEST(MouseRegionTest, IgnoredNamesAreThePositionPairs) {
    TParameters a = MouseRegionParameters(DefaultTemplate, 1, TVideoPoint{10, 10});
    TParameters b = MouseRegionParameters(DefaultTemplate, 1, TVideoPoint{90, 70});
    const TParameterNames ignored = MouseRegionIgnoredNames();
    EXPECT_TRUE(ParametersEqualExcept(a, b, &ignored));
    TParameters other = MouseRegionParameters(DefaultTemplate, 2, TVideoPoint{10, 10});
    EXPECT_FALSE(ParametersEqualExcept(a, other, &ignored));
}
