#include "document/ui/form_main.h"

#include "document/ui/form_help.h"
#include "document/ui/form_input_devices.h"
#include "platform/mm_timer.h"
#include "playback/playback_clock.h"
#include "tests/support/temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Id = TAppCommandId;

// What the user answers in the file dialogs, and what the main window
// reported; owned by the test, shared with the dialogs object the window owns.
struct TDialogScript {
    std::optional<QString> OpenAnswer;
    std::optional<QString> SaveAnswer;
    int OpenAsked = 0;
    int SaveAsked = 0;
    QStringList Errors;
};

class TScriptedDialogs final : public TFormMainDialogs {
public:
    explicit TScriptedDialogs(TDialogScript& script) : m_script(script) {}
    std::optional<QString> AskOpenDocument(QWidget*) override {
        ++m_script.OpenAsked;
        return m_script.OpenAnswer;
    }
    std::optional<QString> AskSaveDocument(QWidget*) override {
        ++m_script.SaveAsked;
        return m_script.SaveAnswer;
    }
    void ShowError(QWidget*, const QString& message) override { m_script.Errors << message; }

private:
    TDialogScript& m_script;
};

const TAVFileDeviceList FourBackends{
    {0, "Video for Windows file input and output"},
    {1, "DirectShow file input"},
    {2, "FFmpeg file input and output"},
    {3, "BMP file input and output"},
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FormMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        UninitialiseBackendOrder();
        CreateForm();
    }
    void TearDown() override {
        m_form.reset();
        UninitialiseBackendOrder();
    }

    void CreateForm() {
        m_form.reset();
        TFormMainOptions options;
        options.SettingsFileName = m_settingsPath;
        options.Dialogs = std::make_unique<TScriptedDialogs>(m_script);
        options.ListDevices = [] { return FourBackends; };
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    }

    QAction* Action(Id id) const { return m_form->Action(id); }

    // Each entry: "-" for a separator, "(hidden) " before an invisible item.
    static std::vector<std::string> MenuEntries(const QMenu& menu) {
        std::vector<std::string> entries;
        for (const QAction* action : menu.actions()) {
            if (action->isSeparator())
                entries.emplace_back("-");
            else
                entries.push_back((action->isVisible() ? "" : "(hidden) ") + action->text().toStdString());
        }
        return entries;
    }

    void AddSomeAnnotation() {
        TProject& project = m_form->Project();
        const int32_t type = project.AddEventType(TEventType(QStringLiteral("Smile")));
        project.InsertEvent(std::make_unique<TEvent>(type, 100));
        project.InsertTitle(std::make_unique<TTitle>(QStringLiteral("Hello"), 50));
    }

    TTempDir m_dir;
    std::string m_settingsPath = m_dir.File("Scenemark.ini");
    TDialogScript m_script;
    std::unique_ptr<TFormMain> m_form;
};

} // namespace

TEST_F(FormMainTest, FreshStartShowsAnEmptyProjectWithTheEventsPanelOnly) {
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("Scenemark"));
    EXPECT_TRUE(m_form->DocumentFileName().empty());
    EXPECT_EQ(m_form->size(), QSize(800, 600));
    EXPECT_EQ(m_form->minimumSize(), QSize(640, 480));

    EXPECT_TRUE(m_form->PanelEvents->isVisible());
    EXPECT_FALSE(m_form->PanelTitles->isVisible());
    EXPECT_TRUE(Action(Id::ActionPanelEvents)->isChecked());
    EXPECT_FALSE(Action(Id::ActionPanelTitles)->isChecked());

    for (QTableWidget* grid : {m_form->StringGridMessages, m_form->StringGridTitles}) {
        for (int column = 0; column < grid->columnCount(); ++column)
            EXPECT_EQ(grid->horizontalHeader()->sectionSize(column), 64) << column;
    }
    QStringList headings;
    for (int column = 0; column < 4; ++column)
        headings << m_form->StringGridMessages->horizontalHeaderItem(column)->text();
    EXPECT_EQ(headings, QStringList({"Time", "Event", "Text", "Parameters"}));
    EXPECT_EQ(m_form->StringGridTitles->horizontalHeaderItem(1)->text(), QStringLiteral("Text"));

    EXPECT_EQ(m_form->TrackBar->minimum(), 0);
    EXPECT_EQ(m_form->TrackBar->maximum(), 0);
    EXPECT_EQ(m_form->TrackBar->tickPosition(), QSlider::TicksBelow);
    // The designed widths are minima; the panels grow to fit their texts.
    EXPECT_GE(m_form->StatusPanels[0]->width(), 128);
    EXPECT_GE(m_form->StatusPanels[1]->width(), 192);
    EXPECT_GE(m_form->StatusPanels[2]->width(), 50);

    EXPECT_EQ(m_form->MouseTemplate.EventType, -1);
    EXPECT_EQ(m_form->MouseTemplate.Parameters.ParametersToText(), QStringLiteral("Width=64 Height=64"));
    EXPECT_EQ(m_form->Clock().PlaybackSpeed(), 100);
    EXPECT_EQ(m_form->Clock().StepFrames(), 1);
}

TEST_F(FormMainTest, MediaDependentCommandsStartDisabledAndAddingMediaUnticksTheSwitches) {
    const std::vector<Id> mediaDependent{Id::ActionBegin,
                                         Id::ActionPrev,
                                         Id::ActionPlay,
                                         Id::ActionStop,
                                         Id::ActionNext,
                                         Id::ActionEnd,
                                         Id::ActionEventsDelete,
                                         Id::ActionEventsClear,
                                         Id::ActionEventsModify,
                                         Id::ActionEventsInsertText,
                                         Id::ActionEventsFilter,
                                         Id::ActionEventsOffset,
                                         Id::ActionEventMouse,
                                         Id::ActionEventsShowAll,
                                         Id::ActionEventsInserting,
                                         Id::ActionTitlesInserting,
                                         Id::ActionTitlesModify,
                                         Id::ActionTitlesDelete,
                                         Id::ActionTitlesClear,
                                         Id::ActionTitlesInsertText,
                                         Id::ActionTitlesOffset,
                                         Id::ActionDoubleBuffering,
                                         Id::ActionDrawLast};
    for (Id id : mediaDependent)
        EXPECT_FALSE(Action(id)->isEnabled()) << AppCommandInfo(id).Name;
    EXPECT_FALSE(m_form->MenuPlayback->menuAction()->isEnabled());
    for (QWidget* control : std::initializer_list<QWidget*>{
             m_form->CheckBoxEventsDraw, m_form->CheckBoxEventsText, m_form->ButtonEventsFilter,
             m_form->CheckBoxEventsInserting, m_form->ButtonTitlesInsert})
        EXPECT_FALSE(control->isEnabled());
    EXPECT_TRUE(Action(Id::ActionClose)->isEnabled());
    EXPECT_TRUE(Action(Id::ActionPanelTitles)->isEnabled());
    EXPECT_TRUE(Action(Id::ActionDevices)->isEnabled());

    m_form->SetEditingEnabled(true);
    for (Id id : mediaDependent)
        EXPECT_TRUE(Action(id)->isEnabled()) << AppCommandInfo(id).Name;
    EXPECT_TRUE(m_form->MenuPlayback->menuAction()->isEnabled());
    EXPECT_TRUE(m_form->ButtonEventsFilter->isEnabled());

    QTest::mouseClick(m_form->CheckBoxEventsInserting, Qt::LeftButton);
    EXPECT_TRUE(Action(Id::ActionEventsInserting)->isChecked()) << "the panel's box is the command's switch";
    for (Id id :
         {Id::ActionTitlesInserting, Id::ActionEventsShowAll, Id::ActionDoubleBuffering, Id::ActionDrawLast})
        Action(id)->trigger();
    m_form->CheckBoxEventsDraw->setChecked(true);
    m_form->CheckBoxEventsText->setChecked(true);
    Action(Id::ActionEventMouse)->setChecked(true);

    m_form->SetEditingEnabled(true);
    for (Id id : {Id::ActionEventsInserting, Id::ActionTitlesInserting, Id::ActionEventsShowAll,
                  Id::ActionDoubleBuffering, Id::ActionDrawLast})
        EXPECT_FALSE(Action(id)->isChecked()) << AppCommandInfo(id).Name;
    EXPECT_FALSE(m_form->CheckBoxEventsInserting->isChecked());
    EXPECT_FALSE(m_form->CheckBoxEventsDraw->isChecked());
    EXPECT_FALSE(m_form->CheckBoxEventsText->isChecked());
    EXPECT_TRUE(Action(Id::ActionEventMouse)->isChecked()) << "mouse mode is not one of the switches";
    EXPECT_TRUE(Action(Id::ActionEventsInserting)->isEnabled());
}

TEST_F(FormMainTest, MenusHoldTheCommandsInOrderWithTheirKeys) {
    std::vector<std::string> titles;
    for (const QAction* menu : m_form->menuBar()->actions())
        titles.push_back(menu->text().toStdString());
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Playback", "&Media", "&Events", "&Titles",
                                                "Time &format", "&Options", "&Windows", "&Help"}));

    EXPECT_EQ(MenuEntries(*m_form->MenuFile),
              (std::vector<std::string>{"&Open\tCtrl+O", "&Save\tCtrl+S", "Save &As", "&Close", "-",
                                        "&Import", "Import &transcription", "Import annotation",
                                        "(hidden) Import output &events", "(hidden) Import &graph",
                                        "(hidden) Import objects", "Import events from Prolo&g",
                                        "Export events to &Prolog", "(hidden) Export output &video",
                                        "(hidden) Export output &region", "-", "E&xit"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuPlayback),
              (std::vector<std::string>{"Go to begin\tCtrl+4", "Go backward\tCtrl+1", "Start playing\tCtrl+5",
                                        "Stop playing\tCtrl+2", "Go forward\tCtrl+3", "Go to end\tCtrl+6",
                                        "-", "Go to Time\tCtrl+G", "Go to previous event\tCtrl+7",
                                        "Go to next event\tCtrl+9", "-", "Playback speed",
                                        "Forward/backward step"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuMedia),
              (std::vector<std::string>{"&Add", "&Remove", "-", "&Show", "&Cameras", "&Offset"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuEvents),
              (std::vector<std::string>{"Undo\tCtrl+Z", "Redo\tShift+Ctrl+Z", "-", "Inserting", "Insert text", "Modify", "Delete", "Clear", "Offset",
                                        "-", "Mouse mode", "-", "Filter", "Show all"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuTitles),
              (std::vector<std::string>{"Inserting", "Insert text", "Modify", "Delete", "Clear", "Offset"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuTimeFormat), (std::vector<std::string>{"&Milliseconds", "&Frames"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuOptions),
              (std::vector<std::string>{"Double buffering\tCtrl+D", "Draw last event", "Hot keys",
                                        "Input devices", "Keep pitch"}));
    EXPECT_EQ(
        MenuEntries(*m_form->MainMenuWindows),
        (std::vector<std::string>{"Events", "Titles", "Event types", "Event types buttons",
                                  "Event type groups", "Output", "Time line", "Graph", "-", "Reorder", "-"}));
    EXPECT_EQ(MenuEntries(*m_form->MenuHelp), (std::vector<std::string>{"&Help", "-", "&About"}));

    for (QMenu* media : {m_form->Remove1, m_form->Show1, m_form->Cameras1, m_form->Offset1})
        EXPECT_FALSE(media->menuAction()->isEnabled()) << "no media yet";
    for (const TAppCommandInfo& info : AppCommandTable())
        EXPECT_TRUE(Action(info.Id)->shortcut().isEmpty()) << info.Name << ": keys are not dispatched by Qt";
}

TEST_F(FormMainTest, ToolbarShowsTheCommandsInGroupsWithTheirCaptionsAsHints) {
    std::vector<std::string> entries;
    for (const QAction* action : m_form->ToolBarMain->actions())
        entries.push_back(action->isSeparator() ? "-" : action->toolTip().toStdString());
    EXPECT_EQ(entries, (std::vector<std::string>{"Open",
                                                 "Save",
                                                 "-",
                                                 "Go to begin",
                                                 "Go backward",
                                                 "Start playing",
                                                 "Stop playing",
                                                 "Go forward",
                                                 "Go to end",
                                                 "-",
                                                 "Events",
                                                 "Titles",
                                                 "-",
                                                 "Event types",
                                                 "Event types buttons",
                                                 "Event type groups",
                                                 "-",
                                                 "Output",
                                                 "Time line",
                                                 "Graph"}));
    for (const QAction* action : m_form->ToolBarMain->actions())
        EXPECT_TRUE(action->isSeparator() || !action->icon().isNull()) << action->toolTip().toStdString();
}

TEST_F(FormMainTest, SecondaryWindowsAreCreatedInOrderHiddenAndCaptioned) {
    std::vector<std::string> classes;
    std::vector<std::string> captions;
    for (QObject* child : m_form->children()) {
        auto* window = qobject_cast<QWidget*>(child);
        if (window == nullptr || !window->isWindow() ||
            !QString::fromLatin1(window->metaObject()->className()).startsWith(QLatin1String("TForm")))
            continue;
        classes.emplace_back(window->metaObject()->className());
        captions.push_back(window->windowTitle().toStdString());
        EXPECT_FALSE(window->isVisible()) << window->metaObject()->className();
    }
    EXPECT_EQ(classes, (std::vector<std::string>{
                           "TFormEventList", "TFormEventGroup", "TFormMessage", "TFormTitle", "TFormCamera",
                           "TFormOutput", "TFormFilter", "TFormOffset", "TFormGraph", "TFormRegion",
                           "TFormTimeLine", "TFormEventButtons", "TFormEventTypeGroups", "TFormEvent",
                           "TFormHelp", "TFormSecondaryKey", "TFormHotKeys", "TFormInputDevices"}));
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Event types", "Event type group", "Event", "Title", "Camera",
                                        "Output", "Filter", "Offset", "Graph", "Region", "Time line",
                                        "Event types buttons", "Event type groups", "Event type", "Help",
                                        "Secondary hot key", "Hot keys", "Input devices"}));
}

TEST_F(FormMainTest, PanelsAreLaidOutAcrossEightHundredPixels) {
    ASSERT_EQ(m_form->centralWidget()->width(), 800);
    EXPECT_EQ(m_form->PanelEvents->x(), 8);
    EXPECT_EQ(m_form->PanelEvents->width(), 784);

    Action(Id::ActionPanelTitles)->trigger();
    EXPECT_TRUE(m_form->PanelTitles->isVisible());
    EXPECT_TRUE(Action(Id::ActionPanelTitles)->isChecked());
    EXPECT_EQ(m_form->PanelEvents->x(), 8);
    EXPECT_EQ(m_form->PanelEvents->geometry().right() + 1, 396);
    EXPECT_EQ(m_form->PanelTitles->x(), 404);
    EXPECT_EQ(m_form->PanelTitles->width(), 388);
    EXPECT_EQ(m_form->PanelTitles->y(), m_form->PanelEvents->y());
    EXPECT_EQ(m_form->PanelTitles->height(), m_form->PanelEvents->height());
    EXPECT_GT(m_form->PanelEvents->height(), 300);

    Action(Id::ActionPanelEvents)->trigger();
    EXPECT_FALSE(m_form->PanelEvents->isVisible());
    EXPECT_FALSE(Action(Id::ActionPanelEvents)->isChecked());
    EXPECT_EQ(m_form->PanelTitles->x(), 8);
    EXPECT_EQ(m_form->PanelTitles->width(), 784);

    m_form->resize(1000, 600);
    QTRY_COMPARE(m_form->centralWidget()->width(), 1000);
    EXPECT_EQ(m_form->PanelTitles->width(), 984) << "a resize lays the panels out again";
}

TEST_F(FormMainTest, ToolWindowCommandsToggleTheirWindowsAndTicksFollowTheCloseBox) {
    for (TToolWindow window : AllToolWindows) {
        QAction* command = Action(m_form->ToolWindowCommand(window));
        QWidget* form = m_form->ToolWindow(window);
        command->trigger();
        EXPECT_TRUE(form->isVisible()) << ToolWindowElementName(window);
        EXPECT_TRUE(command->isChecked()) << ToolWindowElementName(window);
        command->trigger();
        EXPECT_FALSE(form->isVisible()) << ToolWindowElementName(window);
        EXPECT_FALSE(command->isChecked()) << ToolWindowElementName(window);

        command->trigger();
        form->close();
        EXPECT_FALSE(form->isVisible()) << ToolWindowElementName(window);
        EXPECT_FALSE(command->isChecked()) << ToolWindowElementName(window);
        command->trigger();
        EXPECT_TRUE(form->isVisible()) << ToolWindowElementName(window) << ": shows again after a close";
        EXPECT_TRUE(command->isChecked());
    }
    Action(Id::ActionClose)->trigger();
    for (TToolWindow window : AllToolWindows) {
        EXPECT_FALSE(m_form->ToolWindow(window)->isVisible()) << ToolWindowElementName(window);
        EXPECT_FALSE(m_form->IsToolWindowTicked(window)) << ToolWindowElementName(window);
    }
}

TEST_F(FormMainTest, WindowsMenuListsVideoWindowsOnceWithTicksAndToggles) {
    QWidget first;
    first.setWindowTitle(QStringLiteral("/rec/Tom & Jerry.avi"));
    QWidget second;
    second.setWindowTitle(QStringLiteral("/rec/cam2.avi"));
    first.show();
    m_form->SetVideoWindowsSource([&] { return std::vector<QWidget*>{&first, &second}; });

    emit m_form->MainMenuWindows->aboutToShow();
    emit m_form->MainMenuWindows->aboutToShow();
    const QList<QAction*> items = m_form->MainMenuWindows->actions();
    ASSERT_EQ(items.size(), 13);
    EXPECT_EQ(items[11]->text(), QStringLiteral("/rec/Tom && Jerry.avi"));
    EXPECT_EQ(items[12]->text(), QStringLiteral("/rec/cam2.avi"));
    EXPECT_TRUE(items[11]->isChecked());
    EXPECT_FALSE(items[12]->isChecked());

    items[12]->trigger();
    EXPECT_TRUE(second.isVisible());
    items[11]->trigger();
    EXPECT_FALSE(first.isVisible());

    m_form->SetVideoWindowsSource([&] { return std::vector<QWidget*>{&second}; });
    emit m_form->MainMenuWindows->aboutToShow();
    ASSERT_EQ(m_form->MainMenuWindows->actions().size(), 12);
    EXPECT_TRUE(m_form->MainMenuWindows->actions()[11]->isChecked());
}

TEST_F(FormMainTest, CloseResetsTheProjectAndExitAsksNothing) {
    AddSomeAnnotation();
    m_form->SetDocumentFileName("/tmp/project.xml");
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("Scenemark - /tmp/project.xml"));
    Action(Id::ActionPanelTitles)->trigger();
    m_form->SetEventsColumnWidth(QStringLiteral("TEXT"), 200);
    m_form->Clock().SetPlaybackSpeed(50);
    m_form->Clock().SetStepFrames(7);

    Action(Id::ActionClose)->trigger();
    EXPECT_EQ(m_form->windowTitle(), QStringLiteral("Scenemark"));
    EXPECT_TRUE(m_form->DocumentFileName().empty());
    EXPECT_TRUE(m_form->Project().Events().IsEmpty());
    EXPECT_TRUE(m_form->Project().Titles.IsEmpty());
    EXPECT_EQ(m_form->Project().EventTypes.Count(), 0);
    EXPECT_FALSE(m_form->PanelTitles->isVisible());
    EXPECT_EQ(m_form->StringGridMessages->horizontalHeader()->sectionSize(2), 64);
    EXPECT_EQ(m_form->Clock().PlaybackSpeed(), 100);
    EXPECT_EQ(m_form->Clock().StepFrames(), 1);

    AddSomeAnnotation();
    Action(Id::ActionTimeLine)->trigger();
    m_form->MenuFileExit->trigger();
    EXPECT_FALSE(m_form->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(m_script.Errors.isEmpty());
    EXPECT_EQ(m_script.SaveAsked, 0);
}

TEST_F(FormMainTest, ClosingTheMainWindowEndsTheApplicationWhateverToolWindowIsOpen) {
    Action(Id::ActionTimeLine)->trigger();
    Action(Id::ActionOutput)->trigger();
    bool isStillRunning = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        isStillRunning = true;
        QCoreApplication::quit();
    });
    guard.start(5000);
    QTimer::singleShot(0, m_form.get(), [this] { m_form->MenuFileExit->trigger(); });
    QApplication::exec();
    EXPECT_FALSE(isStillRunning) << "an open tool window kept the application alive";
}

TEST_F(FormMainTest, SaveAsksForAFileOnlyWhenThereIsNoDocumentName) {
    EXPECT_FALSE(Action(Id::ActionSave)->isEnabled()) << "nothing to write with yet";
    int writes = 0;
    m_form->SetDocumentWriter([&](const std::string& path) {
        ++writes;
        std::ofstream(path, std::ios::binary) << "project " << writes;
    });
    ASSERT_TRUE(Action(Id::ActionSave)->isEnabled());

    const std::string first = m_dir.File("first.xml");
    m_script.SaveAnswer = QString::fromStdString(first);
    Action(Id::ActionSave)->trigger();
    EXPECT_EQ(m_script.SaveAsked, 1);
    EXPECT_EQ(m_form->DocumentFileName(), first);
    EXPECT_EQ(m_form->windowTitle(), QString::fromStdString("Scenemark - " + first));
    EXPECT_EQ(ReadFile(first), "project 1");

    Action(Id::ActionSave)->trigger();
    EXPECT_EQ(m_script.SaveAsked, 1) << "a named document saves in place";
    EXPECT_EQ(ReadFile(first), "project 2");

    const std::string second = m_dir.File("second.xml");
    m_script.SaveAnswer = QString::fromStdString(second);
    Action(Id::ActionSaveAs)->trigger();
    EXPECT_EQ(m_script.SaveAsked, 2);
    EXPECT_EQ(m_form->DocumentFileName(), second);
    EXPECT_EQ(m_form->windowTitle(), QString::fromStdString("Scenemark - " + second));

    m_script.SaveAnswer.reset();
    Action(Id::ActionSaveAs)->trigger();
    EXPECT_EQ(m_form->DocumentFileName(), second) << "cancel keeps the name";
    EXPECT_EQ(writes, 3);
    EXPECT_TRUE(m_script.Errors.isEmpty());
    const auto leftovers = std::distance(std::filesystem::directory_iterator(m_dir.Path()), {});
    EXPECT_EQ(leftovers, 2) << "no temporary files stay behind";
}

TEST_F(FormMainTest, FailedFinalMoveKeepsTheTemporaryFileAndTheOldName) {
    m_form->SetDocumentWriter(
        [](const std::string& path) { std::ofstream(path, std::ios::binary) << "data"; });
    const std::string good = m_dir.File("good.xml");
    m_script.SaveAnswer = QString::fromStdString(good);
    Action(Id::ActionSave)->trigger();
    ASSERT_EQ(m_form->DocumentFileName(), good);

    // A folder in the way: the file is written next to it, but cannot
    // replace it.
    const std::string blocked = m_dir.File("blocked.xml");
    std::filesystem::create_directory(blocked);
    m_script.SaveAnswer = QString::fromStdString(blocked);
    Action(Id::ActionSaveAs)->trigger();

    EXPECT_EQ(m_script.Errors, QStringList{QStringLiteral("Could not move temp file!")});
    EXPECT_EQ(m_form->DocumentFileName(), good);
    EXPECT_EQ(m_form->windowTitle(), QString::fromStdString("Scenemark - " + good));
    std::vector<std::string> temporaries;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("blocked.xml.temp", 0) == 0)
            temporaries.push_back(name);
    }
    ASSERT_EQ(temporaries.size(), 1u);
    EXPECT_EQ(temporaries[0].size(), std::string("blocked.xml.temp").size() + 6);
    EXPECT_EQ(ReadFile(m_dir.File(temporaries[0])), "data");
}

TEST_F(FormMainTest, FailingWriterReportsItsOwnErrorAndChangesNothing) {
    m_form->SetDocumentWriter([](const std::string& path) {
        std::ofstream(path, std::ios::binary) << "half";
        throw TException("Could not write xml document!");
    });
    m_script.SaveAnswer = QString::fromStdString(m_dir.File("project.xml"));
    Action(Id::ActionSave)->trigger();
    EXPECT_EQ(m_script.Errors, QStringList{QStringLiteral("Could not write xml document!")});
    EXPECT_TRUE(m_form->DocumentFileName().empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.Path()), {}), 0);
}

TEST_F(FormMainTest, OpenAndImportHandTheChosenFileToTheReader) {
    EXPECT_FALSE(Action(Id::ActionOpen)->isEnabled());
    std::vector<std::pair<std::string, bool>> reads;
    m_form->SetDocumentReader(
        [&](const std::string& path, bool asImport) { reads.emplace_back(path, asImport); });
    ASSERT_TRUE(Action(Id::ActionImport)->isEnabled());

    Action(Id::ActionOpen)->trigger();
    EXPECT_EQ(m_script.OpenAsked, 1);
    EXPECT_TRUE(reads.empty()) << "cancel reads nothing";

    m_script.OpenAnswer = QStringLiteral("/data/a.xml");
    Action(Id::ActionOpen)->trigger();
    Action(Id::ActionImport)->trigger();
    EXPECT_EQ(reads,
              (std::vector<std::pair<std::string, bool>>{{"/data/a.xml", false}, {"/data/a.xml", true}}));
}

TEST_F(FormMainTest, HotKeysFromTheSettingsFileShowInTheMenus) {
    std::ofstream(m_settingsPath, std::ios::binary) << "[HotKeys]\r\nActionPlay=F5\r\nActionOpen=\r\n";
    CreateForm();
    EXPECT_EQ(Action(Id::ActionPlay)->text(), QStringLiteral("Start playing\tF5"));
    EXPECT_EQ(Action(Id::ActionOpen)->text(), QStringLiteral("&Open"));
    EXPECT_EQ(Action(Id::ActionSave)->text(), QStringLiteral("&Save\tCtrl+S"));
    EXPECT_EQ(m_form->Commands().Key(Id::ActionPlay), 0x74);
}

TEST_F(FormMainTest, SettingsAreReadAtStartUpInOrder) {
    std::ofstream(m_settingsPath, std::ios::binary)
        << "[MediaPathTrans]\nD:\\Rec\\=/mnt/rec/\n[InputDevices]\n3=0\n";
    CreateForm();
    ASSERT_EQ(m_form->PathTranslations().size(), 1u);
    EXPECT_EQ(m_form->PathTranslations()[0].Replacement, "/mnt/rec/");
    EXPECT_EQ(GetBackendPosition(3), 0) << "the BMP backend, which is always built";
    EXPECT_EQ(m_form->SettingsFileName(), m_settingsPath);
}

namespace {

class TRecordingHandler final : public TWindowMessageHandler {
public:
    explicit TRecordingHandler(std::size_t expected) : m_expected(expected) {}
    void VideoTick(int32_t groupIndex) override { Record("VideoTick " + std::to_string(groupIndex)); }
    void AudioStart(int32_t outputIndex) override { Record("AudioStart " + std::to_string(outputIndex)); }
    void AudioBufferDone(uint32_t device) override { Record("AudioBufferDone " + std::to_string(device)); }

    bool WaitForAll() {
        QTimer::singleShot(10000, &m_loop, [this] { m_loop.exit(1); });
        return Calls.size() >= m_expected || m_loop.exec() == 0;
    }

    std::vector<std::string> Calls;
    std::vector<QThread*> Threads;

private:
    void Record(const std::string& call) {
        Calls.push_back(call);
        Threads.push_back(QThread::currentThread());
        if (Calls.size() == m_expected)
            m_loop.quit();
    }

    std::size_t m_expected;
    QEventLoop m_loop;
};

} // namespace

TEST_F(FormMainTest, PostedMessagesReachTheirHandlersOnTheWindowThread) {
    TRecordingHandler handler(3);
    m_form->SetWindowMessageHandler(&handler);
    TFormMain* form = m_form.get();
    std::thread poster([form] {
        PostWindowMessage(form, WM_TIMER, 5, 0);
        PostWindowMessage(form, WM_TIMER, TimerParamForAudioOutput(2), 0);
        PostWindowMessage(form, 0x0100, 1, 2);
        PostWindowMessage(form, MM_WOM_DONE, 9, 0);
    });
    const bool arrived = handler.WaitForAll();
    poster.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(handler.Calls, (std::vector<std::string>{"VideoTick 5", "AudioStart 2", "AudioBufferDone 9"}));
    for (QThread* thread : handler.Threads)
        EXPECT_EQ(thread, QApplication::instance()->thread());
}

TEST_F(FormMainTest, AOneShotTimerDeliversItsTickThroughTheMainWindow) {
    TRecordingHandler handler(1);
    m_form->SetWindowMessageHandler(&handler);
    TThreadMMTimer timer;
    TFormMain* form = m_form.get();
    timer.SetOneShot(40, [form] { PostWindowMessage(form, WM_TIMER, 7, 0); });
    ASSERT_TRUE(handler.WaitForAll());
    EXPECT_EQ(handler.Calls, std::vector<std::string>{"VideoTick 7"});
    EXPECT_EQ(handler.Threads[0], QApplication::instance()->thread());
}

TEST_F(FormMainTest, InputDevicesOkWritesTheNewOrder) {
    QTimer::singleShot(0, m_form.get(), [this] {
        TFormInputDevices& dialog = *m_form->FormInputDevices;
        dialog.CheckListBoxDevices->setCurrentRow(2);
        dialog.ButtonUp->click();
        dialog.ButtonUp->click();
        dialog.CheckListBoxDevices->item(2)->setCheckState(Qt::Unchecked);
        dialog.ButtonOK->click();
    });
    Action(Id::ActionDevices)->trigger();
    const TIniFile settings(m_settingsPath);
    std::vector<int32_t> written;
    for (const char* key : {"0", "1", "2", "3"})
        written.push_back(settings.ReadInteger("InputDevices", key, 99));
    EXPECT_EQ(written, (std::vector<int32_t>{1, -1, 0, 2}));
    EXPECT_TRUE(m_script.Errors.isEmpty());
}

TEST_F(FormMainTest, InputDevicesCancelWritesNothing) {
    QTimer::singleShot(0, m_form.get(), [this] {
        m_form->FormInputDevices->CheckListBoxDevices->item(0)->setCheckState(Qt::Unchecked);
        m_form->FormInputDevices->ButtonCancel->click();
    });
    Action(Id::ActionDevices)->trigger();
    EXPECT_FALSE(std::filesystem::exists(m_settingsPath));
    EXPECT_EQ(GetBackendPosition(0), 0);
}

TEST_F(FormMainTest, InputDevicesWriteFailureIsReportedAndTheOrderStaysInEffect) {
    std::filesystem::create_directory(m_settingsPath);
    QTimer::singleShot(0, m_form.get(), [this] {
        m_form->FormInputDevices->CheckListBoxDevices->item(0)->setCheckState(Qt::Unchecked);
        m_form->FormInputDevices->ButtonOK->click();
    });
    Action(Id::ActionDevices)->trigger();
    EXPECT_EQ(m_script.Errors.size(), 1);
    EXPECT_EQ(GetBackendPosition(0), -1);
    EXPECT_EQ(GetBackendPosition(1), 0);
}

TEST_F(FormMainTest, HelpWindowShowsTheKeyListInAFixedPitchFont) {
    const TFormHelp& help = *m_form->FormHelp;
    EXPECT_EQ(help.MemoHelp->toPlainText(), QStringLiteral("File\n----\nOpen - Ctrl + O\nSave - Ctrl + S\n\n"
                                                           "Playback\n--------\nPlay - Ctrl + 5 (Num 5)\n"
                                                           "Stop - Ctrl + 2 (Num 2)\n"
                                                           "Go backward - Ctrl + 1 (Num 1)\n"
                                                           "Go forward - Ctrl + 3 (Num 3)\n"
                                                           "Go to begin - Ctrl + 4 (Num 4)\n"
                                                           "Go to end - Ctrl + 6 (Num 6)\n"
                                                           "Go to time - Ctrl + G\n"));
    EXPECT_TRUE(help.MemoHelp->isReadOnly());
    EXPECT_TRUE(QFontInfo(help.MemoHelp->font()).fixedPitch());
    EXPECT_EQ(help.ButtonClose->text(), QStringLiteral("&Close"));
}

TEST_F(FormMainTest, CapturedLayoutAppliesToAFreshWindow) {
    Action(Id::ActionPanelTitles)->trigger();
    ASSERT_TRUE(m_form->SetEventsColumnWidth(QStringLiteral("parameters"), 150));
    ASSERT_TRUE(m_form->SetTitlesColumnWidth(QStringLiteral("Text"), 300));
    EXPECT_FALSE(m_form->SetTitlesColumnWidth(QStringLiteral("Event"), 10));
    Action(Id::ActionTimeLine)->trigger();
    m_form->ToolWindow(TToolWindow::TimeLine)->setGeometry(30, 40, 500, 250);
    m_form->ToolWindow(TToolWindow::EventsList)->move(70, 80);
    const TEditorLayout layout = m_form->CaptureLayout();
    EXPECT_EQ(layout.Events.ColumnWidths, (std::vector<int32_t>{64, 64, 64, 150}));
    EXPECT_TRUE(layout.Frame(TToolWindow::TimeLine).Visible);

    CreateForm();
    const QStringList eventHeadings{"Time", "Event", "Text", "Parameters"};
    for (std::size_t i = 0; i < layout.Events.ColumnWidths.size(); ++i)
        m_form->SetEventsColumnWidth(eventHeadings[static_cast<qsizetype>(i)], layout.Events.ColumnWidths[i]);
    m_form->SetTitlesColumnWidth(QStringLiteral("Text"), layout.Titles.ColumnWidths[1]);
    m_form->SetTitlesPanelVisible(layout.Titles.Visible);
    for (TToolWindow window : AllToolWindows) {
        const TWindowFrame& frame = layout.Frame(window);
        m_form->ApplyToolWindowFrame(window,
                                     {frame.Visible, frame.Left, frame.Top, frame.Width, frame.Height});
    }
    EXPECT_EQ(m_form->CaptureLayout(), layout);
}

TEST_F(FormMainTest, StoredSizesApplyOnlyToOutputTimeLineAndGraph) {
    const QSize listSize = m_form->ToolWindow(TToolWindow::EventsList)->size();
    m_form->ApplyToolWindowFrame(TToolWindow::EventsList, {std::nullopt, 5, std::nullopt, 900, 900});
    EXPECT_EQ(m_form->ToolWindow(TToolWindow::EventsList)->size(), listSize);
    EXPECT_EQ(m_form->ToolWindow(TToolWindow::EventsList)->x(), 5);
    EXPECT_FALSE(m_form->IsToolWindowTicked(TToolWindow::EventsList));

    m_form->ApplyToolWindowFrame(TToolWindow::Graph, {true, std::nullopt, std::nullopt, 700, 300});
    EXPECT_TRUE(m_form->ToolWindow(TToolWindow::Graph)->isVisible());
    EXPECT_TRUE(m_form->IsToolWindowTicked(TToolWindow::Graph));
    EXPECT_EQ(m_form->ToolWindow(TToolWindow::Graph)->frameGeometry().size(), QSize(700, 300));
}
