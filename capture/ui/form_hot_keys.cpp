#include "capture/ui/form_hot_keys.h"

TFormHotKeys::TFormHotKeys(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Hot keys"));
    setFixedSize(336, 288);
}
