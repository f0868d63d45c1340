#include "document/settings.h"

#include "media/registry/registry.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

struct TTranslationCase {
    const char* Name;
    TPathTransList Translations;
    std::string Path;
    std::string Expected;
};

void PrintTo(const TTranslationCase& c, std::ostream* out) {
    *out << c.Name;
}

class TranslateMediaPathTest : public ::testing::TestWithParam<TTranslationCase> {};

TEST_P(TranslateMediaPathTest, GivesThePathToOpen) {
    EXPECT_EQ(TranslateMediaPath(GetParam().Translations, GetParam().Path), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TranslateMediaPathTest,
    ::testing::Values(
        TTranslationCase{"WindowsShareKeepsBackslashes",
                         {{"D:\\Recordings\\", "\\\\server\\share\\rec\\"}},
                         "d:\\recordings\\day1\\cam1.avi",
                         "\\\\server\\share\\rec\\day1\\cam1.avi"},
        TTranslationCase{"WindowsDocumentOnLinux",
                         {{"D:\\Recordings\\", "/mnt/rec/"}},
                         "D:\\Recordings\\day1\\cam1.avi",
                         "/mnt/rec/day1/cam1.avi"},
        TTranslationCase{"PrefixWithoutTrailingSeparator",
                         {{"D:\\Recordings", "/mnt/rec"}},
                         "D:\\Recordings\\day1\\cam1.avi",
                         "/mnt/rec/day1/cam1.avi"},
        TTranslationCase{"DriveOnly", {{"e:", "/media/e"}}, "E:\\cam\\1.avi", "/media/e/cam/1.avi"},
        TTranslationCase{"FirstListedMatchWins",
                         {{"D:\\", "/first/"}, {"D:\\Recordings\\", "/second/"}},
                         "D:\\Recordings\\a.avi",
                         "/first/Recordings/a.avi"},
        TTranslationCase{
            "AppliedOnlyOnce", {{"D:\\", "/mnt/"}, {"/mnt/", "/elsewhere/"}}, "D:\\a.avi", "/mnt/a.avi"},
        TTranslationCase{"UntranslatedWindowsPathUnchanged",
                         {{"D:\\Recordings\\", "/mnt/rec/"}},
                         "C:\\Other\\cam1.avi",
                         "C:\\Other\\cam1.avi"},
        TTranslationCase{"PathShorterThanPrefix", {{"D:\\Recordings\\", "/mnt/rec/"}}, "D:\\Rec", "D:\\Rec"},
        TTranslationCase{"PosixToPosixKeepsBackslashesInNames",
                         {{"/old/", "/new/"}},
                         "/OLD/odd\\name.avi",
                         "/new/odd\\name.avi"},
        TTranslationCase{"NonAsciiLettersIgnoreCase",
                         {{"E:\\Aufnahmen\\Über\\", "/srv/über/"}},
                         "e:\\AUFNAHMEN\\über\\Kamera Ä.avi",
                         "/srv/über/Kamera Ä.avi"},
        TTranslationCase{"InvalidUtf8PassesThroughByteForByte",
                         {{"/old/\xff", "/new/"}},
                         "/old/\xff\xfe\xc3.avi",
                         "/new/\xfe\xc3.avi"},
        TTranslationCase{
            "InvalidUtf8MustMatchExactly", {{"/old/\xff", "/new/"}}, "/old/\xfe.avi", "/old/\xfe.avi"},
        TTranslationCase{"NoTranslations", {}, "D:\\a.avi", "D:\\a.avi"}),
    [](const auto& info) { return std::string(info.param.Name); });

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }

    TTempDir m_dir;
    std::string m_path = m_dir.File("Scenemark.ini");
};

TEST_F(SettingsTest, FileNameIsBesideTheExecutable) {
    EXPECT_EQ(SettingsFileName("/opt/scenemark/bin/scenemark"), "/opt/scenemark/bin/Scenemark.ini");
    EXPECT_EQ(SettingsFileName("scenemark"), "Scenemark.ini");
    const std::string own = SettingsFileName();
    EXPECT_EQ(std::filesystem::path(own).filename(), "Scenemark.ini");
    // This test executable's own folder.
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(own).parent_path() / "document_tests"));
}

TEST_F(SettingsTest, TranslationsAreReadInFileOrderWithEmptyReplacements) {
    WriteText(m_path, "[MediaPathTrans]\r\n"
                      "Z:\\last\\ = /z/\r\n"
                      "A:\\first\\=\r\n"
                      "[Other]\r\n"
                      "Q:\\=/q/\r\n");
    const TPathTransList translations = ReadPathTranslations(TIniFile(m_path));
    ASSERT_EQ(translations.size(), 2u);
    EXPECT_EQ(translations[0].Prefix, "Z:\\last\\");
    EXPECT_EQ(translations[0].Replacement, "/z/");
    EXPECT_EQ(translations[1].Prefix, "A:\\first\\");
    EXPECT_EQ(translations[1].Replacement, "");
}

TEST_F(SettingsTest, ReadSettingsReadsTranslationsThenHotKeysThenBackendOrder) {
    WriteText(m_path, "[MediaPathTrans]\r\nD:\\=/d/\r\n"
                      "[HotKeys]\r\nActionPlay=F5\r\n"
                      "[InputDevices]\r\n3=0\r\n");
    TPathTransList translations{{"stale", "entry"}};
    int hotKeyReads = 0;
    ReadSettings(TIniFile(m_path), translations, [&](const TIniFile& settings) {
        ++hotKeyReads;
        EXPECT_EQ(settings.ReadString("HotKeys", "ActionPlay", ""), "F5");
        ASSERT_EQ(translations.size(), 1u) << "translations must be read before the hot keys";
        EXPECT_EQ(translations[0].Prefix, "D:\\");
        EXPECT_EQ(GetBackendPosition(3), 3) << "backend order must be read after the hot keys";
    });
    EXPECT_EQ(hotKeyReads, 1);
    EXPECT_EQ(GetBackendPosition(3), 0);
    EXPECT_EQ(TranslateMediaPath(translations, "d:\\x\\y.avi"), "/d/x/y.avi");
}

TEST_F(SettingsTest, NoSettingsFileMeansNoTranslationAndIdentityOrder) {
    TPathTransList translations{{"stale", "entry"}};
    bool hotKeysAsked = false;
    ReadSettings(TIniFile(m_dir.File("absent.ini")), translations, [&](const TIniFile& settings) {
        hotKeysAsked = true;
        EXPECT_EQ(settings.ReadString("HotKeys", "ActionOpen", "Ctrl+O"), "Ctrl+O");
    });
    EXPECT_TRUE(hotKeysAsked);
    EXPECT_TRUE(translations.empty());
    for (int32_t id = 0; id < 10; ++id)
        EXPECT_EQ(GetBackendPosition(id), id);
    EXPECT_EQ(TranslateMediaPath(translations, "D:\\Recordings\\cam1.avi"), "D:\\Recordings\\cam1.avi");
    // Reading never creates the file.
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("absent.ini")));
}
