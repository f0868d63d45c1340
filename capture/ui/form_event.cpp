#include "capture/ui/form_event.h"

#include "capture/ui/form_secondary_key.h"
#include "capture/ui/hot_key_edit.h"
#include "capture/ui/integer_spin_edit.h"
#include "components/bounded_text_edit.h"
#include "components/dialog_keys.h"
#include "document/entry_limits.h"
#include "model/group_colors.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace {

constexpr int SwatchSize = 22;

class TGroupIndexSwatch final : public QWidget {
public:
    explicit TGroupIndexSwatch(QWidget* parent) : QWidget(parent) { setFixedSize(SwatchSize, SwatchSize); }

    int32_t GroupIndex() const { return m_groupIndex; }
    void SetGroupIndex(int32_t groupIndex) {
        m_groupIndex = groupIndex;
        update();
    }

protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        const QRect box = rect().adjusted(0, 0, -1, -1);
        painter.setPen(Qt::black);
        if (m_groupIndex < 0) {
            painter.fillRect(box, Qt::white);
            painter.setBrush(QBrush(Qt::black, Qt::BDiagPattern));
        } else {
            painter.setBrush(GroupIndexQColor(m_groupIndex));
        }
        painter.drawRect(box);
    }

private:
    int32_t m_groupIndex = -1;
};

QTableWidget* NewSecondaryKeyGrid(QWidget* parent) {
    auto* grid = new QTableWidget(2, 3, parent);
    grid->setHorizontalHeaderLabels(
        {QStringLiteral("Key"), QStringLiteral("Offset"), QStringLiteral("Parameters")});
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(18);
    grid->verticalHeader()->setDefaultSectionSize(18);
    grid->setColumnWidth(0, 64);
    grid->setColumnWidth(1, 64);
    grid->setColumnWidth(2, 95);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    return grid;
}

void SetRow(QTableWidget& grid, int row, const QStringList& cells) {
    for (int column = 0; column < grid.columnCount(); ++column)
        grid.setItem(row, column, new QTableWidgetItem(column < cells.size() ? cells[column] : QString()));
}

} // namespace

QColor GroupIndexQColor(int32_t groupIndex) {
    const TColor color = GroupIndexToColor(groupIndex);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

int32_t GroupIndexOfColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return ColorToGroupIndex(static_cast<TColor>(rgb.red()) | static_cast<TColor>(rgb.green()) << 8 |
                             static_cast<TColor>(rgb.blue()) << 16);
}

TFormEvent::TFormEvent(QWidget* owner, TProject& project) : QDialog(owner), m_project(project) {
    setWindowTitle(QStringLiteral("Event type"));
    CreateControls();
    LayOut();
    resize(591, 256);
}

void TFormEvent::CreateControls() {
    EditDescription = new QLineEdit(this);
    EditDescription->setMaxLength(MaxEnteredLineLength);
    HotKeyEvent = new THotKeyEdit(this);
    HotKeyEvent->SetShiftAloneRefused(true);
    ComboBoxGroup = new QComboBox(this);
    ComboBoxGroup->setEditable(true);
    ComboBoxGroup->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxGroup->lineEdit()->setMaxLength(MaxEnteredLineLength);
    // Group names differ by letter case: completion must not turn a typed
    // "speaking" into an existing "Speaking".
    ComboBoxGroup->completer()->setCaseSensitivity(Qt::CaseSensitive);
    CSpinEditGroupIndex = new TIntegerSpinEdit(this);
    CSpinEditGroupIndex->SetBounds(NoGroupIndex, std::numeric_limits<int32_t>::max());
    ShapeGroupIndex = new TGroupIndexSwatch(this);
    ButtonColor = new QPushButton(QStringLiteral("..."), this);
    ButtonColor->setFixedSize(SwatchSize, SwatchSize);
    CSpinEditOffset = new TIntegerSpinEdit(this);
    auto* memo = new TBoundedPlainTextEdit(this);
    memo->SetMaxLength(MaxEnteredParametersLength);
    MemoParameters = memo;
    MemoParameters->setTabChangesFocus(true);
    StringGridSecondaryKeys = NewSecondaryKeyGrid(this);
    ButtonSecondaryNew = new QPushButton(QStringLiteral("&New"), this);
    ButtonSecondaryModify = new QPushButton(QStringLiteral("&Modify"), this);
    ButtonSecondaryDelete = new QPushButton(QStringLiteral("&Delete"), this);
    CheckBoxCheckEndPoints = new QCheckBox(QStringLiteral("Check end points"), this);
    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonOK->setDefault(true);
    for (QPushButton* button :
         {ButtonColor, ButtonSecondaryNew, ButtonSecondaryModify, ButtonSecondaryDelete, ButtonCancel})
        button->setAutoDefault(false);

    connect(CSpinEditGroupIndex, &QSpinBox::valueChanged, this,
            [this](int value) { static_cast<TGroupIndexSwatch*>(ShapeGroupIndex)->SetGroupIndex(value); });
    connect(ButtonColor, &QPushButton::clicked, this, &TFormEvent::ButtonColorClick);
    connect(ButtonSecondaryNew, &QPushButton::clicked, this, &TFormEvent::ButtonSecondaryNewClick);
    connect(ButtonSecondaryModify, &QPushButton::clicked, this, &TFormEvent::ButtonSecondaryModifyClick);
    connect(ButtonSecondaryDelete, &QPushButton::clicked, this, &TFormEvent::ButtonSecondaryDeleteClick);
    connect(StringGridSecondaryKeys, &QTableWidget::cellDoubleClicked, this,
            &TFormEvent::ButtonSecondaryModifyClick);
    connect(ButtonOK, &QPushButton::clicked, this, &TFormEvent::ButtonOKClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormEvent::LayOut() {
    auto labelFor = [this](const QString& caption, QWidget* buddy) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(buddy);
        return label;
    };
    auto* colour = new QHBoxLayout;
    colour->addWidget(CSpinEditGroupIndex, 1);
    colour->addWidget(ShapeGroupIndex);
    colour->addWidget(ButtonColor);

    auto* fields = new QGridLayout;
    fields->addWidget(labelFor(QStringLiteral("&Description"), EditDescription), 0, 0);
    fields->addWidget(EditDescription, 0, 1);
    fields->addWidget(labelFor(QStringLiteral("Hot &key"), HotKeyEvent), 1, 0);
    fields->addWidget(HotKeyEvent, 1, 1);
    fields->addWidget(labelFor(QStringLiteral("&Group"), ComboBoxGroup), 2, 0);
    fields->addWidget(ComboBoxGroup, 2, 1);
    fields->addWidget(labelFor(QStringLiteral("Group &index (time line color)"), CSpinEditGroupIndex), 3, 0,
                      1, 2);
    fields->addLayout(colour, 4, 0, 1, 2);
    fields->addWidget(labelFor(QStringLiteral("O&ffset"), CSpinEditOffset), 5, 0);
    fields->addWidget(CSpinEditOffset, 5, 1);
    fields->addWidget(CheckBoxCheckEndPoints, 6, 0, 1, 2);
    fields->setRowStretch(7, 1);

    auto* parameters = new QVBoxLayout;
    parameters->addWidget(labelFor(QStringLiteral("&Parameters"), MemoParameters));
    parameters->addWidget(MemoParameters);

    auto* secondaryButtons = new QHBoxLayout;
    secondaryButtons->addWidget(ButtonSecondaryNew);
    secondaryButtons->addWidget(ButtonSecondaryModify);
    secondaryButtons->addWidget(ButtonSecondaryDelete);
    auto* secondary = new QVBoxLayout;
    secondary->addWidget(labelFor(QStringLiteral("&Secondary hot keys"), StringGridSecondaryKeys));
    secondary->addWidget(StringGridSecondaryKeys);
    secondary->addLayout(secondaryButtons);

    auto* columns = new QHBoxLayout;
    columns->addLayout(fields, 5);
    columns->addLayout(parameters, 3);
    columns->addLayout(secondary, 5);
    auto* buttons = NewOkCancelRow(ButtonOK, ButtonCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);
}

bool TFormEvent::Edit(TEventTypeFields& fields) {
    SetFields(fields);
    if (exec() != QDialog::Accepted)
        return false;
    fields = ReadFields();
    return true;
}

void TFormEvent::SetFields(const TEventTypeFields& fields) {
    EditDescription->setText(fields.Description);
    HotKeyEvent->SetKey(fields.Key);
    ComboBoxGroup->clear();
    for (const TEventTypeGroup& group : m_project.Groups)
        ComboBoxGroup->addItem(group.Name);
    ComboBoxGroup->setCurrentIndex(m_project.Groups.IsValidIndex(fields.GroupChosen) ? fields.GroupChosen
                                                                                     : -1);
    ComboBoxGroup->setEditText(fields.GroupText);
    CSpinEditGroupIndex->setValue(fields.GroupIndex);
    CSpinEditOffset->setValue(fields.Offset);
    MemoParameters->setPlainText(fields.ParameterLines.join(QLatin1Char('\n')));
    WorkingSecondaryKeys = fields.SecondaryKeys;
    StringGridSecondaryKeys->setCurrentCell(0, 0);
    CheckBoxCheckEndPoints->setChecked(fields.CheckEndPoints);
}

TEventTypeFields TFormEvent::ReadFields() {
    TEventTypeFields fields;
    fields.Description = EditDescription->text();
    fields.Key = HotKeyEvent->Key();
    fields.GroupText = ComboBoxGroup->currentText();
    const int chosen = ComboBoxGroup->currentIndex();
    fields.GroupChosen = chosen >= 0 && ComboBoxGroup->itemText(chosen) == fields.GroupText ? chosen : -1;
    fields.GroupIndex = CSpinEditGroupIndex->FieldValue();
    fields.Offset = CSpinEditOffset->FieldValue();
    fields.ParameterLines = MemoParameters->toPlainText().split(QLatin1Char('\n'));
    fields.SecondaryKeys = WorkingSecondaryKeys;
    fields.CheckEndPoints = CheckBoxCheckEndPoints->isChecked();
    return fields;
}

void TFormEvent::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    RefreshSecondaryKeys();
    EditDescription->setFocus();
    static_cast<TGroupIndexSwatch*>(ShapeGroupIndex)->SetGroupIndex(CSpinEditGroupIndex->value());
}

int32_t TFormEvent::SwatchGroupIndex() const {
    return static_cast<const TGroupIndexSwatch*>(ShapeGroupIndex)->GroupIndex();
}

void TFormEvent::ButtonColorClick() {
    // The dialog's custom colours are process-wide; they start white.
    static const bool areCustomColorsSet = [] {
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, Qt::white);
        return true;
    }();
    (void)areCustomColorsSet;
    const QColor preset = GroupIndexQColor(std::max(CSpinEditGroupIndex->FieldValue(), 0));
    const QColor chosen = QColorDialog::getColor(preset, this, QString(), QColorDialog::DontUseNativeDialog);
    if (chosen.isValid())
        ColorChosen(chosen);
}

void TFormEvent::ColorChosen(const QColor& color) {
    CSpinEditGroupIndex->setValue(GroupIndexOfColor(color));
}

void TFormEvent::RefreshSecondaryKeys() {
    const int count = static_cast<int>(WorkingSecondaryKeys.size());
    const int row = StringGridSecondaryKeys->currentRow();
    StringGridSecondaryKeys->clearContents();
    StringGridSecondaryKeys->setRowCount(std::max(count, 1));
    SetRow(*StringGridSecondaryKeys, 0, {});
    for (int i = 0; i < count; ++i) {
        const TSecondaryKey& key = WorkingSecondaryKeys[static_cast<std::size_t>(i)];
        SetRow(*StringGridSecondaryKeys, i,
               {KeyToText(key.Key), QString::number(key.Offset), key.Parameters.ParametersToText()});
    }
    StringGridSecondaryKeys->setCurrentCell(std::clamp(row, 0, StringGridSecondaryKeys->rowCount() - 1), 0);
}

int32_t TFormEvent::SelectedSecondaryKey() const {
    const int row = StringGridSecondaryKeys->currentRow();
    return row >= 0 && row < static_cast<int>(WorkingSecondaryKeys.size()) ? row : -1;
}

TFormSecondaryKey& TFormEvent::SecondaryKeyDialog() {
    if (m_secondaryKeyDialog == nullptr)
        m_secondaryKeyDialog = new TFormSecondaryKey(this);
    return *m_secondaryKeyDialog;
}

void TFormEvent::ButtonSecondaryNewClick() {
    TSecondaryKey key;
    if (!SecondaryKeyDialog().Edit(key))
        return;
    WorkingSecondaryKeys.push_back(key);
    RefreshSecondaryKeys();
}

void TFormEvent::ButtonSecondaryModifyClick() {
    const int32_t index = SelectedSecondaryKey();
    if (index < 0)
        return;
    if (SecondaryKeyDialog().Edit(WorkingSecondaryKeys[static_cast<std::size_t>(index)]))
        RefreshSecondaryKeys();
}

void TFormEvent::ButtonSecondaryDeleteClick() {
    const int32_t index = SelectedSecondaryKey();
    if (index < 0)
        return;
    WorkingSecondaryKeys.erase(WorkingSecondaryKeys.begin() + index);
    RefreshSecondaryKeys();
}

void TFormEvent::ButtonOKClick() {
    const QString refusal = EventTypeFieldsRefusal(ReadFields());
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, QApplication::applicationName(), refusal);
        EditDescription->setFocus();
        return;
    }
    accept();
}
