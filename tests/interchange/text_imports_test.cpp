#include "interchange/text_imports.h"

#include "base/exception.h"
#include "tests/interchange/import_fixture.h"

#include <clocale>

namespace {

using Rows = std::vector<std::string>;

class TextImportTest : public ImportTest {};

TEST_F(TextImportTest, OutputEventsReadPairsUntilTheFirstNonNumber) {
    ImportOutputEvents(WriteFile("o.txt", "0 1\r\n5000 2\n\n  7\t\t3 -4 5 x 6 7\n"), Target());
    EXPECT_EQ(EventRows(), (Rows{"-4|Output||Camera=5", "0|Output||Camera=1", "7|Output||Camera=3",
                                 "5000|Output||Camera=2"}));
    EXPECT_EQ(Project.EventTypes[0].Key, 0);
    EXPECT_EQ(Project.EventTypes[0].Group, -1);
    EXPECT_EQ(Host.EventListRefreshes, 1);
}

TEST_F(TextImportTest, GraphAddsTheOffsetAndWritesCommaDecimals) {
    ImportGraph(
        WriteFile("g.txt",
                  "40 0.5\n80 0.1\n120 -2.5e-1\n160 1e40\n200 7\n2147483647 1\n240 16777217\n300 .\n400 1\n"),
        1000, 2, Target());
    EXPECT_EQ(EventRows(),
              (Rows{"1040|Graph||Color=2 Value=0,5", "1080|Graph||Color=2 Value=0,100000001490116",
                    "1120|Graph||Color=2 Value=-0,25", "1200|Graph||Color=2 Value=7",
                    "1240|Graph||Color=2 Value=16777216"}));
}

struct TObjectsCase {
    const char* Text;
    Rows Expected;
};

class ObjectsTest : public ImportTest, public ::testing::WithParamInterface<TObjectsCase> {};

TEST_P(ObjectsTest, ReadsRegionAndArrowRecords) {
    ImportObjects(WriteFile("obj.txt", GetParam().Text), Target());
    EXPECT_EQ(EventRows(), GetParam().Expected);
    EXPECT_EQ(Host.EventListRefreshes, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ObjectsTest,
    ::testing::Values(
        TObjectsCase{
            "car(120,1,7,10.5,20,0,0,21,40,Anna)\n",
            {"120|car||Camera=1 Object=7 CenterX=10,5 CenterY=20 MinX=0 MinY=0 MaxX=21 MaxY=40 Person=Anna"}},
        TObjectsCase{"hand(200,0,3,1,2,3,4)\r\nhand(100,0,3,1,2,3,4,ignored)",
                     {"100|hand||Camera=0 Object=3 BeginX=1 BeginY=2 EndX=3 EndY=4",
                      "200|hand||Camera=0 Object=3 BeginX=1 BeginY=2 EndX=3 EndY=4"}},
        TObjectsCase{
            "big car( 5, 1, 2,  0.5, 1,2,3,4,5 Bob)tail\nx(1,2,3,4,5,6,7,8)\nx(0,0,0,0,0,0,0)\n",
            {"5|big car||Camera=1 Object=2 CenterX=0,5 CenterY=1 MinX=2 MinY=3 MaxX=4 MaxY=5 Person= Bob"}},
        TObjectsCase{"a(1,0,0,0,0,0,0)\n\na(2,0,0,0,0,0,0)\n",
                     {"1|a||Camera=0 Object=0 BeginX=0 BeginY=0 EndX=0 EndY=0"}},
        TObjectsCase{"a(1 ,0,0,0,0,0,0)\n", {}}, TObjectsCase{"a(1,0,0,0,0,0,0\n", {}},
        TObjectsCase{"no parenthesis\n", {}}));

// Records cut anywhere by block ends (numbers, names, the line end, blanks
// running over a line break) must read as in the whole text, up to the same
// stop.
class ObjectsBlocksTest : public ImportTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ObjectsBlocksTest, ACutAnywhereReadsAsTheWholeText) {
    const std::string text = "car(120,1,7,10.5,20,0,0,21,40,Anna)\r\nhand( 200,0,3,\n 1,2,3,4,x) tail\n"
                             "big car(1234567890,0,0,0,0,0,0,0,0,B)\nc(7,1,2,1e3,2.5E-1,3,4,5,6,Eve)\n"
                             "d(8,0,0,0,0,0,0)\n\nd(9,0,0,0,0,0,0)\n";
    ImportObjectsText(text, Target());
    const Rows whole = EventRows();
    ASSERT_EQ(whole.size(), 5u);
    TProject project;
    TObjectsReader reader(project);
    // The blank line stops reading: later blocks are refused.
    bool isReading = true;
    for (std::size_t at = 0; isReading && at < text.size(); at += GetParam())
        isReading = reader.Feed(std::string_view(text).substr(at, GetParam()));
    reader.Finish();
    Rows cut;
    for (const auto& event : project.Events())
        cut.push_back(EventToRow(*event, project.EventTypes).join(u'|').toStdString());
    EXPECT_EQ(cut, whole);
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, ObjectsBlocksTest, ::testing::Values(1u, 2u, 3u, 7u, 16u, 50u));

TEST_F(TextImportTest, AnObjectsRecordAcrossTheFileReadersBlocksImports) {
    const std::string record = "split(42,1,2,3,4,5,6,7,8,Anna)\n";
    const std::string filler = "f(1,0,0,0,0,0,0)\n";
    std::string text;
    while (text.size() + filler.size() < 131072 - record.size() / 2)
        text += filler;
    text += record;
    ASSERT_LT(text.find("split"), 131072u);
    ASSERT_GT(text.find("Anna"), 131072u);
    ImportObjects(WriteFile("o.txt", text), Target());
    ASSERT_EQ(Project.Events().Count(), text.size() / filler.size());
    EXPECT_EQ(EventRows().back(),
              "42|split||Camera=1 Object=2 CenterX=3 CenterY=4 MinX=5 MinY=6 MaxX=7 MaxY=8 Person=Anna");
}

// Qt sets the process locale from the environment; under a locale with ","
// as decimal separator a locale-bound %f reads 0.5 as 0.
TEST_F(TextImportTest, NumbersReadTheSameUnderAGermanLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/install-deps.sh generates it)";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    ImportGraph(WriteFile("g.txt", "40 0.5\n"), 0, 1, Target());
    ImportObjects(WriteFile("o.txt", "car(1,1,7,10.5,2.25,0,0,21,40,A)\n"), Target());
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(
        EventRows(),
        (Rows{"1|car||Camera=1 Object=7 CenterX=10,5 CenterY=2,25 MinX=0 MinY=0 MaxX=21 MaxY=40 Person=A",
              "40|Graph||Color=1 Value=0,5"}));
}

TEST_F(TextImportTest, AFileThatCannotBeReadCreatesNothing) {
    const std::string missing = Dir.File("missing.txt");
    for (const auto& import : {+[](const std::string&f, const TImportTarget&t) { ImportOutputEvents(f, t); },
                               +[](const std::string&f, const TImportTarget&t) { ImportGraph(f, 0, 0, t); },
                               +[](const std::string&f, const TImportTarget&t) { ImportObjects(f, t); }}) {
        try {
            import(missing, Target());
            ADD_FAILURE() << "a missing file imported";
        } catch (const TException& error) {
            EXPECT_STREQ(error.what(), "Could not open file!");
        }
    }
    EXPECT_EQ(Project.EventTypes.Count(), 0);
}

} // namespace
