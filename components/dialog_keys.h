#pragma once
// Small parts the editor's dialogs share. Enter and Escape in a dialog's
// field, the way the editor's small dialogs
// want them: Enter in a number field ends the dialog as OK even when the
// default button would not get the key (a spin box takes the typed text
// first), Escape ends it as Cancel; neither key goes further.
//
// Threads: the UI thread.

class QDialog;
class QHBoxLayout;
class QPushButton;
class QWidget;

// Enter accepts `dialog`, Escape rejects it.
void EndDialogOnEnterOrEscape(QDialog& dialog, QWidget& field);
// Only Escape rejects `dialog`; Enter does what the field does with it (a
// multi-line text starts a new line).
void CancelDialogOnEscape(QDialog& dialog, QWidget& field);

// The row of OK and Cancel at the foot of a dialog, right-aligned.
QHBoxLayout* NewOkCancelRow(QPushButton* ok, QPushButton* cancel);
