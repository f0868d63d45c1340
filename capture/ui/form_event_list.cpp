#include "capture/ui/form_event_list.h"

TFormEventList::TFormEventList(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Event types"), QSize(497, 258)), m_project(project) {}
