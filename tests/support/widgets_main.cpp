// main() for widget tests: one QApplication for the whole executable.
#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

namespace {

QtMessageHandler DefaultMessageHandler = nullptr;

// The offscreen platform warns on every window it shows that it cannot pass
// size hints on; nothing is wrong.
void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    DefaultMessageHandler(type, context, message);
}

} // namespace

int main(int argc, char* argv[]) {
    // CTest sets the offscreen platform for the test runs, but not for the
    // listing of the tests at build time; without a display Qt would abort.
    // Under CTest the platform must come from CTest itself, which the
    // environment test checks; the default would hide its absence.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("SCENEMARK_CTEST"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    DefaultMessageHandler = qInstallMessageHandler(FilterMessages);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
