#pragma once
// TProject: the annotation of one running editor, without any window: event
// types and their groups, the type filter, events, titles and the time unit.
// Windows hold a reference to it and listen to its changes.
//
// Every change goes through the member functions below: the lists are
// reachable read-only only (the public members are const references), so
// each change is recorded once, can be taken back (Undo) and made again
// (Redo), and is told to the journal's observer. Types and groups are
// referred to by index; their removal renumbers every reference, and taking
// it back numbers them as they were.
//
// Views keep pointers to events and must drop them before the events leave
// the list (EventRemoving, EventsClearing). Listeners are told after a list
// is consistent again, except EventRemoving, which comes while the leaving
// event and the lists are still intact.
//
// Used from the user-interface thread only.

#include "model/event_type_groups.h"
#include "model/event_types.h"
#include "model/events.h"
#include "model/project_change.h"
#include "model/time_format.h"
#include "model/titles.h"

#include <cstddef>
#include <cstdint>
#include <deque>
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
    // Before an event leaves the list (deleted, moved to a new time or about
    // to be changed by ChangeEvent); the event and the lists of types and
    // events are still intact.
    virtual void EventRemoving(const TEvent* /*event*/) {}
    // Before every event leaves at once; EventRemoving is not called.
    virtual void EventsClearing() {}
    // After the times of every event were rewritten in place (offset, time
    // unit); the order did not change.
    virtual void EventsRetimed() {}
    // After types were appended, edited, removed or renumbered.
    virtual void TypesChanged() {}
    // After groups were appended, edited or removed.
    virtual void GroupsChanged() {}
    // After a change was recorded, undone or redone, or the history was
    // cleared: what Undo and Redo can do may have changed.
    virtual void HistoryChanged() {}
};

class TProject {
public:
    TProject() = default;
    TProject(const TProject&) = delete;
    TProject& operator=(const TProject&) = delete;

    // Undo keeps at least this many steps; older ones are forgotten.
    static constexpr std::size_t UndoLevels = 10000;

    // Read-only views of the project's state.
    const TEventTypes& EventTypes = m_types;
    const TEventTypeGroups& Groups = m_groups;
    // Type indexes whose events the event filter hides.
    const std::set<int32_t>& FilteredTypes = m_filteredTypes;
    const TTitles& Titles = m_titles;
    const TTimeFormat& TimeFormat = m_timeFormat;
    const TEvents& Events() const { return m_events; }

    // Listeners are not owned and must be removed before they go away.
    void AddListener(TProjectListener* listener);
    void RemoveListener(TProjectListener* listener);
    // Not owned; null for none.
    void SetChangeObserver(TChangeObserver* observer) { m_observer = observer; }
    // Not owned; null for none (media changes are then refused with
    // std::invalid_argument).
    void SetMediaHandler(TMediaChangeHandler* handler) { m_mediaHandler = handler; }

    // --- Events ---------------------------------------------------------
    // Inserts after the events of equal or earlier time and returns the
    // event. Throws std::invalid_argument for a null event or a type index
    // outside EventTypes.
    const TEvent* InsertEvent(std::unique_ptr<TEvent> event);
    // Inserts a batch in the order inserting one by one would give, much
    // faster for large batches (document loading, imports). Same checks
    // (nothing is inserted when one fails).
    void InsertEvents(std::vector<std::unique_ptr<TEvent>> events);
    // Events passed by pointer must be alive (they are read for their
    // time); an event of another list is fine and is not found.
    // False when the list does not hold the event.
    bool DeleteEvent(const TEvent* event);
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
    // Every event's time becomes time + delta, but at least 0 and at most the
    // largest time (no wrap-around); the order does not change.
    void OffsetEvents(int32_t delta);

    // --- Titles ---------------------------------------------------------
    const TTitle* InsertTitle(std::unique_ptr<TTitle> title);
    void InsertTitles(std::vector<std::unique_ptr<TTitle>> titles);
    bool DeleteTitle(const TTitle* title);
    std::ptrdiff_t MoveTitleToTime(const TTitle* title, int32_t time);
    bool ChangeTitleText(const TTitle* title, QString text);
    void ClearTitles();
    void OffsetTitles(int32_t delta);

    // --- Time unit --------------------------------------------------------
    // Sets the unit and rewrites every stored time of the project with
    // convert: event and title times, and the time shifts of the event
    // types and their secondary keys. convert must be non-decreasing so the
    // lists keep their order. Listeners hear EventsRetimed.
    void SwitchTimeFormat(TTimeFormat format, const std::function<int32_t(int32_t)>& convert);

    // --- Media -------------------------------------------------------------
    // A media change (IsMediaChange), applied through the media handler and
    // recorded. Throws std::invalid_argument for another kind, without a
    // handler, or when the handler refuses it.
    void ChangeMedia(TProjectChange change);
    // A media change the caller has already made (a medium opened by the
    // user: only opening tells whether it opens), with the data Do would
    // have left in it; it is journalled and becomes an undo step.
    void RecordMediaChange(TProjectChange change);

    // --- Types, groups and the filter -----------------------------------
    // Removes type `index`, destroys its events, renumbers the events of
    // later types and the filter set. False (nothing changed) for an index
    // outside the list.
    bool DeleteEventType(int32_t index);
    // Removes group `index`; its types lose their group, types of later
    // groups are renumbered. False (nothing changed) for an index outside the
    // list.
    bool DeleteGroup(int32_t index);
    // Replace a type or group by another value (its index and references
    // stay). False for an index outside the list. A type's Group must be -1
    // or a valid group index (std::invalid_argument otherwise).
    bool ChangeEventType(int32_t index, TEventType type);
    bool ChangeGroup(int32_t index, TEventTypeGroup group);
    // The list operations of the same names, notifying the listeners when
    // something was appended.
    int32_t AddEventType(const TEventType& type);
    int32_t EnsureEventType(const QString& name);
    int32_t EnsureBuiltInType(int32_t row);
    int32_t AddGroup(const TEventTypeGroup& group);
    int32_t EnsureGroup(const QString& name);
    // Edit a copy of type (group) `index` and put it in place as one change;
    // false for an index outside the list.
    template <typename F> bool EditEventType(int32_t index, F&& edit) {
        if (!m_types.IsValidIndex(index))
            return false;
        TEventType type = m_types[index];
        edit(type);
        return ChangeEventType(index, std::move(type));
    }
    template <typename F> bool EditGroup(int32_t index, F&& edit) {
        if (!m_groups.IsValidIndex(index))
            return false;
        TEventTypeGroup group = m_groups[index];
        edit(group);
        return ChangeGroup(index, std::move(group));
    }
    // Indexes outside EventTypes are dropped.
    void SetFilteredTypes(std::set<int32_t> filtered);
    // The unit alone, no time rewritten (a document read in that unit).
    void SetTimeFormat(TTimeFormat format) {
        SwitchTimeFormat(format, [](int32_t time) { return time; });
    }

    void NotifyTypesChanged();
    void NotifyGroupsChanged();

    // --- History ----------------------------------------------------------
    // While a scope is open, the changes made form one undo step (an import,
    // a dialog's several changes). Scopes nest; the outermost one closes the
    // step.
    class TChangeScope {
    public:
        explicit TChangeScope(TProject& project);
        ~TChangeScope();
        TChangeScope(const TChangeScope&) = delete;
        TChangeScope& operator=(const TChangeScope&) = delete;

    private:
        TProject& m_project;
    };

    // Between BeginJoinedStep and EndJoinedStep (a mouse drag, which spans
    // many events of the window system) every change is applied and told to
    // the observer at once, and they all form one undo step. Undo and Redo
    // wait for the end. Calls do not nest: a second Begin does nothing.
    void BeginJoinedStep();
    void EndJoinedStep();
    // Replays a change that joined the step before it.
    void ReplayJoined(TProjectChange change);

    bool CanUndo() const { return !m_undo.empty() && m_openScopes == 0 && !m_isJoining; }
    bool CanRedo() const { return !m_redo.empty() && m_openScopes == 0 && !m_isJoining; }
    // Take back the newest step, or make the newest undone step again; false
    // when there is none (or a scope is open).
    bool Undo();
    bool Redo();
    std::size_t UndoCount() const { return m_undo.size(); }
    void ClearHistory();
    // Applies a change read back from a journal as if it were made now.
    // Throws std::invalid_argument when it does not fit the project (an
    // index outside a list); then nothing changed.
    void Replay(TProjectChange change);

    // An empty project: no events, titles, types, groups or filter,
    // milliseconds, no history.
    void Reset();

private:
    template <typename F> void Notify(F&& call);
    void CheckInsertable(const TEvent* event) const;
    void CheckApplicable(const TProjectChange& change) const;
    // Checks, tells the observer, applies and records; the index the change
    // left its item at (inserts, moves).
    std::size_t Commit(TProjectChange change);
    void Push(TProjectChange change);
    void CloseScope();
    void Do(TProjectChange& change);
    void Revert(TProjectChange& change);
    void DoEvents(TProjectChange& change);
    void RevertEvents(TProjectChange& change);
    void DoTypes(TProjectChange& change);
    void RevertTypes(TProjectChange& change);
    void DoTitles(TProjectChange& change);
    void RevertTitles(TProjectChange& change);
    void SwapTimeFormat(TProjectChange& change);
    void NotifyInsertedAll();

    TEventTypes m_types;
    TEventTypeGroups m_groups;
    std::set<int32_t> m_filteredTypes;
    TTitles m_titles;
    TTimeFormat m_timeFormat = TTimeFormat::Milliseconds;
    TEvents m_events;
    std::vector<TProjectListener*> m_listeners;
    TChangeObserver* m_observer = nullptr;
    TMediaChangeHandler* m_mediaHandler = nullptr;
    std::deque<TProjectChange> m_undo;
    std::vector<TProjectChange> m_redo;
    int m_openScopes = 0;
    bool m_isJoining = false;
    // The newest undo step is the joined one: later changes go into it.
    bool m_hasJoinedStep = false;
    std::vector<TProjectChange> m_scopeChanges;
};
