#include "document/ui/panel_layout.h"

#include <algorithm>

TPanelColumns LayoutPanels(int clientWidth, int margin, bool eventsShown, bool titlesShown,
                           const TPanelColumns& current) {
    TPanelColumns columns = current;
    columns.EventsLeft = margin;
    if (eventsShown && titlesShown) {
        // In floating point, so an odd width splits like an even one plus a
        // pixel on the right.
        const double half = clientWidth / 2.0;
        columns.EventsWidth = std::max(0, static_cast<int>(half - 1.5 * margin));
        columns.TitlesWidth = columns.EventsWidth;
        columns.TitlesLeft = static_cast<int>(half + 0.5 * margin);
    } else if (eventsShown) {
        columns.EventsWidth = std::max(0, clientWidth - 2 * margin);
    } else if (titlesShown) {
        columns.TitlesLeft = margin;
        columns.TitlesWidth = std::max(0, clientWidth - 2 * margin);
    }
    return columns;
}
