// Scrubbing through the main window's slider with four H.264 cameras at half
// size: while the handle is held each window shows a key frame at or before
// its frame, and once it is let go every window shows exactly the frame
// GetFrameAt gives for its position.

#include "document/ui/form_main.h"

#include "media/ffmpeg/ff_file.h"
#include "media/registry/registry.h"
#include "platform/fake_mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/time_convert.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/fake_main_dialogs.h"
#include "tests/support/media_clips.h"
#include "tests/support/temp_dir.h"
#include "views/form_video.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {

constexpr int ClipFrames = 75;
constexpr int Gop = 12;
constexpr int32_t Offsets[] = {0, 200, 440, -360};

// MP4 through either backend that offers key-frame previews, as the Input
// devices dialog orders them.
class FormMainScrub : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        UninitialiseBackendOrder();
        std::ofstream(m_dir.File("Scenemark.ini")) << "[InputDevices]\n" << GetParam();
        TClipSpec spec;
        spec.format = "mp4";
        spec.extension = "mp4";
        spec.videoCodec = "libx264";
        spec.width = 480;
        spec.height = 360;
        spec.frameCount = ClipFrames;
        spec.gopSize = Gop;
        spec.maxBFrames = 2;
        m_clip = m_dir.File("camera.mp4");
        WriteClip(m_clip, spec);

        TFormMainOptions options;
        options.SettingsFileName = m_dir.File("Scenemark.ini");
        options.Dialogs = std::make_unique<TFakeMainDialogs>(m_answers);
        options.Timer = std::make_unique<TFakeMMTimer>();
        m_form = std::make_unique<TFormMain>(std::move(options));
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
        for (int32_t offset : Offsets) {
            ASSERT_TRUE(m_form->AddMedium(QString::fromStdString(m_clip)));
            TFormVideo& window = m_form->VideoList().Window(m_form->VideoList().Count() - 1);
            window.Offset = offset;
            window.Half1->trigger();
        }
        QApplication::processEvents();
        m_reference.Open(m_clip, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    }
    void TearDown() override {
        m_form.reset();
        UninitialiseBackendOrder();
    }

    // The frame number window i shows, read from what it paints.
    int ShownNumber(int i) {
        const QImage picture =
            m_form->VideoList().Window(i).ImageVideo->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return ReadFrameNumber(picture.constBits(), picture.width(), picture.height());
    }
    int ExactFrame(int i) {
        const int32_t position = m_form->Clock().PositionMs();
        const TAVFile::TVideoFormat format = m_reference.GetVideoFormat();
        const int frame = FramesFromMs(position, format) - FramesFromMs(Offsets[i], format);
        return std::clamp(frame, 0, ClipFrames - 1);
    }
    int ReferenceNumber(int frame) {
        const TAVFile::TVideoFormat format = m_reference.GetVideoFormat();
        return ReadFrameNumber(m_reference.GetFrameAt(frame), format.Width, format.Height);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QSlider& slider = *m_form->TrackBar;
        QMouseEvent event(type, at, slider.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
        QApplication::processEvents();
    }
    QPoint Handle() const {
        QSlider& slider = *m_form->TrackBar;
        QStyleOptionSlider option;
        option.initFrom(&slider);
        option.orientation = slider.orientation();
        option.minimum = slider.minimum();
        option.maximum = slider.maximum();
        option.sliderPosition = slider.sliderPosition();
        option.sliderValue = slider.value();
        return slider.style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider)
            .center();
    }

    TTempDir m_dir;
    TDialogAnswers m_answers;
    std::string m_clip;
    std::unique_ptr<TFormMain> m_form;
    TFFFile m_reference;
};

TEST_P(FormMainScrub, HeldShowsKeyFramesAndReleasedShowsEveryExactFrame) {
    ASSERT_EQ(m_form->VideoList().Count(), 4);
    QSlider& slider = *m_form->TrackBar;
    for (double fraction : {0.55, 0.2, 0.85, 0.4}) {
        const QPoint start = Handle();
        Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton);
        ASSERT_TRUE(slider.isSliderDown());
        const QPoint target(static_cast<int>(slider.width() * fraction), start.y());
        Mouse(QEvent::MouseMove, (start + target) / 2, Qt::LeftButton);
        Mouse(QEvent::MouseMove, target, Qt::LeftButton);
        int previews = 0;
        for (int i = 0; i < 4; ++i) {
            const int exact = ExactFrame(i);
            const int shown = ShownNumber(i);
            EXPECT_LE(shown, exact) << "camera " << i << " while held at " << fraction;
            EXPECT_EQ(shown, exact - exact % Gop) << "camera " << i << " while held at " << fraction;
            previews += shown != exact;
        }
        EXPECT_GT(previews, 0) << "every camera stood on a key frame at " << fraction;
        Mouse(QEvent::MouseButtonRelease, target, Qt::NoButton);
        ASSERT_FALSE(slider.isSliderDown());
        for (int i = 0; i < 4; ++i) {
            const TFormVideo& window = m_form->VideoList().Window(i);
            EXPECT_EQ(window.CurrentFrameIndex(), ExactFrame(i)) << "camera " << i << " at " << fraction;
            EXPECT_EQ(ShownNumber(i), ReferenceNumber(ExactFrame(i))) << "camera " << i << " at " << fraction;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, FormMainScrub,
                         ::testing::Values("2=0\n1=1\n0=2\n3=3\n", "1=0\n2=1\n0=2\n3=3\n"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param[0] == '2' ? std::string("FFmpeg") : std::string("FilterGraph");
                         });

} // namespace
