#include "capture/ui/form_message.h"

TFormMessage::TFormMessage(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Event"));
    setFixedSize(400, 330);
}
