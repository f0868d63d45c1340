#include "platform/ini_file.h"

#include "base/exception.h"
#include "tests/platform/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using Strings = std::vector<std::string>;

class IniFileTest : public ::testing::Test {
protected:
    TTempDir m_dir;
    std::string m_path = m_dir.File("Scenemark.ini");
};

TEST_F(IniFileTest, ReadsOddlySpacedFileWithCommentsAndRepeatedSections) {
    WriteBytes(m_path, "; installation settings\n"
                       "orphan=before any section\n"
                       "[ MediaPathTrans ]  ; trailing note\n"
                       "  D:\\Recordings\\  =   /mnt/rec/  \n"
                       "\tE:\\ =\n"
                       "a line that means nothing\n"
                       "=no key\n"
                       "[HotKeys]\n"
                       "ActionPlay\t=\tCtrl+5\n"
                       "[mediapathtrans]\n"
                       "F:\\=/f/\n"
                       "d:\\RECORDINGS\\=/shadowed/\n");
    TIniFile ini(m_path);

    EXPECT_EQ(ini.ReadSections(), (Strings{"MediaPathTrans", "HotKeys"}));
    EXPECT_EQ(ini.ReadSection("MEDIAPATHTRANS"), (Strings{"D:\\Recordings\\", "E:\\", "F:\\"}));
    EXPECT_EQ(ini.ReadString("mediaPathTrans", "d:\\recordings\\", "?"), "/mnt/rec/");
    EXPECT_EQ(ini.ReadString("MediaPathTrans", "e:\\", "fallback"), "");
    EXPECT_EQ(ini.ReadString("MediaPathTrans", "F:\\", "?"), "/f/");
    EXPECT_EQ(ini.ReadString("hotkeys", "actionplay", "?"), "Ctrl+5");
    EXPECT_EQ(ini.ReadSectionValues("MediaPathTrans"),
              (TIniFile::TKeyValues{{"D:\\Recordings\\", "/mnt/rec/"}, {"E:\\", ""}, {"F:\\", "/f/"}}));
    EXPECT_TRUE(ini.ValueExists("HOTKEYS", "ActionPlay"));
    EXPECT_FALSE(ini.ValueExists("HotKeys", "orphan"));
    EXPECT_FALSE(ini.ValueExists("MediaPathTrans", "a line that means nothing"));
    EXPECT_EQ(ini.ReadString("", "orphan", "none"), "none");
    EXPECT_EQ(ini.ReadSection("NoSuchSection"), Strings{});
}

TEST_F(IniFileTest, ByteOrderMarkAndCrLfAreNotPartOfNames) {
    WriteBytes(m_path, "\xEF\xBB\xBF[InputDevices]\r\n0=3\r\n2 = 0 \r\n");
    TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadSections(), Strings{"InputDevices"});
    EXPECT_EQ(ini.ReadInteger("InputDevices", "0", -5), 3);
    EXPECT_EQ(ini.ReadString("InputDevices", "2", "?"), "0");
}

TEST_F(IniFileTest, MissingOrUnreadableFileReadsAsEmpty) {
    TIniFile missing(m_dir.File("absent.ini"));
    EXPECT_EQ(missing.ReadSections(), Strings{});
    EXPECT_EQ(missing.ReadString("HotKeys", "ActionOpen", "Ctrl+O"), "Ctrl+O");
    EXPECT_EQ(missing.ReadInteger("InputDevices", "1", 7), 7);

    std::filesystem::create_directory(m_dir.File("folder.ini"));
    TIniFile folder(m_dir.File("folder.ini"));
    EXPECT_EQ(folder.ReadSection("HotKeys"), Strings{});
    EXPECT_EQ(folder.ReadInteger("InputDevices", "1", -1), -1);
}

TEST_F(IniFileTest, IntegerReadFallsBackForAnythingButAWholeNumber) {
    WriteBytes(m_path, "[N]\n"
                       "spaced=  12  \n"
                       "negative=-1\n"
                       "plus=+7\n"
                       "lowest=-2147483648\n"
                       "text=abc\n"
                       "tail=12abc\n"
                       "empty=\n"
                       "decimal=1.5\n"
                       "huge=2147483648\n"
                       "sign=-\n");
    TIniFile ini(m_path);
    const std::vector<std::pair<std::string, int32_t>> expected{
        {"spaced", 12}, {"negative", -1}, {"plus", 7},  {"lowest", INT32_MIN}, {"text", 99},  {"tail", 99},
        {"empty", 99},  {"decimal", 99},  {"huge", 99}, {"sign", 99},          {"absent", 99}};
    for (const auto& [key, value] : expected)
        EXPECT_EQ(ini.ReadInteger("N", key, 99), value) << key;
}

TEST_F(IniFileTest, RewriteKeepsForeignLinesByteOrderMarkAndCrLf) {
    WriteBytes(m_path, "\xEF\xBB\xBF; keep me\r\n"
                       "[HotKeys]\r\n"
                       "actionplay = Ctrl+5\r\n"
                       "ActionStop=Ctrl+2\r\n"
                       "# closing comment\r\n"
                       "\r\n"
                       "[MediaPathTrans]\r\n"
                       "junk without equals\r\n");
    TIniFile ini(m_path);
    ini.WriteStrings("HOTKEYS", {{"ActionPlay", "F5"}, {"ActionOpen", "Ctrl+O"}});
    ini.WriteInteger("InputDevices", "1", -1);

    EXPECT_EQ(ReadBytes(m_path), "\xEF\xBB\xBF; keep me\r\n"
                                 "[HotKeys]\r\n"
                                 "actionplay=F5\r\n"
                                 "ActionStop=Ctrl+2\r\n"
                                 "ActionOpen=Ctrl+O\r\n"
                                 "# closing comment\r\n"
                                 "\r\n"
                                 "[MediaPathTrans]\r\n"
                                 "junk without equals\r\n"
                                 "\r\n"
                                 "[InputDevices]\r\n"
                                 "1=-1\r\n");
}

TEST_F(IniFileTest, LineEndStyleFollowsTheFileAndNewFilesUseCrLf) {
    WriteBytes(m_path, "[A]\nx=1\n[B]\ny=2");
    TIniFile ini(m_path);
    ini.WriteString("a", "z", "3");
    EXPECT_EQ(ReadBytes(m_path), "[A]\nx=1\nz=3\n[B]\ny=2\n");
    EXPECT_EQ(ini.ReadString("B", "y", "?"), "2");

    TIniFile fresh(m_dir.File("new.ini"));
    fresh.WriteInteger("InputDevices", "2", 0);
    EXPECT_EQ(ReadBytes(m_dir.File("new.ini")), "[InputDevices]\r\n2=0\r\n");
}

TEST_F(IniFileTest, WrittenValuesReadBack) {
    TIniFile ini(m_path);
    ini.WriteStrings("MediaPathTrans", {{"D:\\Recordings\\", "/mnt/rec/"}, {"\\\\server\\share\\", "/srv/"}});
    ini.WriteString("MediaPathTrans", "d:\\recordings\\", "/mnt/other/");
    ini.WriteString("HotKeys", "ActionSave", "");
    ini.WriteInteger("InputDevices", "3", -1);

    EXPECT_EQ(ini.ReadSection("MediaPathTrans"), (Strings{"D:\\Recordings\\", "\\\\server\\share\\"}));
    EXPECT_EQ(ini.ReadString("MediaPathTrans", "D:\\Recordings\\", "?"), "/mnt/other/");
    EXPECT_EQ(ini.ReadString("HotKeys", "ActionSave", "Ctrl+S"), "");
    EXPECT_EQ(ini.ReadInteger("InputDevices", "3", 0), -1);
}

TEST_F(IniFileTest, NamesAndValuesThatWouldNotReadBackAreRefused) {
    WriteBytes(m_path, "[S]\nk=v\n");
    TIniFile ini(m_path);
    const std::vector<std::pair<std::string, std::string>> badKeys{
        {"a=b", "v"}, {"", "v"},        {"two\nlines", "v"}, {"[S]", "v"},
        {";x", "v"},  {" padded", "v"}, {"k", "a\r\nb"}};
    for (const auto& [key, value] : badKeys)
        EXPECT_THROW(ini.WriteString("S", key, value), TException) << key;
    EXPECT_THROW(ini.WriteString("a]b", "k", "v"), TException);
    EXPECT_THROW(ini.WriteString("", "k", "v"), TException);
    // A refused batch writes none of its keys.
    EXPECT_THROW(ini.WriteStrings("S", {{"good", "1"}, {"bad=", "2"}}), TException);
    EXPECT_EQ(ReadBytes(m_path), "[S]\nk=v\n");
}

TEST_F(IniFileTest, WriteReplacesTheFileInsteadOfOverwritingIt) {
    WriteBytes(m_path, "[S]\nk=old\n");
    // A reader holding the old file (here: a second link to it) must never
    // see a mixture; the new file arrives as a whole under the name.
    const std::string link = m_dir.File("old-link");
    std::filesystem::create_hard_link(m_path, link);

    TIniFile(m_path).WriteString("S", "k", "new");

    EXPECT_EQ(ReadBytes(link), "[S]\nk=old\n");
    EXPECT_EQ(TIniFile(m_path).ReadString("S", "k", "?"), "new");
    EXPECT_EQ(FolderEntries(m_dir.Path()), (Strings{"Scenemark.ini", "old-link"}));
}

TEST_F(IniFileTest, FullDiskLeavesTheOldFileIntact) {
    const std::string original = "[HotKeys]\r\nActionPlay=Ctrl+5\r\n";
    WriteBytes(m_path, original);
    // A file size limit fails the write part-way like a full disk does, and
    // works for root too (permission bits do not stop root).
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = saved;
    limited.rlim_cur = original.size() + 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    std::string message;
    try {
        TIniFile(m_path).WriteString("HotKeys", "ActionOpen", "Ctrl+O");
    } catch (const TException& error) {
        message = error.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_NE(message.find("Could not write settings file"), std::string::npos) << message;
    EXPECT_NE(message.find(m_path), std::string::npos) << message;
    EXPECT_EQ(ReadBytes(m_path), original);
    EXPECT_EQ(FolderEntries(m_dir.Path()), Strings{"Scenemark.ini"});
}

TEST_F(IniFileTest, WriteFailuresNameTheFileAndDestroyNothing) {
    TIniFile nowhere(m_dir.File("no-such-folder/Scenemark.ini"));
    try {
        nowhere.WriteString("S", "k", "v");
        ADD_FAILURE() << "writing into a missing folder succeeded";
    } catch (const TException& error) {
        EXPECT_NE(std::string(error.what()).find("no-such-folder/Scenemark.ini"), std::string::npos);
    }

    // Something that exists but is not a readable file must not be replaced
    // by a file holding only the new key.
    std::filesystem::create_directory(m_path);
    WriteBytes(m_dir.File("Scenemark.ini/inside"), "x");
    EXPECT_THROW(TIniFile(m_path).WriteString("S", "k", "v"), TException);
    EXPECT_TRUE(std::filesystem::is_directory(m_path));
    EXPECT_EQ(FolderEntries(m_dir.Path()), Strings{"Scenemark.ini"});
}

TEST_F(IniFileTest, RewriteKeepsThePermissionsOfTheFile) {
    WriteBytes(m_path, "[S]\nk=v\n");
    ASSERT_EQ(chmod(m_path.c_str(), 0600), 0);
    TIniFile(m_path).WriteString("S", "k", "w");
    struct stat info {};
    ASSERT_EQ(stat(m_path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

namespace {

std::string Utf16(const std::string& ascii, bool isBigEndian) {
    std::string bytes = isBigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char c : ascii) {
        bytes += isBigEndian ? '\0' : c;
        bytes += isBigEndian ? c : '\0';
    }
    return bytes;
}

} // namespace

// Files written by Windows tools: quotes, UTF-16 and every line-end style
// read as the Windows reader reads them, and a rewrite keeps their form.
TEST_F(IniFileTest, WindowsFilesReadAndRewriteInTheirOwnForm) {
    const struct {
        const char* Name;
        std::string Bytes;
        std::string Rewritten; // after setting [HotKeys] ActionOpen=Ctrl+O
    } cases[] = {
        {"quoted values", "[HotKeys]\r\nActionPlay=\"F5\"\r\n",
         "[HotKeys]\r\nActionPlay=\"F5\"\r\nActionOpen=Ctrl+O\r\n"},
        {"single quotes", "[HotKeys]\nActionPlay= 'F5' \n",
         "[HotKeys]\nActionPlay= 'F5' \nActionOpen=Ctrl+O\n"},
        {"CR only", "[HotKeys]\rActionPlay=F5\r", "[HotKeys]\rActionPlay=F5\rActionOpen=Ctrl+O\r"},
        {"UTF-16 LE", Utf16("[HotKeys]\r\nActionPlay=F5\r\n", false),
         Utf16("[HotKeys]\r\nActionPlay=F5\r\nActionOpen=Ctrl+O\r\n", false)},
        {"UTF-16 BE", Utf16("[HotKeys]\nActionPlay=\"F5\"\n", true),
         Utf16("[HotKeys]\nActionPlay=\"F5\"\nActionOpen=Ctrl+O\n", true)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        WriteBytes(m_path, test.Bytes);
        TIniFile ini(m_path);
        EXPECT_EQ(ini.ReadSections(), Strings{"HotKeys"});
        EXPECT_EQ(ini.ReadString("HotKeys", "ActionPlay", "?"), "F5");
        ini.WriteString("HotKeys", "ActionOpen", "Ctrl+O");
        EXPECT_EQ(ReadBytes(m_path), test.Rewritten);
        EXPECT_EQ(ini.ReadString("HotKeys", "ActionPlay", "?"), "F5");
    }
}

TEST_F(IniFileTest, QuotesOnlyGoWhenTheyEncloseTheValueAndWrittenValuesKeepTheirs) {
    WriteBytes(m_path, "[T]\na=\"/mnt/rec/\"\nb=\"half\nc=\"\"\nd=x\"y\"\n");
    TIniFile ini(m_path);
    EXPECT_EQ(ini.ReadString("T", "a", "?"), "/mnt/rec/");
    EXPECT_EQ(ini.ReadString("T", "b", "?"), "\"half");
    EXPECT_EQ(ini.ReadString("T", "c", "?"), "");
    EXPECT_EQ(ini.ReadString("T", "d", "?"), "x\"y\"");
    for (const std::string value : {"\"quoted\"", "  padded ", "'", "plain"}) {
        ini.WriteString("T", "v", value);
        EXPECT_EQ(ini.ReadString("T", "v", "?"), value);
    }
}
