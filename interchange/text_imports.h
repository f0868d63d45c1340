#pragma once
// Results of external processing as plain text, read with C formatted input
// in the "C" locale whatever the user's locale (so 0.5 never reads as 0):
//
// - Output events: pairs "time camera" of decimal integers separated by any
//   white space; each records an event of the built-in type "Output" with
//   Camera = camera at time (project unit).
// - Graph: pairs "time value", an integer and a decimal number ("."); each
//   records a "Graph" event at time + offset with Color = the colour asked
//   for and Value = the value as parameter text (FloatParameterText).
// - Objects: one record per line, name(time,camera,object,centerX,centerY,
//   minX,minY,maxX,maxY[,]person) for a region or name(time,camera,object,
//   beginX,beginY,endX,endY[,ignored]) for an arrow; the name (everything
//   before "(", blanks included) names the event type (EnsureEventType).
//   Region events carry Camera, Object, CenterX, CenterY, MinX, MinY, MaxX,
//   MaxY, Person; arrows Camera, Object, BeginX, BeginY, EndX, EndY. They are
//   inserted without the recording rules.
//
// Reading stops quietly at the first record that does not convert (a blank
// line ends an objects file); what was read before stays. A time that does
// not fit the 32-bit range after the offset is added skips its pair, and so
// does a graph value beyond the float range.
// The event list is refreshed once at the end.

#include "interchange/import_support.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// Each throws TException("Could not open file!") when the file cannot be
// read; nothing is created then. ImportObjects reads in blocks of 131072
// bytes: a read that fails after the first block inserts no event, though
// the types of the records read before it stay.
void ImportOutputEvents(const std::string& fileName, const TImportTarget& target);
void ImportGraph(const std::string& fileName, int32_t offset, int32_t color, const TImportTarget& target);
void ImportObjects(const std::string& fileName, const TImportTarget& target);

// The same over a file's content.
void ImportOutputEventsText(std::string_view text, const TImportTarget& target);
void ImportGraphText(std::string_view text, int32_t offset, int32_t color, const TImportTarget& target);
void ImportObjectsText(std::string_view text, const TImportTarget& target);

// The objects reader behind ImportObjects, fed block by block: a record a
// block's end may have cut waits for the next block, so any cut gives the
// events of the whole text. Finish takes what is left as the end of the
// input and inserts the events read (one change of the project); without
// it nothing is inserted.
class TObjectsReader {
public:
    explicit TObjectsReader(TProject& project);
    ~TObjectsReader();
    TObjectsReader(const TObjectsReader&) = delete;
    TObjectsReader& operator=(const TObjectsReader&) = delete;

    // Room for the events of an input of that many bytes.
    void ReserveFor(std::size_t inputBytes);
    // False once reading has stopped (the rest of the input is ignored).
    bool Feed(std::string_view block);
    void Finish();

private:
    class TImpl;
    std::unique_ptr<TImpl> m_impl;
};
