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
