#include "document/ui/error_handler.h"
#include "document/ui/form_main.h"
#include "document/ui/main_document.h"
#include "document/ui/main_journal.h"
#include "document/ui/scripted_input.h"
#include "interchange/ui/main_interchange.h"
#include "media/registry/registry.h"
#include "platform/test_trace.h"

#include <QApplication>
#include <QTimer>

#include <cstdlib>
#include <exception>
#include <fcntl.h>
#include <memory>

namespace {

QtMessageHandler DefaultMessageHandler = nullptr;

// The offscreen platform (used without a display) warns on every window it
// shows that it cannot pass size hints on; nothing is wrong.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    DefaultMessageHandler(type, context, message);
}

// End-to-end runs (tests/fault/) drive the editor through SCENEMARK_INPUT
// and watch it through SCENEMARK_TRACE; see scripted_input.h and
// test_trace.h. Neither is set in normal use.
void StartTestTrace() {
    const char* path = std::getenv("SCENEMARK_TRACE");
    if (!path || !*path)
        return;
    // Non-blocking: a harness that stops reading must not stop the editor.
    const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd >= 0)
        SetTestTrace(fd);
}

std::unique_ptr<TScriptedInput> StartScriptedInput(TFormMain& form) {
    const char* path = std::getenv("SCENEMARK_INPUT");
    if (!path || !*path)
        return nullptr;
    return std::make_unique<TScriptedInput>(form, path);
}

} // namespace

int main(int argc, char* argv[]) {
    SetMediaLibraryLogging(TMediaLogging::Quiet);
    StartTestTrace();
    DefaultMessageHandler = qInstallMessageHandler(FilterMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    try {
        TFormMain form;
        TMainDocument document(form);
        TMainInterchange interchange(form);
        TMainJournal journal(form, document);
        const std::unique_ptr<TScriptedInput> script = StartScriptedInput(form);
        form.show();
        // Asked once the window is up.
        QTimer::singleShot(0, &form, [&form, &journal] {
            form.Execute([&journal] { journal.RecoverAtStartUp(); });
            TraceTestPoint("ready");
        });
        return QApplication::exec();
    } catch (const std::exception& error) {
        ShowErrorMessage(nullptr, QString::fromUtf8(error.what()));
        return 1;
    }
}
