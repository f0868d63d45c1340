#include "document/ui/error_handler.h"
#include "document/ui/form_main.h"
#include "document/ui/main_document.h"
#include "document/ui/main_journal.h"
#include "interchange/ui/main_interchange.h"
#include "media/registry/registry.h"

#include <QApplication>
#include <QTimer>

#include <exception>

namespace {

QtMessageHandler DefaultMessageHandler = nullptr;

// The offscreen platform (used without a display) warns on every window it
// shows that it cannot pass size hints on; nothing is wrong.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    DefaultMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char* argv[]) {
    SetMediaLibraryLogging(TMediaLogging::Quiet);
    DefaultMessageHandler = qInstallMessageHandler(FilterMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ApplicationTitle));
    try {
        TFormMain form;
        TMainDocument document(form);
        TMainInterchange interchange(form);
        TMainJournal journal(form, document);
        form.show();
        // Asked once the window is up.
        QTimer::singleShot(0, &form,
                           [&form, &journal] { form.Execute([&journal] { journal.RecoverAtStartUp(); }); });
        return QApplication::exec();
    } catch (const std::exception& error) {
        ShowErrorMessage(nullptr, QString::fromUtf8(error.what()));
        return 1;
    }
}
