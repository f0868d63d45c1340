#include "capture/ui/form_filter.h"

TFormFilter::TFormFilter(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Filter"));
    resize(250, 300);
}
