#include "document/ui/form_main.h"

#include "capture/ui/form_event.h"
#include "capture/ui/form_event_buttons.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "capture/ui/form_filter.h"
#include "capture/ui/form_hot_keys.h"
#include "capture/ui/form_message.h"
#include "capture/ui/form_secondary_key.h"
#include "capture/ui/form_title.h"
#include "document/ui/error_handler.h"
#include "document/ui/form_help.h"
#include "document/ui/form_input_devices.h"
#include "document/ui/key_filter.h"
#include "document/ui/media_history.h"
#include "interchange/ui/form_region.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "views/form_graph.h"
#include "views/form_output.h"
#include "views/form_time_line.h"
#include "views/list_grids.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QIcon>
#include <QMenuBar>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>

namespace {

using Id = TAppCommandId;

// Which command runs which handler (the table sits in CreateActions, where
// the handlers are within reach). Commands of parts not present yet have no
// entry; their actions exist so those parts can connect to them.
struct THandlerEntry {
    Id Command;
    void (*Run)(TFormMain& form);
};

struct TIconEntry {
    Id Command;
    const char* ThemeName;
    QStyle::StandardPixmap Fallback;
};

// The toolbar commands' glyphs: the desktop theme's when it has one, else
// the style's own.
const TIconEntry Icons[] = {
    {Id::ActionOpen, "document-open", QStyle::SP_DialogOpenButton},
    {Id::ActionSave, "document-save", QStyle::SP_DialogSaveButton},
    {Id::ActionBegin, "media-skip-backward", QStyle::SP_MediaSkipBackward},
    {Id::ActionPrev, "media-seek-backward", QStyle::SP_MediaSeekBackward},
    {Id::ActionPlay, "media-playback-start", QStyle::SP_MediaPlay},
    {Id::ActionStop, "media-playback-stop", QStyle::SP_MediaStop},
    {Id::ActionNext, "media-seek-forward", QStyle::SP_MediaSeekForward},
    {Id::ActionEnd, "media-skip-forward", QStyle::SP_MediaSkipForward},
    {Id::ActionPanelEvents, "view-list-details", QStyle::SP_FileDialogDetailedView},
    {Id::ActionPanelTitles, "format-justify-left", QStyle::SP_FileDialogListView},
    {Id::ActionEvents, "view-list-text", QStyle::SP_FileDialogContentsView},
    {Id::ActionEventButtons, "input-keyboard", QStyle::SP_DialogApplyButton},
    {Id::ActionEventTypeGroups, "folder", QStyle::SP_DirIcon},
    {Id::ActionOutput, "video-display", QStyle::SP_DesktopIcon},
    {Id::ActionTimeLine, "view-calendar-timeline", QStyle::SP_ArrowRight},
    {Id::ActionGraph, "office-chart-line", QStyle::SP_FileDialogInfoView},
};

constexpr std::nullopt_t Separator = std::nullopt;

} // namespace

TFormMain::TFormMain(TFormMainOptions options)
    : m_project(std::make_unique<TProject>()), m_dialogs(std::move(options.Dialogs)),
      m_listDevices(std::move(options.ListDevices)), m_settingsFileName(std::move(options.SettingsFileName)),
      m_timer(std::move(options.Timer)), m_audioSystem(std::move(options.AudioSystem)) {
    if (!m_dialogs)
        m_dialogs = CreateStandardDialogs();
    if (!m_listDevices)
        m_listDevices = [] { return ListBackends(); };

    setWindowTitle(QString::fromLatin1(ApplicationTitle));
    setMinimumSize(640, 480);
    resize(800, 600);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateClientArea();
    CreateStatusBar();
    FormCreate();
    CreateSecondaryWindows();
    CreateLists();
    CreateCapture();
    ConnectTypeWindows();
    ConnectEditing();
    ConnectExports();
    CreateKeys();
    CreateHistory();
}

TFormMain::~TFormMain() {
    FormDestroy();
}

void TFormMain::FormCreate() {
    m_baseCaption = windowTitle();
    m_fixedWindowsItems = MainMenuWindows->actions().size();
    CreatePlayback();
    StringGridMessages->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Event"),
                                                   QStringLiteral("Text"), QStringLiteral("Parameters")});
    StringGridTitles->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Text")});

    if (m_settingsFileName.empty())
        m_settingsFileName = ::SettingsFileName();
    const TIniFile settings(m_settingsFileName);
    QStringList refusedKeys;
    ReadSettings(settings, m_pathTranslations,
                 [&](const TIniFile& file) { refusedKeys = ReadHotKeys(file, m_commands); });
    ReadKeepPitch(settings);
    UpdateCommandTexts();
    // Told once, when the event loop first runs: the window is up by then.
    if (const QString message = HotKeysRefusedMessage(refusedKeys); !message.isEmpty())
        QTimer::singleShot(0, this, [this, message] { ShowMessage(message); });
}

void TFormMain::FormShow() {
    ResetProject();
}

void TFormMain::FormDestroy() {
    DestroyHistory();
    DestroyKeys();
    DestroyPlayback();
    m_captureSide.reset();
    // The lists and windows refer to the project; they go first, windows
    // newest first.
    m_eventList.reset();
    m_titleList.reset();
    for (auto window = m_secondaryWindows.rbegin(); window != m_secondaryWindows.rend(); ++window)
        delete *window;
    m_secondaryWindows.clear();
    m_project.reset();
}

void TFormMain::CreateActions() {
    for (const TAppCommandInfo& info : AppCommandTable()) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(info.Name));
        action->setCheckable(info.IsCheckable);
        // A menu draws an item's icon in place of its tick.
        action->setIconVisibleInMenu(!info.IsCheckable);
        action->setVisible(!info.IsHidden);
        const QString hint = CaptionWithoutAccessMarks(info.Caption);
        action->setIconText(hint);
        action->setToolTip(hint);
        m_actions[static_cast<std::size_t>(info.Id)] = action;
    }
    const THandlerEntry handlers[] = {
        {Id::ActionOpen, [](TFormMain& f) { f.ActionOpenImportExecute(Id::ActionOpen); }},
        {Id::ActionImport, [](TFormMain& f) { f.ActionOpenImportExecute(Id::ActionImport); }},
        {Id::ActionSave, [](TFormMain& f) { f.ActionSaveExecute(Id::ActionSave); }},
        {Id::ActionSaveAs, [](TFormMain& f) { f.ActionSaveExecute(Id::ActionSaveAs); }},
        {Id::ActionClose, [](TFormMain& f) { f.ActionCloseExecute(); }},
        {Id::ActionPanelEvents, [](TFormMain& f) { f.ActionPanelEventsExecute(); }},
        {Id::ActionPanelTitles, [](TFormMain& f) { f.ActionPanelTitlesExecute(); }},
        {Id::ActionEvents, [](TFormMain& f) { f.ToggleToolWindow(TToolWindow::EventsList); }},
        {Id::ActionEventButtons, [](TFormMain& f) { f.ToggleToolWindow(TToolWindow::EventsButtons); }},
        {Id::ActionEventTypeGroups, [](TFormMain& f) { f.ToggleToolWindow(TToolWindow::EventsGroups); }},
        {Id::ActionOutput, [](TFormMain& f) { f.ToggleToolWindow(TToolWindow::Output); }},
        {Id::ActionTimeLine, [](TFormMain& f) { f.ToggleToolWindow(TToolWindow::TimeLine); }},
        {Id::ActionGraph, [](TFormMain& f) { f.ToggleToolWindow(TToolWindow::Graph); }},
        {Id::ActionDevices, [](TFormMain& f) { f.ActionDevicesExecute(); }},
        {Id::ActionKeepPitch, [](TFormMain& f) { f.ActionKeepPitchExecute(); }},
        {Id::ActionHelp, [](TFormMain& f) { f.ActionHelpExecute(); }},
        {Id::ActionAbout, [](TFormMain& f) { f.ActionAboutExecute(); }},
        {Id::ActionUndo, [](TFormMain& f) { f.ActionUndoRedoExecute(true); }},
        {Id::ActionRedo, [](TFormMain& f) { f.ActionUndoRedoExecute(false); }},
    };
    for (const THandlerEntry& entry : handlers)
        ConnectCommand(entry.Command, [this, run = entry.Run] { run(*this); });
    for (const TIconEntry& entry : Icons) {
        Action(entry.Command)
            ->setIcon(QIcon::fromTheme(QString::fromLatin1(entry.ThemeName),
                                       style()->standardIcon(entry.Fallback)));
    }
    // Without a reader and a writer there is nothing to open or save with.
    for (Id id : {Id::ActionOpen, Id::ActionImport, Id::ActionSave, Id::ActionSaveAs})
        Action(id)->setEnabled(false);
}

void TFormMain::UpdateCommandTexts() {
    for (const TAppCommandInfo& info : AppCommandTable())
        Action(info.Id)->setText(m_commands.MenuText(info.Id));
}

void TFormMain::AddCommands(QMenu* menu, std::initializer_list<std::optional<TAppCommandId>> commands) {
    for (const std::optional<TAppCommandId>& command : commands) {
        if (command)
            menu->addAction(Action(*command));
        else
            menu->addSeparator();
    }
}

void TFormMain::CreateMenus() {
    MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommands(MenuFile, {Id::ActionOpen, Id::ActionSave, Id::ActionSaveAs, Id::ActionClose, Separator,
                           Id::ActionImport, Id::ActionImportTranscription, Id::ActionImportAnvil,
                           Id::ActionImportOutputEvents, Id::ActionImportGraph, Id::ActionImportObjects,
                           Id::ActionImportProlog, Id::ActionExportProlog, Id::ActionExportOutputVideo,
                           Id::ActionExportOutputRegion, Separator});
    MenuFileExit = MenuFile->addAction(QStringLiteral("E&xit"));
    connect(MenuFileExit, &QAction::triggered, this, [this] { Execute([this] { MenuFileExitClick(); }); });

    MenuPlayback = menuBar()->addMenu(QStringLiteral("&Playback"));
    AddCommands(MenuPlayback, {Id::ActionBegin, Id::ActionPrev, Id::ActionPlay, Id::ActionStop,
                               Id::ActionNext, Id::ActionEnd, Separator, Id::ActionGoto, Id::ActionPrevEvent,
                               Id::ActionNextEvent, Separator, Id::ActionSpeed, Id::ActionStep});

    MenuMedia = menuBar()->addMenu(QStringLiteral("&Media"));
    Add1 = MenuMedia->addAction(QStringLiteral("&Add"));
    Remove1 = MenuMedia->addMenu(QStringLiteral("&Remove"));
    MenuMedia->addSeparator();
    Show1 = MenuMedia->addMenu(QStringLiteral("&Show"));
    Cameras1 = MenuMedia->addMenu(QStringLiteral("&Cameras"));
    Offset1 = MenuMedia->addMenu(QStringLiteral("&Offset"));

    MenuEvents = menuBar()->addMenu(QStringLiteral("&Events"));
    AddCommands(MenuEvents,
                {Id::ActionUndo, Id::ActionRedo, Separator, Id::ActionEventsInserting, Id::ActionEventsInsertText, Id::ActionEventsModify,
                 Id::ActionEventsDelete, Id::ActionEventsClear, Id::ActionEventsOffset, Separator,
                 Id::ActionEventMouse, Separator, Id::ActionEventsFilter, Id::ActionEventsShowAll});

    MenuTitles = menuBar()->addMenu(QStringLiteral("&Titles"));
    AddCommands(MenuTitles, {Id::ActionTitlesInserting, Id::ActionTitlesInsertText, Id::ActionTitlesModify,
                             Id::ActionTitlesDelete, Id::ActionTitlesClear, Id::ActionTitlesOffset});

    MenuTimeFormat = menuBar()->addMenu(QStringLiteral("Time &format"));
    MenuTimeFormatMilliseconds = MenuTimeFormat->addAction(QStringLiteral("&Milliseconds"));
    MenuTimeFormatFrames = MenuTimeFormat->addAction(QStringLiteral("&Frames"));
    auto* timeFormats = new QActionGroup(this);
    for (QAction* item : {MenuTimeFormatMilliseconds, MenuTimeFormatFrames}) {
        item->setCheckable(true);
        timeFormats->addAction(item);
    }
    connect(MenuTimeFormat, &QMenu::aboutToShow, this,
            [this] { Execute([this] { MenuTimeFormatClick(); }); });

    MenuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    AddCommands(MenuOptions, {Id::ActionDoubleBuffering, Id::ActionDrawLast, Id::ActionOptionsHotKeys,
                              Id::ActionDevices, Id::ActionKeepPitch});

    MainMenuWindows = menuBar()->addMenu(QStringLiteral("&Windows"));
    AddCommands(MainMenuWindows,
                {Id::ActionPanelEvents, Id::ActionPanelTitles, Id::ActionEvents, Id::ActionEventButtons,
                 Id::ActionEventTypeGroups, Id::ActionOutput, Id::ActionTimeLine, Id::ActionGraph, Separator,
                 Id::ActionReorder, Separator});
    connect(MainMenuWindows, &QMenu::aboutToShow, this,
            [this] { Execute([this] { MainMenuWindowsClick(); }); });

    MenuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommands(MenuHelp, {Id::ActionHelp, Separator, Id::ActionAbout});
}

void TFormMain::CreateToolBar() {
    ToolBarMain = addToolBar(QStringLiteral("Toolbar"));
    ToolBarMain->setObjectName(QStringLiteral("ToolBarMain"));
    ToolBarMain->setMovable(false);
    ToolBarMain->setFloatable(false);
    const std::initializer_list<std::initializer_list<Id>> groups{
        {Id::ActionOpen, Id::ActionSave},
        {Id::ActionBegin, Id::ActionPrev, Id::ActionPlay, Id::ActionStop, Id::ActionNext, Id::ActionEnd},
        {Id::ActionPanelEvents, Id::ActionPanelTitles},
        {Id::ActionEvents, Id::ActionEventButtons, Id::ActionEventTypeGroups},
        {Id::ActionOutput, Id::ActionTimeLine, Id::ActionGraph},
    };
    bool isFirst = true;
    for (const auto& group : groups) {
        if (!isFirst)
            ToolBarMain->addSeparator();
        isFirst = false;
        for (Id id : group)
            ToolBarMain->addAction(Action(id));
    }
}

QMenu* TFormMain::createPopupMenu() {
    // The toolbar is part of the frame: no context menu to hide it.
    return nullptr;
}

void TFormMain::CreateSecondaryWindows() {
    TProject& project = *m_project;
    FormEventList = new TFormEventList(this, project);
    FormEventGroup = new TFormEventGroup(this);
    FormMessage = new TFormMessage(this, project);
    FormTitle = new TFormTitle(this);
    FormCamera = new TFormCamera(this);
    FormOutput = new TFormOutput(this, project);
    FormFilter = new TFormFilter(this, project);
    FormOffset = new TFormOffset(this);
    FormGraph = new TFormGraph(this, project);
    FormRegion = new TFormRegion(this, project);
    FormTimeLine = new TFormTimeLine(this, project);
    FormTimeLine->SetSliderSource([this] {
        return TTimelineSlider{TrackBar->minimum(), TrackBar->maximum(), TrackBar->pageStep()};
    });
    FormEventButtons = new TFormEventButtons(this, project);
    FormEventTypeGroups = new TFormEventTypeGroups(this, project);
    FormEvent = new TFormEvent(this, project);
    FormHelp = new TFormHelp(this);
    FormSecondaryKey = new TFormSecondaryKey(this);
    FormHotKeys = new TFormHotKeys(this);
    FormInputDevices = new TFormInputDevices(this);
    m_secondaryWindows = {FormEventList,    FormEventGroup,   FormMessage,         FormTitle, FormCamera,
                          FormOutput,       FormFilter,       FormOffset,          FormGraph, FormRegion,
                          FormTimeLine,     FormEventButtons, FormEventTypeGroups, FormEvent, FormHelp,
                          FormSecondaryKey, FormHotKeys,      FormInputDevices};

    for (TToolWindow window : AllToolWindows) {
        connect(ToolWindow(window), &TSecondaryWindow::CloseRequested, this,
                [this, window] { Execute([this, window] { SetToolWindowVisible(window, false); }); });
    }
}

void TFormMain::ConnectCommand(TAppCommandId id, std::function<void()> handler) {
    connect(Action(id), &QAction::triggered, this,
            [this, handler = std::move(handler)] { Execute(handler); });
}

void TFormMain::Execute(const std::function<void()>& command) {
    RunCommand(command, [this](const QString& message) { m_dialogs->ShowError(this, message); });
}

void TFormMain::ShowMessage(const QString& message) {
    m_dialogs->ShowError(this, message);
}

bool TFormMain::event(QEvent* event) {
    if (event->type() == TWindowMessageEvent::EventType()) {
        if (m_messageHandler != nullptr) {
            const auto& message = static_cast<const TWindowMessageEvent&>(*event);
            Execute([this, &message] { DispatchWindowMessage(message, *m_messageHandler); });
        }
        return true;
    }
    return QMainWindow::event(event);
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_hasBeenShown && !event->spontaneous()) {
        m_hasBeenShown = true;
        Execute([this] { FormShow(); });
    }
}

void TFormMain::SetDocumentReader(TDocumentReader reader) {
    m_readDocument = std::move(reader);
    Action(Id::ActionOpen)->setEnabled(static_cast<bool>(m_readDocument));
    Action(Id::ActionImport)->setEnabled(static_cast<bool>(m_readDocument));
}

void TFormMain::SetDocumentWriter(TDocumentWriter writer) {
    m_writeDocument = std::move(writer);
    Action(Id::ActionSave)->setEnabled(static_cast<bool>(m_writeDocument));
    Action(Id::ActionSaveAs)->setEnabled(static_cast<bool>(m_writeDocument));
}

void TFormMain::UpdateCaption(const QString& name) {
    setWindowTitle(name.isEmpty() ? m_baseCaption : m_baseCaption + QStringLiteral(" - ") + name);
}

void TFormMain::SetDocumentFileName(const std::string& fileName) {
    m_documentFileName = fileName;
    UpdateCaption(QFile::decodeName(QByteArray::fromStdString(fileName)));
}

void TFormMain::ResetProject() {
    if (m_sessionHooks.Replacing)
        m_sessionHooks.Replacing();
    Clock().Stop(true);
    SetToolWindowVisible(TToolWindow::TimeLine, false);
    SetDocumentFileName(std::string());
    SetEditingEnabled(false);
    m_project->Reset();
    VideoList().Clear();
    if (m_mediaHistory)
        m_mediaHistory->Reset();

    // Also the time unit's display, the slider (0 of 0, page size 1), speed
    // 100 and step 1.
    Clock().Reset();
    SetEditingEnabled(false);

    SetEventsPanelVisible(true);
    SetTitlesPanelVisible(false);
    for (TToolWindow window : AllToolWindows)
        SetToolWindowVisible(window, false);
    ResetColumnWidths();
    RefreshEventList(false, false);
    RefreshTitleList(false, false);
    RefreshTypeList();

    Action(Id::ActionEventMouse)->setChecked(false);
    MouseTemplate = TMouseTemplate{};
    MouseTemplate.Parameters = TParameters{{QStringLiteral("Width"), QStringLiteral("64")},
                                           {QStringLiteral("Height"), QStringLiteral("64")}};
    if (m_sessionHooks.Replaced)
        m_sessionHooks.Replaced();
}

void TFormMain::SetEditingEnabled(bool on) {
    for (Id id : {Id::ActionBegin,
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
                  Id::ActionDrawLast})
        Action(id)->setEnabled(on);
    MenuPlayback->menuAction()->setEnabled(on);
    CheckBoxEventsDraw->setEnabled(on);
    CheckBoxEventsText->setEnabled(on);

    for (Id id : {Id::ActionEventsInserting, Id::ActionTitlesInserting, Id::ActionEventsShowAll,
                  Id::ActionDoubleBuffering, Id::ActionDrawLast})
        Action(id)->setChecked(false);
    CheckBoxEventsDraw->setChecked(false);
    CheckBoxEventsText->setChecked(false);
}

void TFormMain::MenuTimeFormatClick() {
    const bool isFrames = m_project->TimeFormat == TTimeFormat::Frames;
    MenuTimeFormatFrames->setChecked(isFrames);
    MenuTimeFormatMilliseconds->setChecked(!isFrames);
}
