#pragma once
// The status bar's time display and the captions that depend on the time
// unit.

#include "model/time_format.h"

#include <QString>

#include <cstdint>

struct TTimeTexts {
    QString Time;        // "Time: h:mm:ss.mmm"
    QString Millisecond; // "Millisecond: n"
    QString Frame;       // "Frame: n"
};

// currentTime is in `format`; pageSizeMs is the slider's page size (the
// frame period), which converts between the two units.
TTimeTexts FormatTimeTexts(int32_t currentTime, TTimeFormat format, int32_t pageSizeMs);

// The Go to dialog's caption for the unit.
QString GotoCaption(TTimeFormat format);
