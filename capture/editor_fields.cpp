#include "capture/editor_fields.h"

#include <algorithm>

namespace {

int32_t GroupOfFields(TProject& project, const TEventTypeFields& fields) {
    if (fields.GroupText.isEmpty())
        return -1;
    if (project.Groups.IsValidIndex(fields.GroupChosen) &&
        project.Groups[fields.GroupChosen].Name == fields.GroupText)
        return fields.GroupChosen;
    return project.EnsureGroup(fields.GroupText);
}

} // namespace

int32_t IntegerFieldValue(const QString& text, int32_t minimum) {
    bool isNumber = false;
    const int32_t value = text.trimmed().toInt(&isNumber);
    return isNumber && value >= minimum ? value : minimum;
}

THotKey HotKeyFieldValue(THotKey captured) {
    if ((captured & HotKeyModifiers) == HotKeyShift)
        return static_cast<THotKey>(captured & ~HotKeyShift);
    return captured;
}

QString EventTypeFieldsRefusal(const TEventTypeFields& fields) {
    return fields.Description.isEmpty() ? QStringLiteral("Enter event type description!") : QString();
}

QString SecondaryKeyRefusal(THotKey key) {
    return key == 0 ? QStringLiteral("Enter hot key!") : QString();
}

QString GroupDescriptionRefusal(const QString& description) {
    // No "!" at the end of this one: the editor's own text.
    return description.isEmpty() ? QStringLiteral("Enter group description") : QString();
}

TEventTypeFields FieldsOfEventType(const TEventType& type, const TEventTypeGroups& groups) {
    TEventTypeFields fields;
    fields.Description = type.Name;
    fields.Key = type.Key;
    fields.GroupText = groups.GroupName(type.Group);
    fields.GroupChosen = groups.IsValidIndex(type.Group) ? type.Group : -1;
    fields.GroupIndex = type.GroupIndex;
    fields.Offset = type.Offset;
    type.Parameters.ParametersToLines(fields.ParameterLines);
    fields.SecondaryKeys = type.SecondaryKeys;
    fields.CheckEndPoints = type.CheckEndPoints;
    return fields;
}

void ApplyEventTypeFields(TProject& project, const TEventTypeFields& fields, TEventType& type) {
    type.Name = fields.Description;
    type.Key = fields.Key;
    type.Group = GroupOfFields(project, fields);
    type.GroupIndex = fields.GroupIndex;
    type.Offset = fields.Offset;
    type.Parameters.ParametersFromLines(fields.ParameterLines);
    type.SecondaryKeys = fields.SecondaryKeys;
    type.CheckEndPoints = fields.CheckEndPoints;
}

std::vector<THotKeyCategory> HotKeyTree(std::span<const TAppCommandInfo> table) {
    std::vector<THotKeyCategory> tree;
    for (const TAppCommandInfo& info : table) {
        if (info.IsHidden)
            continue;
        const QString category = QString::fromLatin1(info.Category);
        auto node = std::find_if(tree.begin(), tree.end(),
                                 [&category](const THotKeyCategory& c) { return c.Category == category; });
        if (node == tree.end())
            node = tree.insert(tree.end(), THotKeyCategory{category, {}});
        node->Commands.push_back(info.Id);
    }
    return tree;
}
