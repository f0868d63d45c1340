#pragma once
// The layout of the editor's windows as a project document stores it: the
// two list panels (shown or not, column widths in pixels) and the frames of
// the six tool windows the Windows menu shows and hides. Plain values, so the
// document reader and writer need no widgets.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The tool windows in the order the document lists them.
enum class TToolWindow : int32_t {
    EventsList,    // the event type list
    EventsButtons, // the event buttons
    EventsGroups,  // the group list
    Output,
    TimeLine,
    Graph,
};

inline constexpr std::size_t ToolWindowCount = 6;
inline constexpr std::array<TToolWindow, ToolWindowCount> AllToolWindows{
    TToolWindow::EventsList, TToolWindow::EventsButtons, TToolWindow::EventsGroups,
    TToolWindow::Output,     TToolWindow::TimeLine,      TToolWindow::Graph};

// The element name of the window in the document's layout section.
inline const char* ToolWindowElementName(TToolWindow window) {
    constexpr std::array<const char*, ToolWindowCount> names{"EventsList", "EventsButtons", "EventsGroups",
                                                             "Output",     "TimeLine",      "Graph"};
    return names[static_cast<std::size_t>(window)];
}

// Only these windows take a stored size; the others size themselves from
// their content.
inline bool ToolWindowTakesStoredSize(TToolWindow window) {
    return window == TToolWindow::Output || window == TToolWindow::TimeLine || window == TToolWindow::Graph;
}

// Screen position and outer size of a window, in pixels.
struct TWindowFrame {
    bool Visible = false; // the tick of the command that shows the window
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool operator==(const TWindowFrame&) const = default;
};

// What a document gives for a window; absent values leave the window as it is.
struct TWindowFramePatch {
    std::optional<bool> Visible;
    std::optional<int32_t> Left;
    std::optional<int32_t> Top;
    std::optional<int32_t> Width;
    std::optional<int32_t> Height;
};

struct TPanelLayout {
    bool Visible = false;
    std::vector<int32_t> ColumnWidths; // in column order
    bool operator==(const TPanelLayout&) const = default;
};

struct TEditorLayout {
    TPanelLayout Events;
    TPanelLayout Titles;
    std::array<TWindowFrame, ToolWindowCount> ToolWindows{};

    const TWindowFrame& Frame(TToolWindow window) const {
        return ToolWindows[static_cast<std::size_t>(window)];
    }
    bool operator==(const TEditorLayout&) const = default;
};
