#include "document/ui/form_input_devices.h"

#include <QListWidget>
#include <QPushButton>

#include <cstddef>
#include <utility>
#include <vector>

namespace {

constexpr int DeviceIdRole = Qt::UserRole;

} // namespace

TFormInputDevices::TFormInputDevices(QWidget* owner) : QDialog(owner) {
    setWindowTitle(QStringLiteral("Input devices"));
    setFixedSize(336, 186);

    CheckListBoxDevices = new QListWidget(this);
    CheckListBoxDevices->setGeometry(8, 8, 241, 169);
    CheckListBoxDevices->setSelectionMode(QAbstractItemView::SingleSelection);

    ButtonUp = new QPushButton(QStringLiteral("Up"), this);
    ButtonUp->setGeometry(256, 8, 72, 25);
    ButtonDown = new QPushButton(QStringLiteral("Down"), this);
    ButtonDown->setGeometry(256, 40, 72, 25);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setGeometry(256, 120, 72, 25);
    ButtonOK->setDefault(true);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setGeometry(256, 152, 72, 25);

    connect(ButtonUp, &QPushButton::clicked, this, &TFormInputDevices::ButtonUpClick);
    connect(ButtonDown, &QPushButton::clicked, this, &TFormInputDevices::ButtonDownClick);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormInputDevices::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormInputDevices::reject);
}

void TFormInputDevices::Load(const TAVFileDeviceList& devices) {
    CheckListBoxDevices->clear();
    std::vector<std::pair<TAVFileDevice, int32_t>> entries;
    for (const TAVFileDevice& device : devices)
        entries.emplace_back(device, GetBackendPosition(device.Id));

    // A plain exchange sort: the list holds at most ten backends, and only -1
    // (unused) can occur twice.
    for (std::size_t j = 0; j + 1 < entries.size(); ++j) {
        for (std::size_t m = j + 1; m < entries.size(); ++m) {
            if (entries[m].second < entries[j].second)
                std::swap(entries[j], entries[m]);
        }
    }

    auto append = [this](const TAVFileDevice& device, bool isUsed) {
        auto* item = new QListWidgetItem(QString::fromStdString(device.Description), CheckListBoxDevices);
        item->setData(DeviceIdRole, device.Id);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(isUsed ? Qt::Checked : Qt::Unchecked);
    };
    for (const auto& [device, position] : entries) {
        if (position >= 0)
            append(device, true);
    }
    for (const auto& [device, position] : entries) {
        if (position < 0)
            append(device, false);
    }
}

int32_t TFormInputDevices::ItemDeviceId(int row, const QListWidget& list) {
    return list.item(row)->data(DeviceIdRole).toInt();
}

void TFormInputDevices::ButtonUpClick() {
    const int row = CheckListBoxDevices->currentRow();
    if (row < 1)
        return;
    ExchangeItems(row, row - 1);
}

void TFormInputDevices::ButtonDownClick() {
    const int row = CheckListBoxDevices->currentRow();
    if (row < 0 || row >= CheckListBoxDevices->count() - 1)
        return;
    ExchangeItems(row, row + 1);
}

void TFormInputDevices::ExchangeItems(int row, int otherRow) {
    // Moving the item itself carries its text, id and check state together.
    QListWidgetItem* item = CheckListBoxDevices->takeItem(row);
    CheckListBoxDevices->insertItem(otherRow, item);
    CheckListBoxDevices->setCurrentRow(otherRow);
}

void TFormInputDevices::accept() {
    int32_t count = 0;
    for (int row = 0; row < CheckListBoxDevices->count(); ++row) {
        const int32_t id = ItemDeviceId(row, *CheckListBoxDevices);
        if (CheckListBoxDevices->item(row)->checkState() == Qt::Checked)
            SetBackendPosition(id, count++);
        else
            SetBackendPosition(id, -1);
    }
    QDialog::accept();
}
