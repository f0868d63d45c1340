#include "interchange/annotation_import.h"

#include "base/exception.h"
#include "tests/interchange/import_fixture.h"

#include <QStringEncoder>

namespace {

using Rows = std::vector<std::string>;

std::string Annotation(const std::string& tracks) {
    return "<?xml version=\"1.0\"?><annotation><head/><body>" + tracks + "</body></annotation>";
}

std::string El(const char* start, const std::string& attributes, const char* index = "0") {
    return std::string("<el index=\"") + index + "\" start=\"" + start + "\" end=\"9\">" + attributes +
           "</el>";
}

std::string Attr(const char* content) {
    return std::string("<attribute name=\"label\">") + content + "</attribute>";
}

class AnnotationTest : public ImportTest {
protected:
    void Import(const std::string& xml, int32_t offset = 0) {
        ImportAnnotation(WriteFile("a.anvil", xml), offset, Target());
    }
    std::string TypeSummary(int32_t type) const {
        const TEventType& t = Project.EventTypes[type];
        return t.Name.toStdString() + " group=" + Project.Groups.GroupName(t.Group).toStdString() +
               " colour=" + std::to_string(t.GroupIndex);
    }
};

TEST_F(AnnotationTest, ReadsUtf16WithByteOrderMarkAndTrackNamesWithDotsAndSpaces) {
    const QString xml = QString::fromStdString(
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n<annotation><body>"
        "<track name=\"Speaker A\">" +
        El("1.5", Attr("talking"), "0") + El("2,5", Attr("silent") + Attr("still"), "1") +
        "<el index=\"2\" start=\"3\" end=\"4\"/></track>"
        "<track name=\"gesture.hand r\">" +
        El("0.25", "<attribute name=\"x\">wave&amp;nod</attribute><attribute name=\"e\"></attribute>"
                   "<attribute>nameless</attribute>") +
        "</track><track>" + El("1", Attr("trackless")) + "</track></body></annotation>");
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    const QByteArray bytes = toUtf16(xml);
    Import(bytes.toStdString(), 100);

    EXPECT_EQ(EventRows(), (Rows{"350|gesture.hand r.wave&nod||", "1600|Speaker A.talking||",
                                 "2600|Speaker A.silent||", "2600|Speaker A.still||"}));
    ASSERT_EQ(Project.EventTypes.Count(), 4);
    EXPECT_EQ(TypeSummary(0), "Speaker A.talking group=Speaker A colour=0");
    EXPECT_EQ(TypeSummary(2), "Speaker A.still group=Speaker A colour=2");
    EXPECT_EQ(TypeSummary(3), "gesture.hand r.wave&nod group=gesture.hand r colour=3");
    EXPECT_EQ(Project.Groups.Count(), 2);
    EXPECT_TRUE(Host.TimelineMatches(Project.Events()));
}

TEST_F(AnnotationTest, ReusesATypeIgnoringCaseAndOverwritesItsGroupAndColour) {
    TEventType existing(QStringLiteral("other"));
    Project.AddEventType(existing);
    existing.Name = QStringLiteral("SPEAKER A.TALKING");
    existing.GroupIndex = 40;
    Project.AddEventType(existing);
    Import(Annotation("<track name=\"Speaker A\">" + El("1", Attr("talking")) + "</track>"));
    ASSERT_EQ(Project.EventTypes.Count(), 2);
    EXPECT_EQ(TypeSummary(1), "SPEAKER A.TALKING group=Speaker A colour=1");
}

TEST_F(AnnotationTest, ANumberThatDoesNotConvertEndsTheImportKeepingEarlierEvents) {
    const char* badValues[][2] = {{"x", "1"}, {"0", "1.5.2"}, {"0", ""}};
    for (const auto& [index, start] : badValues) {
        Project.Reset();
        const std::string xml = Annotation("<track name=\"T\">" + El("1", Attr("a")) +
                                           El(start, Attr("b"), index) + El("3", Attr("c")) + "</track>");
        EXPECT_THROW(Import(xml), TConvertError) << index << " " << start;
        EXPECT_EQ(EventRows(), (Rows{"1000|T.a||"})) << index << " " << start;
    }
}

TEST_F(AnnotationTest, RefusesCorruptOrForeignDocumentsBeforeImporting) {
    const std::pair<std::string, const char*> cases[] = {
        {Annotation("<track name=\"T\">" + El("1", Attr("a"))), "Could not open file!"},
        {std::string("\xFF\xFE<\0a\0", 6), "Could not open file!"},
        {"<Annotation><body/></Annotation>", "Document of the wrong type!"}};
    for (const auto& [xml, message] : cases) {
        try {
            Import(xml);
            ADD_FAILURE() << "accepted: " << xml;
        } catch (const TException& error) {
            EXPECT_STREQ(error.what(), message);
        }
    }
    EXPECT_EQ(Project.Groups.Count(), 0);
    EXPECT_EQ(Project.EventTypes.Count(), 0);
}

} // namespace
