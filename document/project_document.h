#pragma once
// The project document: one XML file (root "AVEvents") holding the groups,
// event types, media list, time unit, events, titles and the editor layout.
// The format itself is described in the README ("Project documents").
//
// The document code knows no window. What it needs from the media set and
// from the window layout comes through TDocumentMedia and TDocumentLayout,
// which the main window implements (tests use fakes).
//
// Threads: the user-interface thread (libxml2's error and entity-loader hooks
// are swapped for the duration of a read and restored afterwards).

#include "document/editor_layout.h"
#include "document/settings.h"
#include "model/project.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One medium of the media set as the document stores it.
struct TDocumentMedium {
    std::string FileName; // the path the medium was opened from
    int32_t Camera = -1;  // -1: none
    int32_t Offset = 0;   // milliseconds of project time at which it starts
};

class TDocumentMedia {
public:
    virtual ~TDocumentMedia() = default;

    // Writing: the media in media-list order, then those kept unopened.
    virtual std::vector<TDocumentMedium> Media() const = 0;
    // Frames per second of the first medium that is open and has video; 0
    // when there is none.
    virtual double FirstVideoFrameRate() const = 0;

    // Reading.
    virtual int32_t MediaCount() const = 0;
    // Opens a medium and appends it; its index, or -1 when it does not open
    // (nothing is reported then).
    virtual int32_t AddMedium(const std::string& fileName) = 0;
    virtual void SetCamera(int32_t index, int32_t camera) = 0;
    virtual void SetOffset(int32_t index, int32_t offsetMs) = 0;
    // A medium the document lists that did not open: it stays part of the
    // project (without a window) so that the next write lists it again.
    virtual void KeepUnopened(const TDocumentMedium& medium) = 0;
    // Conversions with the first medium's frame rate; only called while at
    // least one medium is open.
    virtual int32_t FramesFromMs(int32_t ms) const = 0;
    virtual int32_t MsFromFrames(int32_t frames) const = 0;
};

enum class TLayoutPanel { Events, Titles };
enum class TFrameValue { Visible, Size, Left, Top, Width, Height };

// Column headings name the columns in the document, in column order.
inline const std::array<const char*, 4> EventColumnHeadings = {"Time", "Event", "Text", "Parameters"};
inline const std::array<const char*, 2> TitleColumnHeadings = {"Time", "Text"};

struct TMediaWindowFrame {
    TWindowFrame Frame;
    int32_t Size = 2; // 0 quarter, 1 half, 2 natural, 3 double
};

// The window layout of the editor, in pixels.
class TDocumentLayout {
public:
    virtual ~TDocumentLayout() = default;

    virtual bool IsPanelVisible(TLayoutPanel panel) const = 0;
    // `column` indexes EventColumnHeadings or TitleColumnHeadings.
    virtual int32_t ColumnWidth(TLayoutPanel panel, int32_t column) const = 0;
    virtual int32_t MediaWindowCount() const = 0;
    virtual TMediaWindowFrame MediaWindowFrame(int32_t index) const = 0;
    virtual TWindowFrame WindowFrame(TToolWindow window) const = 0;

    // Applied one value at a time, in the document's order. Visible values
    // are integers, non-zero meaning shown; for the secondary windows the
    // receiver runs the window's command when the value differs from its
    // tick. Size arrives clamped to 0-3. Media indexes are in range.
    virtual void SetPanelVisible(TLayoutPanel panel, bool isVisible) = 0;
    virtual void SetColumnWidth(TLayoutPanel panel, int32_t column, int32_t width) = 0;
    virtual void SetMediaWindowValue(int32_t index, TFrameValue field, int32_t value) = 0;
    virtual void SetWindowValue(TToolWindow window, TFrameValue field, int32_t value) = 0;
};

struct TDocumentWriteContext {
    const TProject& Project;
    const TDocumentMedia& Media;
    const TDocumentLayout& Layout;
};

// Writes the whole project to `path` (normally a temporary file handed out
// by SafeSave, in the folder of the final document: media paths are made
// relative to that folder). Throws TException with "Could not create xml
// document!", "Could not create root node!" or "Could not write xml
// document!"; a partly written file is left to the caller to remove.
void WriteDocument(const std::string& path, const TDocumentWriteContext& context);

enum class TReadMode {
    Open,   // replaces the project and restores media and layout
    Import, // merges groups, types, events and titles, shifted by an offset
};

struct TDocumentReadContext {
    TProject& Project;
    TDocumentMedia& Media;
    // Open restores the layout through it; may be null (then it is skipped).
    TDocumentLayout* Layout = nullptr;
    const TPathTransList& PathTranslations;
    // Empties the editor; called by Open once the document has been read
    // completely, never when reading fails.
    std::function<void()> ResetProject;
    // Non-fatal messages ("Event type not found!", a medium that did not
    // open), one per occurrence.
    std::function<void(const std::string& message)> ShowMessage;
};

// Reads the document at `path`. The file is read and checked completely
// before anything changes, so these failures leave the project exactly as it
// was, for Open as well as for Import:
//   "Could not open file!" (unreadable, empty, truncated, not well-formed),
//   "Empty document!", "Document of the wrong type!" (root is not AVEvents).
// `importOffset` (project time unit) is added to imported times; ignored by
// Open. An error while the read document is being applied resets the project
// (Open) and passes on.
void ReadDocument(const std::string& path, TReadMode mode, int32_t importOffset,
                  const TDocumentReadContext& context);
