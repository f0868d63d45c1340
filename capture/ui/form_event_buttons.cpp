#include "capture/ui/form_event_buttons.h"

TFormEventButtons::TFormEventButtons(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Event types buttons"), QSize(160, 33)), m_project(project) {}
