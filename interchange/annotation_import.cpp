#include "interchange/annotation_import.h"

#include "base/exception.h"
#include "interchange/xml_input.h"

#include <charconv>
#include <cmath>

namespace {

// A decimal number written with "." or ",", blanks around it allowed.
double ConvertNumber(const QString& text) {
    QByteArray bytes = text.trimmed().toUtf8();
    bytes.replace(',', '.');
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+')
        ++begin;
    double value = 0;
    const auto result = std::from_chars(begin, end, value, std::chars_format::general);
    if (begin == end || result.ec != std::errc() || result.ptr != end || !std::isfinite(value))
        throw TConvertError("'" + text.toStdString() + "' is not a valid number!");
    return value;
}

void ConvertInteger(const QString& text) {
    if (!ParseDocumentInt(text))
        throw TConvertError("'" + text.toStdString() + "' is not a valid integer value!");
}

// The concatenated text children, entities resolved; nullopt without any
// child.
std::optional<QString> Content(const xmlNode* attribute) {
    if (!attribute->children)
        return std::nullopt;
    return ElementText(attribute);
}

class TAnnotationReader {
public:
    TAnnotationReader(int32_t offsetMs, TProject& project, TCaptureHost& host)
        : m_offsetMs(offsetMs), m_project(project), m_host(host) {}

    void ReadTrack(const xmlNode* track) {
        const std::optional<QString> name = AttributeValue(track, "name");
        if (!name)
            return;
        const int32_t group = m_project.EnsureGroup(*name);
        for (const xmlNode* node = track->children; node; node = node->next)
            if (IsNamed(node, "el"))
                ReadElement(node, *name, group);
    }

private:
    void ReadElement(const xmlNode* element, const QString& trackName, int32_t group) {
        const std::optional<QString> index = AttributeValue(element, "index");
        const std::optional<QString> start = AttributeValue(element, "start");
        const std::optional<QString> end = AttributeValue(element, "end");
        if (!index || !start || !end)
            return;
        ConvertInteger(*index);
        const double startSeconds = ConvertNumber(*start);
        ConvertNumber(*end);
        const std::optional<int32_t> startMs = TruncatedTime(startSeconds * 1000.0);
        if (!startMs)
            return;
        const std::optional<int32_t> time = TruncatedTime(static_cast<double>(*startMs) + m_offsetMs);
        if (!time)
            return;
        for (const xmlNode* node = element->children; node; node = node->next) {
            if (!IsNamed(node, "attribute") || !AttributeValue(node, "name"))
                continue;
            const std::optional<QString> content = Content(node);
            if (!content)
                continue;
            const int32_t type = m_project.EnsureEventType(trackName + u'.' + *content);
            if (const TEventType& eventType = m_project.EventTypes[type];
                eventType.Group != group || eventType.GroupIndex != type) {
                TEventType grouped = eventType;
                grouped.Group = group;
                grouped.GroupIndex = type;
                m_project.ChangeEventType(type, std::move(grouped));
            }
            RecordEvent(m_project, m_host, *time, type, {}, QString());
        }
    }

    int32_t m_offsetMs;
    TProject& m_project;
    TCaptureHost& m_host;
};

} // namespace

void ImportAnnotation(const std::string& fileName, int32_t offsetMs, const TImportTarget& target) {
    const std::string bytes = ReadInputFile(fileName);
    ImportAnnotationBytes(bytes, offsetMs, target);
}

void ImportAnnotationBytes(std::string_view bytes, int32_t offsetMs, const TImportTarget& target) {
    const TXmlDocPtr doc = ParseImportDocument(bytes, std::string(), "annotation");
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    RunBatched(target.Host, [&](TCaptureHost& host) {
        TAnnotationReader reader(offsetMs, target.Project, host);
        for (const xmlNode* body = root->children; body; body = body->next) {
            if (!IsNamed(body, "body"))
                continue;
            for (const xmlNode* track = body->children; track; track = track->next)
                if (IsNamed(track, "track"))
                    reader.ReadTrack(track);
        }
    });
}
