#include "platform/replace_file.h"

#include "base/exception.h"
#include "tests/platform/file_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <set>

using Strings = std::vector<std::string>;

class SafeSaveTest : public ::testing::Test {
protected:
    static void WriteHello(const std::string& path) { WriteBytes(path, "hello"); }

    TTempDir m_dir;
    std::string m_target = m_dir.File("project.xml");
};

TEST_F(SafeSaveTest, TempFileNameIsTargetPlusTempAndSixLowerCaseAlphanumerics) {
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i) {
        const std::string name = TempFileName(m_target);
        ASSERT_EQ(name.size(), m_target.size() + 11) << name;
        EXPECT_EQ(name.substr(0, m_target.size() + 5), m_target + ".temp") << name;
        const std::string suffix = name.substr(m_target.size() + 5);
        EXPECT_EQ(suffix.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz"), std::string::npos)
            << name;
        names.insert(name);
    }
    // 50 draws from 36^6 names: a repeat means the generator is not random.
    EXPECT_EQ(names.size(), 50u);
}

TEST_F(SafeSaveTest, ReplacesAnExistingTargetAndLeavesNoTemporaryFile) {
    WriteBytes(m_target, "previous version, longer than the new one");
    std::string usedTemp;
    SafeSave(m_target, [&](const std::string& temp) {
        usedTemp = temp;
        EXPECT_EQ(ReadBytes(m_target), "previous version, longer than the new one");
        WriteHello(temp);
    });
    EXPECT_EQ(ReadBytes(m_target), "hello");
    EXPECT_FALSE(std::filesystem::exists(usedTemp));
    EXPECT_EQ(FolderEntries(m_dir.Path()), Strings{"project.xml"});
}

TEST_F(SafeSaveTest, FailingWriterRemovesItsTemporaryFileAndKeepsItsError) {
    WriteBytes(m_target, "keep");
    try {
        SafeSave(m_target, [](const std::string& temp) {
            WriteBytes(temp, "half a docu");
            throw TException("Could not write document!");
        });
        ADD_FAILURE() << "no exception";
    } catch (const TException& error) {
        EXPECT_STREQ(error.what(), "Could not write document!");
    }
    // Not only our own family: whatever the writer throws passes through.
    EXPECT_THROW(SafeSave(m_target,
                          [](const std::string& temp) {
                              WriteHello(temp);
                              throw std::bad_alloc();
                          }),
                 std::bad_alloc);
    EXPECT_EQ(ReadBytes(m_target), "keep");
    EXPECT_EQ(FolderEntries(m_dir.Path()), Strings{"project.xml"});
}

TEST_F(SafeSaveTest, FailedFinalMoveKeepsTheTemporaryFileAndReportsIt) {
    // A non-empty folder cannot be replaced by a file, whoever we run as.
    std::filesystem::create_directory(m_target);
    WriteBytes(m_target + "/inside", "x");
    std::string usedTemp;
    try {
        SafeSave(m_target, [&](const std::string& temp) {
            usedTemp = temp;
            WriteBytes(temp, "the only copy of the new document");
        });
        ADD_FAILURE() << "no exception";
    } catch (const TException& error) {
        EXPECT_STREQ(error.what(), "Could not move temp file!");
    }
    EXPECT_EQ(ReadBytes(usedTemp), "the only copy of the new document");
    EXPECT_TRUE(std::filesystem::is_directory(m_target));
    EXPECT_EQ(FolderEntries(m_target), Strings{"inside"});
}

TEST_F(SafeSaveTest, WriterThatCreatesNothingIsAFailedMove) {
    WriteBytes(m_target, "keep");
    EXPECT_THROW(SafeSave(m_target, [](const std::string&) {}), TException);
    EXPECT_EQ(ReadBytes(m_target), "keep");
}

TEST_F(SafeSaveTest, ReplaceFileDurablyNamesTheFailingStep) {
    try {
        ReplaceFileDurably(m_dir.File("missing.temp"), m_target);
        ADD_FAILURE() << "no exception";
    } catch (const TException& error) {
        EXPECT_NE(std::string(error.what()).find("missing.temp"), std::string::npos) << error.what();
    }
    EXPECT_FALSE(std::filesystem::exists(m_target));

    const std::string temp = m_dir.File("ready.temp");
    WriteHello(temp);
    ReplaceFileDurably(temp, m_target);
    EXPECT_EQ(ReadBytes(m_target), "hello");
    EXPECT_FALSE(std::filesystem::exists(temp));
}

TEST_F(SafeSaveTest, AFailedFolderFlushAfterTheMoveIsReportedAsSuchNotAsAFailedMove) {
    WriteBytes(m_target, "old");
    try {
        SafeSave(m_target, WriteHello,
                 [](const std::string&) { throw TException("Could not flush folder: EIO"); });
        ADD_FAILURE() << "no exception";
    } catch (const TFolderSyncError& error) {
        EXPECT_NE(std::string(error.what()).find("was saved"), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find("EIO"), std::string::npos) << error.what();
    }
    EXPECT_EQ(ReadBytes(m_target), "hello");
    EXPECT_EQ(FolderEntries(m_dir.Path()), Strings{"project.xml"});
}

// What killed saves of the target left behind goes with the next save; files
// that merely look alike, directories and links stay.
TEST_F(SafeSaveTest, ASaveRemovesTheStaleTemporaryFilesOfItsTargetOnly) {
    const struct {
        const char* Name;
        bool IsRemoved;
    } files[] = {
        {"project.xml.temp0a1b2c", true},      {"project.xml.tempzzzzzz", true},
        {"project.xml.temp0A1B2C", false},     {"project.xml.temp0a1b2", false},
        {"project.xml.temp0a1b2c3", false},    {"project.xml.temp", false},
        {"project.xml.temp0a1b-c", false},     {"project.xml.tmp0a1b2c", false},
        {"other.xml.temp0a1b2c", false},       {"xproject.xml.temp0a1b2c", false},
        {"project.xml.bak.temp0a1b2c", false}, {"project.xml.temp0a1b2c.xml", false},
    };
    for (const auto& file : files)
        WriteBytes(m_dir.File(file.Name), "left behind");
    const std::string directory = m_dir.File("project.xml.tempdir000");
    std::filesystem::create_directory(directory);
    const std::string pointed = m_dir.File("pointed");
    WriteBytes(pointed, "someone else's");
    std::filesystem::create_symlink(pointed, m_dir.File("project.xml.templinkab"));
    std::filesystem::create_directory(m_dir.File("sub"));
    WriteBytes(m_dir.File("sub/project.xml.temp0a1b2c"), "another folder");

    SafeSave(m_target, WriteHello);
    EXPECT_EQ(ReadBytes(m_target), "hello");
    for (const auto& file : files)
        EXPECT_EQ(std::filesystem::exists(m_dir.File(file.Name)), !file.IsRemoved) << file.Name;
    EXPECT_TRUE(std::filesystem::is_directory(directory));
    EXPECT_TRUE(std::filesystem::is_symlink(m_dir.File("project.xml.templinkab")));
    EXPECT_EQ(ReadBytes(pointed), "someone else's");
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("sub/project.xml.temp0a1b2c")));
}
