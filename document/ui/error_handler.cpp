#include "document/ui/error_handler.h"

#include <QMessageBox>

#include <exception>

void ShowErrorMessage(QWidget* parent, const QString& message) {
    QMessageBox::critical(parent, QString::fromLatin1(ApplicationTitle), message);
}

void RunCommand(const std::function<void()>& command, const std::function<void(const QString&)>& report) {
    try {
        command();
    } catch (const std::exception& error) {
        report(QString::fromUtf8(error.what()));
    }
}
