#include "document/project_document.h"
#include "document/xml_support.h"

#include "base/exception.h"
#include "platform/replace_file.h"
#include "tests/document/document_fakes.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

std::unique_ptr<TEvent> MakeEvent(int32_t type, int32_t time, const QString& text,
                                  TParameters parameters = {}) {
    return std::make_unique<TEvent>(type, time, text, parameters);
}

} // namespace

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override { ResetBackendOrder(); }

    TDocumentReadContext Context() {
        return {project,
                media,
                &layout,
                translations,
                [this] {
                    project.Reset();
                    media.Opened.clear();
                    ++resets;
                },
                [this](const std::string& message) { messages.push_back(message); }};
    }
    void Save(const std::string& path) { WriteDocument(path, {project, media, layout}); }
    void Open(const std::string& path) { ReadDocument(path, TReadMode::Open, 0, Context()); }
    void Import(const std::string& path, int32_t offset) {
        ReadDocument(path, TReadMode::Import, offset, Context());
    }
    // A one-frame BMP "video" (25 frames per second).
    std::string MakeMedium(const std::string& name) {
        std::filesystem::create_directories(std::filesystem::path(dir.File(name)).parent_path());
        WriteBytes(dir.File(name),
                   MakeBMPBytes(4, 2, 32, [](int32_t x, int32_t y) { return FramePixel(0, x, y); }));
        return dir.File(name);
    }
    std::string Document(const std::string& name, const std::string& body) {
        WriteText(dir.File(name), "<?xml version=\"1.0\"?>\n<AVEvents>" + body + "</AVEvents>\n");
        return dir.File(name);
    }
    // The project as text, to compare whole projects.
    std::string Dump() const {
        std::string text = "unit " + std::to_string(static_cast<int>(project.TimeFormat)) + "\n";
        for (const auto& group : project.Groups)
            text += "group " + group.Name.toStdString() + "|" + group.Meaning.toStdString() + "|" +
                    std::to_string(group.Enabled) + "\n";
        for (const auto& type : project.EventTypes) {
            text += "type " + type.Name.toStdString() + "|" + std::to_string(type.Key) + "|" +
                    std::to_string(type.Group) + "|" + std::to_string(type.GroupIndex) + "|" +
                    std::to_string(type.Offset) + "|" + std::to_string(type.CheckEndPoints) + "|" +
                    type.Parameters.ParametersToText().toStdString() + "\n";
            for (const auto& key : type.SecondaryKeys)
                text += "  key " + std::to_string(key.Key) + "|" + std::to_string(key.Offset) + "|" +
                        key.Parameters.ParametersToText().toStdString() + "\n";
        }
        for (const auto& event : project.Events()) {
            text += "event " + std::to_string(event->EventType) + "|" + std::to_string(event->Time) + "|" +
                    event->Text.toStdString() + "|";
            for (const auto& parameter : event->Parameters)
                text += "[" + parameter.Name.toStdString() + "=" + parameter.Value.toStdString() + "]";
            text += "\n";
        }
        for (const auto& title : project.Titles)
            text += "title " + std::to_string(title->Time) + "|" + title->Text.toStdString() + "\n";
        for (const auto& medium : media.Opened)
            text += "medium " + medium.FileName + "|" + std::to_string(medium.Camera) + "|" +
                    std::to_string(medium.Offset) + "\n";
        return text;
    }

    void FillProject() {
        project.AddGroup({QStringLiteral("Speech"), QStringLiteral("Simple events"), false});
        project.AddGroup({QStringLiteral("Gaze"), QString(), true});
        TEventType face(QStringLiteral("Face"));
        face.Key = TextToKey(QStringLiteral("Ctrl+F"));
        face.Group = 1;
        face.GroupIndex = 50;
        face.Offset = -120;
        face.CheckEndPoints = true;
        face.Parameters = {{"Camera", "1"}, {"Width", "64"}};
        face.SecondaryKeys.push_back({TextToKey(QStringLiteral("Shift+G")), 40, {{"Person", "Ann"}}});
        face.SecondaryKeys.push_back({0, 0, {}});
        project.AddEventType(face);
        TEventType talk(QStringLiteral("Talk"));
        talk.Group = 0;
        talk.GroupIndex = 3;
        project.AddEventType(talk);
        project.InsertEvent(
            MakeEvent(0, 1000, QStringLiteral("a & b < c"), {{"Camera", "1"}, {"MinX", "1,5"}}));
        project.InsertEvent(MakeEvent(1, 1000, QStringLiteral("  leading"), {}));
        project.InsertEvent(MakeEvent(0, -40, QString::fromUtf8("Grüße\r\nzwei"), {{"Note", ""}}));
        project.InsertTitle(std::make_unique<TTitle>(QStringLiteral("<title> & more "), 500));
        project.InsertTitle(std::make_unique<TTitle>(QString(), 500));
    }

    TTempDir dir;
    TProject project;
    TTestMedia media;
    TTestLayout layout;
    TPathTransList translations;
    std::vector<std::string> messages;
    int resets = 0;
};

TEST_F(DocumentTest, EverythingSurvivesSaveAndOpen) {
    FillProject();
    project.SetTimeFormat(TTimeFormat::Frames);
    ASSERT_EQ(media.AddMedium(MakeMedium("project/cam/one.bmp")), 0);
    ASSERT_EQ(media.AddMedium(MakeMedium("elsewhere/two.bmp")), 1);
    media.SetCamera(0, 2);
    media.SetOffset(1, -500);
    layout.Panels = {{TLayoutPanel::Events, false}, {TLayoutPanel::Titles, true}};
    layout.Columns = {{{TLayoutPanel::Events, 3}, 200}, {{TLayoutPanel::Titles, 1}, 90}};
    layout.MediaWindows = {{{true, 1, 2, 300, 200}, 3}, {{false, -5, 6, 7, 8}, 0}};
    layout.Windows = {{TToolWindow::TimeLine, {true, 10, 20, 600, 300}},
                      {TToolWindow::EventsGroups, {true, 5, 6, 0, 0}}};
    const std::string before = Dump();
    const TTestLayout saved = layout;
    const std::string path = dir.File("project/p.xml");
    Save(path);
    EXPECT_NE(ReadText(path).find("<Source Camera=\"2\">cam/one.bmp</Source>"), std::string::npos);

    layout = TTestLayout();
    layout.MediaWindows.resize(2);
    Open(path);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(Dump(), before);
    EXPECT_EQ(layout.Panels, saved.Panels);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(layout.ColumnWidth(TLayoutPanel::Events, column),
                  saved.ColumnWidth(TLayoutPanel::Events, column));
    EXPECT_EQ(layout.ColumnWidth(TLayoutPanel::Titles, 1), 90);
    EXPECT_EQ(layout.MediaWindows[0].Frame.Width, 300);
    EXPECT_EQ(layout.MediaWindows[0].Size, 3);
    EXPECT_EQ(layout.MediaWindows[1].Frame.Left, -5);
    EXPECT_FALSE(layout.MediaWindows[1].Frame.Visible);
    EXPECT_EQ(layout.Windows[TToolWindow::TimeLine].Height, 300);
    // Windows that are only moved do not get a size.
    EXPECT_EQ(layout.Windows[TToolWindow::EventsGroups].Left, 5);
    EXPECT_TRUE(messages.empty());
}

TEST_F(DocumentTest, WrittenLayoutIsIndentedByTwoSpacesWithoutEncoding) {
    project.AddEventType(TEventType(QStringLiteral("T")));
    project.InsertEvent(MakeEvent(0, 7, QStringLiteral("x"), {{"A", "1"}, {"my name", ""}}));
    Save(dir.File("p.xml"));
    const std::string text = ReadText(dir.File("p.xml"));
    EXPECT_EQ(text.substr(0, 22), "<?xml version=\"1.0\"?>\n");
    const std::string expected = "    <Event>\n"
                                 "      <ID>0</ID>\n"
                                 "      <Time>7</Time>\n"
                                 "      <Text>x</Text>\n"
                                 "      <Parameters A=\"1\">\n"
                                 "        <Parameter Name=\"my name\" Value=\"\"/>\n"
                                 "      </Parameters>\n"
                                 "    </Event>\n";
    EXPECT_NE(text.find(expected), std::string::npos) << text;
    EXPECT_NE(text.find("    <TimeFormat>Milliseconds</TimeFormat>\n"), std::string::npos);
}

TEST_F(DocumentTest, EveryParameterListSurvives) {
    project.AddEventType(TEventType(QStringLiteral("T")));
    const std::vector<TParameters> lists = {
        {{"Camera", "1"}, {"Camera", "2"}, {"camera", "3"}},
        {{"my name", "x"}, {"1x", "y"}, {"ok", ""}, {"", "empty name"}},
        {{"xmlns", "a"}, {"a:b", "c"}, {"Value", " spaced  "}, {"Name", "\n\t"}},
        {{"Parameter", "p"}, {"Ünïcode", "ß"}, {"ok", "1"}, {"ok", "1"}},
    };
    for (std::size_t i = 0; i < lists.size(); ++i)
        project.InsertEvent(MakeEvent(0, static_cast<int32_t>(i), QString(), lists[i]));
    project.EditEventType(0, [&](TEventType& edited) { edited.Parameters = lists[1]; });
    project.EditEventType(0, [&](TEventType& edited) { edited.SecondaryKeys.push_back({0, 0, lists[0]}); });
    const std::string before = Dump();
    Save(dir.File("p.xml"));
    Open(dir.File("p.xml"));
    EXPECT_EQ(Dump(), before);
}

TEST_F(DocumentTest, CharactersXmlCannotHoldAreReplacedSoTheDocumentStillOpens) {
    project.AddEventType(TEventType(QStringLiteral("T")));
    project.InsertEvent(MakeEvent(0, 1, QStringLiteral("bell\x07") + QChar(0xD800), {{"K", "\x01"}}));
    Save(dir.File("p.xml"));
    Open(dir.File("p.xml"));
    ASSERT_EQ(project.Events().Count(), 1u);
    EXPECT_EQ(project.Events()[0]->Text, QStringLiteral("bell\uFFFD\uFFFD"));
    EXPECT_EQ(project.Events()[0]->Parameters[0].Value, QStringLiteral("\uFFFD"));
}

TEST_F(DocumentTest, OlderFormGroupsAndTypes) {
    Open(Document("old.xml", "<Groups><Name ID=\"4\" Enabled=\"1\">Speech</Name><Name>NoId</Name>"
                             "<Name ID=\"x\">Bad</Name><Name ID=\"5\">Off</Name></Groups>"
                             "<Events><Name ID=\"1\" Key=\"F2\" Group=\"4\" GroupIndex=\"7\">Talk</Name>"
                             "<Name ID=\"2\" Group=\"5\">NoColour</Name>"
                             "<Name ID=\"3\" Group=\"9\" GroupIndex=\"1\">Orphan</Name></Events>"
                             "<File><Event><ID>3</ID><Time>5</Time></Event></File>"));
    ASSERT_EQ(project.Groups.Count(), 3);
    EXPECT_EQ(project.Groups[0].Name, QStringLiteral("Speech"));
    EXPECT_EQ(project.Groups[0].Meaning, QStringLiteral("State"));
    EXPECT_TRUE(project.Groups[0].Enabled);
    EXPECT_FALSE(project.Groups[1].Enabled);
    EXPECT_EQ(project.Groups[2].Name, QStringLiteral("Group 9"));
    ASSERT_EQ(project.EventTypes.Count(), 3);
    EXPECT_EQ(KeyToText(project.EventTypes[0].Key), QStringLiteral("F2"));
    EXPECT_EQ(project.EventTypes[0].Group, 0);
    EXPECT_EQ(project.EventTypes[0].GroupIndex, 7);
    EXPECT_EQ(project.EventTypes[1].Group, -1); // a group without colour code is dropped
    EXPECT_EQ(project.EventTypes[2].Group, 2);
    ASSERT_EQ(project.Events().Count(), 1u);
    EXPECT_EQ(project.Events()[0]->EventType, 2);
}

TEST_F(DocumentTest, TypeAndGroupRules) {
    Open(Document("t.xml",
                  "<EventGroups><Group><ID>0</ID><Name>A</Name></Group>"
                  "<Group><ID>1</ID><Name>B</Name><Meaning></Meaning><Enabled>1</Enabled></Group>"
                  "<Group><ID>2</ID><Name>A</Name></Group></EventGroups>"
                  "<EventTypes>"
                  "<Type><ID>10</ID><Name>Talk</Name><Key>F2</Key><Group>7</Group></Type>"
                  "<Type><ID>11</ID><Name>TALK</Name><Key>F3</Key></Type>"
                  "<Type><ID>12</ID><Name>Other</Name><Group>7</Group><GroupIndex>4</GroupIndex></Type>"
                  "<Type><ID>13</ID><Name>Lone</Name><GroupIndex>4</GroupIndex>"
                  "<Secondary><Offset>3</Offset></Secondary><Secondary><Key>F9</Key></Secondary></Type>"
                  "<Type><ID>14</ID><Name>Bad</Name><Group>2</Group><GroupIndex>x</GroupIndex></Type>"
                  "</EventTypes><File>"
                  "<Event><ID>11</ID><Time>1</Time><Text>second spelling</Text></Event>"
                  "<Event><ID>99</ID><Time>2</Time></Event>"
                  "<Event><ID>99</ID></Event>"
                  "<Event><ID>10</ID><Time>3</Time><Parameters Camera=\"1\"><Person>Ann</Person>"
                  "<Empty></Empty></Parameters></Event>"
                  "<Event><ID>10</ID><Time>x</Time></Event></File>"));
    // Groups named alike are one group; a missing meaning reads "State".
    ASSERT_EQ(project.Groups.Count(), 3);
    EXPECT_EQ(project.Groups[0].Meaning, QStringLiteral("State"));
    EXPECT_FALSE(project.Groups[0].Enabled);
    EXPECT_EQ(project.Groups[1].Meaning, QString());
    EXPECT_EQ(project.Groups[2].Name, QStringLiteral("Group 7"));
    EXPECT_TRUE(project.Groups[2].Enabled);
    ASSERT_EQ(project.EventTypes.Count(), 4);
    EXPECT_EQ(KeyToText(project.EventTypes[0].Key), QStringLiteral("F2"));
    EXPECT_EQ(project.EventTypes[0].Group, 2);
    EXPECT_EQ(project.EventTypes[0].GroupIndex, -1);
    EXPECT_EQ(project.EventTypes[1].Group, 2); // the second type of the missing ID joins its group
    EXPECT_EQ(project.EventTypes[2].Group, -1);
    ASSERT_EQ(project.EventTypes[2].SecondaryKeys.size(), 1u);
    EXPECT_EQ(project.EventTypes[3].Group, -1);
    EXPECT_EQ(project.EventTypes[3].GroupIndex, -1);
    // One message per event of an unknown type; the reading went on.
    EXPECT_EQ(messages, std::vector<std::string>{"Event type not found!"});
    ASSERT_EQ(project.Events().Count(), 2u);
    EXPECT_EQ(project.Events()[0]->EventType, 0);
    EXPECT_EQ(project.Events()[1]->Parameters.ParametersToText(), QStringLiteral("Camera=1 Person=Ann"));
}

TEST_F(DocumentTest, ImportKeepsExistingTypesAndConvertsUnits) {
    TEventType talk(QStringLiteral("talk"));
    talk.Key = TextToKey(QStringLiteral("F5"));
    project.AddEventType(talk);
    project.SetTimeFormat(TTimeFormat::Frames);
    media.AddMedium(MakeMedium("cam.bmp"));
    const std::string path =
        Document("i.xml", "<EventTypes><Type><ID>0</ID><Name>Talk</Name><Key>F2</Key></Type>"
                          "</EventTypes><File><TimeFormat>Milliseconds</TimeFormat>"
                          "<Event><ID>0</ID><Time>1000</Time></Event>"
                          "<Title><Time>1000</Time><Text>t</Text></Title></File>");
    Import(path, 0);
    Import(path, 10);
    EXPECT_EQ(project.EventTypes.Count(), 1);
    EXPECT_EQ(KeyToText(project.EventTypes[0].Key), QStringLiteral("F5"));
    ASSERT_EQ(project.Events().Count(), 2u);
    EXPECT_EQ(project.Events()[0]->Time, 25);
    EXPECT_EQ(project.Events()[1]->Time, 35);
    EXPECT_EQ(project.Titles[1]->Time, 35);
    EXPECT_EQ(project.TimeFormat, TTimeFormat::Frames);
    EXPECT_EQ(media.MediaCount(), 1);
    EXPECT_EQ(resets, 0);

    Open(path);
    EXPECT_EQ(project.TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_EQ(project.Events()[0]->Time, 1000);
}

TEST_F(DocumentTest, ImportWithoutMediaKeepsTheMeaningOfExistingTimes) {
    const std::string path =
        Document("f.xml", "<EventTypes><Type><ID>0</ID><Name>T</Name></Type></EventTypes>"
                          "<File><TimeFormat>Frames</TimeFormat>"
                          "<Event><ID>0</ID><Time>25</Time></Event></File>");
    Import(path, 0); // an empty project takes the document's unit
    EXPECT_EQ(project.TimeFormat, TTimeFormat::Frames);
    EXPECT_EQ(project.Events()[0]->Time, 25);

    project.Reset();
    project.AddEventType(TEventType(QStringLiteral("T")));
    project.InsertEvent(MakeEvent(0, 5000, QString()));
    Import(path, 0);
    EXPECT_EQ(project.TimeFormat, TTimeFormat::Milliseconds);
    EXPECT_EQ(project.Events()[0]->Time, 1000); // 25 frames of 40 ms
}

TEST_F(DocumentTest, SourcesAreResolvedBeforeTranslation) {
    MakeMedium("docs/clips/a.bmp");
    translations = {{"D:\\rec\\", dir.File("docs/clips/")}};
    Open(Document("docs/p.xml", "<File><Source Camera=\"x\" Offset=\"250\">clips\\a.bmp</Source>"
                                "<Source>D:\\rec\\a.bmp</Source><Source>missing.bmp</Source></File>"));
    ASSERT_EQ(media.Asked.size(), 3u);
    EXPECT_EQ(media.Asked[0], dir.File("docs/clips/a.bmp"));
    EXPECT_EQ(media.Asked[1], dir.File("docs/clips/a.bmp"));
    EXPECT_EQ(media.Asked[2], dir.File("docs/missing.bmp"));
    ASSERT_EQ(media.MediaCount(), 2);
    EXPECT_EQ(media.Opened[0].Camera, -1);
    EXPECT_EQ(media.Opened[0].Offset, 250);
}

TEST_F(DocumentTest, MediaOutsideTheDocumentFolderStayAbsolute) {
    // Letter case matters on Linux: "Project" is not the document's folder.
    media.AddMedium(MakeMedium("Project/a.bmp"));
    media.AddMedium(MakeMedium("project2/b.bmp"));
    std::filesystem::create_directories(dir.File("project"));
    Save(dir.File("project/p.xml"));
    const std::string text = ReadText(dir.File("project/p.xml"));
    EXPECT_NE(text.find("<Source>" + dir.File("Project/a.bmp") + "</Source>"), std::string::npos);
    EXPECT_NE(text.find("<Source>" + dir.File("project2/b.bmp") + "</Source>"), std::string::npos);
}

TEST_F(DocumentTest, EditorSectionStopsAtItsFirstBadValue) {
    layout.MediaWindows.resize(1);
    Open(Document("e.xml",
                  "<File><Source>" + MakeMedium("a.bmp") +
                      "</Source></File><Editor>"
                      "<Events><Visible>0</Visible><Columns><time>70</time><Unknown>x</Unknown>"
                      "<Event></Event><Text>wide</Text><Parameters>99</Parameters></Columns></Events>"
                      "<Titles><Visible>1</Visible></Titles><Windows><Media0><Width>5</Width></Media0>"
                      "</Windows></Editor>"));
    EXPECT_EQ(layout.Calls, (std::vector<std::tuple<int, int, int>>{{0, 0, 0}, {1, 0, 70}}));

    layout = TTestLayout();
    layout.MediaWindows.resize(1);
    Open(Document("w.xml", "<File><Source>" + MakeMedium("a.bmp") +
                               "</Source></File><Editor><Windows>"
                               "<Media5><Left>1</Left></Media5><Media0><Size>9</Size><Top>-3</Top></Media0>"
                               "<Graph><Visible>1</Visible><Width>40</Width></Graph>"
                               "<Output><Left></Left><Top>4</Top></Output></Windows></Editor>"));
    EXPECT_EQ(layout.MediaWindows[0].Size, 3);
    EXPECT_EQ(layout.MediaWindows[0].Frame.Top, -3);
    EXPECT_EQ(layout.Windows.count(TToolWindow::Graph), 0u); // Output comes first and stops it
}

TEST_F(DocumentTest, AFailedReadLeavesTheProjectAsItWas) {
    FillProject();
    media.AddMedium(MakeMedium("cam.bmp"));
    Save(dir.File("good.xml"));
    const std::string before = Dump();
    const std::string good = ReadText(dir.File("good.xml"));
    WriteText(dir.File("empty.xml"), "");
    WriteText(dir.File("truncated.xml"), good.substr(0, good.size() / 2));
    WriteText(dir.File("foreign.xml"), "<?xml version=\"1.0\"?><Trans><a/></Trans>");
    WriteText(dir.File("junk.xml"), "not xml at all");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"missing.xml", "Could not open file!"},        {"empty.xml", "Could not open file!"},
        {"truncated.xml", "Could not open file!"},      {"junk.xml", "Could not open file!"},
        {"foreign.xml", "Document of the wrong type!"},
    };
    for (const auto& [name, message] : cases) {
        for (const TReadMode mode : {TReadMode::Open, TReadMode::Import}) {
            try {
                ReadDocument(dir.File(name), mode, 0, Context());
                ADD_FAILURE() << name << " was read";
            } catch (const TException& error) {
                EXPECT_EQ(std::string(error.Message()), message) << name;
            }
            EXPECT_EQ(Dump(), before) << name;
        }
    }
    EXPECT_EQ(resets, 0);
}

TEST_F(DocumentTest, SavingOverADocumentKeepsItWhenWritingFails) {
    FillProject();
    const std::string target = dir.File("p.xml");
    SafeSave(target, [this](const std::string& temp) { Save(temp); });
    const std::string saved = ReadText(target);
    // A media set that fails stands for any failure while writing.
    class TFailingMedia : public TTestMedia {
        std::vector<TDocumentMedium> Media() const override {
            throw TException("Could not write xml document!");
        }
    } failing;
    EXPECT_THROW(SafeSave(target,
                          [&](const std::string& temp) {
                              WriteDocument(temp, {project, failing, layout});
                          }),
                 TException);
    EXPECT_EQ(ReadText(target), saved);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST_F(DocumentTest, HostileDocumentsAreContained) {
    WriteText(dir.File("secret.txt"), "SECRET");
    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE AVEvents [<!ENTITY x SYSTEM \"" + dir.File("secret.txt") +
        "\"><!ENTITY who \"Ann &amp; Bob\">]><AVEvents>"
        "<EventTypes><Type><ID>0</ID><Name>&who;</Name></Type></EventTypes><File>"
        "<Event><ID>0</ID><Time>1</Time><Text>[&x;] &who;</Text></Event></File></AVEvents>";
    WriteText(dir.File("xxe.xml"), external);
    Open(dir.File("xxe.xml"));
    ASSERT_EQ(project.Events().Count(), 1u);
    EXPECT_EQ(project.Events()[0]->Text, QStringLiteral("[] Ann & Bob"));
    EXPECT_EQ(project.EventTypes[0].Name, QStringLiteral("Ann & Bob"));

    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE AVEvents [<!ENTITY l0 \"ha\">";
    for (int level = 1; level < 12; ++level) {
        laughs += "<!ENTITY l" + std::to_string(level) + " \"";
        for (int copy = 0; copy < 10; ++copy)
            laughs += "&l" + std::to_string(level - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><AVEvents><File><Title><Time>0</Time><Text>&l11;</Text></Title></File></AVEvents>";
    WriteText(dir.File("laughs.xml"), laughs);
    EXPECT_THROW(Open(dir.File("laughs.xml")), TException);
}

namespace {

std::string AttributeList(std::size_t count, const std::string& quote) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i)
        list += " p" + std::to_string(i) + "=" + quote + "1" + quote;
    return list;
}

} // namespace

TEST_F(DocumentTest, EntityTextIsBoundedOverTheWholeDocument) {
    // 100 kB per reference of b: small files that would expand far beyond
    // what any document may hold.
    const std::string declarations = "<!DOCTYPE AVEvents [<!ENTITY a \"" + std::string(10'000, 'a') +
                                     "\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>";
    std::string tenB;
    for (int i = 0; i < 10; ++i)
        tenB += "&b;";
    std::string texts;
    std::string attributes;
    for (int i = 0; i < 200; ++i) {
        texts += "<Event><ID>0</ID><Time>1</Time><Text>" + tenB + "</Text></Event>";
        attributes += "<Event><ID>0</ID><Time>1</Time><Parameters p=\"" + tenB + "\"/></Event>";
    }
    const struct {
        const char* Name;
        std::string Events;
        bool Opens;
    } cases[] = {
        {"moderate use", "<Event><ID>0</ID><Time>1</Time><Text>&b;</Text></Event>", true},
        {"many texts", texts, false},
        {"many attributes", attributes, false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        project.Reset();
        WriteText(dir.File("e.xml"), "<?xml version=\"1.0\"?>" + declarations +
                                         "<AVEvents><EventTypes><Type><ID>0</ID><Name>T</Name></Type>"
                                         "</EventTypes><File>" +
                                         test.Events + "</File></AVEvents>");
        if (test.Opens) {
            Open(dir.File("e.xml"));
            ASSERT_EQ(project.Events().Count(), 1u);
            EXPECT_EQ(project.Events()[0]->Text.size(), 100'000);
            continue;
        }
        try {
            Open(dir.File("e.xml"));
            ADD_FAILURE() << "opened";
        } catch (const TException& error) {
            EXPECT_STREQ(error.what(), "Could not open file!");
        }
        EXPECT_EQ(project.Events().Count(), 0u);
    }
}

TEST_F(DocumentTest, ElementsWithTooManyAttributesAreRefused) {
    const std::string type = "<EventTypes><Type><ID>0</ID><Name>T</Name></Type></EventTypes>";
    const std::string over = AttributeList(MaxAttributesPerElement + 1, "'");
    const struct {
        const char* Name;
        std::string Prologue;
        std::string Parameters;
        bool Opens;
    } cases[] = {
        {"at the limit", "", "<Parameters" + AttributeList(MaxAttributesPerElement, "\"") + "/>", true},
        {"one over", "", "<Parameters" + over + "/>", false},
        {"behind quoted '>' and a comment", "<!-- a=\" -->", "<Parameters q=\">\"" + over + "/>", false},
        {"inside an entity", "<!DOCTYPE AVEvents [<!ENTITY p \"<Parameters" + over + "/>\">]>", "&p;", false},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        WriteText(dir.File("a.xml"), "<?xml version=\"1.0\"?>" + test.Prologue + "<AVEvents>" + type +
                                         "<File><Event><ID>0</ID><Time>1</Time>" + test.Parameters +
                                         "</Event></File></AVEvents>");
        if (test.Opens) {
            Open(dir.File("a.xml"));
            ASSERT_EQ(project.Events().Count(), 1u);
            EXPECT_EQ(project.Events()[0]->Parameters.Count(), MaxAttributesPerElement);
        } else {
            EXPECT_THROW(Open(dir.File("a.xml")), TException);
        }
    }
}

// Whatever is saved opens again; what could not is refused and the document
// on disk stays as it was.
TEST_F(DocumentTest, SavesRoundTripAtTheReadersLimitsAndRefuseBeyond) {
    const auto textOf = [](qsizetype count, char16_t c) { return QString(count, QChar(c)); };
    TParameters manyNames;
    for (std::size_t i = 0; i <= MaxAttributesPerElement; ++i)
        manyNames.AddParameter({"p" + QString::number(i), "1"});
    const struct {
        const char* Name;
        QString Text;
        TParameters Parameters;
        bool Saves;
    } cases[] = {
        {"text at the limit", textOf(MaxTextBytes, u'a'), {}, true},
        {"text one over", textOf(MaxTextBytes + 1, u'a'), {}, false},
        {"escaped text at the limit", textOf(MaxWrittenTextBytes / 5 - 10, u'&'), {}, true},
        {"escaped text over", textOf(MaxWrittenTextBytes / 5 + 10, u'&'), {}, false},
        {"long parameter name", {}, {{textOf(60'000, u'n'), "1"}, {"after", "2"}}, true},
        {"long parameter value", {}, {{"v", textOf(MaxStartTagBytes - 100, u'v')}, {"w", "x"}}, true},
        {"parameter value over", {}, {{"v", textOf(MaxStartTagBytes, u'v')}}, false},
        {"more parameters than attributes", {}, manyNames, true},
    };
    const std::string target = dir.File("p.xml");
    for (const auto& test : cases) {
        SCOPED_TRACE(test.Name);
        project.Reset();
        project.AddEventType(TEventType(QStringLiteral("T")));
        WriteText(target, "old");
        project.InsertEvent(MakeEvent(0, 7, test.Text, test.Parameters));
        const auto save = [&] { SafeSave(target, [this](const std::string& temp) { Save(temp); }); };
        if (!test.Saves) {
            try {
                save();
                ADD_FAILURE() << "saved";
            } catch (const TException& error) {
                EXPECT_STREQ(error.what(),
                             "Could not save: the event at 7 is too long for a project document!");
            }
            EXPECT_EQ(ReadText(target), "old");
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
            continue;
        }
        save();
        Open(target);
        ASSERT_EQ(project.Events().Count(), 1u);
        EXPECT_TRUE(project.Events()[0]->Text == test.Text);
        EXPECT_TRUE(ParametersEqual(project.Events()[0]->Parameters, test.Parameters));
    }
}
