// The graph's curves checked on its pixels: where each event lands, which
// points are joined, and the colours.
#include "views/core/graph_picture.h"

#include "base/exception.h"

#include <gtest/gtest.h>

namespace {

constexpr QRgb White = 0xffffff;

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

int CountNot(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += At(image, x, y) != colour;
    return count;
}

class GraphPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_graph = m_project.EnsureBuiltInType(BuiltInGraph);
        m_other = m_project.AddEventType(TEventType(QStringLiteral("Other")));
        m_picture = QImage(640, 160, QImage::Format_RGB32);
    }
    // An event `age` time units before kNow.
    void Add(int32_t age, const char* value, const char* color, int32_t type = -1) {
        TParameters parameters;
        if (value)
            parameters.AddParameter({QStringLiteral("value"), QString::fromLatin1(value)});
        if (color)
            parameters.AddParameter({QStringLiteral("COLOR"), QString::fromLatin1(color)});
        m_project.InsertEvent(
            std::make_unique<TEvent>(type < 0 ? m_graph : type, Now - age, QString(), std::move(parameters)));
    }
    void Draw() {
        const int32_t cursor = static_cast<int32_t>(m_project.Events().UpperBound(Now)) - 1;
        m_painter.Draw(m_picture, m_project, m_graph, cursor, TGraphClock{Now, 40});
    }

    static constexpr int32_t Now = 100000;
    TProject m_project;
    int32_t m_graph = -1;
    int32_t m_other = -1;
    QImage m_picture;
    TGraphPainter m_painter;
};

} // namespace

TEST_F(GraphPictureTest, NeighbouringPointsOfAColourAreJoinedInItsColour) {
    // Value v of a 160-pixel graph sits at y = 160 - 160 v; one frame period
    // of age is one pixel left of the right edge.
    for (std::size_t c = 0; c < GraphColors.size(); ++c) {
        const std::string value = std::to_string(0.0625 * double(c + 1));
        const std::string color = std::to_string(c);
        Add(80, value.c_str(), color.c_str());
        Add(40, value.c_str(), color.c_str());
    }
    Draw();
    for (std::size_t c = 0; c < GraphColors.size(); ++c) {
        const int y = 160 - 10 * int(c + 1);
        EXPECT_EQ(At(m_picture, 638, y), GraphColors[c]) << c;
        EXPECT_EQ(At(m_picture, 639, y), GraphColors[c]) << c;
    }
    EXPECT_EQ(CountNot(m_picture, White), 2 * 8) << "two pixels a curve, nothing else";
}

TEST_F(GraphPictureTest, ASteepJoinIsTwoRunsMeetingHalfWay) {
    Add(80, "0.375", "2"); // y = 100
    Add(40, "0.5", "2");   // y = 80
    Draw();
    for (int y = 70; y < 110; ++y) {
        EXPECT_EQ(At(m_picture, 639, y), y >= 80 && y <= 90 ? GraphColors[2] : White) << y;
        EXPECT_EQ(At(m_picture, 638, y), y >= 91 && y <= 100 ? GraphColors[2] : White) << y;
    }
}

TEST_F(GraphPictureTest, PointsMoreThanAPixelApartAndFirstPointsAreNotDrawn) {
    Add(160, "0.5", "1");
    Add(40, "0.5", "1");
    Add(120, "0.25", "2"); // a single point of its colour
    Draw();
    EXPECT_EQ(CountNot(m_picture, White), 0);
}

TEST_F(GraphPictureTest, TheSpanIsWidthTimesFramePeriod) {
    // 640 x 40 = 25600: at that age x = 0, one unit older ends the walk.
    Add(25640, "0.5", "1");
    Add(25601, "0.5", "1");
    Add(25600, "0.5", "1");
    Add(25560, "0.5", "1");
    Add(100, "0.5", "1", m_other);
    Draw();
    EXPECT_EQ(At(m_picture, 0, 80), GraphColors[1]);
    EXPECT_EQ(At(m_picture, 1, 80), GraphColors[1]);
    EXPECT_EQ(CountNot(m_picture, White), 2) << "the older events were not reached";
}

TEST_F(GraphPictureTest, MissingAndOutOfRangeValues) {
    Add(440, "1.0", nullptr);
    Add(400, "1.0", nullptr); // no colour: black; value 1 is the top row
    Add(80, nullptr, "9");    // no value: the bottom edge
    Add(40, "0.75", "9");     // colour 9 is black
    Draw();
    EXPECT_EQ(At(m_picture, 630, 0), 0u);
    EXPECT_EQ(At(m_picture, 629, 0), 0u);
    EXPECT_EQ(At(m_picture, 639, 40), 0u);
    EXPECT_EQ(At(m_picture, 638, 159), 0u);
    m_painter.Draw(m_picture, m_project, m_graph, -1, TGraphClock{Now, 40});
    EXPECT_EQ(CountNot(m_picture, White), 0) << "no cursor: all white";
}

TEST_F(GraphPictureTest, NoNumberRaisesAndKeepsWhatWasDrawn) {
    Add(200, "0.5", "1");
    Add(80, "0.5", "abc");
    Add(40, "0.5", "1");
    Add(0, "0.5", "1");
    EXPECT_THROW(Draw(), TConvertError);
    EXPECT_EQ(At(m_picture, 639, 80), GraphColors[1]);
    m_project.ClearEvents();
    Add(0, "x", "1");
    EXPECT_THROW(Draw(), TConvertError);
    Add(10, "0.5", "1.5");
    EXPECT_THROW(Draw(), TConvertError) << "Color is an integer";
}
