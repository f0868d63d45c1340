#include "playback/time_display.h"

TTimeTexts FormatTimeTexts(int32_t currentTime, TTimeFormat format, int32_t pageSizeMs) {
    int64_t ms = 0;
    int64_t frame = 0;
    if (format == TTimeFormat::Frames) {
        frame = currentTime;
        ms = static_cast<int64_t>(pageSizeMs) * currentTime;
    } else {
        ms = currentTime;
        frame = pageSizeMs == 0 ? 0 : currentTime / pageSizeMs;
    }
    TTimeTexts texts;
    texts.Time =
        QString::asprintf("Time: %lld:%.2lld:%.2lld.%.3lld", static_cast<long long>(ms / 3600000),
                          static_cast<long long>((ms / 60000) % 60), static_cast<long long>((ms / 1000) % 60),
                          static_cast<long long>(ms % 1000));
    texts.Millisecond = QString::asprintf("Millisecond: %lld", static_cast<long long>(ms));
    texts.Frame = QString::asprintf("Frame: %lld", static_cast<long long>(frame));
    return texts;
}

QString GotoCaption(TTimeFormat format) {
    return format == TTimeFormat::Frames ? QStringLiteral("Go to frame")
                                         : QStringLiteral("Go to millisecond");
}
