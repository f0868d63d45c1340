#include "capture/editing.h"

#include <limits>
#include <memory>
#include <vector>

namespace {

void GiveParametersToBareEvents(TProject& project, const TEvent& edited) {
    if (edited.Parameters.IsEmpty())
        return;
    std::vector<const TEvent*> bare;
    for (const auto& event : project.Events()) {
        if (event->EventType == edited.EventType && event->Parameters.IsEmpty())
            bare.push_back(event.get());
    }
    // They move to the edited event's row of the timeline.
    for (const TEvent* event : bare)
        project.ChangeEvent(event, event->EventType, event->Text, edited.Parameters);
}

} // namespace

void OffsetEvents(TProject& project, TCaptureHost& host, int32_t delta) {
    project.OffsetEvents(delta);
    host.EventListChanged();
    host.RepaintTimeline();
}

void OffsetTitles(TProject& project, TCaptureHost& host, int32_t delta) {
    project.OffsetTitles(delta);
    host.TitleListChanged();
}

std::optional<int32_t> PreviousEventTime(const TEvents& events, int32_t currentTime) {
    const std::size_t firstNotBefore = events.LowerBound(currentTime);
    if (firstNotBefore == 0)
        return std::nullopt;
    return events[firstNotBefore - 1]->Time;
}

std::optional<int32_t> NextEventTime(const TEvents& events, int32_t currentTime) {
    const std::size_t firstAfter = events.UpperBound(currentTime);
    if (firstAfter == events.Count())
        return std::nullopt;
    return events[firstAfter]->Time;
}

bool ModifyEvent(TProject& project, TCaptureHost& host, const TEvent* event, const TEventEdit& edit) {
    const std::ptrdiff_t index = project.Events().IndexOf(event);
    if (index < 0)
        return false;
    const TEvent* edited = project.Events()[static_cast<std::size_t>(index)];
    const TProject::TChangeScope scope(project);
    // The dialog's list is empty when there are no types; an event must keep
    // a valid type, so such an answer leaves the type as it was.
    const int32_t type = project.EventTypes.IsValidIndex(edit.TypeIndex) ? edit.TypeIndex : edited->EventType;
    project.ChangeEvent(edited, type, edit.Text, edit.Parameters);
    if (edit.Time != edited->Time)
        project.MoveEventToTime(edited, edit.Time);
    if (edit.IsSetForAllSame)
        GiveParametersToBareEvents(project, *edited);
    host.EventListChanged();
    host.RepaintAll();
    return true;
}

void DeleteSelectedEvent(TProject& project, TCaptureHost& host, const TEvent* event) {
    if (!event || project.Events().IndexOf(event) < 0)
        return;
    project.DeleteEvent(event);
    host.EventListChanged();
    host.RepaintAll();
}

void ClearAllEvents(TProject& project, TCaptureHost& host) {
    project.ClearEvents();
    host.EventListChanged();
    host.RepaintAll();
}

bool InsertEventText(TProject& project, TCaptureHost& host, bool isInserting, const TEvent* event,
                     const QString& text) {
    if (!isInserting || !event)
        return false;
    const std::ptrdiff_t index = project.Events().IndexOf(event);
    if (index < 0)
        return false;
    const TEvent* changed = project.Events()[static_cast<std::size_t>(index)];
    project.ChangeEvent(changed, changed->EventType, text, changed->Parameters);
    host.EventListChanged();
    return true;
}

bool RemoveEventsOfType(TProject& project, TCaptureHost& host, int32_t typeIndex) {
    if (!project.DeleteEventType(typeIndex))
        return false;
    host.EventListChanged();
    host.RepaintTimeline();
    return true;
}

const TTitle* InsertTitle(TProject& project, TCaptureHost& host, bool isInserting, int32_t currentTime,
                          const QString& text) {
    if (!isInserting)
        return nullptr;
    const TTitle* inserted = project.InsertTitle(std::make_unique<TTitle>(text, currentTime));
    host.TitleListChanged();
    return inserted;
}

bool ModifyTitle(TProject& project, TCaptureHost& host, const TTitle* title, int32_t time,
                 const QString& text) {
    if (project.Titles.IndexOf(title) < 0)
        return false;
    const TProject::TChangeScope scope(project);
    project.ChangeTitleText(title, text);
    if (time != title->Time)
        project.MoveTitleToTime(title, time);
    host.TitleListChanged();
    return true;
}
