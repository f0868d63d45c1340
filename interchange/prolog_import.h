#pragma once
// Event facts read back from a Prolog text: event_<type>(<time>, [(<name>,
// <value>), ...]). Every fact whose name begins with "event_" (any letter
// case) adds an event of EnsureEventType(<type>); other facts (begin, end,
// step, camera, ...) are skipped to the end of their line. White space is
// dropped everywhere outside quotes, "%" starts a comment up to the end of
// the line, and in every value "." becomes "," (the parameter readers'
// separator). A name or value that begins with ' is a quoted atom: its
// characters are taken as they stand, with the escapes \\ \' \n \t, \xHH\ for a code point
// and '' for a quote, so the exporter's quoted atoms read back unchanged.
//
// Reading stops quietly at the first character a fact cannot have there (a
// sign before the time, a missing bracket): the events of the facts before
// it stay, the unfinished one is dropped. A time without digits, or beyond
// the 32-bit range, throws TConvertError after the same clean-up.
//
// Events are inserted in time order (after those of equal or earlier time)
// without the recording rules, all at once when reading ends (one change of
// the project), in the order inserting them one by one would give; the event
// list is refreshed once at the end.

#include "interchange/import_support.h"

#include <cstddef>
#include <memory>
#include <string>

// Throws TException("Could not open file!") when the file cannot be read.
void ImportProlog(const std::string& fileName, const TImportTarget& target);

// The reader behind ImportProlog, fed block by block (a fact may span
// blocks). Finish inserts the events read and not yet inserted; call it also
// after Feed threw.
class TPrologReader {
public:
    explicit TPrologReader(TProject& project);
    ~TPrologReader();
    TPrologReader(const TPrologReader&) = delete;
    TPrologReader& operator=(const TPrologReader&) = delete;

    // False once reading has stopped (the rest of the input is ignored).
    // Throws TConvertError for a time that does not convert.
    bool Feed(const char* data, std::size_t size);
    // Room for the events of an input of that many bytes, so that the list
    // of read events is not copied as it grows.
    void ReserveFor(std::size_t inputBytes);
    void Finish();

private:
    class TImpl;
    std::unique_ptr<TImpl> m_impl;
};
