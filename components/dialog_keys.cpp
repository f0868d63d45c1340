#include "components/dialog_keys.h"

#include <QAbstractSpinBox>
#include <QDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>

namespace {

// Lives as long as the field it watches (its child).
class TDialogKeys final : public QObject {
public:
    TDialogKeys(QDialog& dialog, QWidget& field, bool isEnterAccepting)
        : QObject(&field), m_dialog(dialog), m_isEnterAccepting(isEnterAccepting) {
        field.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (m_isEnterAccepting && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (auto* spin = qobject_cast<QAbstractSpinBox*>(watched))
                spin->interpretText();
            m_dialog.accept();
            return true;
        }
        if (key == Qt::Key_Escape) {
            m_dialog.reject();
            return true;
        }
        return false;
    }

private:
    QDialog& m_dialog;
    bool m_isEnterAccepting;
};

} // namespace

void EndDialogOnEnterOrEscape(QDialog& dialog, QWidget& field) {
    new TDialogKeys(dialog, field, true);
}

void CancelDialogOnEscape(QDialog& dialog, QWidget& field) {
    new TDialogKeys(dialog, field, false);
}

QHBoxLayout* NewOkCancelRow(QPushButton* ok, QPushButton* cancel) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
