#include "capture/ui/form_event_type_groups.h"

TFormEventTypeGroups::TFormEventTypeGroups(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Event type groups"), QSize(353, 258)), m_project(project) {}
