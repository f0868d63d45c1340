#include "interchange/prolog_export.h"
#include "interchange/prolog_import.h"

#include "base/exception.h"
#include "tests/interchange/import_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

using Rows = std::vector<std::string>;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct TAtomCase {
    const char* Text;
    bool IsTypeName;
    const char* Atom;
};

class PrologAtomTest : public ::testing::TestWithParam<TAtomCase> {};

TEST_P(PrologAtomTest, KeepsPlainAtomsAndNumbersAndQuotesTheRest) {
    const TAtomCase& c = GetParam();
    if (c.IsTypeName)
        EXPECT_EQ(PrologFactName(QString::fromUtf8(c.Text)).toStdString(), c.Atom);
    else
        EXPECT_EQ(PrologAtom(QString::fromUtf8(c.Text), false).toStdString(), c.Atom);
}

INSTANTIATE_TEST_SUITE_P(Atoms, PrologAtomTest,
                         ::testing::Values(TAtomCase{"Start speaking", true, "event_start_speaking"},
                                           TAtomCase{"Speaker.talking", true, "event_speaker_talking"},
                                           TAtomCase{"Look-away", true, "'event_look-away'"},
                                           TAtomCase{"it's", true, "'event_it\\'s'"},
                                           TAtomCase{"Person", false, "person"},
                                           TAtomCase{"1,5", false, "1.5"}, TAtomCase{"-3", false, "-3"},
                                           TAtomCase{"1200", false, "1200"}, TAtomCase{"", false, "''"},
                                           TAtomCase{"3rd", false, "'3rd'"}, TAtomCase{"50%", false, "'50%'"},
                                           TAtomCase{"a.b", false, "'a.b'"},
                                           TAtomCase{"1.5.2", false, "'1.5.2'"},
                                           TAtomCase{"Big Car (red)", false, "big_car__red_"},
                                           TAtomCase{"back\\slash", false, "'back\\\\slash'"},
                                           TAtomCase{"two\nlines", false, "'two\\nlines'"},
                                           TAtomCase{"\xC3\x9C"
                                                     "ber",
                                                     false,
                                                     "'\xC3\xBC"
                                                     "ber'"},
                                           TAtomCase{"_x", false, "'_x'"}, TAtomCase{"Anna", false, "anna"}));

class PrologTest : public ImportTest {
protected:
    int32_t AddEvent(const char* type, int32_t time, TParameters parameters = {}) {
        const int32_t index = Project.EnsureEventType(QString::fromUtf8(type));
        Project.InsertEvent(std::make_unique<TEvent>(index, time, QString(), std::move(parameters)));
        return index;
    }
    std::string Export() {
        const std::string path = Dir.File("out.pl");
        ExportProlog(path, Project, {5000, 40, {{1, 640, 480}, {3, 320, 240}}});
        return path;
    }
    void Import(const std::string& text) { ImportProlog(WriteFile("in.pl", text), Target()); }
};

TEST_F(PrologTest, ExportsHeaderAndFactsGroupedByTypeWithCrLf) {
    AddEvent(
        "Speaker.talking", 4000,
        {{QStringLiteral("Person"), QStringLiteral("A")}, {QStringLiteral("Score"), QStringLiteral("1,5")}});
    AddEvent("Start speaking", 1200);
    AddEvent("Speaker.talking", 100, {{QStringLiteral("Object"), QString()}});
    Project.EnsureEventType(QStringLiteral("Unused"));
    EXPECT_EQ(ReadAll(Export()), "begin(0).\r\nend(5000).\r\nstep(40).\r\n"
                                 "camera(1, 640, 480).\r\ncamera(3, 320, 240).\r\n"
                                 "event_speaker_talking(100, [(object, '')]).\r\n"
                                 "event_speaker_talking(4000, [(person, a), (score, 1.5)]).\r\n"
                                 "event_start_speaking(1200, []).\r\n");
}

TEST_F(PrologTest, ImportsFactsAsWritten) {
    Import("% a comment\r\nbegin(0).\r\nend(10).\r\ncamera(1, 2, 3).\r\n"
           "event_x(100, [(a, 1.5)]).  % trailing comment (\r\n"
           "event_my type(0, []). EVENT_x(50, [(b, c) junk, (d, e)]).\n"
           "'event_look-away'(7, [('3rd', '50%'), (q, 'it\\'s'), (e, '')]).\n");
    EXPECT_EQ(EventRows(),
              (Rows{"0|mytype||", "7|look-away||3rd=50% q=it's e=", "50|x||b=c d=e", "100|x||a=1,5"}));
    EXPECT_EQ(Host.EventListRefreshes, 1);
}

TEST_F(PrologTest, StopsAtTheFirstMalformedFactKeepingTheEarlierOnes) {
    const std::pair<const char*, const char*> cases[] = {{"event_x(-5, []).", "stops at the sign"},
                                                         {"event_x(5 [])", "no comma"},
                                                         {"event_x(5, ()).", "no list"},
                                                         {"event_x(5, [])!", "no full stop"},
                                                         {"event_x(5, [(a, b)]", "no closing parenthesis"}};
    for (const auto& [bad, why] : cases) {
        Project.ClearEvents();
        Import(std::string("event_x(1, []).\n") + bad + "\nevent_x(9, []).\n");
        EXPECT_EQ(EventRows(), (Rows{"1|x||"})) << why;
    }
    Project.ClearEvents();
    EXPECT_THROW(Import("event_x(1, []). event_x(, [])."), TConvertError);
    EXPECT_THROW(Import("event_x(99999999999, [])."), TConvertError);
    EXPECT_EQ(EventRows(), (Rows{"1|x||"})) << "the events before a conversion error stay";
}

// Read facts go into the project as one batch; the result must be the order
// of inserting one by one.
TEST_F(PrologTest, FactsOutOfOrderAmongExistingEventsLandWhereSingleInsertsWould) {
    AddEvent("pre", 50);
    AddEvent("pre", 5);
    Import(
        "event_a(50, []). event_a(60, []). event_a(10, [(n, 1)]). event_a(70, []). event_a(10, [(n, 2)]).\n");
    EXPECT_EQ(EventRows(),
              (Rows{"5|pre||", "10|a||n=1", "10|a||n=2", "50|pre||", "50|a||", "60|a||", "70|a||"}));
    EXPECT_EQ(Host.EventListRefreshes, 1);
}

TEST_F(PrologTest, AFactSplitAcrossTwoReadBlocksImports) {
    const std::string fact = "event_split(42, [(name, value)]).\n";
    std::string text = "% padding\n" + std::string(131072 - 10 - fact.size() / 2 - 1, ' ') + "\n" + fact;
    ASSERT_LT(text.find("event_split"), 131072u);
    ASSERT_GT(text.find("value"), 131072u);
    Import(text);
    EXPECT_EQ(EventRows(), (Rows{"42|split||name=value"}));
}

TEST_F(PrologTest, RoundTripKeepsTimesParametersAndQuotedAtoms) {
    AddEvent(
        "Look-away", 10,
        {{QStringLiteral("Value"), QStringLiteral("3rd")}, {QStringLiteral("Share"), QStringLiteral("50%")}});
    AddEvent(
        "start_speaking", 20,
        {{QStringLiteral("person"), QStringLiteral("a")}, {QStringLiteral("score"), QStringLiteral("1,5")}});
    const std::string path = Export();
    Project.Reset();
    ImportProlog(path, Target());
    EXPECT_EQ(EventRows(),
              (Rows{"10|look-away||value=3rd share=50%", "20|start_speaking||person=a score=1,5"}));
}

TEST_F(PrologTest, ExportFailureLeavesNoFileBehind) {
    AddEvent("x", 1);
    const std::string missingFolder = Dir.File("none/out.pl");
    try {
        ExportProlog(missingFolder, Project, {});
        ADD_FAILURE() << "exported into a missing folder";
    } catch (const TException& error) {
        EXPECT_STREQ(error.what(), "Could not create file!");
    }
    EXPECT_FALSE(std::filesystem::exists(Dir.File("none")));
}

// SWI-Prolog must consult every file the exporter writes and find its facts.
TEST_F(PrologTest, SwiPrologConsultsTheExportAndFindsTheFacts) {
    if (std::system("swipl --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "swipl is not installed (Debian package swi-prolog-nox)";
    const char* names[] = {"Start speaking",
                           "Look-away",
                           "it's",
                           "3rd",
                           "50% done",
                           "\xC3\x9C"
                           "ber",
                           ""};
    int32_t time = 0;
    for (const char* name : names)
        AddEvent(name, time += 10,
                 {{QString::fromUtf8(name), QString::fromUtf8(name)},
                  {QStringLiteral("Score"), QStringLiteral("1,5")},
                  {QStringLiteral("Odd"), QStringLiteral("a\\b'c\td")}});
    const std::string path = Export();
    // Every fact of every exported name is found, and its list holds the
    // score as the float it was exported as.
    const std::string check = WriteFile("check.pl", R"(
:- initialization(main, main).
main :-
    load_files(')" + path + R"(', [encoding(utf8)]),
    Names = ['event_start_speaking', 'event_look-away', 'event_it\'s', 'event_3rd',
             'event_50%_done', 'event_\xFC\ber', 'event_'],
    findall(N, (member(N, Names), G =.. [N, _, L], call(G), memberchk((score, 1.5), L),
                memberchk((odd, 'a\\b\'c\td'), L)), Found),
    camera(1, 640, 480), step(40), end(5000),
    length(Found, 7).
)");
    const std::string command = "swipl -q --on-warning=status --on-error=status " + check + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadAll(path);
}

} // namespace
