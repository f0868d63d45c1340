#pragma once
// Speech transcriptions (XML, root "Trans"): every transcribed segment
// becomes a "Start speaking" event with its text and speaker, or a "Stop
// speaking" event for a pause, recorded through RecordEvent.
//
// Segments are the "Sync" elements of Trans/Episode/Section/Turn. A Sync's
// text is every text node after it up to the next Sync or the end of its
// Turn (inline elements such as Event, Comment, Background or Who add
// nothing), trimmed, with each run of blanks and line breaks inside turned
// into one space; a Sync without text records nothing. The speaker comes
// from the Sync's "chan" (channel n gives Person = the letter 65 + n;
// "default" or a non-integer records nothing), or, without "chan", from the
// Turn's first speaker id: its position n in the document's Speakers list
// gives Person and its "name" gives Speaker; a Turn without speakers (or
// naming one the list lacks) records the segment without parameters.
//
// Times are seconds ("." separator, C conversion, 0 when not a number),
// recorded as milliseconds whatever the project's unit: time x 1000 + the
// offset, truncated toward zero; negative times and times beyond the 32-bit
// range record nothing.

#include "interchange/import_support.h"

#include <cstdint>
#include <string>
#include <string_view>

// Throws TException "Could not open file!", "Empty document!" or "Document
// of the wrong type!" before anything is recorded.
void ImportTranscription(const std::string& fileName, int32_t offsetMs, const TImportTarget& target);
// The same over a file's content.
void ImportTranscriptionBytes(std::string_view bytes, int32_t offsetMs, const TImportTarget& target);
