#include "model/event_type_groups.h"

int32_t TEventTypeGroups::FindGroup(const QString& name) const {
    for (int32_t index = 0; index < Count(); ++index)
        if (m_groups[static_cast<std::size_t>(index)].Name == name)
            return index;
    return -1;
}

int32_t TEventTypeGroups::EnsureGroup(const QString& name) {
    const int32_t index = FindGroup(name);
    if (index >= 0)
        return index;
    TEventTypeGroup group;
    group.Name = name;
    return AddGroup(group);
}

int32_t TEventTypeGroups::AddGroup(const TEventTypeGroup& group) {
    m_groups.push_back(group);
    return Count() - 1;
}

QString TEventTypeGroups::GroupName(int32_t index) const {
    return IsValidIndex(index) ? (*this)[index].Name : QString();
}

void TEventTypeGroups::RemoveAt(int32_t index) {
    if (IsValidIndex(index))
        m_groups.erase(m_groups.begin() + index);
}

void TEventTypeGroups::InsertAt(int32_t index, TEventTypeGroup group) {
    const int32_t at = index >= 0 && index <= Count() ? index : Count();
    m_groups.insert(m_groups.begin() + at, std::move(group));
}
