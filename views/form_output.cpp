#include "views/form_output.h"

TFormOutput::TFormOutput(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Output"), QSize(320, 200)), m_project(project) {}
