// Every field whose text goes into the project document stops taking text at
// the length that still saves and opens again, whether typed or pasted.

#include "capture/ui/form_event.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_message.h"
#include "capture/ui/form_secondary_key.h"
#include "capture/ui/form_title.h"
#include "components/bounded_text_edit.h"
#include "document/entry_limits.h"
#include "document/ui/form_main.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void Paste(QWidget* field, const QString& text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

// The limit each field has is the one its text needs in the document: a
// field left at the toolkit's default (32767 characters for a line, none for
// a memo) either cuts texts the document takes or takes texts it refuses.
TEST(EntryLimits, EveryDocumentFieldHasItsLimit) {
    TTempDir dir;
    TDialogAnswers answers;
    TFormMainOptions options;
    options.SettingsFileName = dir.File("Scenemark.ini");
    options.Dialogs = std::make_unique<TFakeMainDialogs>(answers);
    TFormMain main(std::move(options));
    TProject project;
    TFormMessage message(nullptr, project);
    TFormTitle title(nullptr);
    TFormEvent type(nullptr, project);
    TFormEventGroup group(nullptr);
    TFormSecondaryKey secondary(nullptr);

    const struct {
        const char* Name;
        QWidget* Field;
        int Limit;
    } fields[] = {
        {"event text", message.EditText, MaxEnteredLineLength},
        {"event parameters", message.MemoParameters, MaxEnteredParametersLength},
        {"title text", title.MemoText, MaxEnteredTextLength},
        {"type name", type.EditDescription, MaxEnteredLineLength},
        {"type's group name", type.ComboBoxGroup->lineEdit(), MaxEnteredLineLength},
        {"type parameters", type.MemoParameters, MaxEnteredParametersLength},
        {"secondary key parameters", secondary.MemoParameters, MaxEnteredParametersLength},
        {"group name", group.EditDescription, MaxEnteredLineLength},
        {"group meaning", group.ComboBoxMeaning->lineEdit(), MaxEnteredLineLength},
        {"events panel text", main.EditEventText, MaxEnteredLineLength},
        {"titles panel text", main.EditTitleText, MaxEnteredLineLength},
    };
    for (const auto& f : fields) {
        if (auto* line = qobject_cast<QLineEdit*>(f.Field))
            EXPECT_EQ(line->maxLength(), f.Limit) << f.Name;
        else if (auto* memo = qobject_cast<TBoundedPlainTextEdit*>(f.Field))
            EXPECT_EQ(memo->MaxLength(), f.Limit) << f.Name;
        else
            ADD_FAILURE() << f.Name << " takes text without a limit";
    }

    // At the full size, through the clipboard as a user would.
    auto* memo = static_cast<TBoundedPlainTextEdit*>(message.MemoParameters);
    // Short lines: one line of millions of characters costs the layout seconds.
    QString parameters(MaxEnteredParametersLength + 5, QLatin1Char('a'));
    for (qsizetype i = 99; i < parameters.size(); i += 100)
        parameters[i] = QLatin1Char('\n');
    Paste(memo, parameters);
    EXPECT_EQ(memo->document()->characterCount() - 1, MaxEnteredParametersLength);
}

// The memo's own rules, at a small limit: a selection counts as room, a paste
// never ends in half a character, and a text the program shows is kept whole.
TEST(EntryLimits, TheBoundedMemoCountsTheSelectionAndKeepsShownTexts) {
    TBoundedPlainTextEdit memo;
    memo.SetMaxLength(6);
    const QString face = QString::fromUcs4(U"\U0001F600");
    const struct {
        QString Start;
        int SelectFrom; // -1: the cursor at the end, nothing selected
        QString Pasted;
        QString Expected;
    } cases[] = {
        {"abcdef", -1, "x", "abcdef"},
        {"abcdef", 2, "xyz", "abxyz"},
        {"abcd", -1, face + face, "abcd" + face},
        {"abcd", -1, "x" + face, "abcdx"},
        {"", -1, "a\nb\nc\nd", "a\nb\nc\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Start.toStdString() + " + " + c.Pasted.toStdString());
        memo.setPlainText(c.Start);
        QTextCursor cursor = memo.textCursor();
        cursor.movePosition(QTextCursor::End);
        if (c.SelectFrom >= 0)
            cursor.setPosition(c.SelectFrom, QTextCursor::KeepAnchor);
        memo.setTextCursor(cursor);
        Paste(&memo, c.Pasted);
        EXPECT_EQ(memo.toPlainText(), c.Expected);
    }

    memo.setPlainText(QStringLiteral("longer than six"));
    memo.moveCursor(QTextCursor::End);
    EXPECT_EQ(memo.toPlainText(), "longer than six");
    QTest::keyClick(&memo, Qt::Key_Z);
    QTest::keyClick(&memo, Qt::Key_Return);
    EXPECT_EQ(memo.toPlainText(), "longer than six");
    QTest::keyClick(&memo, Qt::Key_Backspace);
    EXPECT_EQ(memo.toPlainText(), "longer than si");
}

} // namespace
