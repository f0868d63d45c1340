#include "interchange/transcription_import.h"

#include "interchange/xml_input.h"

#include <vector>

namespace {

struct TSpeaker {
    QString Id;
    QString Name;
    bool HasName = false;
};

std::vector<TSpeaker> ReadSpeakers(const xmlNode* root) {
    std::vector<TSpeaker> speakers;
    const xmlNode* list = FirstChildElement(root, "Speakers");
    if (!list)
        return speakers;
    for (const xmlNode* node = list->children; node; node = node->next) {
        if (!IsNamed(node, "Speaker"))
            continue;
        const std::optional<QString> name = AttributeValue(node, "name");
        speakers.push_back(
            {AttributeValue(node, "id").value_or(QString()), name.value_or(QString()), name.has_value()});
    }
    return speakers;
}

bool IsTextNode(const xmlNode* node) {
    return node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE;
}

// Blanks and control characters off both ends; every inner run of blanks and
// line breaks becomes one space.
QString SegmentText(const QString& raw) {
    QString text;
    text.reserve(raw.size());
    bool isInRun = false;
    for (const QChar c : raw) {
        const bool isBlank = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
        if (isBlank) {
            isInRun = true;
            continue;
        }
        if (isInRun && !text.isEmpty())
            text += u' ';
        isInRun = false;
        text += c;
    }
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

// The text nodes after the Sync up to the next Sync; nullopt when there is
// none.
std::optional<QString> TextAfter(const xmlNode* sync) {
    QByteArray raw;
    bool hasText = false;
    for (const xmlNode* node = sync->next; node && !IsNamed(node, "Sync"); node = node->next) {
        if (!IsTextNode(node))
            continue;
        hasText = true;
        if (node->content)
            raw += reinterpret_cast<const char*>(node->content);
    }
    if (!hasText)
        return std::nullopt;
    return SegmentText(QString::fromUtf8(raw));
}

class TTranscriptionReader {
public:
    TTranscriptionReader(const xmlNode* root, int32_t offsetMs, TProject& project, TCaptureHost& host)
        : m_speakers(ReadSpeakers(root)), m_offsetMs(offsetMs), m_project(project), m_host(host) {}

    void ReadTurn(const xmlNode* turn) {
        const TParameters turnSpeaker = TurnParameters(turn);
        for (const xmlNode* node = turn->children; node; node = node->next)
            if (IsNamed(node, "Sync"))
                ReadSync(node, turnSpeaker);
    }

private:
    // The parameters of a Sync without "chan" in this Turn.
    TParameters TurnParameters(const xmlNode* turn) const {
        const QString speakers = AttributeValue(turn, "speaker").value_or(QString());
        const QStringList ids = speakers.split(u' ', Qt::SkipEmptyParts);
        if (ids.isEmpty())
            return {};
        for (std::size_t i = 0; i < m_speakers.size(); ++i) {
            if (m_speakers[i].Id != ids.front())
                continue;
            TParameters parameters{{QStringLiteral("Person"), PersonLetter(static_cast<int64_t>(i))}};
            if (m_speakers[i].HasName)
                parameters.AddParameter({QStringLiteral("Speaker"), m_speakers[i].Name});
            return parameters;
        }
        return {};
    }

    static QString PersonLetter(int64_t channel) {
        return QString(QChar(static_cast<char16_t>(static_cast<uint8_t>(65 + channel))));
    }

    void ReadSync(const xmlNode* sync, const TParameters& turnSpeaker) {
        const std::optional<QString> text = TextAfter(sync);
        if (!text)
            return;
        const std::optional<QString> chan = AttributeValue(sync, "chan");
        if (chan && *chan == u"default")
            return;
        const std::optional<QString> time = AttributeValue(sync, "time");
        if (!time)
            return;
        TParameters parameters;
        if (chan) {
            bool isInteger = false;
            const int64_t channel = chan->trimmed().toLongLong(&isInteger);
            if (!isInteger)
                return;
            parameters.AddParameter({QStringLiteral("Person"), PersonLetter(channel)});
        } else {
            parameters = turnSpeaker;
        }
        const QByteArray timeText = time->toUtf8();
        const std::optional<int32_t> timeMs =
            TruncatedTime(CTextToDouble(timeText.toStdString()) * 1000.0 + m_offsetMs);
        if (!timeMs || *timeMs < 0)
            return;
        const bool isPause = text->isEmpty() || *text == u"GAP(OTHER)" || *text == u"..";
        int32_t& type = isPause ? m_stopType : m_startType;
        if (type < 0)
            type = m_project.EnsureBuiltInType(isPause ? BuiltInStopSpeaking : BuiltInStartSpeaking);
        RecordEvent(m_project, m_host, *timeMs, type, parameters, *text);
    }

    std::vector<TSpeaker> m_speakers;
    // Looked up once: no type goes away during an import.
    int32_t m_startType = -1;
    int32_t m_stopType = -1;
    int32_t m_offsetMs;
    TProject& m_project;
    TCaptureHost& m_host;
};

void ForEachChild(const xmlNode* parent, const char* name, const auto& visit) {
    for (const xmlNode* node = parent->children; node; node = node->next)
        if (IsNamed(node, name))
            visit(node);
}

} // namespace

void ImportTranscription(const std::string& fileName, int32_t offsetMs, const TImportTarget& target) {
    const std::string bytes = ReadInputFile(fileName);
    ImportTranscriptionBytes(bytes, offsetMs, target);
}

void ImportTranscriptionBytes(std::string_view bytes, int32_t offsetMs, const TImportTarget& target) {
    const TXmlDocPtr doc = ParseImportDocument(bytes, std::string(), "Trans");
    const xmlNode* root = xmlDocGetRootElement(doc.get());
    RunBatched(target.Host, [&](TCaptureHost& host) {
        TTranscriptionReader reader(root, offsetMs, target.Project, host);
        ForEachChild(root, "Episode", [&](const xmlNode* episode) {
            ForEachChild(episode, "Section", [&](const xmlNode* section) {
                ForEachChild(section, "Turn", [&](const xmlNode* turn) { reader.ReadTurn(turn); });
            });
        });
    });
}
