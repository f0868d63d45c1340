#pragma once
// The bytes of the session journal: a file header, then one frame per step
// of the session (a change, an Undo or a Redo), appended as the session goes.
//
//   file:   "SMJRNL" 0x0D 0x0A, uint32 version, frame (the header payload)
//   frame:  uint32 payload length, uint32 CRC-32 of the payload, payload
//   header payload: base path (string), base mtime ns (int64), base size
//           (int64; -1 with the path empty: a project never saved), start
//           wall time ms (int64)
//   step payload: uint8 step (1 change, 2 undo, 3 redo, 4 change joining
//           the step before), int64 wall time ms, then for a change its
//           encoding (kind byte and fields)
//
// Integers are little-endian; a string is a uint32 byte count and UTF-8.
// A frame whose length runs past the end of the file or whose checksum does
// not match ends the readable journal: the process died while writing it.
//
// No Qt widgets, no threads: encoding runs on the UI thread as changes are
// made, decoding at start-up.

#include "model/project_change.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Version 2 added the media changes; version 1 journals (without them) are
// read as well.
inline constexpr uint32_t JournalVersion = 2;
inline constexpr uint32_t OldestJournalVersion = 1;
inline constexpr std::size_t JournalFrameHeaderBytes = 8;

// Join (from version 2): a change that belongs to the undo step of the
// change before it (the moves of one mouse drag).
enum class TJournalStep : uint8_t { Change = 1, Undo = 2, Redo = 3, Join = 4 };

// What the journal was started against: the project file as it was then.
struct TJournalBase {
    std::string ProjectPath; // empty: never saved
    int64_t ModifiedNs = 0;
    int64_t Size = -1;
    int64_t StartedMs = 0;
};

uint32_t Crc32(std::string_view bytes);

// Appends the encoding of one change (its forward data: what the change
// does, never what it replaced) to out.
void EncodeChange(const TProjectChange& change, std::string& out);
// The file header.
std::string EncodeJournalHeader(const TJournalBase& base);
// Wraps a payload into a frame and appends it to out.
void AppendFrame(std::string_view payload, std::string& out);
// A step payload without the change: kind and time.
void BeginStepPayload(TJournalStep step, int64_t wallTimeMs, std::string& out);

struct TJournalRecord {
    TJournalStep Step = TJournalStep::Change;
    int64_t WallTimeMs = 0;
    std::optional<TProjectChange> Change; // with Step Change and Join
};

struct TJournalContents {
    uint32_t Version = JournalVersion;
    TJournalBase Base;
    std::vector<TJournalRecord> Records;
    // Bytes up to the end of the last complete frame: a writer continuing
    // the journal truncates to it first.
    std::size_t CompleteBytes = 0;
    // True when bytes after the last complete frame were dropped.
    bool HadDamagedTail = false;
};

// Reads a whole journal. nullopt when the bytes are no journal of a version
// read here (wrong magic or version, header frame damaged). A step frame that
// is complete and checks out but does not decode is treated as the damaged
// end.
std::optional<TJournalContents> DecodeJournal(std::string_view bytes);

// Where the version number sits in a journal file (it is a uint32). A
// journal read in an older version and then continued gets the current
// number there, since every older encoding is one of the current one.
inline constexpr std::size_t JournalVersionOffset = 8;
