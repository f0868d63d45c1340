#include "capture/ui/form_event_group.h"

TFormEventGroup::TFormEventGroup(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Event type group"));
    setFixedSize(297, 138);
}
