// The views driven from the main window: the shapes of active events with
// "Draw" and "Draw last event", the Output command and its window, the Graph
// window during playback and a value that is no number, on generated BMP
// sequences (25 frames per second) with a fake timer.

#include "document/ui/form_main.h"

#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/form_main_fixture.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"
#include "views/form_graph.h"
#include "views/form_output.h"

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Id = TAppCommandId;

class FormMainViews : public FormMainFixture {
protected:
    void SetUp() override {
        FormMainFixture::SetUp();
        if (HasFatalFailure())
            return;
        // Two 16 x 16 cameras of 150 frames: 6 seconds.
        for (int32_t camera : {1, 2}) {
            const std::string name = m_dir.File("cam" + std::to_string(camera));
            ASSERT_TRUE(m_form->AddMedium(QString::fromStdString(WriteBMPSequence(name, 150))));
            Video(camera - 1).Camera = camera;
        }
        m_face = Project().AddEventType(TEventType(QStringLiteral("Face")));
    }

    TProject& Project() { return m_form->Project(); }
    TFormVideo& Video(int32_t index) { return m_form->VideoList().Window(index); }
    QAction* Action(Id id) const { return m_form->Action(id); }
    void Add(int32_t type, int32_t time, TParameters parameters) {
        Project().InsertEvent(std::make_unique<TEvent>(type, time, QString(), std::move(parameters)));
    }
    void GoTo(int32_t time) { m_form->Clock().GoToTime(time, false); }
    void Deliver() { QCoreApplication::processEvents(); }

    int32_t m_face = -1;
};

} // namespace

TEST_F(FormMainViews, DrawAndDrawLastEventShowTheActiveShapes) {
    Add(m_face, 400, {{"Camera", "2"}, {"MinX", "1"}, {"MinY", "2"}, {"MaxX", "9"}, {"MaxY", "12"}});
    Add(m_face, 1000, {{"Camera", "1"}, {"CenterX", "8"}, {"CenterY", "8"}});
    GoTo(1020);
    EXPECT_TRUE(Video(0).Overlays().empty()) << "Draw is off";
    QTest::mouseClick(m_form->CheckBoxEventsDraw, Qt::LeftButton);
    ASSERT_TRUE(m_form->CheckBoxEventsDraw->isChecked());
    EXPECT_EQ(Video(0).Overlays().size(), 2u) << "the cross";
    EXPECT_TRUE(Video(1).Overlays().empty());

    GoTo(420);
    ASSERT_EQ(Video(1).Overlays().size(), 1u);
    const auto& rectangle = dynamic_cast<const TFormVideo::TRectangle&>(*Video(1).Overlays()[0]);
    EXPECT_EQ(rectangle.Label, QStringLiteral("Face"));
    EXPECT_EQ(rectangle.Event, Project().Events()[0]);

    // Far after the newest event only "Draw last event" shows it.
    GoTo(3000);
    EXPECT_TRUE(Video(0).Overlays().empty());
    ASSERT_TRUE(Action(Id::ActionDrawLast)->isEnabled());
    Action(Id::ActionDrawLast)->trigger();
    EXPECT_EQ(Video(0).Overlays().size(), 2u);
    EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(u'\n').toStdString();
}

TEST_F(FormMainViews, TheOutputCommandSizesBuffersAndRendersItsWindow) {
    const int32_t output = Project().EnsureBuiltInType(BuiltInOutput);
    Add(output, 0, {{"Camera", "1"}});
    Add(output, 5000, {{"Camera", "2"}});
    GoTo(4999);
    Action(Id::ActionOutput)->trigger();
    TFormOutput& form = *m_form->FormOutput;
    ASSERT_TRUE(form.isVisible());
    EXPECT_EQ(form.NormalSize(), QSize(16, 16));
    EXPECT_EQ(form.ImageOutput->size(), QSize(16, 16));
    for (int32_t i : {0, 1})
        EXPECT_TRUE(Video(i).IsDoubleBuffered()) << i;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Output - Camera 1"));
    EXPECT_EQ(form.Picture(), Video(0).OffscreenPicture());

    GoTo(5000);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Output - Camera 2"));
    EXPECT_EQ(form.Picture(), Video(1).OffscreenPicture());
    Action(Id::ActionOutput)->trigger();
    EXPECT_FALSE(form.isVisible());
    for (int32_t i : {0, 1})
        EXPECT_FALSE(Video(i).IsDoubleBuffered()) << i;
    // With the option ticked, hiding the window keeps the buffering.
    Action(Id::ActionOutput)->trigger();
    Action(Id::ActionDoubleBuffering)->trigger();
    form.close();
    EXPECT_FALSE(Action(Id::ActionOutput)->isChecked());
    EXPECT_TRUE(Video(0).IsDoubleBuffered());
    EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(u'\n').toStdString();
}

TEST_F(FormMainViews, AValueThatIsNoNumberIsReportedOnceAndStopsPlayback) {
    const int32_t graph = Project().EnsureBuiltInType(BuiltInGraph);
    Add(graph, 100, {{"Value", "0.5"}, {"Color", "1"}});
    Add(graph, 140, {{"Value", "abc"}, {"Color", "1"}});
    Action(Id::ActionGraph)->trigger();
    ASSERT_TRUE(m_form->FormGraph->isVisible());
    Action(Id::ActionPlay)->trigger();
    Deliver();
    for (int tick = 0; tick < 8; ++tick) {
        m_timer->AdvanceMs(40);
        Deliver();
    }
    EXPECT_EQ(m_answers.Messages, QStringList{QStringLiteral("'abc' is not a valid number!")});
    EXPECT_FALSE(m_form->Clock().IsPlaying());
    EXPECT_TRUE(m_timer->Pending().empty());
    EXPECT_EQ(m_form->Clock().CurrentTime(), 160) << "stopped at the first tick that met the event";

    // The same for the output window's ZoomRatio.
    m_answers.Messages.clear();
    Action(Id::ActionGraph)->trigger();
    const int32_t output = Project().EnsureBuiltInType(BuiltInOutput);
    Add(output, 200, {{"Camera", "1"}, {"ZoomRatio", "x2"}});
    Action(Id::ActionOutput)->trigger();
    Action(Id::ActionPlay)->trigger();
    Deliver();
    for (int tick = 0; tick < 4; ++tick) {
        m_timer->AdvanceMs(40);
        Deliver();
    }
    EXPECT_EQ(m_answers.Messages, QStringList{QStringLiteral("'x2' is not a valid number!")});
    EXPECT_FALSE(m_form->Clock().IsPlaying());
}
