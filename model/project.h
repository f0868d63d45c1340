#pragma once
// TProject: the annotation of one running editor, without any window: event
// types and their groups, the type filter, events, titles and the time unit.
// Windows hold a reference to it and listen to its changes.
//
// Types and groups are referred to by index. Types and groups may be edited
// in place and appended through the public lists (then call
// NotifyTypesChanged / NotifyGroupsChanged), but removals go through
// DeleteEventType and DeleteGroup, which renumber every reference.
//
// Events are reachable only read-only from here so that every insertion and
// removal passes through TProject and reaches the listeners: views keep
// pointers to events and must drop them before the events are destroyed.
//
// Used from the user-interface thread only.

#include "model/event_type_groups.h"
#include "model/event_types.h"
#include "model/events.h"
#include "model/time_format.h"
#include "model/titles.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

// Implemented by views; every member has an empty default.
class TProjectListener {
public:
    virtual ~TProjectListener() = default;
    // After an event entered the list (also after MoveEventToTime and
    // ChangeEvent).
    virtual void EventInserted(const TEvent* /*event*/) {}
    // Before an event leaves the list (deleted, taken, moved to a new time or
    // about to be changed by ChangeEvent); the event and the lists of types
    // and events are still intact.
    virtual void EventRemoving(const TEvent* /*event*/) {}
    // Before every event is destroyed at once; EventRemoving is not called.
    virtual void EventsClearing() {}
    // After types were appended, removed or renumbered.
    virtual void TypesChanged() {}
    // After groups were appended or removed.
    virtual void GroupsChanged() {}
};

class TProject {
public:
    TProject() = default;
    TProject(const TProject&) = delete;
    TProject& operator=(const TProject&) = delete;

    TEventTypes EventTypes;
    TEventTypeGroups Groups;
    // Type indexes whose events the event filter hides.
    std::set<int32_t> FilteredTypes;
    TTitles Titles;
    TTimeFormat TimeFormat = TTimeFormat::Milliseconds;

    const TEvents& Events() const { return m_events; }

    // Listeners are not owned and must be removed before they go away.
    void AddListener(TProjectListener* listener);
    void RemoveListener(TProjectListener* listener);

    // Inserts after the events of equal or earlier time and returns the
    // event. Throws std::invalid_argument for a null event or a type index
    // outside EventTypes.
    TEvent* InsertEvent(std::unique_ptr<TEvent> event);
    // Inserts a batch in the order inserting one by one would give, much
    // faster for large batches (document loading, imports). Same checks
    // (nothing is inserted when one fails).
    void InsertEvents(std::vector<std::unique_ptr<TEvent>> events);
    // Events passed by pointer must be alive (they are read for their
    // time); an event of another list is fine and is not found.
    // Removes and destroys; false when the list does not hold the event.
    bool DeleteEvent(const TEvent* event);
    // Removes and hands over; null when the list does not hold the event.
    std::unique_ptr<TEvent> TakeEvent(const TEvent* event);
    // Gives the event a new time and places it after the events of that
    // time. Returns its new index, or -1 when the list does not hold it.
    std::ptrdiff_t MoveEventToTime(const TEvent* event, int32_t time);
    void ClearEvents();
    // The one way to change an event's type, text or parameters: listeners
    // see it leave before and enter again after, so views keyed by them
    // (timeline rows, label widths) follow. Its time and place stay. False
    // when the list does not hold the event; throws std::invalid_argument
    // for a type index outside EventTypes (then nothing changes).
    bool ChangeEvent(const TEvent* event, int32_t type, QString text, TParameters parameters);

    // Rewrites every stored time of the project in another unit: event and
    // title times, and the time shifts of the event types and their
    // secondary keys. convert should be non-decreasing (see ConvertTimes).
    // Listeners are not told; callers refresh their views afterwards.
    void ConvertTimes(const std::function<int32_t(int32_t)>& convert);

    // Removes type `index`, destroys its events, renumbers the events of
    // later types and the filter set. False (nothing changed) for an index
    // outside the list.
    bool DeleteEventType(int32_t index);
    // Removes group `index`; its types lose their group, types of later
    // groups are renumbered. False (nothing changed) for an index outside the
    // list.
    bool DeleteGroup(int32_t index);

    // The list operations of the same names, notifying the listeners when
    // something was appended.
    int32_t AddEventType(const TEventType& type);
    int32_t EnsureEventType(const QString& name);
    int32_t EnsureBuiltInType(int32_t row);
    int32_t AddGroup(const TEventTypeGroup& group);
    int32_t EnsureGroup(const QString& name);

    void NotifyTypesChanged();
    void NotifyGroupsChanged();

    // An empty project: no events, titles, types, groups or filter,
    // milliseconds.
    void Reset();

private:
    template <typename F> void Notify(F&& call);
    void CheckInsertable(const TEvent* event) const;

    TEvents m_events;
    std::vector<TProjectListener*> m_listeners;
};
