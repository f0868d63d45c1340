#include "playback/ui/form_camera.h"

TFormCamera::TFormCamera(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Camera"));
    setFixedSize(220, 100);
}
