#pragma once
// The application's own commands: the fixed table (name, category, caption,
// built-in key, hidden and tick flags) and the current hot key of each. The
// key held here is the truth; the main window only mirrors it into its menu
// texts. No widgets here, so the table and the "HotKeys" settings section can
// be tested directly.
//
// Threads: the UI thread.

#include "model/hot_keys.h"
#include "platform/ini_file.h"

#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

// In table order; the numbers are the commands' positions in the table.
enum class TAppCommandId : int32_t {
    ActionDoubleBuffering,
    ActionTitlesInserting,
    ActionDrawLast,
    ActionTitlesInsertText,
    ActionTitlesModify,
    ActionTitlesDelete,
    ActionTitlesClear,
    ActionEventsInserting,
    ActionEventsInsertText,
    ActionEventsModify,
    ActionEventsDelete,
    ActionEventsClear,
    ActionBegin,
    ActionPrev,
    ActionPlay,
    ActionOpen,
    ActionStop,
    ActionNext,
    ActionEnd,
    ActionPanelEvents,
    ActionPanelTitles,
    ActionEvents,
    ActionEventButtons,
    ActionOutput,
    ActionSave,
    ActionSaveAs,
    ActionClose,
    ActionImport,
    ActionImportTranscription,
    ActionImportAnvil,
    ActionImportProlog,
    ActionExportProlog,
    ActionExportOutputVideo,
    ActionGoto,
    ActionPrevEvent,
    ActionTimeLine,
    ActionGraph,
    ActionExportOutputRegion,
    ActionImportOutputEvents,
    ActionImportGraph,
    ActionAbout,
    ActionImportObjects,
    ActionEventTypeGroups,
    ActionHelp,
    ActionEventsOffset,
    ActionEventMouse,
    ActionEventsFilter,
    ActionTitlesOffset,
    ActionReorder,
    ActionEventsShowAll,
    ActionOptionsHotKeys,
    ActionNextEvent,
    ActionSpeed,
    ActionStep,
    ActionDevices,
    ActionKeepPitch,
    ActionUndo,
    ActionRedo,
};

inline constexpr std::size_t AppCommandCount = 58;

struct TAppCommandInfo {
    TAppCommandId Id;
    const char* Name;           // the key of the command in the "HotKeys" section
    const char* Category;       // groups the commands in the Hot keys dialog
    const char* Caption;        // "&" marks the menu access letter
    const char* DefaultKeyText; // built-in key in KeyToText form; "" for none
    // Hidden commands appear in no menu and can never have a key.
    bool IsHidden;
    // The command carries a tick: a recording or display switch, a mode, or a
    // shown panel or window.
    bool IsCheckable;
};

// The table in its fixed order: AppCommandTable()[i].Id has the value i.
const std::array<TAppCommandInfo, AppCommandCount>& AppCommandTable();
const TAppCommandInfo& AppCommandInfo(TAppCommandId id);
// The command named so (exact letter case, as stored); nullopt for none.
std::optional<TAppCommandId> FindAppCommand(std::string_view name);

// The caption without its "&" access marks, as hints and the Hot keys dialog
// show it.
QString CaptionWithoutAccessMarks(const char* caption);

// The current key of every command, starting from the built-in keys.
class TAppCommands {
public:
    TAppCommands();

    THotKey Key(TAppCommandId id) const { return m_keys[Index(id)]; }
    // Hidden commands keep no key: setting one is ignored.
    void SetKey(TAppCommandId id, THotKey key);
    // Back to the built-in keys.
    void ResetKeys();

    // The caption the menu shows: the caption, and for a command with a key a
    // tab and the key's text (the menu draws that part as the shortcut
    // column).
    QString MenuText(TAppCommandId id) const;

private:
    static std::size_t Index(TAppCommandId id) { return static_cast<std::size_t>(id); }
    std::array<THotKey, AppCommandCount> m_keys{};
};

// For each visible command in table order: when "HotKeys" has a key of the
// command's name, the command's key becomes the key its value names; an
// empty value removes the key. Commands without an entry keep their key.
// Hidden commands are skipped. A text that names no key (the standard parse
// fails and it is not a single character some key types) leaves the command
// without a key and is returned as "Name=text", in table order.
QStringList ReadHotKeys(const TIniFile& settings, TAppCommands& commands);
// The one message for the refused entries of ReadHotKeys; empty for none.
QString HotKeysRefusedMessage(const QStringList& refused);

// Writes name = key text (empty for none) for every visible command, changed
// or not, in one rewrite of the settings file. Throws TException when the
// file cannot be written.
void WriteHotKeys(TIniFile& settings, const TAppCommands& commands);
