// The shapes of active events on a real video window's picture, and the
// output and graph windows over real video windows.
#include "views/form_graph.h"
#include "views/form_output.h"
#include "views/form_video.h"

#include "tests/support/temp_dir.h"
#include "tests/views/video_test_media.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

namespace {

constexpr QRgb Black = 0x000000;
constexpr QRgb White = 0xffffff;

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

void Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

class ActiveViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_face = m_project.AddEventType(TEventType(QStringLiteral("Face")));
        m_output = m_project.EnsureBuiltInType(BuiltInOutput);
    }
    TFormVideo& OpenWindow(int32_t camera, int32_t width, int32_t height) {
        auto form = std::make_unique<TFormVideo>(
            nullptr, &m_host, [=, this](const std::string&, int32_t) -> std::unique_ptr<TAVFile> {
                return std::make_unique<TScriptedMedia>(m_log, TAVFile::StreamVideo, 0, width, height);
            });
        EXPECT_TRUE(form->OpenFile(QStringLiteral("camera%1.avi").arg(camera)));
        form->Camera = camera;
        form->SetDoubleBuffered(true);
        m_windows.push_back(std::move(form));
        Settle();
        return *m_windows.back();
    }
    void Add(int32_t type, int32_t time, TParameters parameters) {
        m_project.InsertEvent(std::make_unique<TEvent>(type, time, QString(), std::move(parameters)));
    }
    int32_t CursorAt(int32_t time) const {
        return static_cast<int32_t>(m_project.Events().UpperBound(time)) - 1;
    }
    void BuildAt(int32_t time) {
        for (auto& window : m_windows)
            window->ClearOverlays();
        TOverlayValues values;
        BuildEventOverlays(
            m_project, CursorAt(time), TListClock{time, TTimeFormat::Milliseconds, 40}, false,
            [this](double camera) -> TOverlayTarget* {
                for (auto& window : m_windows)
                    if (window->Camera == camera)
                        return window.get();
                return nullptr;
            },
            values);
        for (auto& window : m_windows)
            window->Paint();
    }
    TFormOutput& Output() {
        if (!m_outputWindow) {
            m_outputWindow = std::make_unique<TFormOutput>(nullptr, m_project);
            m_outputWindow->SetSources({[this] { return m_cursor; },
                                        [this] { return static_cast<int32_t>(m_windows.size()); },
                                        [this](int32_t index) -> TFormVideo& {
                                            return *m_windows[static_cast<std::size_t>(index)];
                                        }});
            m_outputWindow->show();
            m_outputWindow->ComputeNormalSize();
        }
        return *m_outputWindow;
    }

    TProject m_project;
    int32_t m_face = -1;
    int32_t m_output = -1;
    int32_t m_cursor = -1;
    TFakeVideoHost m_host;
    std::shared_ptr<TScriptedMedia::TLog> m_log = std::make_shared<TScriptedMedia::TLog>();
    std::vector<std::unique_ptr<TFormVideo>> m_windows;
    std::unique_ptr<TFormOutput> m_outputWindow;
};

} // namespace

TEST_F(ActiveViewsTest, ShapesOfActiveEventsOnTheCameraPicture) {
    TFormVideo& first = OpenWindow(1, 320, 240);
    TFormVideo& second = OpenWindow(2, 320, 240);
    const QRgb frame = SequenceColour(0);
    Add(m_face, 990,
        {{"Camera", "1"},
         {"MinX", "40"},
         {"MinY", "100"},
         {"MaxX", "120"},
         {"MaxY", "200"},
         {"Person", "Anna"}});
    Add(m_face, 995,
        {{"Camera", "2"},
         {"X1", "100"},
         {"Y1", "150"},
         {"X2", "200"},
         {"Y2", "150"},
         {"X3", "200"},
         {"Y3", "200"},
         {"X4", "100"},
         {"Y4", "200"},
         {"Angle", "30"},
         {"Direction", "1"},
         {"Slope", "0.5"}});
    BuildAt(1000);
    const QImage one = first.OffscreenPicture();
    EXPECT_EQ(At(one, 40, 150), Black) << "the left edge's black pass";
    EXPECT_EQ(At(one, 39, 150), White) << "its white border";
    EXPECT_EQ(At(one, 80, 150), frame) << "no fill";
    // The label "Face - Anna" sits above the top-left corner: black text with
    // a white outline in the rows above y = 100.
    int labelBlack = 0;
    for (int y = 80; y < 99; ++y)
        for (int x = 40; x < 140; ++x)
            labelBlack += At(one, x, y) == Black;
    EXPECT_GT(labelBlack, 30);
    EXPECT_EQ(At(one, 200, 50), frame);

    // The head gauge's circle is centred at X1 + (X2 - X1) / 2 = 150 and 60.
    const QImage two = second.OffscreenPicture();
    EXPECT_EQ(At(two, 150, 30), Black) << "its top";
    EXPECT_EQ(At(two, 150, 27), frame);
    EXPECT_EQ(At(two, 120, 60), Black);
    EXPECT_EQ(At(two, 180, 60), Black);
    EXPECT_EQ(At(two, 150, 60), frame);
    EXPECT_EQ(At(two, 100, 175), Black) << "the quadrilateral";
    EXPECT_EQ(At(one, 120, 60), frame) << "only on its own camera";

    // Out of the active period: the shapes go at the next rebuild.
    BuildAt(1040);
    EXPECT_EQ(At(first.OffscreenPicture(), 40, 150), frame);
    EXPECT_TRUE(second.Overlays().empty());
}

TEST_F(ActiveViewsTest, RightDragOfAnEventRectangleRewritesTheEvent) {
    m_host.Project = &m_project;
    TFormVideo& first = OpenWindow(1, 320, 240);
    first.SetDoubleBuffered(false);
    first.ImageVideo->resize(320, 240);
    Add(m_face, 1000,
        {{"Camera", "1"},
         {"MinX", "40"},
         {"MinY", "100"},
         {"MaxX", "120"},
         {"MaxY", "200"},
         {"CenterX", "80"}});
    BuildAt(1000);
    first.ImageVideoMouseDown(Qt::RightButton, 45, 150);
    first.ImageVideoMouseMove(Qt::RightButton, 200, 120);
    EXPECT_EQ(m_project.Events()[0]->Parameters.ParametersToText(),
              QStringLiteral("Camera=1 MinX=160 MinY=70 MaxX=240 MaxY=170 CenterX=200"));
    EXPECT_EQ(m_host.GridRefills, (std::vector<bool>{false, false}));
    // Rebuilt from the rewritten event, the rectangle stays where it was put.
    BuildAt(1000);
    const auto& rectangle = dynamic_cast<const TFormVideo::TRectangle&>(*first.Overlays().at(0));
    EXPECT_EQ(rectangle.MinX, 160);
    EXPECT_EQ(rectangle.MaxY, 170);
}

TEST_F(ActiveViewsTest, OutputCaptionAndPictureFollowTheOutputEvents) {
    OpenWindow(1, 64, 48);
    TFormVideo& second = OpenWindow(2, 640, 480);
    second.AddRectangle(200, 150, 400, 300, QString(), nullptr);
    second.Paint();
    Add(m_output, 0, {{"Camera", "1"}});
    Add(m_output, 5000, {{"Camera", "2"}});
    TFormOutput& output = Output();
    EXPECT_EQ(output.NormalSize(), QSize(640, 480));
    output.RenderOutput();
    EXPECT_EQ(output.windowTitle(), QStringLiteral("Output"));
    EXPECT_TRUE(output.Picture().isNull());

    m_cursor = CursorAt(5000);
    output.RenderOutput();
    EXPECT_EQ(output.windowTitle(), QStringLiteral("Output - Camera 2"));
    EXPECT_EQ(output.Picture(), second.OffscreenPicture());

    // Zoomed by 2 around the default centre: the camera's central quarter.
    m_project.ClearEvents();
    Add(m_output, 0, {{"Camera", "2"}, {"ZoomRatio", "2"}});
    m_cursor = 0;
    output.RenderOutput();
    const QImage& picture = output.Picture();
    ASSERT_EQ(picture.size(), QSize(640, 480));
    for (int y = 0; y < 480; y += 3)
        for (int x = 0; x < 640; x += 3)
            ASSERT_EQ(At(picture, x, y), At(second.OffscreenPicture(), 160 + x / 2, 120 + y / 2))
                << x << "," << y;

    output.hide();
    m_project.ClearEvents();
    output.RenderOutput();
    EXPECT_EQ(output.windowTitle(), QStringLiteral("Output - Camera 2")) << "a hidden window renders nothing";
}

TEST_F(ActiveViewsTest, OutputSizeMenuScalesTheNormalSize) {
    OpenWindow(1, 641, 100);
    OpenWindow(2, 300, 481);
    TFormOutput& output = Output();
    EXPECT_EQ(output.NormalSize(), QSize(641, 481));
    const QStringList captions{QStringLiteral("Quoter"), QStringLiteral("Half"), QStringLiteral("Normal"),
                               QStringLiteral("Double")};
    const QSize areas[] = {QSize(160, 120), QSize(320, 240), QSize(641, 481), QSize(1282, 962)};
    for (int level = 0; level < 4; ++level) {
        QAction* item = output.Size1->actions().at(level);
        EXPECT_EQ(item->text(), captions[level]);
        item->trigger();
        Settle();
        EXPECT_EQ(output.ImageOutput->size(), areas[level]) << level;
    }
}

TEST(FormGraphTest, PictureFollowsTheWindowAndSavesAsBitmap) {
    TProject project;
    TFormGraph graph(nullptr, project);
    graph.show();
    Settle();
    EXPECT_EQ(graph.ImageGraph->size(), QSize(640, 160));
    EXPECT_EQ(graph.Picture().size(), QSize(640, 160));
    EXPECT_EQ(graph.File1->actions().at(0)->text(), QStringLiteral("&Save"));

    const int32_t type = project.AddEventType(TEventType(QStringLiteral("Face")));
    project.InsertEvent(std::make_unique<TEvent>(type, 0, QString(), TParameters{}));
    graph.DrawGraph(0, TGraphClock{0, 40});
    EXPECT_EQ(project.EventTypes.FindBuiltInType(BuiltInGraph), 1) << "the type is made when missing";

    graph.resize(graph.size() + QSize(100, 20));
    Settle();
    EXPECT_EQ(graph.Picture().size(), QSize(740, 180));
    EXPECT_EQ(At(graph.Picture(), 739, 179), White);

    TTempDir dir;
    const QString path = QString::fromStdString(dir.File("graph.bmp"));
    QStringList errors;
    graph.SetErrorReporter([&](const QString& message) { errors << message; });
    graph.SetSaveQuestion([&] { return std::optional<QString>(path); });
    graph.Save1->trigger();
    const QImage saved(path);
    EXPECT_EQ(saved.size(), QSize(740, 180));
    EXPECT_TRUE(errors.isEmpty());
    graph.SetSaveQuestion([] { return std::optional<QString>(QStringLiteral("/no/such/folder/g.bmp")); });
    graph.Save1->trigger();
    EXPECT_EQ(errors, QStringList{QStringLiteral("Could not save picture!")});
}
