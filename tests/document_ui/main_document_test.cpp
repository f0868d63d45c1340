#include "document/ui/main_document.h"

#include "document/ui/form_main.h"
#include "playback/ui/form_offset.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using Id = TAppCommandId;

struct TAnswers {
    std::optional<QString> Open;
    std::optional<QString> Save;
    QStringList Shown;
};

class TAnswering final : public TFormMainDialogs {
public:
    explicit TAnswering(TAnswers& answers) : m_answers(answers) {}
    std::optional<QString> AskOpenDocument(QWidget*) override { return m_answers.Open; }
    std::optional<QString> AskSaveDocument(QWidget*) override { return m_answers.Save; }
    void ShowError(QWidget*, const QString& message) override { m_answers.Shown << message; }

private:
    TAnswers& m_answers;
};

class MainDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        TFormMainOptions options;
        options.SettingsFileName = dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TAnswering>(answers);
        options.ListDevices = [] { return TAVFileDeviceList{}; };
        form = std::make_unique<TFormMain>(std::move(options));
        document = std::make_unique<TMainDocument>(*form);
        document->SetImportOffsetQuestion([this] { return importOffset; });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override {
        document.reset();
        form.reset();
    }
    void Run(Id id, const std::string& path) {
        answers.Open = answers.Save = QString::fromStdString(path);
        form->Action(id)->trigger();
    }
    QString Cell(int row, int column) const {
        const QTableWidgetItem* item = form->StringGridMessages->item(row, column);
        return item ? item->text() : QString();
    }
    TProject& Project() { return form->Project(); }

    TTempDir dir;
    TAnswers answers;
    std::optional<int32_t> importOffset = 0;
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TMainDocument> document;
};

} // namespace

TEST_F(MainDocumentTest, SaveAsThenOpenRestoresProjectLayoutAndCaption) {
    const int32_t type = Project().AddEventType(TEventType(QStringLiteral("Smile")));
    Project().InsertEvent(std::make_unique<TEvent>(type, 0, QStringLiteral("first"), TParameters{}));
    Project().InsertEvent(std::make_unique<TEvent>(type, 900, QStringLiteral("later"), TParameters{}));
    Project().InsertTitle(std::make_unique<TTitle>(QStringLiteral("Hello"), 0));
    form->SetTitlesPanelVisible(true);
    form->StringGridMessages->horizontalHeader()->resizeSection(2, 150);
    const std::string path = dir.File("project.xml");
    Run(Id::ActionSaveAs, path);
    ASSERT_TRUE(answers.Shown.isEmpty()) << answers.Shown.join(u'\n').toStdString();
    EXPECT_EQ(form->DocumentFileName(), path);

    form->Action(Id::ActionClose)->trigger();
    ASSERT_TRUE(Project().Events().IsEmpty());
    EXPECT_FALSE(form->IsTitlesPanelVisible());
    Run(Id::ActionOpen, path);
    ASSERT_TRUE(answers.Shown.isEmpty()) << answers.Shown.join(u'\n').toStdString();
    EXPECT_EQ(Project().Events().Count(), 2u);
    EXPECT_EQ(Project().Titles.Count(), 1u);
    EXPECT_TRUE(form->IsTitlesPanelVisible());
    EXPECT_EQ(form->StringGridMessages->horizontalHeader()->sectionSize(2), 150);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Scenemark - ") + QString::fromStdString(path));
    // The lists were refreshed at time 0: the event at 0 is shown and active.
    EXPECT_EQ(Cell(0, 2), QStringLiteral("first"));
    EXPECT_EQ(form->EventCursor(), 0);
    EXPECT_EQ(form->TitleCursor(), 0);
}

TEST_F(MainDocumentTest, ImportAsksForTheOffsetAndACancelChangesNothing) {
    const std::string path = dir.File("other.xml");
    std::ofstream(path) << "<?xml version=\"1.0\"?><AVEvents><EventTypes><Type><ID>3</ID><Name>Nod</Name>"
                           "</Type></EventTypes><File><Event><ID>3</ID><Time>100</Time></Event>"
                           "<Event><ID>4</ID><Time>200</Time></Event></File></AVEvents>";
    importOffset.reset();
    Run(Id::ActionImport, path);
    EXPECT_TRUE(Project().EventTypes.Count() == 0 && answers.Shown.isEmpty());

    importOffset = 50;
    Run(Id::ActionImport, path);
    ASSERT_EQ(Project().Events().Count(), 1u);
    EXPECT_EQ(Project().Events()[0]->Time, 150);
    EXPECT_EQ(answers.Shown, QStringList{QStringLiteral("Event type not found!")});
    EXPECT_EQ(form->DocumentFileName(), std::string()); // an import names no document
}

// The offset is asked in the editor's own number dialog, as every offset is.
TEST_F(MainDocumentTest, ImportAsksForTheOffsetInTheNumberDialog) {
    document.reset();
    document = std::make_unique<TMainDocument>(*form);
    const std::string path = dir.File("other.xml");
    std::ofstream(path)
        << "<?xml version=\"1.0\"?><AVEvents><EventTypes><Type><ID>3</ID><Name>Nod</Name>"
           "</Type></EventTypes><File><Event><ID>3</ID><Time>100</Time></Event></File></AVEvents>";
    for (const char* typed : {"", "250"}) {
        QTimer::singleShot(0, [typed] {
            auto* dialog = qobject_cast<TFormOffset*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Offset");
            EXPECT_EQ(dialog->EditOffset->text(), "0");
            if (*typed == 0)
                return dialog->ButtonCancel->click();
            dialog->EditOffset->setText(QString::fromLatin1(typed));
            QTest::keyClick(dialog->EditOffset, Qt::Key_Return);
        });
        Run(Id::ActionImport, path);
    }
    ASSERT_EQ(Project().Events().Count(), 1u);
    EXPECT_EQ(Project().Events()[0]->Time, 350);
}

TEST_F(MainDocumentTest, AFileThatIsNoDocumentLeavesEverythingAsItWas) {
    Project().AddEventType(TEventType(QStringLiteral("Keep")));
    const std::string saved = dir.File("kept.xml");
    Run(Id::ActionSaveAs, saved);
    const std::string junk = dir.File("junk.xml");
    std::ofstream(junk) << "<?xml version=\"1.0\"?><AVEvents><File>";
    Run(Id::ActionOpen, junk);
    EXPECT_EQ(answers.Shown, QStringList{QStringLiteral("Could not open file!")});
    EXPECT_EQ(Project().EventTypes.Count(), 1);
    EXPECT_EQ(form->DocumentFileName(), saved);
}

TEST_F(MainDocumentTest, OutputAndGraphWindowsRoundTripShownPlacedAndSized) {
    form->Action(Id::ActionOutput)->trigger();
    form->Action(Id::ActionGraph)->trigger();
    form->ToolWindow(TToolWindow::Output)->setGeometry(30, 40, 350, 260);
    form->ToolWindow(TToolWindow::Graph)->setGeometry(60, 70, 700, 210);
    const TEditorLayout before = form->CaptureLayout();
    const std::string path = dir.File("layout.xml");
    Run(Id::ActionSaveAs, path);
    form->Action(Id::ActionClose)->trigger();
    ASSERT_FALSE(form->ToolWindow(TToolWindow::Output)->isVisible());
    Run(Id::ActionOpen, path);
    ASSERT_TRUE(answers.Shown.isEmpty()) << answers.Shown.join(u'\n').toStdString();
    const TEditorLayout after = form->CaptureLayout();
    for (TToolWindow window : {TToolWindow::Output, TToolWindow::Graph}) {
        const TWindowFrame& frame = after.Frame(window);
        EXPECT_TRUE(frame.Visible) << ToolWindowElementName(window);
        EXPECT_EQ(frame, before.Frame(window)) << ToolWindowElementName(window);
        EXPECT_TRUE(form->ToolWindow(window)->isVisible());
    }
}
