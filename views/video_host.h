#pragma once
// What a video window needs from the main window. The main window implements
// this interface and hands itself to every TFormVideo it creates; the video
// windows never see the main window's class, so they sit below it.
//
// Every call comes from the UI thread, from a video window's mouse handlers,
// its paint, or CommitMouseRegion (which the playback clock also calls at
// each position change and frame step).

#include "model/parameters.h"

#include <QString>

#include <cstdint>

class TVideoHost {
public:
    virtual ~TVideoHost() = default;

    // The Events "Inserting" switch (ActionEventsInserting). Mouse presses in
    // a video window are ignored while it is off.
    virtual bool IsInserting() const = 0;
    // The "Mouse mode" switch (ActionEventMouse). A left-button drag marks a
    // region only while it is on.
    virtual bool IsMouseMode() const = 0;

    // The mouse-mode template: the event that a drag records. Type index into
    // the event types (-1 when none was chosen), text, and parameters (by
    // default Width=64 then Height=64).
    virtual int32_t MouseTemplateType() const = 0;
    virtual QString MouseTemplateText() const = 0;
    virtual TParameters MouseTemplateParameters() const = 0;

    // The name of event type typeIndex, empty when there is no such type.
    virtual QString EventTypeName(int32_t typeIndex) const = 0;

    // Records an event at the current time of the playback clock, but only
    // while "Inserting" is on. typeIndex, text and parameters make the event;
    // with replaceSameTime an event of the same type at the same time whose
    // parameters equal the new ones apart from ignoredNames is replaced.
    // ignoredNames may be nullptr (nothing ignored).
    virtual void RecordEventNow(int32_t typeIndex, const QString& text, const TParameterNames* ignoredNames,
                                bool replaceSameTime, const TParameters& parameters) = 0;

    // Gives the event (of the project's list) a new parameter list, as one
    // change that can be taken back.
    virtual void ChangeEventParameters(const TEvent* event, const TParameters& parameters) = 0;

    // Bracket one drag of the mouse in a video window (press to release):
    // what it records or moves is taken back as one step.
    virtual void DragStarted() {}
    virtual void DragEnded() {}

    // Refills the event grid from the events; with moveCursor false the grid's
    // cursor stays where it is. Called after a moved rectangle rewrote its
    // event's parameters.
    virtual void FillEventGrid(bool moveCursor) = 0;

    // A preview picture for the dragged slider came in after the position
    // change and the window repainted with it; views that show the
    // window's picture refresh.
    virtual void PreviewShown() {}
};
