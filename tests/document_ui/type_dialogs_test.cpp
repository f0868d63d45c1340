// The type, secondary key and group editors driven as a user would while
// they run modally: fields typed, buttons clicked, message boxes answered.

#include "capture/ui/form_event.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_secondary_key.h"
#include "capture/ui/hot_key_edit.h"
#include "capture/ui/integer_spin_edit.h"
#include "tests/model/qstring_printer.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `step` inside the event loop of whatever dialog opens next.
void Then(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

// Answers the message box that opens next and keeps its text.
void AnswerMessageBox(QString& text) {
    Then([&text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        box->accept();
    });
}

void TypeInto(QWidget* field, const QString& text) {
    auto* edit = qobject_cast<QSpinBox*>(field) ? static_cast<QSpinBox*>(field)->findChild<QLineEdit*>()
                                                : qobject_cast<QLineEdit*>(field);
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

TEST(IntegerSpinEdit, TextThatIsNoNumberReadsAsTheFallbackAndIsReplaced) {
    TIntegerSpinEdit offset;
    TIntegerSpinEdit groupIndex;
    groupIndex.SetBounds(-1, std::numeric_limits<int32_t>::max());
    const struct {
        TIntegerSpinEdit* Field;
        QString Typed;
        int32_t Read;
    } cases[] = {{&offset, "abc", 0},     {&offset, "-250", -250},
                 {&offset, "", 0},        {&groupIndex, "abc", -1},
                 {&groupIndex, "-5", -1}, {&groupIndex, "2147483647", 2147483647},
                 {&groupIndex, "77", 77}, {&groupIndex, "99999999999", -1}};
    for (const auto& c : cases) {
        c.Field->setValue(3);
        TypeInto(c.Field, c.Typed);
        EXPECT_EQ(c.Field->FieldValue(), c.Read) << c.Typed.toStdString();
        EXPECT_EQ(c.Field->findChild<QLineEdit*>()->text(), QString::number(c.Read));
    }
}

class TypeDialogsTest : public ::testing::Test {
protected:
    TProject project;
    TFormEvent form{nullptr, project};
    TFormSecondaryKey secondary{nullptr};

    void SetUp() override {
        form.SetSecondaryKeyDialog(&secondary);
        project.AddGroup(TEventTypeGroup{QStringLiteral("Speaking"), QStringLiteral("State"), true});
    }
    QString SecondaryCell(int row, int column) const {
        const QTableWidgetItem* item = form.StringGridSecondaryKeys->item(row, column);
        return item != nullptr ? item->text() : QString();
    }
};

TEST_F(TypeDialogsTest, EmptyDescriptionKeepsTheEditorOpenWithFocusInIt) {
    QString message;
    Then([&] {
        EXPECT_EQ(form.focusWidget(), form.EditDescription);
        form.CSpinEditOffset->setFocus();
        AnswerMessageBox(message);
        form.ButtonOK->click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.focusWidget(), form.EditDescription);
        QTest::keyClicks(form.EditDescription, QStringLiteral("Nod"));
        form.CSpinEditOffset->setFocus();
        TypeInto(form.CSpinEditOffset, QStringLiteral("x"));
        TypeInto(form.CSpinEditGroupIndex, QStringLiteral("y"));
        QTest::keyClick(form.CSpinEditOffset, Qt::Key_Return); // Enter here is OK
    });
    TEventTypeFields fields;
    fields.Offset = 40;
    fields.GroupIndex = 5;
    ASSERT_TRUE(form.Edit(fields));
    EXPECT_EQ(message, "Enter event type description!");
    EXPECT_EQ(fields.Description, "Nod");
    EXPECT_EQ(fields.Offset, 0);
    EXPECT_EQ(fields.GroupIndex, -1);
}

TEST_F(TypeDialogsTest, GroupComboKeepsTypedNamesApartFromTheirOtherCase) {
    Then([&] {
        EXPECT_EQ(form.ComboBoxGroup->count(), 1);
        EXPECT_EQ(form.ComboBoxGroup->currentText(), "Speaking");
        form.ComboBoxGroup->lineEdit()->selectAll();
        QTest::keyClicks(form.ComboBoxGroup->lineEdit(), QStringLiteral("speaking"));
        form.ButtonOK->click();
    });
    TEventType type(QStringLiteral("Smile"));
    type.Group = 0;
    TEventTypeFields fields = FieldsOfEventType(type, project.Groups);
    ASSERT_TRUE(form.Edit(fields));
    EXPECT_EQ(fields.GroupText, "speaking");
    ApplyEventTypeFields(project, fields, type);
    ASSERT_EQ(project.Groups.Count(), 2);
    EXPECT_EQ(type.Group, 1);
    EXPECT_EQ(project.Groups[1].Name, "speaking");
}

TEST_F(TypeDialogsTest, ColourButtonPresetsTheDialogAndMapsTheChoiceToACode) {
    const struct {
        int32_t GroupIndex;
        QColor Preset;
        QColor Chosen;
        int32_t Code;
    } cases[] = {
        {-1, QColor(0, 0, 0), QColor(0xFF, 0xFF, 0x00), 10},
        {10, QColor(0xFF, 0xFF, 0x00), QColor(0x12, 0x34, 0x56), 48 + 0x563412},
        {48 + 0x563412, QColor(0x12, 0x34, 0x56), QColor(0x40, 0x00, 0x40), 36},
    };
    form.show();
    for (const auto& c : cases) {
        form.CSpinEditGroupIndex->setValue(c.GroupIndex);
        EXPECT_EQ(form.SwatchGroupIndex(), c.GroupIndex);
        QColor preset;
        Then([&] {
            auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            preset = dialog->currentColor();
            dialog->setCurrentColor(c.Chosen);
            dialog->accept();
        });
        form.ButtonColor->click();
        EXPECT_EQ(preset, c.Preset);
        EXPECT_EQ(form.CSpinEditGroupIndex->value(), c.Code);
        EXPECT_EQ(form.SwatchGroupIndex(), c.Code);
    }
    Then([] { QApplication::activeModalWidget()->close(); });
    form.ButtonColor->click();
    EXPECT_EQ(form.CSpinEditGroupIndex->value(), 36); // cancelled: unchanged
    form.hide();
}

TEST_F(TypeDialogsTest, SecondaryKeysAreEditedOnACopyThatOnlyOKHandsBack) {
    TSecondaryKey first;
    first.Key = 'A';
    first.Offset = -100;
    first.Parameters = TParameters{{QStringLiteral("Person"), QStringLiteral("A")}};
    TEventTypeFields fields;
    fields.Description = QStringLiteral("Start");
    fields.SecondaryKeys = {first};

    auto addKeyB = [&] {
        QString message;
        Then([&] {
            EXPECT_EQ(secondary.focusWidget(), secondary.HotKeySecondary);
            AnswerMessageBox(message);
            secondary.ButtonOK->click(); // no key yet
            EXPECT_TRUE(secondary.isVisible());
            EXPECT_EQ(message, "Enter hot key!");
            QTest::keyClick(secondary.HotKeySecondary, Qt::Key_B, Qt::ShiftModifier);
            secondary.MemoParameters->setPlainText(QStringLiteral("Person=B\nnoise"));
            TypeInto(secondary.CSpinEditOffset, QStringLiteral("250"));
            QTest::keyClick(secondary.CSpinEditOffset, Qt::Key_Return);
        });
        form.ButtonSecondaryNew->click();
    };

    Then([&] {
        EXPECT_EQ(SecondaryCell(0, 0), "A");
        EXPECT_EQ(SecondaryCell(0, 1), "-100");
        addKeyB();
        EXPECT_EQ(SecondaryCell(1, 0), "B"); // Shift alone is no modifier
        EXPECT_EQ(SecondaryCell(1, 1), "250");
        EXPECT_EQ(SecondaryCell(1, 2), "Person=B");
        form.ButtonCancel->click();
    });
    EXPECT_FALSE(form.Edit(fields));
    ASSERT_EQ(fields.SecondaryKeys.size(), 1u);

    Then([&] {
        EXPECT_EQ(form.StringGridSecondaryKeys->rowCount(), 1); // the cancelled key is gone
        addKeyB();
        form.StringGridSecondaryKeys->setCurrentCell(0, 0);
        form.ButtonSecondaryDelete->click();
        form.StringGridSecondaryKeys->setCurrentCell(0, 0);
        Then([&] {
            EXPECT_EQ(secondary.HotKeySecondary->Key(), THotKey{'B'});
            TypeInto(secondary.CSpinEditOffset, QStringLiteral("-7"));
            secondary.ButtonOK->click();
        });
        form.ButtonSecondaryModify->click();
        form.ButtonOK->click();
    });
    ASSERT_TRUE(form.Edit(fields));
    ASSERT_EQ(fields.SecondaryKeys.size(), 1u);
    EXPECT_EQ(fields.SecondaryKeys[0].Key, THotKey{'B'});
    EXPECT_EQ(fields.SecondaryKeys[0].Offset, -7);
    EXPECT_EQ(fields.SecondaryKeys[0].Parameters.ParametersToText(), "Person=B");
}

TEST(FormEventList, GroupIndexCellsShowTheCodesColourBesideTheNumber) {
    TProject project;
    TEventType yellow(QStringLiteral("Yellow"));
    yellow.GroupIndex = 10;
    TEventType custom(QStringLiteral("Custom"));
    custom.GroupIndex = 48 + 0x563412;
    project.AddEventType(yellow);
    project.AddEventType(custom);
    project.AddEventType(TEventType(QStringLiteral("None")));
    TFormEventList form(nullptr, project);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTableWidget* grid = form.StringGridEventTypes;
    const QImage picture = grid->viewport()->grab().toImage();
    auto swatchCentre = [&](int row) {
        const QRect cell = grid->visualItemRect(grid->item(row, 3));
        return picture.pixelColor(cell.left() + cell.height() / 2, cell.top() + cell.height() / 2);
    };
    EXPECT_EQ(grid->item(0, 3)->text(), "10");
    EXPECT_EQ(swatchCentre(0), QColor(0xFF, 0xFF, 0x00));
    EXPECT_EQ(swatchCentre(1), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(grid->item(2, 3)->text(), "");
    EXPECT_EQ(swatchCentre(2), grid->palette().base().color());
}

TEST(FormEventGroup, EmptyDescriptionIsRefusedAndAnyMeaningAccepted) {
    TFormEventGroup form(nullptr);
    QString message;
    Then([&] {
        EXPECT_EQ(form.ComboBoxMeaning->currentText(), "State");
        AnswerMessageBox(message);
        form.ButtonOK->click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.focusWidget(), form.EditDescription);
        QTest::keyClicks(form.EditDescription, QStringLiteral("Gaze"));
        form.ComboBoxMeaning->setEditText(QStringLiteral("Whatever"));
        form.ButtonOK->click();
    });
    QString name;
    QString meaning = QStringLiteral("State");
    ASSERT_TRUE(form.Edit(name, meaning));
    EXPECT_EQ(message, "Enter group description");
    EXPECT_EQ(name, "Gaze");
    EXPECT_EQ(meaning, "Whatever");

    Then([&] {
        EXPECT_EQ(form.EditDescription->text(), "Gaze");
        form.EditDescription->setText(QStringLiteral("Other"));
        QTest::keyClick(form.EditDescription, Qt::Key_Escape);
    });
    EXPECT_FALSE(form.Edit(name, meaning));
    EXPECT_EQ(name, "Gaze");
}

} // namespace
