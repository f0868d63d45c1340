#pragma once
// The widget-free part of the region export: which events of a step qualify,
// the rectangle they cut out of a camera's picture, and the records of the
// data and index files.
//
// Data file: per cut-out the width and height (signed 32-bit little-endian),
// then its rows from the bottom one up, each width pixels of blue, green, red,
// no padding. Index file: per cut-out the playback position in milliseconds and
// the data file offset its record starts at (both signed 32-bit).

#include "model/events.h"
#include "model/parameters.h"

#include <QFile>
#include <QString>

#include <cstdint>
#include <vector>

// "regions.bitmap" -> "regions.index"; a name without extension gets ".index".
QString RegionIndexFileName(const QString& dataFileName);

struct TRegionQuery {
    int32_t EventType = -1;
    int32_t Camera = 0;
    QString Person;
};

// The region parameters of an event, looked up by exact name (letter case
// matters). The first 13 are integers.
struct TEventRegion {
    enum TField { MinX, MinY, MaxX, MaxY, X1, Y1, X2, Y2, X3, Y3, X4, Y4, Camera, FieldCount };
    int32_t Values[FieldCount] = {};
    bool Has[FieldCount] = {};
    QString Person; // empty when absent
};

// Throws TConvertError "Invalid value!" when one of the 13 integer names holds
// anything but an integer.
TEventRegion ReadEventRegion(const TParameters& parameters);

// The event has Camera, the chosen type, camera and person (exactly), and all
// four of MinX, MinY, MaxX, MaxY.
bool RegionQualifies(int32_t eventType, const TEventRegion& region, const TRegionQuery& query);

// The events exactly at time: from the event at cursorIndex (-1: none)
// backwards while their time equals time, newest first.
std::vector<const TEvent*> EventsAtStep(const TEvents& events, int32_t cursorIndex, int32_t time);

struct TRegionBox {
    int32_t X0;
    int32_t Y0;
    int32_t Width;
    int32_t Height;
};

// The corners in the picture's pixels: sx, sy = picture size ÷ video size;
// each corner truncated toward zero, both ends included.
TRegionBox RegionBox(const TEventRegion& region, double sx, double sy);

// A picture of 32-bit pixels (blue, green, red, a fourth byte), rows top to
// bottom.
struct TRegionPicture {
    const uint8_t* Pixels;
    int32_t Width;
    int32_t Height;
    int32_t BytesPerLine;
};

// The data record of the box: its header and rows. Pixels outside the picture
// are stored black, so a region reaching past the edge still has the size its
// header says.
std::vector<uint8_t> RegionRecord(const TRegionPicture& picture, const TRegionBox& box);

// The two files of one export, written from their start.
class TRegionExportFiles {
public:
    // False when either file cannot be opened (neither stays open).
    bool Open(const QString& dataFileName);
    // Appends the index record (position, the data file's offset) and the data
    // record. Throws TException "Could not write file!" when a write fails or
    // the record would start beyond what a 32-bit offset reaches.
    void Append(int32_t positionMs, const std::vector<uint8_t>& record);
    void Close();

private:
    QFile m_data;
    QFile m_index;
};
