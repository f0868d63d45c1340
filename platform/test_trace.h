#pragma once
// Marks for the fault-injection harness: when the editor is started with
// SCENEMARK_TRACE naming a file or pipe, a few moments worth aiming a kill at
// (a save, a flush of the journal, the recovery question) are written there
// as one line each, so the harness can kill the editor right inside them.
// Off (one relaxed load per mark) unless a trace file was set.
//
// Threads: any thread; each mark is one write() call, so lines from several
// threads never interleave.

#include <string_view>

// The descriptor marks go to; -1 switches them off. Not owned: the caller
// keeps it open for as long as marks may be written.
void SetTestTrace(int fd);
// Writes `mark` and a line end when a trace is set; errors are ignored (a
// harness that stopped reading must not stop the editor).
void TraceTestPoint(std::string_view mark);
