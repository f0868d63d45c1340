#pragma once
// The application's error handler: every command runs through RunCommand, so
// a failure shows its message in a message box titled with the application
// title, the command stops and the editor carries on.
//
// Threads: the UI thread.

#include <QString>

#include <functional>

class QWidget;

inline constexpr char ApplicationTitle[] = "Scenemark";

// A modal message box titled ApplicationTitle with the message.
void ShowErrorMessage(QWidget* parent, const QString& message);

// Runs command; an exception derived from std::exception ends it and its
// message (UTF-8) goes to report. Other exceptions pass on: they are
// programming errors, not failures of an operation.
void RunCommand(const std::function<void()>& command, const std::function<void(const QString&)>& report);
