#include "interchange/transcription_import.h"

#include "base/exception.h"
#include "tests/interchange/import_fixture.h"

namespace {

using Rows = std::vector<std::string>;

std::string Trans(const std::string& turns, const std::string& head = "") {
    return "<?xml version=\"1.0\"?>\n" + head + "<Trans><Episode><Section>" + turns +
           "</Section></Episode></Trans>";
}

class TranscriptionTest : public ImportTest {
protected:
    void Import(const std::string& xml, int32_t offset = 0) {
        ImportTranscription(WriteFile("t.xml", xml), offset, Target());
    }
};

struct TChanCase {
    const char* Turn;
    int32_t Offset;
    Rows Expected;
};

class TranscriptionChanTest : public TranscriptionTest, public ::testing::WithParamInterface<TChanCase> {};

TEST_P(TranscriptionChanTest, RecordsSegments) {
    Import(Trans(GetParam().Turn), GetParam().Offset);
    EXPECT_EQ(EventRows(), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    ChannelOnSync, TranscriptionChanTest,
    ::testing::Values(
        TChanCase{"<Turn><Sync time=\"12.345\" chan=\"1\"/>  hello  </Turn>",
                  0,
                  {"12345|Start speaking|hello|Person=B"}},
        TChanCase{"<Turn><Sync time=\"12.345\" chan=\"1\"/>hello</Turn>", -20000, {}},
        TChanCase{"<Turn><Sync time=\"1\" chan=\"0\"/>..<Sync time=\"2\" chan=\"2\"/>GAP(OTHER)</Turn>",
                  0,
                  {"1000|Stop speaking|..|Person=A", "2000|Stop speaking|GAP(OTHER)|Person=C"}},
        TChanCase{"<Turn><Sync time=\"1\" chan=\"0\"/><Sync time=\"2\" chan=\"0\"/></Turn>", 0, {}},
        TChanCase{"<Turn><Sync time=\"1\" chan=\"default\"/>x<Sync time=\"2\" chan=\"one\"/>y"
                  "<Sync chan=\"0\"/>z</Turn>",
                  0,
                  {}},
        TChanCase{"<Turn><Sync time=\"abc\" chan=\"0\"/>zero\n\n  time</Turn>",
                  5,
                  {"5|Start speaking|zero time|Person=A"}},
        TChanCase{"<Turn><Sync time=\"9e9\" chan=\"0\"/>beyond the 32-bit range</Turn>", 0, {}}));

TEST_F(TranscriptionTest, ReadsFilesAsTheTranscriptionToolWritesThem) {
    const std::string latin1 = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                               "<!DOCTYPE Trans SYSTEM \"trans-14.dtd\">\n"
                               "<Trans><Speakers>"
                               "<Speaker id=\"spk1\" name=\"Ren\xE9\"/><Speaker id=\"spk2\"/>"
                               "<Speaker id=\"spk3\" name=\"Zo\xEB\"/></Speakers>"
                               "<Episode><Section type=\"report\">"
                               "<Turn speaker=\"spk1\" startTime=\"0\">\n<Sync time=\"0.5\"/>\n"
                               "<Event desc=\"rire\" type=\"noise\"/>\nbonjour \xE0\n tous\n"
                               "<Sync time=\"1.25\"/>\n<Comment desc=\"x\"/>\n</Turn>"
                               "<Turn speaker=\"spk3 spk1\"><Sync time=\"2\"/>\nboth <Who nb=\"1\"/>at once\n"
                               "</Turn><Turn speaker=\"spk2\"><Sync time=\"3\"/>anonymous</Turn>"
                               "<Turn><Sync time=\"4\"/>nobody</Turn>"
                               "<Turn speaker=\"spk9\"><Sync time=\"5\"/>unlisted</Turn>"
                               "</Section></Episode></Trans>";
    Import(latin1);
    // The blank text after the Turn's last Sync is a pause, as an empty text is.
    EXPECT_EQ(EventRows(), (Rows{"500|Start speaking|bonjour \xC3\xA0 tous|Person=A Speaker=Ren\xC3\xA9",
                                 "1250|Stop speaking||Person=A Speaker=Ren\xC3\xA9",
                                 "2000|Start speaking|both at once|Person=C Speaker=Zo\xC3\xAB",
                                 "3000|Start speaking|anonymous|Person=B", "4000|Start speaking|nobody|",
                                 "5000|Start speaking|unlisted|"}));
}

TEST_F(TranscriptionTest, CreatesTheSpeakingTypesOnceAndRecordsEveryImportAgain) {
    const std::string xml =
        Trans("<Turn><Sync time=\"1\" chan=\"0\"/>a<Sync time=\"2\" chan=\"0\"/>..</Turn>");
    Import(xml);
    Import(xml);
    ASSERT_EQ(Project.EventTypes.Count(), 2);
    EXPECT_EQ(Project.EventTypes[0].Name, u"Start speaking");
    EXPECT_EQ(KeyToText(Project.EventTypes[0].Key), u"F2");
    EXPECT_EQ(KeyToText(Project.EventTypes[1].Key), u"F3");
    ASSERT_EQ(Project.Groups.Count(), 1);
    EXPECT_EQ(Project.Groups[0].Name, u"Speaking");
    EXPECT_EQ(Project.Events().Count(), 4u);
    EXPECT_TRUE(Host.TimelineMatches(Project.Events()));
    EXPECT_EQ(Host.EventListRefreshes, 2) << "one list refresh per import, not per event";
}

TEST_F(TranscriptionTest, RefusesBadDocumentsBeforeRecording) {
    const std::pair<std::string, const char*> cases[] = {
        {"<Trans><Episode>", "Could not open file!"},
        {"", "Could not open file!"},
        {"<?xml version=\"1.0\"?><trans/>", "Document of the wrong type!"},
        {"<!DOCTYPE Trans [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><Trans><Episode><Section><Turn>"
         "<Sync time=\"1\" chan=\"0\"/>&e;</Turn></Section></Episode></Trans>",
         nullptr}};
    for (const auto& [xml, message] : cases) {
        if (message) {
            try {
                Import(xml);
                ADD_FAILURE() << "accepted: " << xml;
            } catch (const TException& error) {
                EXPECT_STREQ(error.what(), message);
            }
        } else {
            Import(xml); // the external entity is never read
            for (const auto& event : Project.Events())
                EXPECT_FALSE(event->Text.contains(u"root:"));
        }
    }
    EXPECT_EQ(Project.EventTypes.Count(), 0);
    EXPECT_THROW(ImportTranscription(Dir.File("missing.xml"), 0, Target()), TException);
}

} // namespace
