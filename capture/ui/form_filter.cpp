#include "capture/ui/form_filter.h"

#include "components/dialog_keys.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFormFilter::TFormFilter(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Filter"));
    ListBoxTypes = new QListWidget(this);
    ListBoxTypes->setObjectName(QStringLiteral("ListBoxTypes"));
    // A click toggles one type without touching the others.
    ListBoxTypes->setSelectionMode(QAbstractItemView::MultiSelection);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonOK->setDefault(true);

    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListBoxTypes, 1);
    layout->addLayout(buttons);
    resize(250, 300);

    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TFormFilter::AskFilteredTypes(std::set<int32_t>& filteredTypes) {
    ListBoxTypes->clear();
    for (int32_t index = 0; index < m_project.EventTypes.Count(); ++index) {
        auto* item = new QListWidgetItem(m_project.EventTypes[index].Name, ListBoxTypes);
        item->setSelected(!filteredTypes.contains(index));
    }
    ListBoxTypes->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    std::set<int32_t> unselected;
    for (int32_t row = 0; row < ListBoxTypes->count(); ++row) {
        if (!ListBoxTypes->item(row)->isSelected())
            unselected.insert(row);
    }
    filteredTypes = std::move(unselected);
    return true;
}
