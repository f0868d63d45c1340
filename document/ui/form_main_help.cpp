// The Help menu: the Help window and the About box.

#include "document/ui/form_main.h"

#include "document/ui/about_text.h"
#include "document/ui/error_handler.h"
#include "document/ui/form_help.h"

#include <QMessageBox>

void TFormMain::ActionHelpExecute() {
    FormHelp->exec();
}

void TFormMain::ActionAboutExecute() {
    QMessageBox::information(this, QString::fromLatin1(ApplicationTitle), AboutText(__DATE__));
}
