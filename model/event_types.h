#pragma once
// Event types. A type's position in TEventTypes is its type index; events
// refer to their type by it, so removing a type goes through
// TProject::DeleteEventType, which renumbers the events. Types, their
// secondary keys and parameters are plain values.

#include "model/event_type_groups.h"
#include "model/hot_keys.h"
#include "model/parameters.h"

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// A further key recording the same type with its own time shift and
// parameters, used instead of the type's.
struct TSecondaryKey {
    THotKey Key = 0;
    int32_t Offset = 0; // project time unit (ms or frames)
    TParameters Parameters;
};

using TSecondaryKeys = std::vector<TSecondaryKey>;

struct TEventType {
    TEventType() = default;
    explicit TEventType(const QString& name) : Name(name) {}

    QString Name;
    THotKey Key = 0;
    // Index into TEventTypeGroups; -1 = no group.
    int32_t Group = -1;
    // Colour code (see group_colors.h); -1 = none. Only types with a group
    // and a colour code appear on the timeline.
    int32_t GroupIndex = -1;
    // Added to the current time when recorded with Key; project time unit.
    int32_t Offset = 0;
    // Copied into each event recorded with Key.
    TParameters Parameters;
    TSecondaryKeys SecondaryKeys;
    // Recording an event of this type replaces the nearest earlier event with
    // equal parameters when that event is of the same type.
    bool CheckEndPoints = false;
};

// The fixed types that importers create on demand, addressed by row.
enum : int32_t {
    BuiltInOutput = 0,
    BuiltInStartSpeaking = 1,
    BuiltInStopSpeaking = 2,
    BuiltInGraph = 3,
};

struct TBuiltInEventType {
    const char* Name;
    const char* KeyText;   // nullptr: no key
    const char* GroupName; // nullptr: no group
    int32_t GroupIndex;
};

extern const std::array<TBuiltInEventType, 4> BuiltInEventTypes;

class TEventTypes {
public:
    using const_iterator = std::vector<TEventType>::const_iterator;

    // The index of the first type whose Name equals `name` ignoring letter
    // case (Unicode case folding), or -1.
    int32_t FindEventType(const QString& name) const;
    // FindEventType, else appends a type with that name and default fields
    // and returns its index.
    int32_t EnsureEventType(const QString& name);
    // FindEventType of a BuiltInEventTypes row's name; -1 for an unknown row.
    int32_t FindBuiltInType(int32_t row) const;
    // FindBuiltInType, else appends the row's type: its key (standard parse
    // of the key text), its group (EnsureGroup in `groups`, which may append
    // a group) and its colour code. Throws std::out_of_range for an unknown
    // row.
    int32_t EnsureBuiltInType(int32_t row, TEventTypeGroups& groups);
    // Appends a copy and returns its index.
    int32_t AddEventType(const TEventType& type);

    // Removes one type without renumbering the events that refer to types by
    // index: TProject::DeleteEventType does both.
    void RemoveAt(int32_t index);
    // Puts a type back at `index` (0..Count()) without renumbering; an
    // index outside that range appends.
    void InsertAt(int32_t index, TEventType type);
    void Clear() { m_types.clear(); }

    int32_t Count() const { return static_cast<int32_t>(m_types.size()); }
    bool IsValidIndex(int32_t index) const { return index >= 0 && index < Count(); }
    const TEventType& operator[](int32_t index) const { return m_types[static_cast<std::size_t>(index)]; }
    TEventType& operator[](int32_t index) { return m_types[static_cast<std::size_t>(index)]; }
    const_iterator begin() const { return m_types.begin(); }
    const_iterator end() const { return m_types.end(); }

private:
    std::vector<TEventType> m_types;
};
