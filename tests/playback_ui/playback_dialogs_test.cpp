// The number and camera dialogs and the list of video windows, driven as a
// user would: text typed, buttons and keys pressed while the dialog runs
// modally.

#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "tests/model/qstring_printer.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs `step` inside the event loop of whatever dialog opens next.
void Then(std::function<void()> step) {
    QTimer::singleShot(0, std::move(step));
}

TEST(FormOffset, AnswersInvalidNumberAndStaysOpenUntilANumberComes) {
    TFormOffset form(nullptr);
    QString boxText;
    Then([&] {
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.windowTitle(), "Offset");
        EXPECT_EQ(form.EditOffset->selectedText(), "5");
        form.EditOffset->setText("12a");
        Then([&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            boxText = box->text();
            box->accept();
        });
        form.ButtonOK->click();
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.EditOffset->selectedText(), "12a");
        form.EditOffset->setText("-40");
        QTest::keyClick(form.EditOffset, Qt::Key_Return);
    });
    int32_t value = 5;
    EXPECT_TRUE(form.AskInteger(value));
    EXPECT_EQ(value, -40);
    EXPECT_EQ(boxText, "Invalid number!");
}

TEST(FormOffset, CancelAndEscapeLeaveTheValueAlone) {
    TFormOffset form(nullptr);
    Then([&] {
        EXPECT_EQ(form.windowTitle(), "Go to frame");
        form.EditOffset->setText("99");
        form.ButtonCancel->click();
    });
    int32_t value = 7;
    EXPECT_FALSE(form.AskInteger(value, "Go to frame"));
    EXPECT_EQ(value, 7);

    Then([&] {
        EXPECT_EQ(form.windowTitle(), "Offset"); // the caption does not stick
        form.EditOffset->setText("99");
        QTest::keyClick(form.EditOffset, Qt::Key_Escape);
    });
    EXPECT_FALSE(form.AskInteger(value));
    EXPECT_EQ(value, 7);
}

TEST(FormCamera, KeepsTheNumberWithinMinusOneToAThousandAndEndsOnEnterOrEscape) {
    TFormCamera form(nullptr);
    EXPECT_EQ(form.windowTitle(), "Camera");
    EXPECT_EQ(form.CSpinEditCamera->minimum(), -1);
    EXPECT_EQ(form.CSpinEditCamera->maximum(), 1000);

    Then([&] {
        EXPECT_EQ(form.CSpinEditCamera->value(), 4);
        form.CSpinEditCamera->setValue(2000);
        EXPECT_EQ(form.CSpinEditCamera->value(), 1000);
        form.CSpinEditCamera->selectAll();
        QTest::keyClicks(form.CSpinEditCamera, "12"); // typed, taken by Enter
        QTest::keyClick(form.CSpinEditCamera, Qt::Key_Enter);
    });
    int32_t camera = 4;
    EXPECT_TRUE(form.AskCamera(camera));
    EXPECT_EQ(camera, 12);

    Then([&] {
        form.CSpinEditCamera->setValue(-1);
        QTest::keyClick(form.CSpinEditCamera, Qt::Key_Escape);
    });
    EXPECT_FALSE(form.AskCamera(camera));
    EXPECT_EQ(camera, 12);
}

TEST(FormVideoList, AddsOpenedFilesOnlyAndDestroysRemovedWindows) {
    TTempDir dir;
    for (int frame = 0; frame < 3; ++frame)
        WriteBytes(dir.File("cam000" + std::to_string(frame) + ".bmp"),
                   MakeBMPBytes(8, 8, 32, [](int32_t, int32_t) { return 0xFF102030u; }));
    QWidget owner;
    TFormVideoList list(&owner, nullptr);

    EXPECT_EQ(list.AddFile(QString::fromStdString(dir.File("missing.bmp"))), -1);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(owner.findChildren<TFormVideo*>().isEmpty());

    const QString path = QString::fromStdString(dir.File("cam0000.bmp"));
    EXPECT_EQ(list.AddFile(path), 0);
    EXPECT_EQ(list.AddFile(path), 1);
    EXPECT_EQ(list.Window(1).FileName(), path);
    EXPECT_EQ(list.Medium(1).MediaFile()->GetVideoLength(), 3);

    QPointer<TFormVideo> first = &list.Window(0);
    list.Window(1).Camera = 7;
    list.Remove(0);
    EXPECT_TRUE(first.isNull());
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Window(0).Camera, 7);
}

} // namespace
