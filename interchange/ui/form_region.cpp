#include "interchange/ui/form_region.h"

TFormRegion::TFormRegion(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Region"));
    setFixedSize(260, 150);
}
