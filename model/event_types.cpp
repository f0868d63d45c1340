#include "model/event_types.h"

#include "model/text_compare.h"

#include <stdexcept>

const std::array<TBuiltInEventType, 4> BuiltInEventTypes = {{
    {"Output", nullptr, nullptr, -1},
    {"Start speaking", "F2", "Speaking", 0},
    {"Stop speaking", "F3", "Speaking", 1},
    {"Graph", nullptr, nullptr, -1},
}};

namespace {

bool IsBuiltInRow(int32_t row) {
    return row >= 0 && row < static_cast<int32_t>(BuiltInEventTypes.size());
}

} // namespace

int32_t TEventTypes::FindEventType(const QString& name) const {
    for (int32_t index = 0; index < Count(); ++index)
        if (SameTextIgnoringCase((*this)[index].Name, name))
            return index;
    return -1;
}

int32_t TEventTypes::EnsureEventType(const QString& name) {
    const int32_t index = FindEventType(name);
    return index >= 0 ? index : AddEventType(TEventType(name));
}

int32_t TEventTypes::FindBuiltInType(int32_t row) const {
    if (!IsBuiltInRow(row))
        return -1;
    return FindEventType(QString::fromUtf8(BuiltInEventTypes[static_cast<std::size_t>(row)].Name));
}

int32_t TEventTypes::EnsureBuiltInType(int32_t row, TEventTypeGroups& groups) {
    if (!IsBuiltInRow(row))
        throw std::out_of_range("built-in event type row " + std::to_string(row));
    const int32_t index = FindBuiltInType(row);
    if (index >= 0)
        return index;
    const TBuiltInEventType& builtIn = BuiltInEventTypes[static_cast<std::size_t>(row)];
    TEventType type(QString::fromUtf8(builtIn.Name));
    if (builtIn.KeyText)
        type.Key = StandardTextToKey(QString::fromUtf8(builtIn.KeyText));
    if (builtIn.GroupName)
        type.Group = groups.EnsureGroup(QString::fromUtf8(builtIn.GroupName));
    type.GroupIndex = builtIn.GroupIndex;
    return AddEventType(type);
}

int32_t TEventTypes::AddEventType(const TEventType& type) {
    m_types.push_back(type);
    return Count() - 1;
}

void TEventTypes::RemoveAt(int32_t index) {
    if (IsValidIndex(index))
        m_types.erase(m_types.begin() + index);
}

void TEventTypes::InsertAt(int32_t index, TEventType type) {
    const int32_t at = index >= 0 && index <= Count() ? index : Count();
    m_types.insert(m_types.begin() + at, std::move(type));
}
