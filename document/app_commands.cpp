#include "document/app_commands.h"

#include "document/settings.h"

#include <string>

namespace {

using Id = TAppCommandId;

constexpr bool Hidden = true;
constexpr bool Ticked = true;

constexpr std::array<TAppCommandInfo, AppCommandCount> Table{{
    {Id::ActionDoubleBuffering, "ActionDoubleBuffering", "Options", "Double buffering", "Ctrl+D", false,
     Ticked},
    {Id::ActionTitlesInserting, "ActionTitlesInserting", "Titles", "Inserting", "", false, Ticked},
    {Id::ActionDrawLast, "ActionDrawLast", "Options", "Draw last event", "", false, Ticked},
    {Id::ActionTitlesInsertText, "ActionTitlesInsertText", "Titles", "Insert text", "", false, false},
    {Id::ActionTitlesModify, "ActionTitlesModify", "Titles", "Modify", "", false, false},
    {Id::ActionTitlesDelete, "ActionTitlesDelete", "Titles", "Delete", "", false, false},
    {Id::ActionTitlesClear, "ActionTitlesClear", "Titles", "Clear", "", false, false},
    {Id::ActionEventsInserting, "ActionEventsInserting", "Events", "Inserting", "", false, Ticked},
    {Id::ActionEventsInsertText, "ActionEventsInsertText", "Events", "Insert text", "", false, false},
    {Id::ActionEventsModify, "ActionEventsModify", "Events", "Modify", "", false, false},
    {Id::ActionEventsDelete, "ActionEventsDelete", "Events", "Delete", "", false, false},
    {Id::ActionEventsClear, "ActionEventsClear", "Events", "Clear", "", false, false},
    {Id::ActionBegin, "ActionBegin", "Playback", "Go to begin", "Ctrl+4", false, false},
    {Id::ActionPrev, "ActionPrev", "Playback", "Go backward", "Ctrl+1", false, false},
    {Id::ActionPlay, "ActionPlay", "Playback", "Start playing", "Ctrl+5", false, false},
    {Id::ActionOpen, "ActionOpen", "File", "&Open", "Ctrl+O", false, false},
    {Id::ActionStop, "ActionStop", "Playback", "Stop playing", "Ctrl+2", false, false},
    {Id::ActionNext, "ActionNext", "Playback", "Go forward", "Ctrl+3", false, false},
    {Id::ActionEnd, "ActionEnd", "Playback", "Go to end", "Ctrl+6", false, false},
    {Id::ActionPanelEvents, "ActionPanelEvents", "Windows", "Events", "", false, Ticked},
    {Id::ActionPanelTitles, "ActionPanelTitles", "Windows", "Titles", "", false, Ticked},
    {Id::ActionEvents, "ActionEvents", "Windows", "Event types", "", false, Ticked},
    {Id::ActionEventButtons, "ActionEventButtons", "Windows", "Event types buttons", "", false, Ticked},
    {Id::ActionOutput, "ActionOutput", "Windows", "Output", "", false, Ticked},
    {Id::ActionSave, "ActionSave", "File", "&Save", "Ctrl+S", false, false},
    {Id::ActionSaveAs, "ActionSaveAs", "File", "Save &As", "", false, false},
    {Id::ActionClose, "ActionClose", "File", "&Close", "", false, false},
    {Id::ActionImport, "ActionImport", "File", "&Import", "", false, false},
    {Id::ActionImportTranscription, "ActionImportTranscription", "File", "Import &transcription", "", false,
     false},
    {Id::ActionImportAnvil, "ActionImportAnvil", "File", "Import annotation", "", false, false},
    {Id::ActionImportProlog, "ActionImportProlog", "File", "Import events from Prolo&g", "", false, false},
    {Id::ActionExportProlog, "ActionExportProlog", "File", "Export events to &Prolog", "", false, false},
    {Id::ActionExportOutputVideo, "ActionExportOutputVideo", "File", "Export output &video", "", Hidden,
     false},
    {Id::ActionGoto, "ActionGoto", "Playback", "Go to Time", "Ctrl+G", false, false},
    {Id::ActionPrevEvent, "ActionPrevEvent", "Playback", "Go to previous event", "Ctrl+7", false, false},
    {Id::ActionTimeLine, "ActionTimeLine", "Windows", "Time line", "", false, Ticked},
    {Id::ActionGraph, "ActionGraph", "Windows", "Graph", "", false, Ticked},
    {Id::ActionExportOutputRegion, "ActionExportOutputRegion", "File", "Export output &region", "", Hidden,
     false},
    {Id::ActionImportOutputEvents, "ActionImportOutputEvents", "File", "Import output &events", "", Hidden,
     false},
    {Id::ActionImportGraph, "ActionImportGraph", "File", "Import &graph", "", Hidden, false},
    {Id::ActionAbout, "ActionAbout", "Help", "&About", "", false, false},
    {Id::ActionImportObjects, "ActionImportObjects", "File", "Import objects", "", Hidden, false},
    {Id::ActionEventTypeGroups, "ActionEventTypeGroups", "Windows", "Event type groups", "", false, Ticked},
    {Id::ActionHelp, "ActionHelp", "Help", "&Help", "", false, false},
    {Id::ActionEventsOffset, "ActionEventsOffset", "Events", "Offset", "", false, false},
    {Id::ActionEventMouse, "ActionEventMouse", "Events", "Mouse mode", "", false, Ticked},
    {Id::ActionEventsFilter, "ActionEventsFilter", "Events", "Filter", "", false, false},
    {Id::ActionTitlesOffset, "ActionTitlesOffset", "Titles", "Offset", "", false, false},
    {Id::ActionReorder, "ActionReorder", "Windows", "Reorder", "", false, false},
    {Id::ActionEventsShowAll, "ActionEventsShowAll", "Events", "Show all", "", false, Ticked},
    {Id::ActionOptionsHotKeys, "ActionOptionsHotKeys", "Options", "Hot keys", "", false, false},
    {Id::ActionNextEvent, "ActionNextEvent", "Playback", "Go to next event", "Ctrl+9", false, false},
    {Id::ActionSpeed, "ActionSpeed", "Playback", "Playback speed", "", false, false},
    {Id::ActionStep, "ActionStep", "Playback", "Forward/backward step", "", false, false},
    {Id::ActionDevices, "ActionDevices", "Options", "Input devices", "", false, false},
    {Id::ActionKeepPitch, "ActionKeepPitch", "Options", "Keep pitch", "", false, Ticked},
    {Id::ActionUndo, "ActionUndo", "Events", "Undo", "Ctrl+Z", false, false},
    {Id::ActionRedo, "ActionRedo", "Events", "Redo", "Shift+Ctrl+Z", false, false},
}};

constexpr bool IdsFollowTableOrder() {
    for (std::size_t i = 0; i < Table.size(); ++i) {
        if (static_cast<std::size_t>(Table[i].Id) != i)
            return false;
    }
    return true;
}
static_assert(IdsFollowTableOrder(), "the command ids must follow the table order");

} // namespace

const std::array<TAppCommandInfo, AppCommandCount>& AppCommandTable() {
    return Table;
}

const TAppCommandInfo& AppCommandInfo(TAppCommandId id) {
    return Table[static_cast<std::size_t>(id)];
}

std::optional<TAppCommandId> FindAppCommand(std::string_view name) {
    for (const TAppCommandInfo& info : Table) {
        if (name == info.Name)
            return info.Id;
    }
    return std::nullopt;
}

QString CaptionWithoutAccessMarks(const char* caption) {
    return QString::fromUtf8(caption).remove(QLatin1Char('&'));
}

TAppCommands::TAppCommands() {
    ResetKeys();
}

void TAppCommands::SetKey(TAppCommandId id, THotKey key) {
    if (!AppCommandInfo(id).IsHidden)
        m_keys[Index(id)] = key;
}

void TAppCommands::ResetKeys() {
    for (const TAppCommandInfo& info : Table)
        m_keys[Index(info.Id)] = StandardTextToKey(QString::fromLatin1(info.DefaultKeyText));
}

QString TAppCommands::MenuText(TAppCommandId id) const {
    QString text = QString::fromUtf8(AppCommandInfo(id).Caption);
    const QString keyText = KeyToText(Key(id));
    if (!keyText.isEmpty())
        text += QLatin1Char('\t') + keyText;
    return text;
}

namespace {

// The text without its modifier prefixes ("Shift+", "Ctrl+", "^", "Alt+").
QStringView KeyNamePart(QStringView text) {
    static const QStringView prefixes[] = {u"Shift+", u"Ctrl+", u"^", u"Alt+"};
    for (bool isStripped = true; isStripped;) {
        isStripped = false;
        for (const QStringView prefix : prefixes)
            if (text.startsWith(prefix, Qt::CaseInsensitive)) {
                text = text.mid(prefix.size());
                isStripped = true;
            }
    }
    return text;
}

// A key name the standard parse knows, or one character that some key
// types (a name another keyboard layout gave); anything else would be bound
// by its last character to an unrelated key.
std::optional<THotKey> SettingsTextToKey(const QString& text) {
    if (text.isEmpty())
        return THotKey(0);
    if (const THotKey key = StandardTextToKey(text))
        return key;
    const QStringView name = KeyNamePart(text);
    const bool isOneCharacter = name.size() == 1 || (name.size() == 2 && name[0].isHighSurrogate());
    const THotKey key = isOneCharacter ? TextToKey(text) : THotKey(0);
    return key ? std::optional<THotKey>(key) : std::nullopt;
}

} // namespace

QStringList ReadHotKeys(const TIniFile& settings, TAppCommands& commands) {
    // One reading of the file for the whole section; ReadSectionValues keeps
    // the first occurrence of a key, as ReadString would.
    const TIniFile::TKeyValues values = settings.ReadSectionValues(SectionHotKeys);
    QStringList refused;
    for (const TAppCommandInfo& info : AppCommandTable()) {
        if (info.IsHidden)
            continue;
        for (const auto& [key, value] : values) {
            if (key.size() == std::string_view(info.Name).size() &&
                QString::fromStdString(key).compare(QLatin1String(info.Name), Qt::CaseInsensitive) == 0) {
                const QString text = QString::fromStdString(value);
                const std::optional<THotKey> hotKey = SettingsTextToKey(text);
                if (!hotKey)
                    refused << QStringLiteral("%1=%2").arg(QLatin1String(info.Name), text);
                commands.SetKey(info.Id, hotKey.value_or(0));
                break;
            }
        }
    }
    return refused;
}

QString HotKeysRefusedMessage(const QStringList& refused) {
    if (refused.isEmpty())
        return {};
    return QStringLiteral("These hot keys in the settings file name no key; the commands have no key:\n") +
           refused.join(u'\n');
}

void WriteHotKeys(TIniFile& settings, const TAppCommands& commands) {
    TIniFile::TKeyValues values;
    for (const TAppCommandInfo& info : AppCommandTable()) {
        if (!info.IsHidden)
            values.emplace_back(info.Name, KeyToText(commands.Key(info.Id)).toStdString());
    }
    settings.WriteStrings(SectionHotKeys, values);
}
