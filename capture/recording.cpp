#include "capture/recording.h"

#include "capture/event_commands.h"

#include <limits>
#include <memory>

namespace {

// Takes the replaced event's text over and destroys the replaced event.
void ReplaceEarlier(TProject& project, const TEvent& recorded, const TEvent* earlier) {
    project.ChangeEvent(&recorded, recorded.EventType, earlier->Text, recorded.Parameters);
    project.DeleteEvent(earlier);
}

// The nearest earlier event with equal parameters decides: replaced when it
// is of the same type, otherwise (say a "Stop" between two "Start"s for the
// same person) both stay.
const TEvent* EndPointPredecessor(const TEvents& events, std::size_t newIndex) {
    const TEvent* recorded = events[newIndex];
    for (std::size_t index = newIndex; index-- > 0;) {
        const TEvent* earlier = events[index];
        if (ParametersEqual(earlier->Parameters, recorded->Parameters))
            return earlier->EventType == recorded->EventType ? earlier : nullptr;
    }
    return nullptr;
}

const TEvent* SameTimePredecessor(const TEvents& events, std::size_t newIndex,
                                  const TParameterNames* ignoredNames) {
    const TEvent* recorded = events[newIndex];
    for (std::size_t index = newIndex; index-- > 0;) {
        const TEvent* earlier = events[index];
        if (earlier->Time < recorded->Time)
            break;
        if (earlier->EventType == recorded->EventType &&
            ParametersEqualExcept(earlier->Parameters, recorded->Parameters, ignoredNames))
            return earlier;
    }
    return nullptr;
}

std::size_t IndexOfEvent(const TEvents& events, const TEvent* event) {
    return static_cast<std::size_t>(events.IndexOf(event));
}

} // namespace

const TEvent* RecordEvent(TProject& project, TCaptureHost& host, int32_t time, int32_t typeIndex,
                          const TParameters& parameters, const QString& text, const TRecordOptions& options) {
    // The new event and the one it replaces are one step to take back.
    const TProject::TChangeScope scope(project);
    const TEvent* recorded = project.InsertEvent(std::make_unique<TEvent>(typeIndex, time, text, parameters));
    const TEvents& events = project.Events();
    const TEvent* replaced = nullptr;
    if (options.EndPointsType && options.EndPointsType->CheckEndPoints)
        replaced = EndPointPredecessor(events, IndexOfEvent(events, recorded));
    else if (options.ReplaceSameTime)
        replaced = SameTimePredecessor(events, IndexOfEvent(events, recorded), options.IgnoredNames);
    if (replaced)
        ReplaceEarlier(project, *recorded, replaced);
    host.EventListChanged();
    if (host.IsDrawOn())
        host.RepaintAll();
    return recorded;
}

int32_t ShiftedRecordTime(int32_t currentTime, int32_t shift) {
    const int64_t time = static_cast<int64_t>(currentTime) + shift;
    if (time < 0)
        return 0;
    if (time > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(time);
}

const TEvent* ExecuteEventCommand(TProject& project, TCaptureHost& host, uint32_t tag, bool isInserting,
                                  int32_t currentTime) {
    if (!isInserting)
        return nullptr;
    const int32_t typeIndex = EventTagType(tag);
    const int32_t keyNumber = EventTagKeyNumber(tag);
    if (!project.EventTypes.IsValidIndex(typeIndex))
        return nullptr;
    // A copy: the type list may be edited while the event is being recorded
    // through a listener, and the end-point rule reads the type afterwards.
    const TEventType type = project.EventTypes[typeIndex];
    const bool isSecondary =
        keyNumber > 0 && static_cast<std::size_t>(keyNumber - 1) < type.SecondaryKeys.size();
    const TParameters& parameters =
        isSecondary ? type.SecondaryKeys[static_cast<std::size_t>(keyNumber - 1)].Parameters
                    : type.Parameters;
    const int32_t shift =
        isSecondary ? type.SecondaryKeys[static_cast<std::size_t>(keyNumber - 1)].Offset : type.Offset;
    TRecordOptions options;
    options.EndPointsType = &type;
    return RecordEvent(project, host, ShiftedRecordTime(currentTime, shift), typeIndex, parameters, QString(),
                       options);
}

const TEvent* RecordEventNow(TProject& project, TCaptureHost& host, bool isInserting, int32_t currentTime,
                             int32_t typeIndex, const QString& text, const TParameterNames* ignoredNames,
                             bool replaceSameTime, const TParameters& parameters) {
    if (!isInserting || !project.EventTypes.IsValidIndex(typeIndex))
        return nullptr;
    TRecordOptions options;
    options.ReplaceSameTime = replaceSameTime;
    options.IgnoredNames = ignoredNames;
    return RecordEvent(project, host, currentTime, typeIndex, parameters, text, options);
}

QString MouseModeRefusal(const TEventTypes& types, int32_t templateType) {
    if (types.IsValidIndex(templateType))
        return QString();
    if (types.Count() == 0)
        return QStringLiteral("Mouse mode needs an event type: define one in \"Event types\" first!");
    return QStringLiteral("Choose the event type that mouse mode records!");
}
