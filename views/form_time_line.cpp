#include "views/form_time_line.h"

TFormTimeLine::TFormTimeLine(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Time line"), QSize(592, 273)), m_project(project) {
    // The outer minimum is 220 x 170; a usual frame takes 8 x 27 of it.
    setMinimumSize(212, 143);
}
