#pragma once
// The logic of the event and title editing commands: offsets, navigation to
// the previous or next event, modifying and deleting an event, removing the
// events of a deleted type. The dialogs and confirmations stay in the main
// window; these functions are what runs once the user has answered.
//
// Times are in the project's time unit. Threads: the UI thread.

#include "capture/recording.h"
#include "model/parameters.h"
#include "model/project.h"
#include "model/titles.h"

#include <QString>

#include <cstdint>
#include <optional>

// Every event's time becomes time + delta, but at least 0 and at most the
// largest time (no wrap-around). The order does not change. Then the event
// list is refreshed and the timeline repainted.
void OffsetEvents(TProject& project, TCaptureHost& host, int32_t delta);
// The same for the titles, followed by a title list refresh.
void OffsetTitles(TProject& project, TCaptureHost& host, int32_t delta);

// The newest event strictly before currentTime; none when there is none.
std::optional<int32_t> PreviousEventTime(const TEvents& events, int32_t currentTime);
// The oldest event strictly after currentTime; none when there is none.
std::optional<int32_t> NextEventTime(const TEvents& events, int32_t currentTime);

// What the event dialog returned for an event.
struct TEventEdit {
    int32_t Time = 0;
    int32_t TypeIndex = -1; // the combo's index; -1 or stale keeps the type
    QString Text;
    TParameters Parameters;
    bool IsSetForAllSame = false; // "Set parameters for all same events"
};

// Applies an accepted event dialog: type, text and parameters; a changed time
// moves the event after the events of its new time, an unchanged one keeps
// its place. With IsSetForAllSame and at least one parameter, every event of
// the same type without parameters receives a copy of them. An event the
// project does not hold is left alone (false).
bool ModifyEvent(TProject& project, TCaptureHost& host, const TEvent* event, const TEventEdit& edit);

// Deletes the selected event (null: nothing selected, nothing happens).
void DeleteSelectedEvent(TProject& project, TCaptureHost& host, const TEvent* event);
void ClearAllEvents(TProject& project, TCaptureHost& host);

// Replaces the selected event's text ("Insert text"): only while "Inserting"
// is on and an event is selected. True when the text was replaced.
bool InsertEventText(TProject& project, TCaptureHost& host, bool isInserting, const TEvent* event,
                     const QString& text);

// Removes event type `typeIndex` with its events (from the timeline too) and
// renumbers the events of later types; then refreshes the event list and the
// timeline. False for an index that names no type.
bool RemoveEventsOfType(TProject& project, TCaptureHost& host, int32_t typeIndex);

// Titles: insertion at the current time while "Inserting" is on, and an
// accepted title dialog (a changed time moves the title after the titles of
// its new time).
const TTitle* InsertTitle(TProject& project, TCaptureHost& host, bool isInserting, int32_t currentTime,
                          const QString& text);
bool ModifyTitle(TProject& project, TCaptureHost& host, const TTitle* title, int32_t time,
                 const QString& text);
