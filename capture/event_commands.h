#pragma once
// The event commands: one per hot key of every event type whose group is
// enabled (or that has no group), rebuilt wholesale whenever the types or
// groups change, and the geometry of the event buttons that show the main
// keys. Plain data so the window that owns the commands only turns them into
// actions and buttons.
//
// Threads: the UI thread.

#include "model/event_type_groups.h"
#include "model/event_types.h"
#include "model/hot_keys.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <vector>

// The tag an event command carries: the type index in the low 16 bits, the
// key number (0 main key, j + 1 for secondary key j) in the high 16 bits.
uint32_t PackEventTag(int32_t typeIndex, int32_t keyNumber);
int32_t EventTagType(uint32_t tag);
int32_t EventTagKeyNumber(uint32_t tag);

struct TEventCommand {
    QString Name;    // "EventAction1", "EventAction2", ... in command order
    QString Caption; // the type's name, a space, the key's text
    THotKey Key = 0;
    uint32_t Tag = 0;
    // Index of the button showing this command in the event buttons window;
    // -1 for secondary keys, which get no button.
    int32_t ButtonIndex = -1;
};

struct TEventCommandTable {
    std::vector<TEventCommand> Commands;
    int32_t ButtonCount = 0;
};

// In button order: ascending Group (types without a group first), then
// ascending GroupIndex, then type index; each type's main key followed by its
// secondary keys. Types of disabled groups are left out. A group index
// outside `groups` counts as no group. Type indexes that do not fit the
// 16-bit tag get no command rather than one recording another type.
TEventCommandTable RebuildEventCommands(const TEventTypes& types, const TEventTypeGroups& groups);

// Button n (0-based) of the event buttons window, in its client pixels.
QRect EventButtonGeometry(int32_t buttonIndex);
QString EventButtonName(int32_t buttonIndex);
// The fixed size of the event buttons window for that many buttons.
QSize EventButtonsWindowSize(int32_t buttonCount);
