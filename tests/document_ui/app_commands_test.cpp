#include "document/app_commands.h"

#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using Id = TAppCommandId;

constexpr THotKey Ctrl = HotKeyCtrl;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(AppCommandTableTest, EveryNameFindsItsOwnRowAndNamesAreUnique) {
    std::set<std::string> names;
    for (const TAppCommandInfo& info : AppCommandTable()) {
        EXPECT_TRUE(names.insert(info.Name).second) << info.Name;
        EXPECT_EQ(FindAppCommand(info.Name), info.Id) << info.Name;
    }
    EXPECT_EQ(names.size(), 58u);
    EXPECT_FALSE(FindAppCommand("actionplay").has_value()) << "stored names keep their letter case";
    EXPECT_FALSE(FindAppCommand("ActionExit").has_value());
}

TEST(AppCommandTableTest, ExactlyTheFiveProcessingCommandsAreHidden) {
    std::vector<std::string> hidden;
    for (const TAppCommandInfo& info : AppCommandTable()) {
        if (info.IsHidden)
            hidden.emplace_back(info.Name);
    }
    EXPECT_EQ(hidden, (std::vector<std::string>{"ActionExportOutputVideo", "ActionExportOutputRegion",
                                                "ActionImportOutputEvents", "ActionImportGraph",
                                                "ActionImportObjects"}));
}

TEST(AppCommandTableTest, CategoriesFirstAppearInTheHotKeysDialogOrder) {
    std::vector<std::string> categories;
    for (const TAppCommandInfo& info : AppCommandTable()) {
        if (!info.IsHidden &&
            std::find(categories.begin(), categories.end(), info.Category) == categories.end())
            categories.emplace_back(info.Category);
    }
    EXPECT_EQ(categories, (std::vector<std::string>{"Options", "Titles", "Events", "Playback", "File",
                                                    "Windows", "Help"}));
}

// The built-in keys are stored as text and parsed at start-up; a misspelt
// text would silently leave a command without its key.
TEST(AppCommandTableTest, BuiltInKeysParseToTheirCodes) {
    const TAppCommands commands;
    const std::vector<std::pair<Id, THotKey>> keyed{
        {Id::ActionDoubleBuffering, Ctrl | 'D'},
        {Id::ActionBegin, Ctrl | '4'},
        {Id::ActionPrev, Ctrl | '1'},
        {Id::ActionPlay, Ctrl | '5'},
        {Id::ActionOpen, Ctrl | 'O'},
        {Id::ActionStop, Ctrl | '2'},
        {Id::ActionNext, Ctrl | '3'},
        {Id::ActionEnd, Ctrl | '6'},
        {Id::ActionSave, Ctrl | 'S'},
        {Id::ActionGoto, Ctrl | 'G'},
        {Id::ActionPrevEvent, Ctrl | '7'},
        {Id::ActionNextEvent, Ctrl | '9'},
        {Id::ActionUndo, Ctrl | 'Z'},
        {Id::ActionRedo, static_cast<THotKey>(HotKeyShift | Ctrl | 'Z')},
    };
    for (const TAppCommandInfo& info : AppCommandTable()) {
        THotKey expected = 0;
        for (const auto& [id, key] : keyed) {
            if (id == info.Id)
                expected = key;
        }
        EXPECT_EQ(commands.Key(info.Id), expected) << info.Name;
    }
}

TEST(AppCommandTableTest, MenuTextAddsTheKeyAfterATab) {
    TAppCommands commands;
    EXPECT_EQ(commands.MenuText(Id::ActionOpen), QStringLiteral("&Open\tCtrl+O"));
    EXPECT_EQ(commands.MenuText(Id::ActionSaveAs), QStringLiteral("Save &As"));
    commands.SetKey(Id::ActionSaveAs, HotKeyShift | Ctrl | 'S');
    EXPECT_EQ(commands.MenuText(Id::ActionSaveAs), QStringLiteral("Save &As\tShift+Ctrl+S"));
    EXPECT_EQ(CaptionWithoutAccessMarks("Import events from Prolo&g"),
              QStringLiteral("Import events from Prolog"));
}

TEST(AppCommandTableTest, HiddenCommandsNeverTakeAKey) {
    TAppCommands commands;
    commands.SetKey(Id::ActionImportGraph, 0x70);
    EXPECT_EQ(commands.Key(Id::ActionImportGraph), 0);
}

class HotKeySettingsTest : public ::testing::Test {
protected:
    TTempDir m_dir;
    std::string m_path = m_dir.File("Scenemark.ini");
};

TEST_F(HotKeySettingsTest, EntriesOverrideBuiltInKeysAndAnEmptyValueRemovesOne) {
    WriteText(m_path, "[HotKeys]\r\n"
                      "ActionPlay=F5\r\n"
                      "ActionOpen=\r\n"
                      "actionsave = Shift+Ctrl+S\r\n"
                      "ActionGoto=Ctrl+\r\n"
                      "ActionHelp=F1\r\n"
                      "ActionImportGraph=F9\r\n"
                      "[Other]\r\n"
                      "ActionStop=F6\r\n");
    TAppCommands commands;
    ReadHotKeys(TIniFile(m_path), commands);

    EXPECT_EQ(commands.Key(Id::ActionPlay), 0x74);
    EXPECT_EQ(commands.Key(Id::ActionOpen), 0) << "an empty value removes the key";
    EXPECT_EQ(commands.Key(Id::ActionSave), HotKeyShift | Ctrl | 'S') << "names compare ignoring case";
    EXPECT_EQ(commands.Key(Id::ActionGoto), 0) << "a text naming no key removes the key";
    EXPECT_EQ(commands.Key(Id::ActionHelp), 0x70);
    EXPECT_EQ(commands.Key(Id::ActionImportGraph), 0) << "hidden commands are skipped";
    EXPECT_EQ(commands.Key(Id::ActionStop), Ctrl | '2') << "only the HotKeys section counts";
    EXPECT_EQ(commands.Key(Id::ActionBegin), Ctrl | '4') << "commands without an entry keep their key";
}

TEST_F(HotKeySettingsTest, TextsNamingNoKeyAreReturnedAndBindNothing) {
    const struct {
        const char* Text;
        THotKey Key;
        bool IsRefused;
    } cases[] = {
        {"F5", 0x74, false}, {"\"F5\"", 0x74, false}, {"Ctrl+", 0, true},
        {"F5x", 0, true},    {"Shift+Nope", 0, true}, {"", 0, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Text);
        WriteText(m_path, std::string("[HotKeys]\r\nActionPlay=") + test.Text + "\r\n");
        TAppCommands commands;
        const QStringList refused = ReadHotKeys(TIniFile(m_path), commands);
        EXPECT_EQ(commands.Key(Id::ActionPlay), test.Key);
        const QString unquoted = QString::fromUtf8(test.Text).remove(u'"');
        EXPECT_EQ(refused, test.IsRefused ? QStringList{"ActionPlay=" + unquoted} : QStringList{});
    }
}

TEST_F(HotKeySettingsTest, MissingFileKeepsEveryBuiltInKey) {
    TAppCommands commands;
    commands.SetKey(Id::ActionPlay, 0x74);
    ReadHotKeys(TIniFile(m_dir.File("absent.ini")), commands);
    EXPECT_EQ(commands.Key(Id::ActionPlay), 0x74);
    EXPECT_EQ(commands.Key(Id::ActionOpen), Ctrl | 'O');
}

TEST_F(HotKeySettingsTest, WrittenKeysReadBackForEveryVisibleCommandAndLeaveOtherSectionsAlone) {
    WriteText(m_path, "[InputDevices]\r\n2=0\r\n[HotKeys]\r\nActionImportObjects=F3\r\n");
    TAppCommands written;
    written.SetKey(Id::ActionPlay, 0x74);
    written.SetKey(Id::ActionOpen, 0);
    written.SetKey(Id::ActionAbout, HotKeyAlt | 'A');
    TIniFile settings(m_path);
    WriteHotKeys(settings, written);

    EXPECT_EQ(settings.ReadString("InputDevices", "2", "missing"), "0");
    EXPECT_EQ(settings.ReadString("HotKeys", "ActionOpen", "missing"), "")
        << "a command without a key is written";
    EXPECT_EQ(settings.ReadString("HotKeys", "ActionExportOutputVideo", "missing"), "missing");
    EXPECT_EQ(settings.ReadString("HotKeys", "ActionImportObjects", "missing"), "F3")
        << "only visible commands are written";
    EXPECT_EQ(settings.ReadSection("HotKeys").size(), 53u + 1u);

    TAppCommands read;
    read.SetKey(Id::ActionSave, 0);
    ReadHotKeys(settings, read);
    for (const TAppCommandInfo& info : AppCommandTable())
        EXPECT_EQ(read.Key(info.Id), written.Key(info.Id)) << info.Name;
}
