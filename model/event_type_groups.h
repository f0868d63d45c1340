#pragma once
// Groups of event types. A group's position in TEventTypeGroups is its index;
// types refer to groups by that index (-1 = no group). Groups are plain
// values, appended at the end.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

struct TEventTypeGroup {
    QString Name;
    // A free descriptive label without behaviour; the editor offers "State"
    // and "Simple events".
    QString Meaning = QStringLiteral("State");
    // Only types of enabled groups (or of none) get buttons and hot keys.
    bool Enabled = true;
};

class TEventTypeGroups {
public:
    using const_iterator = std::vector<TEventTypeGroup>::const_iterator;

    // The index of the first group named exactly `name` (letter case
    // matters), or -1.
    int32_t FindGroup(const QString& name) const;
    // FindGroup, else appends a group of that name (Meaning "State",
    // enabled) and returns its index.
    int32_t EnsureGroup(const QString& name);
    // Appends a copy and returns its index.
    int32_t AddGroup(const TEventTypeGroup& group);
    // The group's Name; empty for an index outside the list.
    QString GroupName(int32_t index) const;

    // Removes one group without touching the types that refer to groups by
    // index: TProject::DeleteGroup removes groups and renumbers the types.
    void RemoveAt(int32_t index);
    // Puts a group back at `index` (0..Count()) without renumbering; an
    // index outside that range appends.
    void InsertAt(int32_t index, TEventTypeGroup group);
    void Clear() { m_groups.clear(); }

    int32_t Count() const { return static_cast<int32_t>(m_groups.size()); }
    bool IsValidIndex(int32_t index) const { return index >= 0 && index < Count(); }
    const TEventTypeGroup& operator[](int32_t index) const {
        return m_groups[static_cast<std::size_t>(index)];
    }
    TEventTypeGroup& operator[](int32_t index) { return m_groups[static_cast<std::size_t>(index)]; }
    const_iterator begin() const { return m_groups.begin(); }
    const_iterator end() const { return m_groups.end(); }

private:
    std::vector<TEventTypeGroup> m_groups;
};
