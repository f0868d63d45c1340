// The region export, run from its command over a generated BMP sequence, and
// the output video export over two generated cameras, read back through the
// AVI backend.

#include "document/ui/form_main.h"

#include "interchange/ui/form_region.h"
#include "media/avi/avi_file.h"
#include "media/avi/ui/avi_dialogs.h"
#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/document_ui/form_main_fixture.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"
#include "views/form_output.h"
#include "views/form_video.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>

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

// Two cameras of 12 frames at 25 fps; camera 2 draws the numbers from 100 on.
// The cut shows camera 1 up to 200 ms and camera 2 from there, unless a test
// cuts otherwise.
class FormMainVideoExport : public FormMainFixture {
protected:
    static constexpr int Width = 160;
    static constexpr int Height = 120;
    static constexpr int Frames = 12;
    using TCut = std::vector<std::pair<int32_t, int>>; // time in ms, camera

    void SetUp() override {
        FormMainFixture::SetUp();
        for (int camera = 1; camera <= 2; ++camera) {
            TClipSpec spec;
            spec.format = "avi";
            spec.extension = "avi";
            spec.videoCodec = "mjpeg";
            spec.width = Width;
            spec.height = Height;
            spec.frameCount = Frames;
            spec.maxBFrames = 0;
            spec.firstFrameNumber = camera == 1 ? 0 : 100;
            const std::string path = m_dir.File("cam" + std::to_string(camera) + ".avi");
            WriteClip(path, spec);
            ASSERT_TRUE(m_form->AddMedium(QString::fromStdString(path)));
            m_form->VideoList().Window(camera - 1).Camera = camera;
        }
        m_answers.Document = QString::fromStdString(m_output);
    }

    void AddCut(const TCut& cut = {{0, 1}, {200, 2}}) {
        const int32_t type = m_form->Project().EnsureBuiltInType(BuiltInOutput);
        std::vector<std::unique_ptr<TEvent>> events;
        for (const auto& [time, camera] : cut) {
            TParameters parameters;
            parameters.ParametersFromLines({QStringLiteral("Camera=%1").arg(camera)});
            events.push_back(std::make_unique<TEvent>(type, time, QString(), parameters));
        }
        m_form->Project().InsertEvents(std::move(events));
    }

    void Export() {
        m_form->Execute([this] { m_form->ActionExportOutputVideoExecute(); });
    }

    // The frame number drawn into each stored frame, checking every frame
    // against the output window's picture at its time within maxError.
    std::vector<int> ReadBack(double maxError) {
        TAVIFile file;
        file.Open(m_output, TAVFile::ModeRead, TAVFile::StreamVideo, true);
        const TAVFile::TVideoFormat format = file.GetVideoFormat();
        EXPECT_EQ(format.Width, Width);
        EXPECT_EQ(format.Height, Height);
        EXPECT_EQ(format.Rate, 25u);
        EXPECT_EQ(format.Scale, 1u);
        std::vector<int> numbers;
        for (int32_t n = 0; n < file.GetVideoLength(); ++n) {
            const uint8_t* frame = file.GetFrameAt(n);
            m_form->Clock().SetPosition(n * 40);
            const QImage& picture = m_form->FormOutput->Picture();
            EXPECT_EQ(picture.size(), QSize(Width, Height));
            EXPECT_LE(MeanAbsoluteError(frame, picture.constBits(), Width, Height), maxError)
                << "frame " << n;
            numbers.push_back(ReadFrameNumber(frame, Width, Height));
        }
        return numbers;
    }

    // The camera the cut shows at frame n (1 before its first event).
    static int CameraAt(const TCut& cut, int n) {
        int camera = 1;
        for (const auto& [time, c] : cut)
            if (time <= n * 40)
                camera = c;
        return camera;
    }

    static std::vector<int> Cut(int frames, const TCut& cut = {{0, 1}, {200, 2}}) {
        std::vector<int> numbers;
        for (int n = 0; n < frames; ++n)
            numbers.push_back(CameraAt(cut, n) == 1 ? n : 100 + n);
        return numbers;
    }

    std::string m_output = m_dir.File("cut.avi");
};

TEST_F(FormMainVideoExport, EveryFrameIsTheOutputPictureAtItsStep) {
    AddCut();
    struct TCase {
        const char* compressor; // the dialog's item; null: answered without the dialog
        uint32_t handler;
        double maxError;
    };
    for (const TCase& c :
         {TCase{"Full Frames (Uncompressed)", 0, 0.0}, TCase{nullptr, FourCCFromText("MJPG"), 3.0}}) {
        SCOPED_TRACE(c.maxError);
        if (c.compressor) {
            m_answers.Compressor.reset();
            QTimer::singleShot(0, [c] {
                auto* dialog = dynamic_cast<TAVICompressorDialog*>(QApplication::activeModalWidget());
                ASSERT_NE(dialog, nullptr);
                dialog->ComboBoxCompressor->setCurrentIndex(
                    dialog->ComboBoxCompressor->findText(c.compressor));
                QTest::mouseClick(dialog->ButtonOK, Qt::LeftButton);
            });
        } else {
            TAVICompressorOptions options;
            options.Handler = c.handler;
            m_answers.Compressor = options;
        }
        Export();
        EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(' ').toStdString();
        EXPECT_TRUE(m_form->FormOutput->isVisible());
        EXPECT_EQ(ReadBack(c.maxError), Cut(Frames));
    }
}

// Each step reads only the camera the cut shows; one that comes back is
// brought to its frame, reading on over a short absence and seeking over a
// long one, and the others keep the frame they showed last.
TEST_F(FormMainVideoExport, OnlyTheShownCameraIsReadAndACameraComingBackShowsItsFrame) {
    const std::pair<TCut, TTimeFormat> cuts[] = {
        {{{0, 1}, {80, 2}, {120, 1}, {160, 2}, {320, 1}, {360, 2}}, TTimeFormat::Milliseconds},
        {{{0, 2}, {40, 1}, {440, 2}}, TTimeFormat::Milliseconds},
        // The events count frames: the cut is the same.
        {{{0, 1}, {80, 2}, {120, 1}, {160, 2}, {320, 1}, {360, 2}}, TTimeFormat::Frames},
    };
    for (const auto& [cut, unit] : cuts) {
        SCOPED_TRACE(testing::PrintToString(cut) + (unit == TTimeFormat::Frames ? " in frames" : ""));
        m_form->Clock().SwitchTimeFormat(TTimeFormat::Milliseconds);
        m_form->Project().ClearEvents();
        AddCut(cut);
        if (unit == TTimeFormat::Frames) {
            ASSERT_TRUE(m_form->Clock().SwitchTimeFormat(TTimeFormat::Frames));
        }
        m_answers.Compressor = TAVICompressorOptions{};
        // Frame of each window at every step, as the progress dialog's loop
        // lets a timer see it.
        std::map<int32_t, std::pair<int32_t, int32_t>> seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this, &seen] {
            if (m_form->findChild<QProgressDialog*>() != nullptr)
                seen[m_form->Clock().PositionMs()] = {m_form->VideoList().Window(0).CurrentFrameIndex(),
                                                      m_form->VideoList().Window(1).CurrentFrameIndex()};
        });
        poll.start(0);
        Export();
        poll.stop();
        EXPECT_TRUE(m_answers.Messages.isEmpty()) << m_answers.Messages.join(' ').toStdString();
        EXPECT_EQ(ReadBack(0.0), Cut(Frames, cut));

        std::array<int32_t, 2> last{0, 0}; // the export starts at frame 0 of both
        std::map<int32_t, std::pair<int32_t, int32_t>> expected;
        // Steps up to the end, where the last frame stays.
        for (int n = 0; n <= Frames; ++n) {
            last[static_cast<size_t>(CameraAt(cut, n) - 1)] = std::min(n, Frames - 1);
            if (seen.count(n * 40))
                expected[n * 40] = {last[0], last[1]};
        }
        EXPECT_GE(seen.size(), static_cast<size_t>(Frames / 2));
        EXPECT_EQ(seen, expected);
        m_form->Clock().SetPosition(0);
    }
}

TEST_F(FormMainVideoExport, CancelKeepsTheFramesWrittenAndGoesBackToWhereTheUserWas) {
    AddCut();
    m_answers.Compressor = TAVICompressorOptions{};
    m_form->Clock().SetPosition(120);
    // Cancel as the user does, once the export is a few frames in.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [this, &poll] {
        auto* progress = m_form->findChild<QProgressDialog*>();
        if (progress == nullptr || !progress->isVisible() || progress->value() < 4 * 40)
            return;
        poll.stop();
        QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
    });
    poll.start(0);
    Export();
    EXPECT_TRUE(m_answers.Messages.isEmpty());
    EXPECT_EQ(m_form->Clock().PositionMs(), 120);
    EXPECT_FALSE(m_form->FormOutput->isVisible());
    m_form->SetToolWindowVisible(TToolWindow::Output, true);
    const std::vector<int> numbers = ReadBack(0.0);
    EXPECT_GE(numbers.size(), 4u);
    EXPECT_LT(numbers.size(), static_cast<size_t>(Frames));
    EXPECT_EQ(numbers, Cut(static_cast<int>(numbers.size())));
}

TEST_F(FormMainVideoExport, NothingToCutOrACancelledCompressorWritesNoFile) {
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"no Output type", [this] { m_answers.Compressor = TAVICompressorOptions{}; }},
        {"no Output event",
         [this] {
             m_form->Project().EnsureBuiltInType(BuiltInOutput);
             m_answers.Compressor = TAVICompressorOptions{};
         }},
        {"compressor cancelled",
         [this] {
             AddCut();
             m_answers.Compressor.reset();
             QTimer::singleShot(0, [] {
                 auto* dialog = dynamic_cast<TAVICompressorDialog*>(QApplication::activeModalWidget());
                 ASSERT_NE(dialog, nullptr);
                 QTest::mouseClick(dialog->ButtonCancel, Qt::LeftButton);
             });
         }},
    };
    for (const auto& [name, prepare] : cases) {
        SCOPED_TRACE(name);
        prepare();
        Export();
        EXPECT_TRUE(m_answers.Messages.isEmpty());
        EXPECT_FALSE(std::filesystem::exists(m_output));
    }
}

} // namespace
