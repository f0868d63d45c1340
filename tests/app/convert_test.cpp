// scenemark-convert run as a user's script runs it, on every format.

#include "tests/document/document_fakes.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

struct TRun {
    int Status;
    std::string Output; // stdout and stderr
};

class ConvertTest : public ::testing::Test {
protected:
    TRun Convert(const std::string& arguments) {
        const std::string command = std::string(SCENEMARK_CONVERT) + " " + arguments + " 2>&1";
        TRun run{-1, {}};
        std::FILE* pipe = popen(command.c_str(), "r");
        char buffer[512];
        std::size_t count;
        while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            run.Output.append(buffer, count);
        run.Status = WEXITSTATUS(pclose(pipe));
        return run;
    }
    std::string File(const std::string& name, const std::string& text) {
        WriteText(dir.File(name), text);
        return dir.File(name);
    }
    // The events of a project document, one "time type params" line each.
    std::vector<std::string> Events(const std::string& path) {
        TProject project;
        TTestMedia media;
        const TPathTransList none;
        ReadDocument(path, TReadMode::Open, 0, {project, media, nullptr, none, [&] { project.Reset(); }, {}});
        std::vector<std::string> rows;
        for (const auto& event : project.Events()) {
            const QStringList cells = EventToRow(*event, project.EventTypes);
            rows.push_back((cells[0] + u' ' + cells[1] + u' ' + cells[3]).toStdString());
        }
        return rows;
    }

    TTempDir dir;
};

struct TFormatCase {
    const char* Format;
    const char* Input;
    const char* Options;
    const char* Printed;
    std::vector<std::string> Events;
};

class ConvertFormatTest : public ConvertTest, public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(ConvertFormatTest, ImportsIntoANewProject) {
    const TFormatCase& c = GetParam();
    const std::string output = dir.File("out.xml");
    const TRun run = Convert(std::string("import ") + c.Format + " " + File("in", c.Input) + " " + c.Options +
                             " -o " + output);
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(run.Output.find(c.Printed), std::string::npos) << run.Output;
    EXPECT_EQ(Events(output), c.Events);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertFormatTest,
    ::testing::Values(
        TFormatCase{"transcription",
                    "<Trans><Episode><Section><Turn><Sync time=\"1\" "
                    "chan=\"0\"/>hi</Turn></Section></Episode></Trans>",
                    "--offset 5",
                    "1 events, 1 event types and 1 groups added",
                    {"1005 Start speaking Person=A"}},
        TFormatCase{"annotation",
                    "<annotation><body><track name=\"T\"><el index=\"0\" start=\"2\" end=\"3\">"
                    "<attribute name=\"n\">x</attribute></el></track></body></annotation>",
                    "",
                    "1 events, 1 event types and 1 groups added",
                    {"2000 T.x "}},
        TFormatCase{"prolog", "begin(0).\nevent_a(7, [(k, 1.5)]).\n", "", "1 events", {"7 a k=1,5"}},
        TFormatCase{
            "output-events", "0 1\n40 2\n", "", "2 events", {"0 Output Camera=1", "40 Output Camera=2"}},
        TFormatCase{
            "graph", "10 0.25\n", "--offset 100 --color 3", "1 events", {"110 Graph Color=3 Value=0,25"}},
        TFormatCase{"objects",
                    "hand(200,0,3,1,2,3,4)\n",
                    "",
                    "1 events",
                    {"200 hand Camera=0 Object=3 BeginX=1 BeginY=2 EndX=3 EndY=4"}}));

TEST_F(ConvertTest, ImportsIntoACopyOfAProjectAndExportsItsMediaAsCameras) {
    WriteBMPSequence(dir.File("cam"), 50);
    const std::string project = File(
        "p.xml", "<?xml version=\"1.0\"?><AVEvents><EventTypes><Type><ID>0</ID><Name>Old</Name></Type>"
                 "</EventTypes><File><Source Camera=\"2\">cam0000.bmp</Source><Source Camera=\"4\">gone.bmp"
                 "</Source><Event><ID>0</ID><Time>3</Time></Event></File></AVEvents>");
    const std::string copy = dir.File("copy.xml");
    TRun run =
        Convert("import output-events " + File("o.txt", "1 2\n") + " --into " + project + " -o " + copy);
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_EQ(Events(copy), (std::vector<std::string>{"1 Output Camera=2", "3 Old "}));

    const std::string facts = dir.File("out.pl");
    run = Convert("export prolog " + copy + " -o " + facts);
    ASSERT_EQ(run.Status, 0) << run.Output;
    EXPECT_NE(run.Output.find("gone.bmp"), std::string::npos) << "the medium that did not open is reported";
    EXPECT_EQ(ReadText(facts), "begin(0).\r\nend(2000).\r\nstep(40).\r\ncamera(2, 16, 16).\r\n"
                               "event_old(3, []).\r\nevent_output(1, [(camera, 2)]).\r\n");
}

TEST_F(ConvertTest, FailuresPrintTheEditorsMessageAndWriteNothing) {
    const std::string output = dir.File("out.xml");
    const std::pair<std::string, std::string> cases[] = {
        {"import graph " + dir.File("missing.txt"), "Could not open file!"},
        {"import transcription " + File("t.xml", "<trans/>"), "Document of the wrong type!"},
        {"import annotation " + File("a.anvil",
                                     "<annotation><body><track name=\"T\"><el index=\"0\" start=\"x\" "
                                     "end=\"1\"><attribute name=\"n\">a</attribute></el></track></body>"
                                     "</annotation>"),
         "'x' is not a valid number!"}};
    for (const auto& [arguments, message] : cases) {
        const TRun run = Convert(arguments + " -o " + output);
        EXPECT_EQ(run.Status, 1) << arguments;
        EXPECT_NE(run.Output.find(message), std::string::npos) << run.Output;
        EXPECT_FALSE(std::filesystem::exists(output)) << arguments;
    }
    EXPECT_EQ(Convert("import nothing in -o " + output).Status, 2);
    EXPECT_EQ(Convert("export prolog in.xml").Status, 2);
}

} // namespace
