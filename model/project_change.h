#pragma once
// One change of the annotation, as TProject applies it, takes it back and
// applies it again. A change holds what it needs in both directions: what
// is to be done (filled in by the caller of TProject, or read back from a
// journal) and what it replaced (filled in as it is applied). Removed events
// and titles are moved into the change, never copied, so taking back a Clear
// of a million events costs one move of the list.
//
// Times are in the project's unit. Indexes are positions in the project's
// lists at the moment the change applies.

#include "model/event_type_groups.h"
#include "model/event_types.h"
#include "model/events.h"
#include "model/time_format.h"
#include "model/titles.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

enum class TChangeKind : uint8_t {
    EventInsert,  // Event; Index: where it went
    EventsInsert, // Events (a batch, as InsertEvents)
    EventDelete,  // Index; Event: the removed one
    EventMove,    // Index, Time (new); OtherIndex: where it went
    EventChange,  // Index; Event holds the type, text and parameters
    EventsClear,  // Events: the removed list
    EventsOffset, // Delta; Times: the times before
    TypeAdd,      // Type
    TypeEdit,     // Index, Type
    TypeDelete,   // Index; Type, Taken events, Filter: what it removed
    GroupAdd,     // Group
    GroupEdit,    // Index, Group
    GroupDelete,  // Index; Group, TypeIndexes: the types that had it
    Filter,       // Filter: the type indexes the event filter hides
    TitleInsert,  // Title; Index
    TitlesInsert, // Titles
    TitleDelete,  // Index; Title
    TitleMove,    // Index, Time; OtherIndex
    TitleText,    // Index; Title holds the text
    TitlesClear,  // Titles
    TitlesOffset, // Delta; Times
    TimeFormat,   // Format; Times: every stored time in the new unit
    Compound,     // Children, applied in order and taken back in reverse
    // The media set lives above the model; these are applied and taken back
    // by its TMediaChangeHandler. Index: the medium's place in the set.
    MediumAdd,    // Medium.FileName; Index: where it went
    MediumRemove, // Index; Medium: the removed one's path, camera and offset
    MediumCamera, // Index, Medium.Camera (new; -1 none); Delta: the one before
    MediumOffset, // Index, Medium.Offset (new, ms); Delta: the one before
};

inline bool IsMediaChange(TChangeKind kind) {
    return kind >= TChangeKind::MediumAdd;
}

// One medium as a change carries it: the path exactly as the media set keeps
// it, its camera (-1: none) and its offset in milliseconds.
struct TMediumRecord {
    QString FileName;
    int32_t Camera = -1;
    int32_t Offset = 0;
};

struct TProjectChange {
    explicit TProjectChange(TChangeKind kind) : Kind(kind) {}
    TProjectChange(TProjectChange&&) noexcept = default;
    TProjectChange& operator=(TProjectChange&&) noexcept = default;

    TChangeKind Kind;
    std::size_t Index = 0;
    std::size_t OtherIndex = 0;
    int32_t Time = 0;
    int32_t Delta = 0;
    TTimeFormat Format = TTimeFormat::Milliseconds;
    std::unique_ptr<TEvent> Event;
    std::vector<std::unique_ptr<TEvent>> Events;
    std::vector<TTimeOrderedList<TEvent>::TTaken> Taken;
    std::unique_ptr<TTitle> Title;
    std::vector<std::unique_ptr<TTitle>> Titles;
    // EventsOffset, TitlesOffset: one per item, in list order. TimeFormat:
    // the events', then the titles', then per type its offset followed by
    // its secondary keys' offsets.
    std::vector<int32_t> Times;
    std::vector<int32_t> TypeIndexes;
    // EventsInsert, TitlesInsert: the items the batch put in, to take them
    // back out.
    std::vector<const void*> Inserted;
    std::set<int32_t> Filter;
    TEventType Type;
    TEventTypeGroup Group;
    TMediumRecord Medium;
    std::vector<TProjectChange> Children;
};

// Applies media changes for the project, which holds no media. Called on the
// UI thread from Undo, Redo, Replay and TProject::ChangeMedia.
class TMediaChangeHandler {
public:
    virtual ~TMediaChangeHandler() = default;
    // Throws std::invalid_argument when the change does not fit the media
    // set (an index past its end).
    virtual void CheckMediaChange(const TProjectChange& change) const = 0;
    // A medium that no longer opens is no error here: the handler reports it
    // and leaves it out, keeping the indexes of the changes that follow.
    virtual void DoMediaChange(TProjectChange& change) = 0;
    virtual void RevertMediaChange(TProjectChange& change) = 0;
};

// Told of every change as it is made, for a journal of the session. Called
// on the UI thread, before the change applies (its forward data is then
// complete); Scope calls bracket the changes that form one undo step.
class TChangeObserver {
public:
    virtual ~TChangeObserver() = default;
    virtual void ChangeMade(const TProjectChange& change) = 0;
    virtual void ScopeOpened() = 0;
    virtual void ScopeClosed() = 0;
    virtual void Undone() = 0;
    virtual void Redone() = 0;
    // Bracket the changes of one mouse drag, which join one undo step while
    // each is told at once (a drag may last minutes).
    virtual void JoinOpened() {}
    virtual void JoinClosed() {}
};
