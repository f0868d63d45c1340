// Which events are active, which shapes their parameters make and on which
// camera, recorded as the calls a video window receives.
#include "views/core/event_overlays.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <map>

namespace {

template <typename... TArgs> QString Call(const char* name, TArgs... args) {
    QStringList parts{QString::fromLatin1(name)};
    (parts << ... << QString::number(args));
    return parts.join(u' ');
}

// A video window that writes down every shape it is given.
class TRecordingTarget final : public TOverlayTarget {
public:
    void AddRectangle(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, const QString& label,
                      const TEvent* event) override {
        Calls << Call("rect", minX, minY, maxX, maxY) + u' ' + label;
        Lists.push_back(event);
    }
    void AddPolygon(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
                    int32_t y4) override {
        Calls << Call("poly", x1, y1, x2, y2, x3, y3, x4, y4);
    }
    void AddArrow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        Calls << Call("arrow", x1, y1, x2, y2);
    }
    void AddLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        Calls << Call("line", x1, y1, x2, y2);
    }
    void AddCircle(int32_t x, int32_t y, int32_t radius) override { Calls << Call("circle", x, y, radius); }
    void AddEllipse(int32_t x, int32_t y, int32_t a, int32_t b, float orientation) override {
        Calls << Call("ellipse", x, y, a, b, orientation);
    }

    QStringList Calls;
    std::vector<const TEvent*> Lists;
};

TParameters Params(const QString& text) {
    TParameters parameters;
    for (const QString& pair : text.split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(u'=');
        parameters.AddParameter({pair.left(equals), pair.mid(equals + 1)});
    }
    return parameters;
}

QStringList ShapesOf(const QString& parameters, const QString& typeName = QStringLiteral("Face")) {
    TOverlayValues values;
    values.Read(Params(parameters));
    TRecordingTarget target;
    AddEventShapes(target, values, typeName, nullptr);
    return target.Calls;
}

} // namespace

TEST(OverlayValuesTest, NamesIgnoreCaseSeparatorsAgreeLaterPairsWin) {
    struct TCase {
        const char* Parameters;
        TOverlayName Name;
        bool IsPresent;
        float Value;
    };
    const TCase cases[] = {
        {"MinX=1.5", TOverlayName::MinX, true, 1.5f},
        {"minx=1,5", TOverlayName::MinX, true, 1.5f},
        {"ORIENTATION=-0.25", TOverlayName::Orientation, true, -0.25f},
        {"Slope=abc", TOverlayName::Slope, false, 0},
        {"X1=1 X1=2", TOverlayName::X1, true, 2},
        {"X1=1 x1=abc", TOverlayName::X1, false, 0},
        {"X1=abc X1=3", TOverlayName::X1, true, 3},
        {"X1=1-2", TOverlayName::X1, false, 0},
        {"Width=5", TOverlayName::MinX, false, 0},
    };
    for (const TCase& c : cases) {
        TOverlayValues values;
        values.Read(Params(QString::fromLatin1(c.Parameters)));
        EXPECT_EQ(values.Has(c.Name), c.IsPresent) << c.Parameters;
        if (c.IsPresent) {
            EXPECT_FLOAT_EQ(values.Value(c.Name), c.Value) << c.Parameters;
        }
    }
    // Every name is read at its own position, whatever its letter case.
    for (int32_t i = 0; i < OverlayNameCount; ++i) {
        TOverlayValues values;
        values.Read(
            TParameters{{QString::fromLatin1(OverlayParameterNames[i]).toLower(), QStringLiteral("7")}});
        for (int32_t j = 0; j < OverlayNameCount; ++j)
            EXPECT_EQ(values.Has(TOverlayName(j)), i == j) << OverlayParameterNames[i] << " " << j;
    }
    TOverlayValues values;
    values.Read(Params(QStringLiteral("Person=Anna Person=Bob")));
    EXPECT_EQ(values.Person(), QStringLiteral("Bob"));
    values.Read(Params(QStringLiteral("Camera=1")));
    EXPECT_TRUE(values.Person().isEmpty()) << "a second read starts afresh";
}

TEST(EventShapesTest, ShapesFollowFromTheNamesPresent) {
    struct TCase {
        const char* Parameters;
        QStringList Shapes;
    };
    const TCase cases[] = {
        {"MinX=10 MinY=20 MaxX=30 MaxY=40 Person=Anna Object=3", {"rect 10 20 30 40 Face - Anna(3)"}},
        {"MinX=10 MinY=20 MaxX=30 MaxY=40 Object=3.9", {"rect 10 20 30 40 Face - 3"}},
        {"MinX=10 MinY=20 MaxX=30 MaxY=40 Person=Anna", {"rect 10 20 30 40 Face - Anna"}},
        {"MinX=10.9 MinY=-20.9 MaxX=30 MaxY=40", {"rect 10 -20 30 40 Face"}},
        {"MinX=10 MinY=20 MaxX=30", {}},
        {"CenterX=50 CenterY=60", {"line 40 60 60 60", "line 50 50 50 70"}},
        {"CenterX=50 CenterY=60 AxisA=20 AxisB=10 Orientation=0.5", {"ellipse 50 60 20 10 0.5"}},
        {"X1=1 Y1=2 X2=3 Y2=4 X3=5 Y3=6 X4=7 Y4=8", {"poly 1 2 3 4 5 6 7 8"}},
        {"X1=100 Y1=2 X2=200 Y2=4 X3=5 Y3=6 X4=7 Y4=8 Angle=30 Direction=1 Slope=0.5",
         {"poly 100 2 200 4 5 6 7 8", "circle 150 60 30", "line 124 75 175 75", "line 150 90 135 34",
          "arrow 178 67 198 72"}},
        {"X1=100 Y1=2 X2=200 Y2=4 X3=5 Y3=6 X4=7 Y4=8 Angle=30 Direction=1 Slope=2",
         {"poly 100 2 200 4 5 6 7 8"}},
        {"X1=100 Y1=2 X2=200 Y2=4 X3=5 Y3=6 X4=7 Y4=8 Angle=30 Direction=1 Slope=-1",
         {"poly 100 2 200 4 5 6 7 8", "circle 150 60 30", "line 150 30 150 30", "line 150 90 135 34",
          "arrow 178 67 198 72"}},
        {"BeginX=1 BeginY=2 EndX=3 EndY=4", {"arrow 1 2 3 4"}},
        {"MinX=1 MinY=2 MaxX=3 MaxY=4 CenterX=2 CenterY=3 BeginX=1 BeginY=2 EndX=3 EndY=4",
         {"rect 1 2 3 4 Face", "line -8 3 12 3", "line 2 -7 2 13", "arrow 1 2 3 4"}},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ShapesOf(QString::fromLatin1(c.Parameters)), c.Shapes) << c.Parameters;
}

class BuildOverlaysTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_type = m_project.AddEventType(TEventType(QStringLiteral("Face")));
        m_hidden = m_project.AddEventType(TEventType(QStringLiteral("Hidden")));
    }
    void Add(int32_t time, const QString& parameters, int32_t type = -1) {
        m_project.InsertEvent(
            std::make_unique<TEvent>(type < 0 ? m_type : type, time, QString(), Params(parameters)));
    }
    // The shapes drawn at `time` on the cameras' targets, by camera.
    std::map<int32_t, QStringList> Build(int32_t time, bool drawLast = false,
                                         TTimeFormat format = TTimeFormat::Milliseconds) {
        const int32_t cursor = static_cast<int32_t>(m_project.Events().UpperBound(time)) - 1;
        TOverlayValues values;
        for (TRecordingTarget& camera : m_cameras)
            camera = TRecordingTarget();
        BuildEventOverlays(
            m_project, cursor, TListClock{time, format, 40}, drawLast,
            [this](double camera) -> TOverlayTarget* {
                if (camera == 1)
                    return &m_cameras[0];
                if (camera == 2)
                    return &m_cameras[1];
                return nullptr;
            },
            values);
        std::map<int32_t, QStringList> shapes;
        for (int32_t i = 0; i < 2; ++i)
            if (!m_cameras[i].Calls.isEmpty())
                shapes[i + 1] = m_cameras[i].Calls;
        return shapes;
    }
    static QString Cross(int32_t x) { return QStringLiteral("line %1 0 %2 0").arg(x - 10).arg(x + 10); }

    TProject m_project;
    int32_t m_type = -1;
    int32_t m_hidden = -1;
    TRecordingTarget m_cameras[2];
};

TEST_F(BuildOverlaysTest, AFramePeriodOfActiveEventsEndsAtTheFirstOlderOne) {
    for (const int32_t time : {100, 960, 961, 1000})
        Add(time, QStringLiteral("Camera=1 CenterX=%1 CenterY=0").arg(time));
    const auto shapes = Build(1000);
    ASSERT_EQ(shapes.size(), 1u);
    const QStringList drawn = shapes.at(1);
    EXPECT_EQ(drawn.size(), 4);
    EXPECT_TRUE(drawn.contains(Cross(1000)));
    EXPECT_TRUE(drawn.contains(Cross(961)));
    EXPECT_FALSE(drawn.contains(Cross(960)));
    EXPECT_FALSE(drawn.contains(Cross(100)));
    EXPECT_TRUE(Build(99).empty()) << "no event before: no cursor";
    // In frames only the events of the current frame draw.
    EXPECT_EQ(Build(1000, false, TTimeFormat::Frames).at(1),
              (QStringList{Cross(1000), "line 1000 -10 1000 10"}));
    EXPECT_TRUE(Build(1001, false, TTimeFormat::Frames).empty());
}

TEST_F(BuildOverlaysTest, DrawLastMeasuresFromTheNewestEvent) {
    for (const int32_t time : {460, 461, 500})
        Add(time, QStringLiteral("Camera=1 CenterX=%1 CenterY=0").arg(time));
    EXPECT_TRUE(Build(1000).empty());
    const QStringList drawn = Build(1000, true).at(1);
    EXPECT_EQ(drawn, (QStringList{Cross(500), QStringLiteral("line 500 -10 500 10"), Cross(461),
                                  QStringLiteral("line 461 -10 461 10")}));
}

TEST_F(BuildOverlaysTest, CamerasFilterAndRectangleParameters) {
    Add(990, QStringLiteral("Camera=1 MinX=1 MinY=2 MaxX=3 MaxY=4"));
    Add(991, QStringLiteral("Camera=2,0 BeginX=1 BeginY=2 EndX=3 EndY=4"));
    Add(992, QStringLiteral("Camera=5 BeginX=1 BeginY=2 EndX=3 EndY=4"));
    Add(993, QStringLiteral("BeginX=1 BeginY=2 EndX=3 EndY=4"));
    Add(994, QStringLiteral("Camera=1.5 BeginX=1 BeginY=2 EndX=3 EndY=4"));
    Add(995, QStringLiteral("Camera=1 BeginX=9 BeginY=9 EndX=3 EndY=4"), m_hidden);
    m_project.SetFilteredTypes({m_hidden});
    const auto shapes = Build(1000);
    EXPECT_EQ(shapes.at(1), QStringList{QStringLiteral("rect 1 2 3 4 Face")});
    EXPECT_EQ(shapes.at(2), QStringList{QStringLiteral("arrow 1 2 3 4")});
    // The rectangle refers to its event's own list, which a drag rewrites.
    ASSERT_EQ(m_cameras[0].Lists.size(), 1u);
    EXPECT_EQ(m_cameras[0].Lists[0], m_project.Events()[0]);
}
