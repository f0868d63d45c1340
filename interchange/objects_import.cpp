#include "interchange/text_imports.h"

#include <array>
#include <string_view>
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

} // namespace

void ImportObjects(const std::string& fileName, const TImportTarget& target) {
    const std::string text = ReadInputFile(fileName);
    ImportObjectsText(text, target);
}

void ImportObjectsText(std::string_view text, const TImportTarget& target) {
    std::vector<std::unique_ptr<TEvent>> events;
    TTypesByName types(target.Project);
    TCScanner in(text);
    TRecord record;
    TNumberTexts numbers;
    TRecentTexts texts;
    for (bool isLast = false; !isLast;) {
        const std::optional<std::string_view> name = in.ReadUntil('(');
        if (!name)
            break;
        record.Name = *name;
        record.Count = ReadValues(in, record);
        if (record.Count != 9 && record.Count != 7)
            break;
        const int next = in.Get();
        if (next >= 0 && next != ',')
            in.Unget();
        const std::optional<std::string_view> person = in.ReadUntil(')');
        if (!person)
            break;
        record.Person = *person;
        isLast = !in.SkipLine();
        events.push_back(std::make_unique<TEvent>(types.TypeOf(record.Name), record.Integers[0], QString(),
                                                  RecordParameters(record, numbers, texts)));
    }
    InsertImported(target.Project, std::move(events));
    target.Host.EventListChanged();
}
