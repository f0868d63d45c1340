#include "capture/ui/form_secondary_key.h"

TFormSecondaryKey::TFormSecondaryKey(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Secondary hot key"));
    resize(331, 173);
}
