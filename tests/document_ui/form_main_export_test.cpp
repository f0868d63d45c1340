// The region export, run from its command over a generated BMP sequence.

#include "document/ui/form_main.h"

#include "interchange/ui/form_region.h"
#include "platform/fake_mm_timer.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"
#include "views/form_video.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

class FormMainExport : public ::testing::Test {
protected:
    void SetUp() override {
        TFormMainOptions options;
        options.SettingsFileName = m_dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(m_answers);
        options.Timer = std::make_unique<TFakeMMTimer>();
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        ASSERT_TRUE(m_form->AddMedium(QString::fromStdString(WriteBMPSequence(m_dir.File("cam"), 10))));
        m_form->VideoList().Window(0).Camera = 1;
        const int32_t type = m_form->Project().AddEventType(TEventType(QStringLiteral("Face")));
        std::vector<std::unique_ptr<TEvent>> events;
        // 45 ms is no step of the 40 ms frame period; Person anna is not Anna.
        for (const auto& [time, person] : {std::pair{0, "Anna"}, {40, "Anna"}, {45, "Anna"}, {80, "anna"}}) {
            TParameters parameters;
            parameters.ParametersFromLines(
                {"Camera=1", QStringLiteral("Person=") + person, "MinX=12", "MaxX=2", "MinY=3", "MaxY=6"});
            events.push_back(std::make_unique<TEvent>(type, time, QString(), parameters));
        }
        m_form->Project().InsertEvents(std::move(events));
    }

    void AnswerRegion(const char* camera) {
        QTimer::singleShot(0, [this, camera] {
            TFormRegion* region = m_form->FormRegion;
            ASSERT_TRUE(region->isVisible());
            region->ComboBoxEvent->setCurrentIndex(region->ComboBoxEvent->count() - 1);
            QTest::keyClicks(region->EditCamera, camera);
            QTest::keyClicks(region->EditPerson, "Anna");
            QTest::mouseClick(region->ButtonOK, Qt::LeftButton);
        });
    }

    // The command is hidden, so its action is disabled: run its handler the
    // way the command would, through the error handler.
    void Export() {
        m_form->Execute([this] { m_form->ActionExportOutputRegionExecute(); });
    }

    QByteArray Read(const std::string& name) {
        QFile file(QString::fromStdString(m_dir.File(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    TTempDir m_dir;
    TDialogAnswers m_answers;
    std::unique_ptr<TFormMain> m_form;
};

int32_t At(const QByteArray& bytes, int offset) {
    int32_t value;
    std::memcpy(&value, bytes.constData() + offset, 4);
    return value;
}

TEST_F(FormMainExport, RegionsOfTheChosenCameraAndPersonAtEveryStepAreCutOut) {
    m_answers.Document = QString::fromStdString(m_dir.File("regions.bitmap"));
    AnswerRegion("1");
    Export();

    const QImage& picture = m_form->VideoList().Window(0).OffscreenPicture();
    const TAVFile::TVideoFormat format = m_form->VideoList().Window(0).MediaFile()->GetVideoFormat();
    const double sx = static_cast<double>(picture.width()) / format.Width;
    const double sy = static_cast<double>(picture.height()) / format.Height;
    const int32_t w =
        static_cast<int32_t>(std::trunc(12 * sx)) - static_cast<int32_t>(std::trunc(2 * sx)) + 1;
    const int32_t h = static_cast<int32_t>(std::trunc(6 * sy)) - static_cast<int32_t>(std::trunc(3 * sy)) + 1;
    const QByteArray index = Read("regions.index");
    const QByteArray data = Read("regions.bitmap");
    ASSERT_EQ(index.size(), 16) << "the steps at 0 and 40 ms only";
    EXPECT_EQ(At(index, 0), 0);
    EXPECT_EQ(At(index, 4), 0);
    EXPECT_EQ(At(index, 8), 40);
    EXPECT_EQ(At(index, 12), 8 + w * 3 * h);
    ASSERT_EQ(data.size(), 2 * (8 + w * 3 * h));
    EXPECT_EQ(At(data, 0), w);
    EXPECT_EQ(At(data, 4), h);
    EXPECT_TRUE(m_answers.Messages.isEmpty());
}

TEST_F(FormMainExport, ACameraThatIsNoNumberEndsTheExportWithItsMessage) {
    m_answers.Document = QString::fromStdString(m_dir.File("regions.bitmap"));
    AnswerRegion("one");
    Export();
    ASSERT_EQ(m_answers.Messages.size(), 1);
    EXPECT_EQ(m_answers.Messages[0], QStringLiteral("Invalid number!"));
    EXPECT_TRUE(Read("regions.index").isEmpty());

    m_answers.Messages.clear();
    m_answers.Document = QString::fromStdString(m_dir.File("no/such/folder/regions.bitmap"));
    AnswerRegion("1");
    Export();
    EXPECT_EQ(m_answers.Messages, QStringList{QStringLiteral("Could not open file!")});
}

} // namespace
