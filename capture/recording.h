#pragma once
// Recording events: the one entry through which key presses, event buttons,
// mouse mode and the importers put new events into the project, and the
// handler of the event commands.
//
// Times are in the project's time unit (milliseconds or frames). Threads: the
// UI thread.

#include "model/parameters.h"
#include "model/project.h"

#include <QString>

#include <cstdint>

// The refreshes that follow a change of the event or title list, in the order
// the editor performs them. Implemented by the main window. The timeline's
// rows follow the project's own notifications (TProjectListener), which every
// change of an event passes through; the host only repaints it after changes
// the project does not announce (times offset in place).
class TCaptureHost {
public:
    virtual ~TCaptureHost() = default;
    // Reset the event cursor and refill the event list without following.
    virtual void EventListChanged() = 0;
    // Reset the title cursor and refill the title list without following.
    virtual void TitleListChanged() = 0;
    virtual void RepaintTimeline() = 0;
    // The event panel's "Draw" check box.
    virtual bool IsDrawOn() const = 0;
    // Repaints every video window.
    virtual void RepaintAll() = 0;
};

struct TRecordOptions {
    // Whose CheckEndPoints is honoured; null for none (importers, mouse mode).
    const TEventType* EndPointsType = nullptr;
    // Replace an event of the same type at exactly the same time whose
    // parameters equal the new ones apart from IgnoredNames.
    bool ReplaceSameTime = false;
    const TParameterNames* IgnoredNames = nullptr; // null: none ignored
};

// Inserts the event after the events of equal or earlier time, applies the
// end-point rule or the same-time replacement (the replaced event's text goes
// to the new one, the replaced event is destroyed), then refreshes the list
// and repaints the videos when "Draw" is on. Returns the
// new event. Throws std::invalid_argument for a type index outside the
// project's types.
const TEvent* RecordEvent(TProject& project, TCaptureHost& host, int32_t time, int32_t typeIndex,
                          const TParameters& parameters, const QString& text,
                          const TRecordOptions& options = {});

// currentTime + shift as an event time: never negative, and saturated at the
// largest time instead of wrapping around.
int32_t ShiftedRecordTime(int32_t currentTime, int32_t shift);

// The handler of an event command (key press or button click): nothing while
// "Inserting" is off or when the tag's type no longer exists; otherwise records
// the type (or its secondary key's) parameters at the shifted current time
// with the type's end-point rule. Returns the new event or null.
const TEvent* ExecuteEventCommand(TProject& project, TCaptureHost& host, uint32_t tag, bool isInserting,
                                  int32_t currentTime);

// Mouse mode's recording at the current time: nothing while "Inserting" is off
// or when typeIndex names no type (a template confirmed while there were no
// types). Returns the new event or null.
const TEvent* RecordEventNow(TProject& project, TCaptureHost& host, bool isInserting, int32_t currentTime,
                             int32_t typeIndex, const QString& text, const TParameterNames* ignoredNames,
                             bool replaceSameTime, const TParameters& parameters);

// Mouse mode records the template's type, so it may be switched on only when
// the template names an existing type. The empty text when it may; otherwise
// the message to show the user.
QString MouseModeRefusal(const TEventTypes& types, int32_t templateType);
