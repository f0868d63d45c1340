#include "capture/ui/form_title.h"

TFormTitle::TFormTitle(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Title"));
    resize(360, 230);
}
