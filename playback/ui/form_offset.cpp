#include "playback/ui/form_offset.h"

TFormOffset::TFormOffset(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Offset"));
    setFixedSize(240, 100);
}
