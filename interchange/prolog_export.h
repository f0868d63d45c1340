#pragma once
// Events as Prolog facts, for Prolog programs to reason about:
//   begin(0).  end(<length ms>).  step(<frame period ms>).
//   camera(<camera>, <width>, <height>).   per video window with a camera
//   event_<type>(<time>, [(<name>, <value>), ...]).   per event
// grouped by type index, each type's events in time order; every line ends
// with CR LF; times in the project's unit.
//
// Names and values are turned into atoms: "," becomes ".", "." becomes "_"
// in type names only, blank and ()[] become "_", then everything is
// lower-cased. A result that Prolog reads as that very atom (a lower-case
// letter followed by letters, digits and "_") or as a number (1200, 1.5,
// -3) is written as it is; anything else is quoted with ', escaping \ and '
// (and control characters), so 'look-away', '3rd' and '50%' read back as
// the atoms they are. The empty text is ''.

#include "model/project.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

struct TPrologCamera {
    int32_t Camera = 0;
    int32_t Width = 0;
    int32_t Height = 0;
};

struct TPrologHeader {
    int32_t LengthMs = 0;               // the position slider's maximum
    int32_t FramePeriodMs = 1;          // the slider's page size
    std::vector<TPrologCamera> Cameras; // media-list order, cameras >= 0 only
};

// The atom for a parameter name or value (isTypeName false) in UTF-8.
QByteArray PrologAtom(const QString& text, bool isTypeName);
// The fact name of a type: event_<atom>, quoted as a whole when needed.
QByteArray PrologFactName(const QString& typeName);

// Writes through SafeSave: the target changes only once the whole file is
// written. Throws TException "Could not create file!" when the temporary file
// cannot be created, "Could not write file!" when writing fails, "Could not
// move temp file!" when it cannot replace the target.
void ExportProlog(const std::string& fileName, const TProject& project, const TPrologHeader& header);
