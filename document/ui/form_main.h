#pragma once
// The main window: menus, toolbar, position slider, the events and titles
// panels, the status bar, and the state every part of the editor shares.
// It owns the project (model), the application command table, the settings
// it read at start-up, and every secondary window, which it creates once, in
// a fixed order, and only shows and hides afterwards.
//
// Construction runs the start-up reading of the settings (path
// translations, hot keys, backend order) before any other window exists;
// the first showing resets to an empty project. Destruction asks nothing and
// writes nothing.
//
// Every command runs through Execute, the application's error handler: an
// error shows its message in a box titled "Scenemark" and the editor carries
// on. Menus show each command's current key; the keys are not QAction
// shortcuts (keys are dispatched elsewhere), the command table holds them.
//
// Threads: the UI thread, except that any thread may post a window message
// (platform/window_message.h) to the main window.
//
// The implementation is split by menu: form_main.cpp (construction, wiring,
// messages, reset), form_main_panels.cpp (panels, layout, status bar),
// form_main_lists.cpp (the event and title lists), form_main_file.cpp,
// form_main_windows.cpp, form_main_options.cpp, form_main_help.cpp,
// form_main_media.cpp (the Media menu and the media set), form_main_play.cpp
// (the position slider, transport and time format, and the playback clock's
// side of the window), form_main_types.cpp (the event type and group
// windows), form_main_editing.cpp (the editing commands of the Events and
// Titles menus, event navigation and mouse mode), form_main_keys.cpp (the
// application-wide key filter and the Hot keys dialog).

#include "capture/event_commands.h"
#include "components/secondary_window.h"
#include "document/app_commands.h"
#include "document/editor_layout.h"
#include "document/settings.h"
#include "document/ui/main_dialogs.h"
#include "media/registry/registry.h"
#include "model/parameters.h"
#include "model/project.h"
#include "platform/mm_timer.h"
#include "platform/window_message.h"
#include "playback/audio_output.h"
#include "playback/platform/audio_device.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QSlider;
class QTableWidget;
class QToolBar;

class TFormEventList;
class TFormEventGroup;
class TFormMessage;
class TFormTitle;
class TFormCamera;
class TFormOutput;
class TFormFilter;
class TFormOffset;
class TFormGraph;
class TFormRegion;
class TFormTimeLine;
class TFormEventButtons;
class TFormEventTypeGroups;
class TFormEvent;
class TFormHelp;
class TFormSecondaryKey;
class TFormHotKeys;
class TFormInputDevices;
class TFormVideoList;
class TMediaHistory;
class TPlaybackClock;
class TEventListGrid;
class TTitleListGrid;
class TCaptureHost;
class TKeyFilter;
struct TEvent;

struct TFormMainOptions {
    // The settings file; empty for "Scenemark.ini" beside the executable.
    std::string SettingsFileName;
    // File and message dialogs; null for the standard Qt dialogs.
    std::unique_ptr<TFormMainDialogs> Dialogs;
    // The backends the Input devices dialog lists and writes; empty for
    // ListBackends.
    std::function<TAVFileDeviceList()> ListDevices;
    // The one-shot timers of playback; null for a timer thread on the
    // steady clock.
    std::unique_ptr<TMMTimer> Timer;
    // The sound output; null for the default output device (the clocked
    // null device when there is no sound card).
    std::unique_ptr<TAudioSystem> AudioSystem;
};

// The event that mouse mode records.
struct TMouseTemplate {
    int32_t EventType = -1; // -1: none chosen yet
    QString Text;
    TParameters Parameters;
};

// Reads a project document (path in the file system's encoding). asImport:
// merge into the current project instead of replacing it.
using TDocumentReader = std::function<void(const std::string& path, bool asImport)>;
// Writes the project document to the given (temporary) path; throws on
// failure.
using TDocumentWriter = std::function<void(const std::string& path)>;

// What the session journal hears of the document's life; any member may be
// null. Replacing and Replaced bracket a reset or an Open (they nest: an
// Open resets first); Saving comes before a save is written, Saved with the
// file's name once it is in place.
struct TSessionHooks {
    std::function<void()> Replacing;
    std::function<void()> Replaced;
    std::function<void()> Saving;
    std::function<void(const std::string& path)> Saved;
};

class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    // Throws TException when the settings file name cannot be found.
    explicit TFormMain(TFormMainOptions options = {});
    ~TFormMain() override;

    // --- Shared state ---------------------------------------------------
    TProject& Project() { return *m_project; }
    const TProject& Project() const { return *m_project; }
    // Empty for a project never saved or opened.
    const std::string& DocumentFileName() const { return m_documentFileName; }
    // Sets the document name and shows it in the caption.
    void SetDocumentFileName(const std::string& fileName);
    const std::string& SettingsFileName() const { return m_settingsFileName; }
    const TPathTransList& PathTranslations() const { return m_pathTranslations; }

    // The playback clock: position, current time, speed, step and the
    // running playback.
    TPlaybackClock& Clock() { return *m_clock; }
    // The media set: one video window per opened medium.
    TFormVideoList& VideoList() { return *m_videoList; }
    TMouseTemplate MouseTemplate;
    // The file dialogs, confirmations and message boxes (test fakes answer
    // them).
    TFormMainDialogs& Dialogs() { return *m_dialogs; }

    // --- Commands -------------------------------------------------------
    TAppCommands& Commands() { return m_commands; }
    QAction* Action(TAppCommandId id) const { return m_actions[static_cast<std::size_t>(id)]; }
    // The application's error handler: runs command, shows a failure's
    // message.
    void Execute(const std::function<void()>& command);
    // Shows a message the way the error handler does, without stopping
    // anything.
    void ShowMessage(const QString& message);
    // Runs handler through Execute whenever the command is chosen (menu,
    // toolbar, bound panel control or key).
    void ConnectCommand(TAppCommandId id, std::function<void()> handler);

    // --- Frame operations -----------------------------------------------
    // The empty project: no document, events, titles, types or groups,
    // milliseconds, position 0, events panel only, tool windows hidden,
    // 64-pixel columns, mouse mode off, speed 100, step 1.
    void ResetProject();
    // What File > Open does once a file is chosen: the document replaces the
    // project, and the session journal starts over from it. Does nothing
    // without a document reader; passes the reader's exceptions on.
    void OpenDocumentFile(const std::string& path);
    // Enables or disables the commands and panel controls that need open
    // media, and whatever `on` is, unticks the recording and display
    // switches (both Inserting, Draw, Text, Show all, Double buffering, Draw
    // last event).
    void SetEditingEnabled(bool on);

    // Panels: show or hide, tick the command, lay the panels out again.
    void SetEventsPanelVisible(bool visible);
    void SetTitlesPanelVisible(bool visible);
    bool IsEventsPanelVisible() const;
    bool IsTitlesPanelVisible() const;

    // Tool windows: show or hide and tick the window's command to match.
    void SetToolWindowVisible(TToolWindow window, bool visible);
    // The tick of the window's command.
    bool IsToolWindowTicked(TToolWindow window) const;
    TSecondaryWindow* ToolWindow(TToolWindow window) const;
    TAppCommandId ToolWindowCommand(TToolWindow window) const;

    // Where MainMenuWindowsClick finds the video windows, in media order.
    void SetVideoWindowsSource(std::function<std::vector<QWidget*>()> source);

    // --- Hooks of the parts built on the frame --------------------------
    // The project document reader and writer. Open and Import are enabled
    // only with a reader, Save and Save As only with a writer.
    void SetDocumentReader(TDocumentReader reader);
    void SetDocumentWriter(TDocumentWriter writer);
    void SetSessionHooks(TSessionHooks hooks) { m_sessionHooks = std::move(hooks); }
    // Receives the playback timer and audio messages posted to this window;
    // null (the default) ignores them. Not owned.
    void SetWindowMessageHandler(TWindowMessageHandler* handler) { m_messageHandler = handler; }

    // --- Media set (form_main_media.cpp) ----------------------------------
    // Opens fileName as a new medium; false, silently, when it does not
    // open. Used by Add and by the project document reader.
    bool AddMedium(const QString& fileName);
    void Remove1Click(int32_t index);

    // --- Hidden exports (form_main_export.cpp) ----------------------------
    // Both commands are hidden (their actions stay disabled), so these are
    // also their entries for callers that run them. Both step through the
    // recording from 0 one frame period at a time behind a progress dialog
    // whose Cancel stops at the next step and keeps what was written
    // complete.
    //
    // Writes what the output window shows at every step into an AVI file
    // of the output window's normal size at 1000 / frame period frames per
    // second, with the compressor the user chooses; a cancelled export also
    // goes back to the position it started from. Without an "Output" type
    // or any event of it, or when the user cancels a dialog, no file is
    // written. Media errors pass to the error handler.
    void ActionExportOutputVideoExecute();
    // Cuts the regions of one event type, camera and person out of the
    // cameras' pictures at every frame period into a ".bitmap" data file and
    // its ".index" file.
    void ActionExportOutputRegionExecute();

    // --- Event and title lists -------------------------------------------
    // Move the list's cursor to the current time and refill the grid
    // (incremental: a playback tick; follow: scroll to the cursor). The
    // event list then brings overlays, captions and the graph up to date.
    void RefreshEventList(bool incremental, bool follow);
    void RefreshTitleList(bool incremental, bool follow);
    // Refill from the cursor without moving it.
    void FillEventGrid(bool follow);
    void FillTitleGrid(bool follow);
    // The list index of the selected row, or -1.
    int32_t SelectedEventIndex() const;
    int32_t SelectedTitleIndex() const;
    // The newest event (title) at or before the current time, -1 for none.
    int32_t EventCursor() const;
    int32_t TitleCursor() const;
    // The video windows in media order (through SetVideoWindowsSource).
    std::vector<QWidget*> VideoWindows() const;

    // --- Overlays, output and graph windows (form_main_lists.cpp) ---------
    // The output window's picture at the current time (nothing while it is
    // hidden), and the graph's (only while it is shown). A conversion error
    // of either stops playback before it reaches the error handler, so a
    // bad value is reported once and not at every tick.
    void RenderOutput();
    void DrawGraph();

    // --- Recording (form_main_capture.cpp) --------------------------------
    // The refreshes that follow a change of the events or titles, for the
    // recording and editing routines.
    TCaptureHost& CaptureHost();
    // After every change of the event types or groups (editors, documents,
    // importers, reset): brings the type and group windows, the event
    // commands and their buttons up to date.
    void RefreshTypeList();
    const TEventCommandTable& EventCommands() const { return m_eventCommands; }
    // The action of event command i, in EventCommands() order.
    QAction* EventAction(std::size_t index) const { return m_eventActions[index]; }
    // Mouse mode's recording at the current time (nothing while "Inserting"
    // is off). The new event or null.
    const TEvent* RecordEventNow(int32_t typeIndex, const QString& text, const TParameterNames* ignoredNames,
                                 bool replaceSameTime, const TParameters& parameters);

    // --- Editing (form_main_editing.cpp) ----------------------------------
    // Run after event type `typeIndex` was deleted: the template follows the
    // renumbering of the types; a template of the deleted type is forgotten
    // (type -1) and mouse mode, which would otherwise record whatever type
    // took its place, is switched off.
    void MouseTemplateTypeDeleted(int32_t typeIndex);

    // --- Window layout as the project document stores it ----------------
    TEditorLayout CaptureLayout() const;
    // Sets the width of the events (or titles) column whose heading equals
    // the name ignoring letter case; false when there is no such column.
    bool SetEventsColumnWidth(const QString& heading, int32_t width);
    bool SetTitlesColumnWidth(const QString& heading, int32_t width);
    // Applies what the patch holds: a visibility that differs from the tick
    // runs the window's command, then the position, then (for the output,
    // time line and graph windows only) the size.
    void ApplyToolWindowFrame(TToolWindow window, const TWindowFramePatch& patch);

    // --- Controls -------------------------------------------------------
    QMenu* MenuFile;
    QAction* MenuFileExit;
    QMenu* MenuPlayback;
    QMenu* MenuMedia;
    QAction* Add1;
    QMenu* Remove1;
    QMenu* Show1;
    QMenu* Cameras1;
    QMenu* Offset1;
    QMenu* MenuEvents;
    QMenu* MenuTitles;
    QMenu* MenuTimeFormat;
    QAction* MenuTimeFormatFrames;
    QMenu* MenuOptions;
    QMenu* MainMenuWindows;
    QMenu* MenuHelp;
    QToolBar* ToolBarMain;

    // Milliseconds; ticks below every 10 units.
    QSlider* TrackBar;
    // Time, millisecond and frame panels of the status bar.
    std::array<QLabel*, 3> StatusPanels;

    QWidget* PanelEvents;
    QCheckBox* CheckBoxEventsInserting;
    QPushButton* ButtonEventsModify;
    QPushButton* ButtonEventsDelete;
    QPushButton* ButtonEventsClear;
    QPushButton* ButtonEventsFilter;
    QLineEdit* EditEventText;
    QCheckBox* CheckBoxEventsDraw;
    QCheckBox* CheckBoxEventsText;
    QTableWidget* StringGridMessages;
    QScrollBar* ScrollBarMessages;

    QWidget* PanelTitles;
    QCheckBox* CheckBoxTitlesInserting;
    QPushButton* ButtonTitlesModify;
    QLineEdit* EditTitleText;
    QPushButton* ButtonTitlesInsert;
    QTableWidget* StringGridTitles;

    // The secondary windows, in creation order.
    TFormEventList* FormEventList = nullptr;
    TFormEventGroup* FormEventGroup = nullptr;
    TFormMessage* FormMessage = nullptr;
    TFormTitle* FormTitle = nullptr;
    TFormCamera* FormCamera = nullptr;
    TFormOutput* FormOutput = nullptr;
    TFormOffset* FormOffset = nullptr;
    TFormGraph* FormGraph = nullptr;
    TFormRegion* FormRegion = nullptr;
    TFormTimeLine* FormTimeLine = nullptr;
    TFormEventButtons* FormEventButtons = nullptr;
    TFormEventTypeGroups* FormEventTypeGroups = nullptr;
    TFormEvent* FormEvent = nullptr;
    TFormHelp* FormHelp = nullptr;
    TFormSecondaryKey* FormSecondaryKey = nullptr;
    TFormInputDevices* FormInputDevices = nullptr;

    // Brings every list, the type windows, the time line and the overlays up
    // to date after the project changed under them (undo, a journal replay).
    void RefreshAnnotationViews();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    QMenu* createPopupMenu() override;

private:
    // What follows serves only the window's own parts (the form_main*.cpp
    // files and the sides they create), grouped as above.

    // --- Shared state ---------------------------------------------------
    // The caption without the document name ("Scenemark").
    const QString& BaseCaption() const { return m_baseCaption; }

    // --- Commands -------------------------------------------------------
    // Mirrors the command table's keys into the menu texts; call after the
    // keys changed.
    void UpdateCommandTexts();

    // --- Frame operations -----------------------------------------------
    // The caption becomes BaseCaption, or BaseCaption " - " name.
    void UpdateCaption(const QString& name);
    // Lays the panels out across the client width (also run on resize).
    void FormResize();
    // Rebuilds the Windows menu items after the fixed ones: one per video
    // window, captioned with its title, ticked when it is visible; choosing
    // one shows or hides that window. Runs each time the menu opens.
    void MainMenuWindowsClick();

    // --- Media set (form_main_media.cpp) --------------------------------
    void Add1Click();
    // Rebuilds the Remove, Show, Cameras and Offset submenus (the Media menu
    // is opening).
    void Media1Click();
    void Show1Click(int32_t index);
    void Cameras1Click(int32_t index);
    void Offset1Click(int32_t index);
    void ActionReorderExecute();

    // --- Playback (form_main_play.cpp) ----------------------------------
    // The six transport commands: Go to begin, Go backward, Start playing,
    // Stop playing, Go forward, Go to end.
    void ActionPlaybackExecute(TAppCommandId command);
    // The option's tick has toggled: every video window draws through its
    // off-screen picture while the option is ticked or the output window is
    // shown.
    void ActionDoubleBufferingExecute();
    void ActionGotoExecute();
    void ActionSpeedExecute();
    void ActionStepExecute();
    // Either item of the Time format menu was chosen.
    void MenuTimeFormatMillisecondsClick(TTimeFormat target);

    // --- Event and title lists ------------------------------------------
    // Moves the clock to a time in the project's unit (Shift+click on an
    // event); installed by the playback clock.
    void SetGoToTime(std::function<void(int32_t time, bool fromUser)> goToTime);

    // --- Recording (form_main_capture.cpp) ------------------------------
    // Rebuilds the event commands (one per key of every active event type)
    // and the buttons of the event buttons window; run after every change of
    // the event types or groups.
    void RebuildEventCommands();
    // What an event key or button runs: records the command's type at the
    // current time while "Inserting" is on. The new event or null.
    const TEvent* ActionEventExecute(uint32_t tag);

    // --- Editing (form_main_editing.cpp) --------------------------------
    // The commands act on the selected row of their list and do nothing
    // without one (Clear, Offset, Filter and the title insertion need none).
    // Delete and Clear ask first, through Dialogs().AskYesNo.
    void ActionEventsInsertTextExecute();
    void ActionEventsModifyExecute();
    void ActionEventsDeleteExecute();
    void ActionEventsClearExecute();
    void ActionEventsOffsetExecute();
    void ActionEventsFilterExecute();
    void ActionPrevEventExecute();
    void ActionNextEventExecute();
    void ActionTitlesInsertTextExecute();
    void ActionTitlesModifyExecute();
    void ActionTitlesDeleteExecute();
    void ActionTitlesClearExecute();
    void ActionTitlesOffsetExecute();
    // Switches mouse mode off, or asks for the template and switches it on.
    // A template that names no event type is refused with a message and
    // mouse mode stays off.
    void ActionEventMouseExecute();

    // --- Command handlers -----------------------------------------------
    void ActionOpenImportExecute(TAppCommandId command); // ActionOpen or ActionImport
    void ActionSaveExecute(TAppCommandId command);       // ActionSave or ActionSaveAs
    void ActionCloseExecute();
    void MenuFileExitClick();
    void ActionPanelEventsExecute();
    void ActionPanelTitlesExecute();
    // The window toggles: invert the window's visibility.
    void ToggleToolWindow(TToolWindow window);
    void MenuTimeFormatClick();
    void ActionDevicesExecute();
    void ActionKeepPitchExecute();
    void ReadKeepPitch(const TIniFile& settings);
    void ActionHelpExecute();
    void ActionAboutExecute();
    // Opens the Hot keys dialog on the command table; OK takes its keys into
    // the table and the menus and writes them to the settings file.
    void ActionOptionsHotKeysExecute();
    // Takes the newest change back (Undo) or makes it again, then refreshes
    // every view that shows the annotation (form_main_history.cpp).
    void ActionUndoRedoExecute(bool isUndo);

    // --- Controls -------------------------------------------------------
    QAction* MenuTimeFormatMilliseconds;
    QPushButton* ButtonEventsInsert;
    QPushButton* ButtonTitlesDelete;
    QPushButton* ButtonTitlesClear;
    QScrollBar* ScrollBarTitles;
    TFormFilter* FormFilter = nullptr;
    TFormHotKeys* FormHotKeys = nullptr;
    // The events panel's left margin, in pixels.
    static constexpr int PanelMargin = 8;
    // Every list column's width after a reset, in pixels.
    static constexpr int DefaultColumnWidth = 64;

    void FormCreate();
    void FormShow();
    void FormDestroy();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateClientArea();
    void CreateStatusBar();
    QWidget* CreateEventsPanel(QWidget* parent);
    QWidget* CreateTitlesPanel(QWidget* parent);
    void CreateSecondaryWindows();
    void AddCommands(QMenu* menu, std::initializer_list<std::optional<TAppCommandId>> commands);
    void ResetColumnWidths();
    void CreatePlayback();
    void DestroyPlayback();
    void ConnectPlayback();
    void ConnectMediaMenu();
    // Drops unopened medium `index` (in VideoList().Unopened() order).
    void RemoveUnopenedClick(int32_t index);

    // The clock's and the video windows' view of this window.
    class TPlaybackSide;
    struct TPlaybackSideDeleter {
        void operator()(TPlaybackSide* side) const;
    };
    class TCaptureSide;
    struct TCaptureSideDeleter {
        void operator()(TCaptureSide* side) const;
    };
    void CreateCapture();
    // Gives the type and group windows their dialogs and their hooks into
    // this window (form_main_types.cpp).
    void ConnectTypeWindows();
    void ConnectEditing();
    // The hidden exports (form_main_export.cpp).
    void ConnectExports();
    void CreateKeys();
    void DestroyKeys();
    void CreateHistory();
    void DestroyHistory();
    void ResetTrackBar();
    void CreateLists();
    void ConnectOutputAndGraph();
    // Showing or hiding the output window: its size, the video windows'
    // buffering, their repaint and the first rendering.
    void OutputWindowShown(bool visible);
    // Runs a view's drawing; a failure stops playback first, then passes on.
    void RunStoppingPlayback(const std::function<void()>& draw);
    void RepaintVideoWindows();

    std::unique_ptr<TProject> m_project;
    TAppCommands m_commands;
    std::array<QAction*, AppCommandCount> m_actions{};
    std::vector<QWidget*> m_secondaryWindows; // in creation order
    std::unique_ptr<TFormMainDialogs> m_dialogs;
    std::function<TAVFileDeviceList()> m_listDevices;
    std::string m_settingsFileName;
    TPathTransList m_pathTranslations;
    std::string m_documentFileName;
    QString m_baseCaption;
    qsizetype m_fixedWindowsItems = 0;
    bool m_hasBeenShown = false;
    QWidget* m_clientArea = nullptr;
    TDocumentReader m_readDocument;
    TDocumentWriter m_writeDocument;
    TWindowMessageHandler* m_messageHandler = nullptr;
    std::function<std::vector<QWidget*>()> m_videoWindows;
    std::unique_ptr<TPlaybackSide, TPlaybackSideDeleter> m_playbackSide;
    std::unique_ptr<TMMTimer> m_timer;
    std::unique_ptr<TAudioSystem> m_audioSystem;
    std::unique_ptr<TAudioOutput> m_audioOutput;
    std::unique_ptr<TFormVideoList> m_videoList;
    std::unique_ptr<TPlaybackClock> m_clock;
    std::function<void(int32_t, bool)> m_goToTime;
    std::unique_ptr<TEventListGrid> m_eventList;
    std::unique_ptr<TTitleListGrid> m_titleList;
    std::unique_ptr<TCaptureSide, TCaptureSideDeleter> m_captureSide;
    TEventCommandTable m_eventCommands;
    std::vector<QAction*> m_eventActions;
    std::unique_ptr<TKeyFilter> m_keyFilter;
    // Greys Undo and Redo when there is nothing to take back or make again.
    std::unique_ptr<TProjectListener> m_historyWatch;
    // Applies the media set's changes of the history and the journal.
    std::unique_ptr<TMediaHistory> m_mediaHistory;
    TSessionHooks m_sessionHooks;
};
