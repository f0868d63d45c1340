#include "document/ui/scripted_input.h"

#include "base/exception.h"
#include "document/ui/form_main.h"
#include "platform/test_trace.h"
#include "playback/playback_clock.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWindow>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int PollIntervalMs = 2;

QWindow* KeyTarget(TFormMain& form) {
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->windowHandle())
        return modal->windowHandle();
    if (QWindow* focus = QGuiApplication::focusWindow())
        return focus;
    return form.windowHandle();
}

bool PostKeys(TFormMain& form, const QString& text) {
    const QKeySequence sequence = QKeySequence::fromString(text, QKeySequence::PortableText);
    if (sequence.isEmpty())
        return false;
    QWindow* window = KeyTarget(form);
    if (!window)
        return false;
    for (int i = 0; i < sequence.count(); ++i) {
        const QKeyCombination combination = sequence[i];
        const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
        const int key = combination.key();
        // Message boxes match their buttons' letters on the key, line edits
        // type the text: give printable keys both, as a keyboard does.
        QString typed;
        if (key < Qt::Key_Escape && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            typed = (modifiers & Qt::ShiftModifier) ? QString(QChar(key)) : QString(QChar(key)).toLower();
        // Delivered at once, as the window system's keys are: a position
        // line after this one must not overtake it.
        QKeyEvent press(QEvent::KeyPress, key, modifiers, typed);
        QCoreApplication::sendEvent(window, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, typed);
        QCoreApplication::sendEvent(window, &release);
    }
    // What the key does is done by now: a harness learns when each change
    // was made, not only when it was asked for.
    TraceTestPoint(("key " + text).toStdString());
    return true;
}

} // namespace

bool ExecuteScriptLine(TFormMain& form, const QString& line) {
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return true;
    const qsizetype space = trimmed.indexOf(u' ');
    const QString verb = trimmed.left(space);
    const QString argument = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
    if (verb == QLatin1String("key"))
        return PostKeys(form, argument);
    if (verb == QLatin1String("position")) {
        bool isNumber = false;
        const qlonglong positionMs = argument.toLongLong(&isNumber);
        if (!isNumber)
            return false;
        form.Clock().SetPosition(positionMs);
        return true;
    }
    if (verb == QLatin1String("open") && !argument.isEmpty()) {
        form.Execute(
            [&form, &argument] { form.OpenDocumentFile(QFile::encodeName(argument).toStdString()); });
        return true;
    }
    return false;
}

TScriptedInput::TScriptedInput(TFormMain& form, const std::string& path) : m_form(form) {
    // Non-blocking: a named pipe opens before its writer does, and a read
    // never holds the UI thread.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        throw TException("Could not open the input script " + path + ": " + std::strerror(errno));
    connect(&m_timer, &QTimer::timeout, this, &TScriptedInput::Poll);
    m_timer.start(PollIntervalMs);
}

TScriptedInput::~TScriptedInput() {
    ::close(m_fd);
}

void TScriptedInput::Poll() {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
        if (count <= 0)
            break;
        m_pending.append(buffer, static_cast<std::size_t>(count));
    }
    // A line is carried out once its end arrived; a command that opens a
    // modal dialog polls again from inside it, so lines are taken off first.
    std::size_t end;
    while ((end = m_pending.find('\n')) != std::string::npos) {
        const QString line = QString::fromUtf8(m_pending.data(), static_cast<qsizetype>(end));
        m_pending.erase(0, end + 1);
        if (!ExecuteScriptLine(m_form, line))
            std::fprintf(stderr, "Input script: skipped \"%s\"\n", line.toUtf8().constData());
    }
}
