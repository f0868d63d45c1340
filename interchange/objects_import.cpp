#include "interchange/text_imports.h"

#include <array>
#include <unordered_map>
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
    std::string Name;
    int32_t Integers[3] = {};
    float Numbers[6] = {};
    int Count = 0; // values converted
    std::string Person;
};

// Characters up to `stop`; false when a line end or the end of the text
// comes first.
bool ReadUntil(TCScanner& in, char stop, std::string& text) {
    text.clear();
    for (;;) {
        const int c = in.Get();
        if (c < 0 || c == '\n')
            return false;
        if (c == stop)
            return true;
        text += static_cast<char>(c);
    }
}

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

// The rest of the line; false when the text ended instead.
bool SkipLine(TCScanner& in) {
    for (;;) {
        const int c = in.Get();
        if (c < 0)
            return false;
        if (c == '\n')
            return true;
    }
}

TParameters RecordParameters(const TRecord& record, TNumberTexts& numbers) {
    TParameters parameters;
    const bool isRegion = record.Count == 9;
    parameters.Reserve(isRegion ? RegionNames.size() : ArrowNames.size());
    const auto& names = isRegion ? RegionNames.data() : ArrowNames.data();
    parameters.AddParameter({names[0], numbers.Int(record.Integers[1])});
    parameters.AddParameter({names[1], numbers.Int(record.Integers[2])});
    for (int i = 0; i < record.Count - 3; ++i)
        parameters.AddParameter({names[2 + i], numbers.Float(record.Numbers[i])});
    if (isRegion)
        parameters.AddParameter({names[8], QString::fromStdString(record.Person)});
    return parameters;
}

} // namespace

void ImportObjects(const std::string& fileName, const TImportTarget& target) {
    const std::string text = ReadInputFile(fileName);
    ImportObjectsText(text, target);
}

void ImportObjectsText(std::string_view text, const TImportTarget& target) {
    std::vector<std::unique_ptr<TEvent>> events;
    std::unordered_map<std::string, int32_t> types;
    const auto typeOf = [&](const std::string& name) {
        const auto found = types.find(name);
        if (found != types.end())
            return found->second;
        const int32_t type = target.Project.EnsureEventType(QString::fromStdString(name));
        types.emplace(name, type);
        return type;
    };
    TCScanner in(text);
    TRecord record;
    TNumberTexts numbers;
    for (bool isLast = false; !isLast;) {
        if (!ReadUntil(in, '(', record.Name))
            break;
        record.Count = ReadValues(in, record);
        if (record.Count != 9 && record.Count != 7)
            break;
        const int next = in.Get();
        if (next >= 0 && next != ',')
            in.Unget();
        if (!ReadUntil(in, ')', record.Person))
            break;
        isLast = !SkipLine(in);
        events.push_back(std::make_unique<TEvent>(typeOf(record.Name), record.Integers[0], QString(),
                                                  RecordParameters(record, numbers)));
    }
    InsertImported(target.Project, std::move(events));
    target.Host.EventListChanged();
}
