#include "playback/media_set_logic.h"

#include <algorithm>
#include <utility>

QString CameraMenuCaption(const QString& fileName, int32_t camera) {
    return fileName + QStringLiteral(" - ") +
           (camera < 0 ? QStringLiteral("none") : QStringLiteral("Camera ") + QString::number(camera));
}

QString OffsetMenuCaption(const QString& fileName, int32_t offsetMs) {
    return fileName + QStringLiteral(" - ") +
           (offsetMs == 0 ? QStringLiteral("none") : QString::number(offsetMs));
}

bool ParseInteger(const QString& text, int32_t& value) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    qsizetype digitsFrom = 0;
    if (trimmed[0] == u'+' || trimmed[0] == u'-')
        digitsFrom = 1;
    if (digitsFrom == trimmed.size())
        return false;
    // toInt alone would also take inner blanks and other notations.
    for (qsizetype i = digitsFrom; i < trimmed.size(); ++i)
        if (trimmed[i] < u'0' || trimmed[i] > u'9')
            return false;
    bool isNumber = false;
    const int parsed = trimmed.toInt(&isNumber, 10);
    if (!isNumber)
        return false;
    value = parsed;
    return true;
}

TReorderPlan PlanReorder(std::vector<TReorderWindow> windows) {
    for (size_t j = 0; j + 1 < windows.size(); ++j)
        for (size_t l = j + 1; l < windows.size(); ++l)
            if (windows[l].Left < windows[j].Left)
                std::swap(windows[j], windows[l]);

    TReorderPlan plan;
    for (const TReorderWindow& window : windows) {
        plan.Placements.push_back({window.Index, plan.NextLeft});
        plan.NextLeft += window.Width;
        plan.Bottom = std::max(plan.Bottom, window.Height);
    }
    return plan;
}
