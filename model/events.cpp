#include "model/events.h"

QStringList EventToRow(const TEvent& event, const TEventTypes& types) {
    const QString typeName = types.IsValidIndex(event.EventType) ? types[event.EventType].Name : QString();
    return {QString::number(event.Time), typeName, event.Text, event.Parameters.ParametersToText()};
}
