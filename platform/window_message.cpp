#include "platform/window_message.h"

#include <QCoreApplication>

QEvent::Type TWindowMessageEvent::EventType() {
    // registerEventType is thread-safe, and a function-local static is
    // initialised once even when the first posts race from several threads.
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TWindowMessageEvent::TWindowMessageEvent(uint32_t message, uint32_t wParam, intptr_t lParam)
    : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

void PostWindowMessage(QObject* receiver, uint32_t message, uint32_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(receiver, new TWindowMessageEvent(message, wParam, lParam));
}

bool DispatchWindowMessage(const TWindowMessageEvent& message, TWindowMessageHandler& handler) {
    switch (message.Message()) {
    case WM_TIMER:
        if (IsAudioOutputTimerParam(message.WParam()))
            handler.AudioStart(static_cast<int32_t>(TimerParamIndex(message.WParam())));
        else
            handler.VideoTick(static_cast<int32_t>(message.WParam()));
        return true;
    case MM_WOM_DONE:
        handler.AudioBufferDone(message.WParam());
        return true;
    default:
        return false;
    }
}
