#include "document/ui/form_help.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>

namespace {

const QStringList HelpLines{
    QStringLiteral("File"),
    QStringLiteral("----"),
    QStringLiteral("Open - Ctrl + O"),
    QStringLiteral("Save - Ctrl + S"),
    QString(),
    QStringLiteral("Playback"),
    QStringLiteral("--------"),
    QStringLiteral("Play - Ctrl + 5 (Num 5)"),
    QStringLiteral("Stop - Ctrl + 2 (Num 2)"),
    QStringLiteral("Go backward - Ctrl + 1 (Num 1)"),
    QStringLiteral("Go forward - Ctrl + 3 (Num 3)"),
    QStringLiteral("Go to begin - Ctrl + 4 (Num 4)"),
    QStringLiteral("Go to end - Ctrl + 6 (Num 6)"),
    QStringLiteral("Go to time - Ctrl + G"),
    QString(),
};

} // namespace

TFormHelp::TFormHelp(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Help"));
    resize(320, 340);

    MemoHelp = new QPlainTextEdit(this);
    MemoHelp->setReadOnly(true);
    MemoHelp->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    MemoHelp->setPlainText(HelpLines.join(QLatin1Char('\n')));

    ButtonClose = new QPushButton(QStringLiteral("&Close"), this);
    ButtonClose->setDefault(true);
    connect(ButtonClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MemoHelp);
    layout->addWidget(ButtonClose, 0, Qt::AlignRight);
}
