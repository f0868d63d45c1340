#pragma once
// The rules of the type, secondary key and group editors and of the Hot keys
// dialog that do not need a widget: what a field's text reads as, what a
// hot-key field keeps, and how an accepted type editor becomes a type.
//
// Threads: the UI thread.

#include "document/app_commands.h"
#include "model/event_types.h"
#include "model/hot_keys.h"
#include "model/project.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>
#include <vector>

// An integer field's value: the text as a decimal integer (surrounding blanks
// allowed), or `minimum` when it is not one or lies below it.
int32_t IntegerFieldValue(const QString& text, int32_t minimum);

// What a hot-key field stores for a captured combination: Shift is not taken
// as the only modifier (Shift plus a key is the key alone); anything else is
// kept as captured.
THotKey HotKeyFieldValue(THotKey captured);

// The type editor's fields as the user left them.
struct TEventTypeFields {
    QString Description;
    THotKey Key = 0;
    QString GroupText; // the combo's text; a name no group has exactly creates one
    // The group the combo showed or the user picked from its list; -1 none.
    // Group names need not be unique, so the text alone cannot tell two
    // groups of the same name apart.
    int32_t GroupChosen = -1;
    int32_t GroupIndex = -1;
    int32_t Offset = 0;
    QStringList ParameterLines;
    TSecondaryKeys SecondaryKeys;
    bool CheckEndPoints = false;
};

// The message that keeps the dialog open, or the empty text when the fields
// may be accepted.
QString EventTypeFieldsRefusal(const TEventTypeFields& fields);
QString SecondaryKeyRefusal(THotKey key);
QString GroupDescriptionRefusal(const QString& description);

// The fields of an existing type, as the editor shows them.
TEventTypeFields FieldsOfEventType(const TEventType& type, const TEventTypeGroups& groups);

// Writes accepted fields into `type`; a group name that no group has (letter
// case matters) is appended to the project's groups first.
void ApplyEventTypeFields(TProject& project, const TEventTypeFields& fields, TEventType& type);

// The Hot keys dialog's tree: the visible commands grouped by category, the
// categories in the order of their first command, the commands in table
// order.
struct THotKeyCategory {
    QString Category;
    std::vector<TAppCommandId> Commands;
};
std::vector<THotKeyCategory> HotKeyTree(std::span<const TAppCommandInfo> table);
