#include "capture/event_commands.h"

#include <algorithm>

namespace {

constexpr int32_t ButtonLeft = 8;
constexpr int32_t ButtonTop = 8;
constexpr int32_t ButtonPitch = 33;
constexpr int32_t ButtonWidth = 120;
constexpr int32_t ButtonHeight = 25;
constexpr int32_t ButtonsWindowWidth = 160;
constexpr int32_t MaxTaggedType = 0xFFFF;

bool IsTypeActive(const TEventType& type, const TEventTypeGroups& groups) {
    return !groups.IsValidIndex(type.Group) || groups[type.Group].Enabled;
}

int32_t SortGroup(const TEventType& type, const TEventTypeGroups& groups) {
    return groups.IsValidIndex(type.Group) ? type.Group : -1;
}

QString CommandCaption(const TEventType& type, THotKey key) {
    return type.Name + QLatin1Char(' ') + KeyToText(key);
}

} // namespace

uint32_t PackEventTag(int32_t typeIndex, int32_t keyNumber) {
    return (static_cast<uint32_t>(typeIndex) & 0xFFFFu) |
           ((static_cast<uint32_t>(keyNumber) & 0xFFFFu) << 16);
}

int32_t EventTagType(uint32_t tag) {
    return static_cast<int32_t>(tag & 0xFFFFu);
}

int32_t EventTagKeyNumber(uint32_t tag) {
    return static_cast<int32_t>(tag >> 16);
}

TEventCommandTable RebuildEventCommands(const TEventTypes& types, const TEventTypeGroups& groups) {
    std::vector<int32_t> order;
    for (int32_t index = 0; index < types.Count() && index <= MaxTaggedType; ++index) {
        if (IsTypeActive(types[index], groups))
            order.push_back(index);
    }
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
        const int32_t groupA = SortGroup(types[a], groups);
        const int32_t groupB = SortGroup(types[b], groups);
        if (groupA != groupB)
            return groupA < groupB;
        return types[a].GroupIndex < types[b].GroupIndex;
    });

    TEventCommandTable table;
    auto add = [&table](QString caption, THotKey key, uint32_t tag, int32_t buttonIndex) {
        const auto number = static_cast<qsizetype>(table.Commands.size() + 1);
        table.Commands.push_back(
            {QStringLiteral("EventAction%1").arg(number), std::move(caption), key, tag, buttonIndex});
    };
    for (const int32_t typeIndex : order) {
        const TEventType& type = types[typeIndex];
        add(CommandCaption(type, type.Key), type.Key, PackEventTag(typeIndex, 0), table.ButtonCount++);
        for (std::size_t j = 0; j < type.SecondaryKeys.size(); ++j) {
            const THotKey key = type.SecondaryKeys[j].Key;
            add(CommandCaption(type, key), key, PackEventTag(typeIndex, static_cast<int32_t>(j) + 1), -1);
        }
    }
    return table;
}

QRect EventButtonGeometry(int32_t buttonIndex) {
    return QRect(ButtonLeft, ButtonTop + ButtonPitch * buttonIndex, ButtonWidth, ButtonHeight);
}

QString EventButtonName(int32_t buttonIndex) {
    return QStringLiteral("Button%1").arg(buttonIndex);
}

QSize EventButtonsWindowSize(int32_t buttonCount) {
    return QSize(ButtonsWindowWidth, ButtonPitch * buttonCount + ButtonPitch);
}
