#pragma once
// The event type editor: one type with its key, group, colour code, offset,
// parameters and secondary keys, shown modally and changing nothing of the
// project unless closed with OK (and even then only the caller applies the
// fields, see ApplyEventTypeFields).
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Enter in the group index or offset field acts as OK, Escape as Cancel.
// OK with an empty description answers "Enter event type description!" and
// keeps the dialog open with the focus in the description.
//
// Threads: the UI thread.

#include "capture/editor_fields.h"
#include "model/event_types.h"
#include "model/project.h"

#include <QColor>
#include <QDialog>

#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class TFormSecondaryKey;
class THotKeyEdit;
class TIntegerSpinEdit;

// The colour of a colour code for painting (only for codes of 0 or more),
// and the code of a chosen colour (its palette index, or the colour + 48).
QColor GroupIndexQColor(int32_t groupIndex);
int32_t GroupIndexOfColor(const QColor& color);

class TFormEvent : public QDialog {
    Q_OBJECT

public:
    TFormEvent(QWidget* owner, TProject& project);

    // The dialog that edits one secondary key; not owned. Without one the
    // editor makes its own.
    void SetSecondaryKeyDialog(TFormSecondaryKey* dialog) { m_secondaryKeyDialog = dialog; }
    // Shows the editor modally preset to `fields` (the group combo lists the
    // project's groups). True, with `fields` as the user left them, on OK;
    // false and `fields` untouched otherwise.
    bool Edit(TEventTypeFields& fields);

    // The editor's own copy of the secondary keys: filled before it opens,
    // read back only on OK.
    TSecondaryKeys WorkingSecondaryKeys;

    // "...": the colour dialog preset to the group index's colour (of 0 when
    // it has none); a chosen colour goes through ColorChosen.
    void ButtonColorClick();
    // The group index takes the code of the colour.
    void ColorChosen(const QColor& color);
    void ButtonSecondaryNewClick();
    void ButtonSecondaryModifyClick();
    void ButtonSecondaryDeleteClick();
    // The key of the secondary grid's current row, or -1.
    int32_t SelectedSecondaryKey() const;
    // The swatch's colour code as last shown.
    int32_t SwatchGroupIndex() const;

    QLineEdit* EditDescription = nullptr;
    THotKeyEdit* HotKeyEvent = nullptr;
    QComboBox* ComboBoxGroup = nullptr;
    TIntegerSpinEdit* CSpinEditGroupIndex = nullptr;
    QWidget* ShapeGroupIndex = nullptr;
    QPushButton* ButtonColor = nullptr;
    TIntegerSpinEdit* CSpinEditOffset = nullptr;
    QPlainTextEdit* MemoParameters = nullptr;
    QTableWidget* StringGridSecondaryKeys = nullptr;
    QPushButton* ButtonSecondaryNew = nullptr;
    QPushButton* ButtonSecondaryModify = nullptr;
    QPushButton* ButtonSecondaryDelete = nullptr;
    QCheckBox* CheckBoxCheckEndPoints = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void LayOut();
    void SetFields(const TEventTypeFields& fields);
    TEventTypeFields ReadFields();
    void RefreshSecondaryKeys();
    void ButtonOKClick();
    TFormSecondaryKey& SecondaryKeyDialog();

    TProject& m_project;
    TFormSecondaryKey* m_secondaryKeyDialog = nullptr;
};
