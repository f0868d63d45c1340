// The Media menu, the media set and the playback commands of the main
// window, on generated BMP sequences (25 frames per second) and FFmpeg clips,
// with a fake timer so playback advances only when the test says so.

#include "document/ui/form_main.h"
#include "document/ui/main_document.h"

#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/form_main_fixture.h"
#include "tests/document_ui/when_modal.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/media_clips.h"
#include "tests/support/menu_driver.h"
#include "tests/support/temp_dir.h"
#include "views/form_time_line.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

using Id = TAppCommandId;

class FormMainMedia : public FormMainFixture {
protected:
    // A 25 fps BMP sequence of `frames` 16 x 16 pictures; returns its first file.
    QString WriteSequence(const std::string& name, int32_t frames) {
        return QString::fromStdString(WriteBMPSequence(m_dir.File(name), frames));
    }
    QString WriteNtscClip(const std::string& name) {
        TClipSpec spec;
        spec.format = "avi";
        spec.extension = "avi";
        spec.videoCodec = "mpeg4";
        spec.width = 64;
        spec.height = 48;
        spec.rate = 30000;
        spec.scale = 1001;
        spec.frameCount = 30;
        spec.maxBFrames = 0;
        const std::string path = m_dir.File(name + ".avi");
        WriteClip(path, spec);
        return QString::fromStdString(path);
    }

    QString WriteTone(const std::string& name) {
        TClipSpec spec;
        spec.format = "wav";
        spec.extension = "wav";
        spec.audioCodec = "pcm_s16le";
        spec.audioMs = 500;
        const std::string path = m_dir.File(name + ".wav");
        WriteClip(path, spec);
        return QString::fromStdString(path);
    }

    QAction* Action(Id id) const { return m_form->Action(id); }
    QStringList Captions(const QMenu* menu) const {
        QStringList captions;
        for (const QAction* item : menu->actions())
            captions << item->text();
        return captions;
    }
    QStringList Status() const {
        return {m_form->StatusPanels[0]->text(), m_form->StatusPanels[1]->text(),
                m_form->StatusPanels[2]->text()};
    }
    void OpenMediaMenu() { emit m_form->MenuMedia->aboutToShow(); }
    // Delivers the posted timer messages.
    void Deliver() { QCoreApplication::processEvents(); }
};

} // namespace

TEST_F(FormMainMedia, TheSubmenusListEveryMediumWithCameraAndOffset) {
    OpenMediaMenu();
    for (QMenu* menu : {m_form->Remove1, m_form->Show1, m_form->Cameras1, m_form->Offset1})
        EXPECT_FALSE(menu->menuAction()->isEnabled());

    const QString first = WriteSequence("a&b", 10);
    const QString second = WriteSequence("cam", 10);
    m_answers.MediaFiles = {first, QStringLiteral("/no/such/file.avi"), second};
    m_form->Add1->trigger();
    ASSERT_EQ(m_form->VideoList().Count(), 2);
    m_form->VideoList().Window(1).Camera = 2;
    m_form->VideoList().Window(1).Offset = -500;
    m_form->VideoList().Window(0).hide();

    OpenMediaMenu();
    OpenMediaMenu(); // rebuilt, not appended to
    QString escaped = first;
    escaped.replace("&", "&&");
    EXPECT_EQ(Captions(m_form->Remove1), QStringList({escaped, second}));
    EXPECT_EQ(Captions(m_form->Cameras1), QStringList({escaped + " - none", second + " - Camera 2"}));
    EXPECT_EQ(Captions(m_form->Offset1), QStringList({escaped + " - none", second + " - -500"}));
    EXPECT_FALSE(m_form->Show1->actions()[0]->isChecked());
    EXPECT_TRUE(m_form->Show1->actions()[1]->isChecked());
    for (QMenu* menu : {m_form->Remove1, m_form->Show1, m_form->Cameras1, m_form->Offset1})
        EXPECT_TRUE(menu->menuAction()->isEnabled());

    m_form->Show1->actions()[0]->trigger();
    EXPECT_TRUE(m_form->VideoList().Window(0).isVisible());
}

// Through the menu bar with the mouse: each submenu opens and takes a click.
TEST_F(FormMainMedia, EverySubmenuOpensFromTheMenuBarAndItsItemsTakeClicks) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("a", 10)));
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("b", 10)));
    m_form->activateWindow();
    QMenuBar* bar = m_form->menuBar();
    for (QMenu* submenu : {m_form->Remove1, m_form->Show1, m_form->Cameras1, m_form->Offset1}) {
        SCOPED_TRACE(submenu->title().toStdString());
        ASSERT_TRUE(OpenFromMenuBar(bar, m_form->MenuMedia));
        ASSERT_TRUE(OpenSubmenu(m_form->MenuMedia, submenu));
        EXPECT_EQ(submenu->actions().size(), 2);
        CloseMenus();
    }

    ASSERT_TRUE(OpenFromMenuBar(bar, m_form->MenuMedia));
    ASSERT_TRUE(OpenSubmenu(m_form->MenuMedia, m_form->Cameras1));
    WhenModal([](QWidget* dialog) {
        auto* camera = static_cast<TFormCamera*>(dialog);
        camera->CSpinEditCamera->setValue(4);
        QTest::keyClick(camera->CSpinEditCamera, Qt::Key_Return);
    });
    ASSERT_TRUE(ClickItem(m_form->Cameras1, 1));
    EXPECT_EQ(m_form->VideoList().Window(1).Camera, 4);

    ASSERT_TRUE(OpenFromMenuBar(bar, m_form->MenuMedia));
    ASSERT_TRUE(OpenSubmenu(m_form->MenuMedia, m_form->Remove1));
    ASSERT_TRUE(ClickItem(m_form->Remove1, 0));
    ASSERT_EQ(m_form->VideoList().Count(), 1);
    EXPECT_EQ(m_form->VideoList().Window(0).Camera, 4);
}

TEST_F(FormMainMedia, AddingEnablesEditingAndSetsTheRangeRemovingTheLastDisablesIt) {
    EXPECT_FALSE(m_form->AddMedium(QStringLiteral("/no/such/file.avi")));
    EXPECT_EQ(m_form->VideoList().Count(), 0);
    EXPECT_FALSE(Action(Id::ActionPlay)->isEnabled());

    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    EXPECT_TRUE(Action(Id::ActionPlay)->isEnabled());
    EXPECT_TRUE(m_form->VideoList().Window(0).isVisible());
    EXPECT_EQ(m_form->TrackBar->maximum(), 2000);
    EXPECT_EQ(m_form->TrackBar->pageStep(), 40);

    OpenMediaMenu();
    m_form->Remove1->actions()[0]->trigger();
    EXPECT_EQ(m_form->VideoList().Count(), 0);
    EXPECT_FALSE(Action(Id::ActionPlay)->isEnabled());
    EXPECT_EQ(m_form->TrackBar->maximum(), 0);
}

// Shown before any medium, the time line still follows every change of the
// slider's range.
TEST_F(FormMainMedia, TheTimeLinePositionBarFollowsTheMediaSet) {
    m_form->SetToolWindowVisible(TToolWindow::TimeLine, true);
    const QScrollBar* bar = m_form->FormTimeLine->ScrollBarPosition;
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("short", 25)));
    EXPECT_EQ(bar->maximum(), 1000);
    EXPECT_EQ(bar->pageStep(), 40);
    m_form->SetToolWindowVisible(TToolWindow::TimeLine, false);
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("long", 75)));
    EXPECT_EQ(bar->maximum(), 3000);
    m_form->SetToolWindowVisible(TToolWindow::TimeLine, true);
    m_form->Remove1Click(1);
    EXPECT_EQ(bar->maximum(), 1000);
    m_form->Remove1Click(0);
    EXPECT_EQ(bar->maximum(), 0);
}

TEST_F(FormMainMedia, CameraAndOffsetAreAskedInTheirDialogs) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    OpenMediaMenu();
    WhenModal([](QWidget* dialog) {
        auto* camera = static_cast<TFormCamera*>(dialog);
        EXPECT_EQ(camera->windowTitle(), "Camera");
        EXPECT_EQ(camera->CSpinEditCamera->value(), -1);
        camera->CSpinEditCamera->setValue(3);
        QTest::keyClick(camera->CSpinEditCamera, Qt::Key_Return);
    });
    m_form->Cameras1->actions()[0]->trigger();
    EXPECT_EQ(m_form->VideoList().Window(0).Camera, 3);

    WhenModal([](QWidget* dialog) {
        auto* offset = static_cast<TFormOffset*>(dialog);
        EXPECT_EQ(offset->windowTitle(), "Offset");
        offset->EditOffset->setText("-250");
        QTest::keyClick(offset->EditOffset, Qt::Key_Return);
    });
    m_form->Offset1->actions()[0]->trigger();
    EXPECT_EQ(m_form->VideoList().Window(0).Offset, -250);
    EXPECT_EQ(m_form->TrackBar->maximum(), 2000); // recomputed only when media change
}

TEST_F(FormMainMedia, AMediumOfAnotherFrameRateSwitchesFramesBackToMilliseconds) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    m_form->MenuTimeFormatFrames->trigger();
    ASSERT_EQ(m_form->Project().TimeFormat, TTimeFormat::Frames);
    const int32_t type = m_form->Project().AddEventType(TEventType("Wave"));
    m_form->Project().InsertEvent(std::make_unique<TEvent>(type, 10));

    ASSERT_TRUE(m_form->AddMedium(WriteNtscClip("ntsc")));
    EXPECT_EQ(m_form->Project().TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_EQ(m_form->Project().Events()[0]->Time, 400);
    EXPECT_EQ(m_form->TrackBar->pageStep(), 33);

    m_form->MenuTimeFormatFrames->trigger(); // mixed rates: refused without a message
    EXPECT_EQ(m_form->Project().TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_TRUE(m_answers.Messages.isEmpty());
}

TEST_F(FormMainMedia, TransportSliderAndStatusBarMoveTogether) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    EXPECT_EQ(Status(), QStringList({"Time: 0:00:00.000", "Millisecond: 0", "Frame: 0"}));
    Action(Id::ActionNext)->trigger();
    EXPECT_EQ(m_form->TrackBar->value(), 40);
    EXPECT_EQ(Status(), QStringList({"Time: 0:00:00.040", "Millisecond: 40", "Frame: 1"}));

    m_form->TrackBar->setValue(1000); // as a drag does
    EXPECT_EQ(m_form->Clock().CurrentTime(), 1000);
    EXPECT_EQ(Status()[2], "Frame: 25");
    Action(Id::ActionEnd)->trigger();
    EXPECT_EQ(m_form->TrackBar->value(), 2000);
    Action(Id::ActionBegin)->trigger();
    EXPECT_EQ(m_form->Clock().CurrentTime(), 0);
}

TEST_F(FormMainMedia, PlayTicksThroughTheWindowMessagesAndStopEndsThem) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    Action(Id::ActionPlay)->trigger();
    Deliver();
    ASSERT_EQ(m_timer->Pending().size(), 1u);
    for (int tick = 0; tick < 5; ++tick) {
        m_timer->AdvanceMs(40);
        Deliver();
    }
    EXPECT_EQ(m_form->TrackBar->value(), 200);
    EXPECT_EQ(Status()[1], "Millisecond: 200");
    EXPECT_EQ(m_form->VideoList().Window(0).StatusText(), "FPS: 0.00 Dropped: 0");

    Action(Id::ActionStop)->trigger();
    EXPECT_TRUE(m_timer->Pending().empty());
    EXPECT_TRUE(m_timer->OpenPeriods().empty());
    Deliver();
    EXPECT_EQ(m_form->TrackBar->value(), 200);
}

TEST_F(FormMainMedia, GoToSpeedAndStepAskForNumbersAndRejectBadOnes) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 50)));
    m_form->MenuTimeFormatFrames->trigger();
    WhenModal([](QWidget* dialog) {
        auto* ask = static_cast<TFormOffset*>(dialog);
        EXPECT_EQ(ask->windowTitle(), "Go to frame");
        EXPECT_EQ(ask->EditOffset->text(), "0");
        ask->EditOffset->setText("10");
        ask->ButtonOK->click();
    });
    Action(Id::ActionGoto)->trigger();
    EXPECT_EQ(m_form->TrackBar->value(), 400);
    EXPECT_EQ(m_form->Clock().CurrentTime(), 10);

    WhenModal([](QWidget* dialog) {
        auto* ask = static_cast<TFormOffset*>(dialog);
        EXPECT_EQ(ask->windowTitle(), "Playback speed (1% - 500%)");
        ask->EditOffset->setText("501");
        ask->ButtonOK->click();
    });
    Action(Id::ActionSpeed)->trigger();
    EXPECT_EQ(m_answers.Messages, QStringList({"Invalid value!"}));
    EXPECT_EQ(m_form->Clock().PlaybackSpeed(), 100);

    WhenModal([](QWidget* dialog) {
        auto* ask = static_cast<TFormOffset*>(dialog);
        EXPECT_EQ(ask->windowTitle(), "Forward/backward step (1 - 100 frames)");
        ask->EditOffset->setText("5");
        ask->ButtonOK->click();
    });
    Action(Id::ActionStep)->trigger();
    Action(Id::ActionPrev)->trigger();
    EXPECT_EQ(m_form->TrackBar->value(), 200);
}

TEST_F(FormMainMedia, ReorderRowsTheVisibleWindowsByTheirLeftEdges) {
    for (const char* name : {"a", "b", "c", "d"})
        ASSERT_TRUE(m_form->AddMedium(WriteSequence(name, 5)));
    TFormVideoList& list = m_form->VideoList();
    list.Window(0).move(300, 50);
    list.Window(1).move(10, 60);
    list.Window(2).move(10, 70);
    list.Window(3).hide();
    list.Window(3).move(123, 45);

    Action(Id::ActionReorder)->trigger();
    const int widthB = list.Window(1).frameGeometry().width();
    const int widthC = list.Window(2).frameGeometry().width();
    EXPECT_EQ(list.Window(1).pos(), QPoint(0, 0));
    EXPECT_EQ(list.Window(2).pos(), QPoint(widthB, 0));
    EXPECT_EQ(list.Window(0).pos(), QPoint(widthB + widthC, 0));
    EXPECT_EQ(list.Window(3).pos(), QPoint(123, 45));
}

// Saving and opening a project keeps its media with their cameras and
// offsets; the slider then reaches the end of the medium that starts late,
// and moving the clock moves the event list with it.
TEST_F(FormMainMedia, DocumentsKeepTheMediaSetAndTheClockDrivesTheLists) {
    TMainDocument document(*m_form);
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("early", 50)));
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("late", 50)));
    m_form->VideoList().Window(1).Camera = 7;
    m_form->VideoList().Window(1).Offset = 1000;
    TProject& project = m_form->Project();
    const int32_t type = project.AddEventType(TEventType(QStringLiteral("Smile")));
    for (int32_t time : {500, 1500, 2500})
        project.InsertEvent(std::make_unique<TEvent>(type, time, QString(), TParameters{}));
    const std::string path = m_dir.File("project.xml");
    document.Write(path);

    m_form->ResetProject();
    ASSERT_EQ(m_form->VideoList().Count(), 0);
    document.Read(path, false);
    ASSERT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(u'\n').toStdString();
    ASSERT_EQ(m_form->VideoList().Count(), 2);
    EXPECT_EQ(m_form->VideoList().Window(0).Camera, -1);
    EXPECT_EQ(m_form->VideoList().Window(1).Camera, 7);
    EXPECT_EQ(m_form->VideoList().Window(1).Offset, 1000);
    EXPECT_EQ(m_form->TrackBar->maximum(), 3000);
    ASSERT_EQ(m_form->Project().Events().Count(), 3);

    EXPECT_EQ(m_form->EventCursor(), -1);
    m_form->TrackBar->setValue(1600);
    EXPECT_EQ(m_form->Clock().CurrentTime(), 1600);
    EXPECT_EQ(m_form->EventCursor(), 1);
    m_form->TrackBar->setValue(2999);
    EXPECT_EQ(m_form->EventCursor(), 2);
}

TEST_F(FormMainMedia, DoubleBufferingFollowsTheOptionAndIsDroppedWhenAMediumIsAdded) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("first", 10)));
    EXPECT_FALSE(m_form->VideoList().Window(0).IsDoubleBuffered());
    Action(Id::ActionDoubleBuffering)->trigger();
    EXPECT_TRUE(m_form->VideoList().Window(0).IsDoubleBuffered());
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("second", 10)));
    EXPECT_FALSE(Action(Id::ActionDoubleBuffering)->isChecked());
    EXPECT_FALSE(m_form->VideoList().Window(0).IsDoubleBuffered());
    EXPECT_FALSE(m_form->VideoList().Window(1).IsDoubleBuffered());
}

// An audio-only file gets a window without picture; through the real menus.
TEST_F(FormMainMedia, AddTakesAnAudioOnlyFileWithItsStreamsMenu) {
    m_answers.MediaFiles = {WriteTone("tone")};
    ASSERT_TRUE(OpenFromMenuBar(m_form->menuBar(), m_form->MenuMedia));
    ASSERT_TRUE(ClickItem(m_form->MenuMedia, 0));
    ASSERT_EQ(m_form->VideoList().Count(), 1);
    TFormVideo& window = m_form->VideoList().Window(0);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.Size1->menuAction()->isEnabled());
    EXPECT_EQ(window.width(), 160 + window.MarginX());

    ASSERT_TRUE(OpenFromMenuBar(window.menuBar(), window.Streams1));
    EXPECT_EQ(window.CheckBoxVideo->text(), "No video");
    EXPECT_FALSE(window.CheckBoxVideo->isEnabled());
    EXPECT_EQ(window.CheckBoxAudio->text(), "Audio 44100 2");
    EXPECT_TRUE(window.CheckBoxAudio->isEnabled() && window.CheckBoxAudio->isChecked());
    CloseMenus();
}

// Nothing a project lists is lost: an audio-only medium opens, one that does
// not open is reported by name and written back with its camera and offset.
TEST_F(FormMainMedia, OpeningAndSavingKeepEveryListedMedium) {
    TMainDocument document(*m_form);
    const QString tone = WriteTone("tone");
    const QString missing = QString::fromStdString(m_dir.File("gone.avi"));
    const std::string path = m_dir.File("project.xml");
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<?xml version=\"1.0\"?>\n<AVEvents><File>"
                                  "<Source Camera=\"3\" Offset=\"200\">%1</Source>"
                                  "<Source Camera=\"1\">%2</Source></File></AVEvents>\n")
                       .arg(missing, tone)
                       .toUtf8());
    }
    const QStringList expected = {QStringLiteral("Could not open media file \"%1\"!").arg(missing)};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        m_answers.Messages.clear();
        document.Read(path, false);
        EXPECT_EQ(m_answers.Messages, expected);
        ASSERT_EQ(m_form->VideoList().Count(), 1);
        EXPECT_EQ(m_form->VideoList().Window(0).FileName(), tone);
        EXPECT_EQ(m_form->VideoList().Window(0).Camera, 1);
        document.Write(path);
    }
    const auto written = [&path] {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    EXPECT_TRUE(written().contains(QStringLiteral("<Source Camera=\"3\" Offset=\"200\">gone.avi</Source>")))
        << written().toStdString();

    m_form->ResetProject();
    document.Write(path);
    EXPECT_FALSE(written().contains(QStringLiteral("gone.avi")));
}

// A medium that did not open is listed under Remove only, after the opened
// ones (whose items keep their media's indexes), and removing it through the
// real menus drops it from the next Save.
TEST_F(FormMainMedia, AnUnopenedMediumCanBeRemovedFromTheMediaMenu) {
    TMainDocument document(*m_form);
    const QString tone = WriteTone("tone");
    const std::string path = m_dir.File("project.xml");
    {
        QFile file(QString::fromStdString(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("<?xml version=\"1.0\"?>\n<AVEvents><File>"
                                  "<Source Camera=\"3\">gone.avi</Source><Source>%1</Source>"
                                  "</File></AVEvents>\n")
                       .arg(tone)
                       .toUtf8());
    }
    document.Read(path, false);
    ASSERT_EQ(m_form->VideoList().Count(), 1);
    ASSERT_EQ(m_form->VideoList().Unopened().size(), 1u);
    const QString gone = m_form->VideoList().Unopened()[0].FileName;

    m_form->activateWindow();
    QMenuBar* bar = m_form->menuBar();
    ASSERT_TRUE(OpenFromMenuBar(bar, m_form->MenuMedia));
    for (QMenu* menu : {m_form->Show1, m_form->Cameras1, m_form->Offset1})
        EXPECT_EQ(menu->actions().size(), 1) << menu->title().toStdString();
    ASSERT_TRUE(OpenSubmenu(m_form->MenuMedia, m_form->Remove1));
    const QList<QAction*> items = m_form->Remove1->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), tone);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), gone + " (not opened)");
    ASSERT_TRUE(ClickItem(m_form->Remove1, 2));
    EXPECT_TRUE(m_form->VideoList().Unopened().empty());
    EXPECT_EQ(m_form->VideoList().Count(), 1);

    document.Write(path);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString written = QString::fromUtf8(file.readAll());
    EXPECT_FALSE(written.contains(QStringLiteral("gone.avi"))) << written.toStdString();
    EXPECT_TRUE(written.contains(QStringLiteral("tone.wav")));

    // With only unopened media left, Remove still opens.
    m_form->Remove1Click(0);
    m_form->VideoList().KeepUnopened({QStringLiteral("lost.avi"), -1, 0});
    ASSERT_TRUE(OpenFromMenuBar(bar, m_form->MenuMedia));
    ASSERT_TRUE(OpenSubmenu(m_form->MenuMedia, m_form->Remove1));
    CloseMenus();
}

// In the font in use, no status panel cuts its text: neither what it shows
// now nor the longest it can show.
TEST_F(FormMainMedia, TheStatusPanelsFitTheirTexts) {
    ASSERT_TRUE(m_form->AddMedium(WriteSequence("cam", 5)));
    const QStringList shown = Status();
    ASSERT_EQ(shown[2], "Frame: 0");
    const struct {
        std::size_t Panel;
        QString Text;
    } cases[] = {{0, shown[0]},
                 {1, shown[1]},
                 {2, shown[2]},
                 {0, QStringLiteral("Time: 596:31:23.647")},
                 {1, QStringLiteral("Millisecond: 2147483647")},
                 {2, QStringLiteral("Frame: 9999999")}};
    for (const auto& c : cases) {
        QLabel* panel = m_form->StatusPanels[c.Panel];
        panel->setText(c.Text);
        EXPECT_LE(panel->sizeHint().width(), panel->width()) << c.Text.toStdString();
    }
}
