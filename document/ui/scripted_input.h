#pragma once
// Input from a script, for end-to-end runs without a keyboard (the
// fault-injection harness under tests/fault/). When the editor is started
// with SCENEMARK_INPUT naming a file or a named pipe, its lines are read as
// they arrive (polled every few milliseconds, also while a modal dialog is
// up) and carried out in order:
//   key <keys>       a press and release of the key combination, in the text
//                    form the menus show ("F2", "Ctrl+S", "Y"), posted to the
//                    window that has the focus (the open modal dialog, else
//                    the main window), as the window system delivers keys;
//                    once it is handled, "key <keys>" is traced (test_trace.h);
//   position <ms>    moves the playback position, as the slider does;
//   open <path>      opens the project document, as File > Open does.
// Blank lines are skipped; any other line is reported on stderr and skipped.
// Errors of a command are shown as the command's own are.
//
// Owned next to the main window and its document; must not outlive them.
// Threads: the UI thread.

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>

class TFormMain;

// Carries out one line of a script; false for a line it does not know.
bool ExecuteScriptLine(TFormMain& form, const QString& line);

class TScriptedInput final : public QObject {
public:
    // Opens the script and starts polling it. Throws TException "Could not
    // open the input script <path>: <reason>".
    TScriptedInput(TFormMain& form, const std::string& path);
    ~TScriptedInput() override;
    TScriptedInput(const TScriptedInput&) = delete;
    TScriptedInput& operator=(const TScriptedInput&) = delete;

private:
    void Poll();

    TFormMain& m_form;
    int m_fd = -1;
    std::string m_pending;
    QTimer m_timer;
};
