// main() for widget tests: one QApplication for the whole executable.
#include <QApplication>
#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char* argv[]) {
    // CTest lists the tests by running the executable without the test
    // environment; with no display at all that run falls back to offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
