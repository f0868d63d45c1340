#pragma once
// Events: typed, time-stamped annotations, kept sorted by time in TEvents.
//
// An event refers to its type by index into TEventTypes; while the event is in
// the project's list that index is valid, because removing a type removes or
// renumbers its events (TProject::DeleteEventType). Time is in the project's
// time unit and may be negative.

#include "model/event_types.h"
#include "model/parameters.h"
#include "model/time_ordered_list.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <utility>

struct TEvent {
    TEvent(int32_t eventType, int32_t time) : EventType(eventType), Time(time) {}
    // By value: a reader hands its freshly built text and list over without
    // a copy.
    TEvent(int32_t eventType, int32_t time, QString text, TParameters parameters)
        : EventType(eventType), Time(time), Text(std::move(text)), Parameters(std::move(parameters)) {}

    int32_t EventType;
    int32_t Time;
    QString Text;
    TParameters Parameters;
};

// Owns its events. See time_ordered_list.h for order, identity and bounds.
class TEvents : public TTimeOrderedList<TEvent> {
public:
    std::size_t InsertEvent(std::unique_ptr<TEvent> event) { return Insert(std::move(event)); }
    void ClearEvents() { Clear(); }
};

// The cells of an event list row: time, type name, text, parameters' text
// form. An event whose type index is outside `types` gets an empty name.
QStringList EventToRow(const TEvent& event, const TEventTypes& types);
