#pragma once
// Base of the tool windows the main window shows and hides from its Windows
// menu (event types, event buttons, groups, output, time line, graph). Each
// lives for the whole process as a separate top-level window owned by the
// main window, so closing the main window still ends the application.
//
// Closing one by its close box (or Escape, or any close()) does not simply
// hide it: the window announces CloseRequested, and the main window hides it
// through the same setter its command uses, so the command's tick follows.
//
// Threads: the UI thread.

#include <QWidget>

class TSecondaryWindow : public QWidget {
    Q_OBJECT

public:
    // owner: the main window; caption: the window title; clientSize: the
    // initial size of the client area in pixels.
    TSecondaryWindow(QWidget* owner, const QString& caption, QSize clientSize);

signals:
    void CloseRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
};
