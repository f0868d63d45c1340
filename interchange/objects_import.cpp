#include "interchange/text_imports.h"

#include "base/exception.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace {

const std::array<QString, 9> RegionNames = {
    QStringLiteral("Camera"),  QStringLiteral("Object"), QStringLiteral("CenterX"),
    QStringLiteral("CenterY"), QStringLiteral("MinX"),   QStringLiteral("MinY"),
    QStringLiteral("MaxX"),    QStringLiteral("MaxY"),   QStringLiteral("Person")};
const std::array<QString, 6> ArrowNames = {QStringLiteral("Camera"), QStringLiteral("Object"),
                                           QStringLiteral("BeginX"), QStringLiteral("BeginY"),
                                           QStringLiteral("EndX"),   QStringLiteral("EndY")};

struct TRecord {
    std::string_view Name;
    int32_t Integers[3] = {};
    float Numbers[6] = {};
    int Count = 0; // values converted
    std::string_view Person;
};

// "%d,%d,%d,%f,%f,%f,%f,%f,%f": how many values converted before the first
// mismatch.
int ReadValues(TCScanner& in, TRecord& record) {
    for (int i = 0; i < 9; ++i) {
        if (i > 0 && !in.Match(','))
            return i;
        if (i < 3) {
            const std::optional<int32_t> value = in.ReadInt();
            if (!value)
                return i;
            record.Integers[i] = *value;
        } else {
            const std::optional<float> value = in.ReadFloat();
            if (!value)
                return i;
            record.Numbers[i - 3] = *value;
        }
    }
    return 9;
}

TParameters RecordParameters(const TRecord& record, TNumberTexts& numbers, TRecentTexts& texts) {
    TParameters parameters;
    const bool isRegion = record.Count == 9;
    parameters.Reserve(isRegion ? RegionNames.size() : ArrowNames.size());
    const auto& names = isRegion ? RegionNames.data() : ArrowNames.data();
    parameters.AddParameter({names[0], numbers.Int(record.Integers[1])});
    parameters.AddParameter({names[1], numbers.Int(record.Integers[2])});
    for (int i = 0; i < record.Count - 3; ++i)
        parameters.AddParameter({names[2 + i], numbers.Float(record.Numbers[i])});
    if (isRegion)
        parameters.AddParameter({names[8], texts.Text(record.Person)});
    return parameters;
}

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

class TObjectsReader::TImpl {
public:
    explicit TImpl(TProject& project) : m_project(project), m_types(project) {}

    void ReserveFor(std::size_t inputBytes) { m_events.reserve(m_events.size() + inputBytes / 32); }

    bool Feed(std::string_view block) {
        if (m_isStopped)
            return false;
        if (m_pending.empty()) {
            m_pending.assign(block.substr(ReadRecords(block, false)));
        } else {
            m_pending.append(block);
            // A record longer than a block (a huge run of blanks) is read
            // again only once what waits has doubled: linear, not
            // quadratic, in its length.
            if (m_pending.size() < m_retryBytes)
                return true;
            m_pending.erase(0, ReadRecords(m_pending, false));
        }
        m_retryBytes = 2 * m_pending.size();
        return !m_isStopped;
    }

    void Finish() {
        if (!m_isStopped)
            ReadRecords(m_pending, true);
        m_pending.clear();
        m_isStopped = true;
        InsertImported(m_project, std::exchange(m_events, {}));
    }

private:
    // Reads the records of `text` and returns how much of it is done with:
    // all of it, or up to the start of a record whose reading looked at the
    // text's end (when more text may follow), which is read again with it.
    std::size_t ReadRecords(std::string_view text, bool isFinal) {
        TCScanner in(text);
        while (!m_isStopped) {
            const std::size_t start = in.Position();
            in.ForgetEnd();
            const bool isRead = ReadRecord(in);
            if (in.HasSeenEnd() && !isFinal)
                return start;
            if (!isRead)
                break;
            m_events.push_back(std::make_unique<TEvent>(m_types.TypeOf(m_record.Name), m_record.Integers[0],
                                                        QString(),
                                                        RecordParameters(m_record, m_numbers, m_texts)));
            // A last record without a line end ends the input.
            if (in.HasSeenEnd())
                break;
        }
        m_isStopped = true;
        return text.size();
    }

    // One record and its line end into m_record; false when it does not
    // convert.
    bool ReadRecord(TCScanner& in) {
        const std::optional<std::string_view> name = in.ReadUntil('(');
        if (!name)
            return false;
        m_record.Name = *name;
        m_record.Count = ReadValues(in, m_record);
        if (m_record.Count != 9 && m_record.Count != 7)
            return false;
        const int next = in.Get();
        if (next >= 0 && next != ',')
            in.Unget();
        const std::optional<std::string_view> person = in.ReadUntil(')');
        if (!person)
            return false;
        m_record.Person = *person;
        in.SkipLine();
        return true;
    }

    TProject& m_project;
    TTypesByName m_types;
    TNumberTexts m_numbers;
    TRecentTexts m_texts;
    TRecord m_record;
    std::vector<std::unique_ptr<TEvent>> m_events;
    // The unread end of the last block: a record it cut.
    std::string m_pending;
    std::size_t m_retryBytes = 0;
    bool m_isStopped = false;
};

TObjectsReader::TObjectsReader(TProject& project) : m_impl(std::make_unique<TImpl>(project)) {}

TObjectsReader::~TObjectsReader() = default;

void TObjectsReader::ReserveFor(std::size_t inputBytes) {
    m_impl->ReserveFor(inputBytes);
}

bool TObjectsReader::Feed(std::string_view block) {
    return m_impl->Feed(block);
}

void TObjectsReader::Finish() {
    m_impl->Finish();
}

// In blocks rather than whole: a file of a million records would otherwise
// take as many fresh pages again as its events do.
void ImportObjects(const std::string& fileName, const TImportTarget& target) {
    std::unique_ptr<std::FILE, TFileClose> file(std::fopen(fileName.c_str(), "rb"));
    if (!file)
        throw TException("Could not open file!");
    TObjectsReader reader(target.Project);
    std::error_code sizeError;
    const auto fileBytes = std::filesystem::file_size(fileName, sizeError);
    if (!sizeError)
        reader.ReserveFor(static_cast<std::size_t>(fileBytes));
    static constexpr std::size_t BlockSize = 131072;
    std::vector<char> block(BlockSize);
    std::size_t count;
    while ((count = std::fread(block.data(), 1, BlockSize, file.get())) > 0)
        if (!reader.Feed({block.data(), count}))
            break;
    // A folder opens on Linux but cannot be read; what was read of a file
    // that fails later is not inserted either.
    if (std::ferror(file.get()))
        throw TException("Could not open file!");
    reader.Finish();
    target.Host.EventListChanged();
}

void ImportObjectsText(std::string_view text, const TImportTarget& target) {
    TObjectsReader reader(target.Project);
    reader.Feed(text);
    reader.Finish();
    target.Host.EventListChanged();
}
