// The compressor and audio format dialogs, answered the way a user does, and
// a file written with their answers.
#include "media/avi/avi_file.h"
#include "media/avi/ui/avi_dialogs.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

// Runs answer on the next modal dialog once it is shown.
template <typename TDialog> void WhenShown(std::function<void(TDialog&)> answer) {
    QTimer::singleShot(0, [answer] {
        auto* dialog = dynamic_cast<TDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

void Choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setFocus();
    // The arrow keys walk the list as the user does.
    QTest::keyClick(combo, Qt::Key_Home);
    while (combo->currentIndex() < index)
        QTest::keyClick(combo, Qt::Key_Down);
}

TEST(AVICompressorDialog, AnswersTheChosenCompressorQualityAndKeyFrames) {
    TAVIDialogChooser chooser(nullptr);
    WhenShown<TAVICompressorDialog>([](TAVICompressorDialog& dialog) {
        EXPECT_EQ(dialog.ComboBoxCompressor->itemText(0), "Full Frames (Uncompressed)");
        EXPECT_EQ(dialog.TrackBarQuality->value(), 7500);
        EXPECT_FALSE(dialog.TrackBarQuality->isEnabled());
        Choose(dialog.ComboBoxCompressor, "Motion JPEG");
        EXPECT_TRUE(dialog.TrackBarQuality->isEnabled());
        QTest::keyClick(dialog.TrackBarQuality, Qt::Key_PageDown);
        QTest::mouseClick(dialog.CheckBoxKeyFrames, Qt::LeftButton);
        dialog.SpinEditKeyFrames->selectAll();
        QTest::keyClicks(dialog.SpinEditKeyFrames, "12");
        QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
    });
    TAVICompressorOptions options;
    ASSERT_TRUE(chooser.ChooseCompressor(options));
    EXPECT_EQ(options.Handler, FourCCFromText("MJPG"));
    EXPECT_EQ(options.Quality, 7000);
    EXPECT_EQ(options.KeyFrameEvery, 12);
    EXPECT_EQ(options.BytesPerSecond, 0);

    WhenShown<TAVICompressorDialog>(
        [](TAVICompressorDialog& dialog) { QTest::mouseClick(dialog.ButtonCancel, Qt::LeftButton); });
    EXPECT_FALSE(chooser.ChooseCompressor(options));
}

TEST(AVIAudioFormatDialog, OffersTheSourceRateAndChannelsAndAnswersTheChosenFormat) {
    TAVIDialogChooser chooser(nullptr);
    const std::vector<uint8_t> source = AVIPCMFormat(1, 22050);
    WhenShown<TAVIAudioFormatDialog>([](TAVIAudioFormatDialog& dialog) {
        Choose(dialog.ComboBoxFormat, "CCITT u-Law");
        ASSERT_EQ(dialog.ComboBoxAttributes->count(), 1);
        EXPECT_EQ(dialog.ComboBoxAttributes->itemText(0), "22050 Hz, 8 bit, mono");
        QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
    });
    std::vector<uint8_t> chosen;
    ASSERT_TRUE(chooser.ChooseAudioFormat(source, chosen));
    TWaveFormatEx wave;
    ASSERT_GE(chosen.size(), sizeof wave);
    std::memcpy(&wave, chosen.data(), sizeof wave);
    EXPECT_EQ(wave.wFormatTag, WaveFormatMuLaw);
    EXPECT_EQ(wave.nChannels, 1);
    EXPECT_EQ(wave.nSamplesPerSec, 22050u);

    WhenShown<TAVIAudioFormatDialog>(
        [](TAVIAudioFormatDialog& dialog) { QTest::mouseClick(dialog.ButtonCancel, Qt::LeftButton); });
    EXPECT_FALSE(chooser.ChooseAudioFormat(source, chosen));
}

TEST(AVIDialogChooser, AFileWrittenWithTheDialogsAnswersReadsBack) {
    TTempDir folder;
    const std::string path = folder.File("chosen.avi");
    TAVIDialogChooser chooser(nullptr);
    WhenShown<TAVICompressorDialog>([](TAVICompressorDialog& dialog) {
        Choose(dialog.ComboBoxCompressor, "MPEG-4 part 2 (XVID)");
        QTest::mouseClick(dialog.ButtonOK, Qt::LeftButton);
        WhenShown<TAVIAudioFormatDialog>([](TAVIAudioFormatDialog& audio) {
            Choose(audio.ComboBoxFormat, "IMA ADPCM");
            QTest::mouseClick(audio.ButtonOK, Qt::LeftButton);
        });
    });
    {
        TAVIFile file;
        file.SetChooser(&chooser);
        file.SetVideoFormat(160, 120, 25, 1);
        file.Open(path, TAVFile::ModeWrite, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
        std::vector<uint8_t> frame(160 * 120 * 4);
        for (int n = 0; n < 5; ++n) {
            DrawFrame(frame.data(), 160, 120, n);
            file.PutFrame(frame.data());
        }
        const std::vector<uint8_t> silence(44100 * 4, 0);
        file.PutAudio(silence.data(), static_cast<int32_t>(silence.size()));
        file.Close();
    }
    TAVIFile file;
    file.Open(path, TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, true);
    EXPECT_EQ(file.GetVideoLength(), 5);
    EXPECT_EQ(ReadFrameNumber(file.GetFrameAt(3), 160, 120), 3);
    int32_t bytes = 0;
    file.GetAudio(bytes);
    EXPECT_GT(bytes, 0);
}

} // namespace
