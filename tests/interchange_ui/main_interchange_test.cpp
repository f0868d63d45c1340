// The File menu's imports and export on the real main window, chosen from the
// real menu: the project, the event list, the type and group windows and the
// time line follow, also after an import that failed part way.

#include "interchange/ui/main_interchange.h"

#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "document/ui/form_main.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/support/temp_dir.h"
#include "views/form_time_line.h"

#include <QAction>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct TInterchangeAnswers {
    std::optional<QString> File;
    std::vector<std::optional<int32_t>> Integers; // answered in order
    QStringList Asked;                            // filters and captions
};

class TFakeInterchangeDialogs final : public TInterchangeDialogs {
public:
    explicit TFakeInterchangeDialogs(TInterchangeAnswers& answers) : m_answers(answers) {}
    std::optional<QString> AskOpenFile(QWidget*, const QString& filter) override {
        m_answers.Asked << filter;
        return m_answers.File;
    }
    std::optional<QString> AskSaveFile(QWidget*, const QString& filter, const QString& suffix) override {
        m_answers.Asked << filter + u' ' + suffix;
        return m_answers.File;
    }
    std::optional<int32_t> AskInteger(QWidget*, const QString& caption, int32_t initial) override {
        m_answers.Asked << caption + u'=' + QString::number(initial);
        if (m_answers.Integers.empty())
            return std::nullopt;
        const std::optional<int32_t> answer = m_answers.Integers.front();
        m_answers.Integers.erase(m_answers.Integers.begin());
        return answer;
    }

private:
    TInterchangeAnswers& m_answers;
};

class MainInterchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        TFormMainOptions options;
        options.SettingsFileName = dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(mainAnswers);
        options.ListDevices = [] { return TAVFileDeviceList{}; };
        form = std::make_unique<TFormMain>(std::move(options));
        interchange =
            std::make_unique<TMainInterchange>(*form, std::make_unique<TFakeInterchangeDialogs>(answers));
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // The time line keeps rows only while it is shown.
        form->SetToolWindowVisible(TToolWindow::TimeLine, true);
    }
    void TearDown() override {
        interchange.reset();
        form.reset();
    }

    // Opens the File menu and clicks the item as a user does.
    void Choose(const char* caption, const std::string& file,
                std::vector<std::optional<int32_t>> integers = {}) {
        answers.File = QString::fromStdString(file);
        answers.Integers = std::move(integers);
        QMenu* menu = form->MenuFile;
        menu->popup(form->mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QAction* item = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == QString::fromUtf8(caption))
                item = action;
        ASSERT_TRUE(item && item->isVisible() && item->isEnabled()) << caption;
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir.File(name);
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = form->StringGridMessages->item(row, column);
        return item ? item->text() : QString();
    }
    int TypeRows() const { return form->FormEventList->StringGridEventTypes->rowCount(); }
    int GroupItems() const { return form->FormEventTypeGroups->ListViewGroups->topLevelItemCount(); }
    bool AllOnTimeline() const {
        for (const auto& event : form->Project().Events())
            if (!form->FormTimeLine->Rows().Contains(event.get()))
                return false;
        return true;
    }

    TTempDir dir;
    TDialogAnswers mainAnswers;
    TInterchangeAnswers answers;
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TMainInterchange> interchange;
};

TEST_F(MainInterchangeTest, TranscriptionImportShowsItsEventsTypesAndGroup) {
    ASSERT_EQ(GroupItems(), 0);
    Choose("Import &transcription",
           Write("t.xml", "<Trans><Episode><Section><Turn><Sync time=\"0\" chan=\"0\"/>hello"
                          "<Sync time=\"0.5\" chan=\"1\"/>..</Turn></Section></Episode></Trans>"),
           {0});
    EXPECT_TRUE(mainAnswers.Messages.isEmpty()) << mainAnswers.Messages.join(' ').toStdString();
    EXPECT_EQ(answers.Asked, (QStringList{"xml (*.xml)", "Offset=0"}));
    ASSERT_EQ(form->Project().Events().Count(), 2u);
    EXPECT_EQ(Cell(0, 2), QStringLiteral("hello")) << "the list shows the event at the current time";
    EXPECT_EQ(TypeRows(), 2);
    EXPECT_EQ(GroupItems(), 1);
    EXPECT_TRUE(AllOnTimeline());
}

TEST_F(MainInterchangeTest, AFailedAnnotationImportShowsItsErrorAndWhatItAddedBefore) {
    Choose("Import annotation",
           Write("a.anvil",
                 "<annotation><body><track name=\"T\">"
                 "<el index=\"0\" start=\"0\" end=\"1\"><attribute name=\"n\">a</attribute></el>"
                 "<el index=\"1\" start=\"oops\" end=\"2\"><attribute name=\"n\">b</attribute></el>"
                 "</track></body></annotation>"),
           {0});
    EXPECT_EQ(mainAnswers.Messages, QStringList{"'oops' is not a valid number!"});
    ASSERT_EQ(form->Project().Events().Count(), 1u);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("T.a"));
    EXPECT_GE(TypeRows(), 1);
    EXPECT_TRUE(AllOnTimeline());
    EXPECT_EQ(form->FormTimeLine->Rows().Rows().size(), 1u) << "the track's type is in its group's row";
}

TEST_F(MainInterchangeTest, CancellingTheFileOrTheOffsetImportsNothing) {
    const std::string file = Write("t.xml", "<Trans><Episode><Section><Turn><Sync time=\"0\" chan=\"0\"/>x"
                                            "</Turn></Section></Episode></Trans>");
    Choose("Import &transcription", file, {std::nullopt});
    answers.File.reset();
    form->Action(TAppCommandId::ActionImportTranscription)->trigger();
    EXPECT_EQ(form->Project().Events().Count(), 0u);
    EXPECT_EQ(form->Project().EventTypes.Count(), 0);
}

TEST_F(MainInterchangeTest, PrologExportAndImportGoThroughTheMenu) {
    Choose("Import events from Prolo&g", Write("in.pl", "step(40).\nevent_look(0, [(a, '3rd')]).\n"));
    ASSERT_EQ(form->Project().Events().Count(), 1u);
    EXPECT_EQ(Cell(0, 3), QStringLiteral("a=3rd"));
    const std::string out = dir.File("out.pl");
    Choose("Export events to &Prolog", out);
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "begin(0).\r\nend(0).\r\nstep(1).\r\nevent_look(0, [(a, '3rd')]).\r\n");
    EXPECT_EQ(answers.Asked.last(), QStringLiteral("Prolog definitions (*.pl) pl"));
}

} // namespace
