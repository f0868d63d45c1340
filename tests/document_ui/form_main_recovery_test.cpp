// Start-up recovery through the real main window: a session changes a saved
// project (events and media) and ends without Save; the next start asks the
// question and, answered Yes, gives the session back once, answered No,
// sets the journal aside and leaves the project alone.

#include "document/ui/form_main.h"
#include "document/ui/main_document.h"
#include "document/ui/main_journal.h"

#include "media/registry/registry.h"
#include "platform/fake_mm_timer.h"
#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/document_ui/when_modal.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"
#include "views/form_video.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

// One editor as main() puts it together, with fake dialogs and timer.
struct TEditor {
    TEditor(const std::string& settings, const std::string& stateFolder, TDialogAnswers& answers)
        : Form(Options(settings, answers)), Document(Form), Journal(Form, Document, stateFolder) {
        Form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Form));
    }
    static TFormMainOptions Options(const std::string& settings, TDialogAnswers& answers) {
        TFormMainOptions options;
        options.SettingsFileName = settings;
        options.Dialogs = std::make_unique<TFakeMainDialogs>(answers);
        options.Timer = std::make_unique<TFakeMMTimer>();
        return options;
    }

    TFormMain Form;
    TMainDocument Document;
    TMainJournal Journal;
};

std::string Snapshot(TFormMain& form) {
    std::string out = form.DocumentFileName() + "|";
    TFormVideoList& list = form.VideoList();
    for (int32_t i = 0; i < list.Count(); ++i)
        out += std::filesystem::path(list.Window(i).FileName().toStdString()).filename().string() + "#" +
               std::to_string(list.Window(i).Camera) + "@" + std::to_string(list.Window(i).Offset) + ",";
    out += "|" + std::to_string(form.Project().EventTypes.Count());
    for (const auto& event : form.Project().Events())
        out += "," + std::to_string(event->EventType) + "/" + std::to_string(event->Time) + "/" +
               event->Text.toStdString();
    return out;
}

class FormMainRecovery : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }
    std::string Settings() { return m_dir.File("Scenemark.ini"); }
    std::string State() { return m_dir.File("state"); }

    // A saved project with one medium and an event, then changes not saved:
    // a second medium with camera and offset, two events. Returns what the
    // session showed at its end.
    std::string UnsavedSession() {
        TEditor session(Settings(), State(), m_answers);
        TFormMain& form = session.Form;
        m_answers.MediaFiles = {QString::fromStdString(WriteBMPSequence(m_dir.File("a"), 25))};
        form.Add1->trigger();
        const int32_t type = form.Project().AddEventType(TEventType(QStringLiteral("Walk")));
        form.Project().InsertEvent(
            std::make_unique<TEvent>(type, 40, QStringLiteral("saved"), TParameters()));
        m_answers.Document = QString::fromStdString(m_project);
        form.Action(TAppCommandId::ActionSaveAs)->trigger();
        EXPECT_TRUE(std::filesystem::exists(m_project));

        m_answers.MediaFiles = {QString::fromStdString(WriteBMPSequence(m_dir.File("b"), 50))};
        form.Add1->trigger();
        emit form.MenuMedia->aboutToShow();
        WhenModal([](QWidget* dialog) {
            auto* camera = static_cast<TFormCamera*>(dialog);
            camera->CSpinEditCamera->setValue(2);
            QTest::keyClick(camera->CSpinEditCamera, Qt::Key_Return);
        });
        form.Cameras1->actions()[1]->trigger();
        WhenModal([](QWidget* dialog) {
            auto* offset = static_cast<TFormOffset*>(dialog);
            offset->EditOffset->setText("-120");
            QTest::keyClick(offset->EditOffset, Qt::Key_Return);
        });
        form.Offset1->actions()[1]->trigger();
        for (const int32_t time : {80, 0})
            form.Project().InsertEvent(
                std::make_unique<TEvent>(type, time, QStringLiteral("unsaved"), TParameters()));
        // On the disk now, as a killed editor leaves it.
        session.Journal.Journal().Writer().Sync();
        return Snapshot(form);
    }

    TTempDir m_dir;
    TDialogAnswers m_answers;
    std::string m_project = m_dir.File("project.xml");
};

TEST_P(FormMainRecovery, TheNextStartAsksAndRecoversOrSetsTheJournalAside) {
    const bool isYes = GetParam();
    const std::string ended = UnsavedSession();
    ASSERT_NE(ended.find("a0000.bmp#-1@0,b0000.bmp#2@-120,|1,0/0/unsaved,0/40/saved,0/80/unsaved"),
              std::string::npos)
        << ended;
    const std::vector<uint8_t> saved = ReadBytes(m_project);
    ASSERT_TRUE(std::filesystem::exists(m_project + ".journal"));
    m_answers = TDialogAnswers{};
    m_answers.IsYes = isYes;

    TEditor next(Settings(), State(), m_answers);
    // As main() asks: once the window is up, through the error handler.
    QTimer::singleShot(0, &next.Form,
                       [&next] { next.Form.Execute([&next] { next.Journal.RecoverAtStartUp(); }); });
    QTest::qWait(50);
    ASSERT_EQ(m_answers.Questions.size(), 1);
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern(
                                       R"(The last session ended with 5 unsaved changes \(\d{4}-\d\d-\d\d )"
                                       R"(\d\d:\d\d:\d\d\)\. Recover them\?)"))
                    .match(m_answers.Questions[0])
                    .hasMatch())
        << m_answers.Questions[0].toStdString();
    EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join('\n').toStdString();
    EXPECT_EQ(ReadBytes(m_project), saved) << "the project file is never touched";
    if (isYes) {
        EXPECT_EQ(Snapshot(next.Form), ended);
        EXPECT_TRUE(std::filesystem::exists(m_project + ".journal")) << "kept until the next save";
        return;
    }
    EXPECT_EQ(Snapshot(next.Form), "||0");
    EXPECT_FALSE(std::filesystem::exists(m_project + ".journal"));
    int asideCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path()))
        asideCount +=
            QRegularExpression(QRegularExpression::anchoredPattern(R"(project\.xml\.\d{8}-\d{6}\.journal)"))
                .match(QString::fromStdString(entry.path().filename().string()))
                .hasMatch();
    EXPECT_EQ(asideCount, 1);
}

INSTANTIATE_TEST_SUITE_P(Answers, FormMainRecovery, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "Yes" : "No"; });

} // namespace
