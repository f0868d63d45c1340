#pragma once
// Where the events panel and the titles panel go across the main window's
// client area. Pixels; margin is the events panel's left margin.

struct TPanelColumns {
    int EventsLeft = 0;
    int EventsWidth = 0;
    int TitlesLeft = 0;
    int TitlesWidth = 0;
};

// Both shown: each takes half the width less one and a half margins, the
// titles panel starting half a margin right of the middle. One shown: it
// spans the width less a margin on each side. The events panel always starts
// at the margin. The geometry of a hidden panel is left as it was in
// `current`. Widths never go below 0.
TPanelColumns LayoutPanels(int clientWidth, int margin, bool eventsShown, bool titlesShown,
                           const TPanelColumns& current);
