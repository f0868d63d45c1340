#include "components/secondary_window.h"

#include <QCloseEvent>

TSecondaryWindow::TSecondaryWindow(QWidget* owner, const QString& caption, QSize clientSize)
    : QWidget(owner, Qt::Window) {
    setWindowTitle(caption);
    resize(clientSize);
}

void TSecondaryWindow::closeEvent(QCloseEvent* event) {
    emit CloseRequested();
    // Hiding is left to whoever answered the request; a window nobody
    // manages closes the ordinary way.
    if (isVisible() && receivers(SIGNAL(CloseRequested())) > 0)
        event->ignore();
    else
        event->accept();
}
