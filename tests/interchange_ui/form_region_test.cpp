// The region dialog, filled and answered the way a user does.
#include "interchange/ui/form_region.h"

#include "base/exception.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(FormRegion, ListsEveryTypeAndAnswersTheChoice) {
    TProject project;
    project.AddEventType(TEventType(QStringLiteral("Walk")));
    project.AddEventType(TEventType(QStringLiteral("Face")));
    TFormRegion form(nullptr, project);
    form.Prepare();
    form.EditCamera->setText(QStringLiteral("old"));
    form.Prepare();
    ASSERT_EQ(form.ComboBoxEvent->count(), 2);
    EXPECT_EQ(form.ComboBoxEvent->itemText(1), QStringLiteral("Face"));
    EXPECT_TRUE(form.EditCamera->text().isEmpty()) << "each export starts with empty fields";

    QTimer::singleShot(0, [&form] {
        form.ComboBoxEvent->setFocus();
        QTest::keyClick(form.ComboBoxEvent, Qt::Key_Down);
        QTest::keyClick(form.ComboBoxEvent, Qt::Key_Down);
        QTest::keyClicks(form.EditCamera, "2");
        QTest::keyClicks(form.EditPerson, "Anna");
        QTest::mouseClick(form.ButtonOK, Qt::LeftButton);
    });
    ASSERT_EQ(form.exec(), QDialog::Accepted);
    TRegionQuery query;
    ASSERT_TRUE(form.Query(query));
    EXPECT_EQ(query.EventType, 1);
    EXPECT_EQ(query.Camera, 2);
    EXPECT_EQ(query.Person, QStringLiteral("Anna"));

    form.EditCamera->setText(QStringLiteral("two"));
    EXPECT_THROW(form.Query(query), TConvertError);
    form.Prepare();
    form.EditCamera->setText(QStringLiteral("1"));
    EXPECT_FALSE(form.Query(query)) << "no type selected";
}

} // namespace
