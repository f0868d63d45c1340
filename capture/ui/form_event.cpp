#include "capture/ui/form_event.h"

TFormEvent::TFormEvent(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Event type"));
    resize(591, 256);
}
