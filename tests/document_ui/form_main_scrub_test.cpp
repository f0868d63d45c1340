// Scrubbing through the main window's slider with four H.264 cameras at half
// size: while the handle is held each window shows a key frame at or before
// its frame, which its seek worker hands back without the window thread
// waiting; once it is let go every window shows exactly the frame GetFrameAt
// gives for its position, and no picture made for an earlier position
// replaces it. Playback started and a medium closed while the workers still
// seek.

#include "document/ui/form_main.h"

#include "media/ffmpeg/ff_file.h"
#include "playback/playback_clock.h"
#include "playback/time_convert.h"
#include "playback/ui/form_video_list.h"
#include "tests/document_ui/form_main_fixture.h"
#include "tests/support/media_clips.h"
#include "views/form_video.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

namespace {

constexpr int ClipFrames = 75;
constexpr int Gop = 12;
constexpr int32_t Offsets[] = {0, 200, 440, -360};

// MP4 through either backend that offers key-frame previews, as the Input
// devices dialog orders them.
class FormMainScrub : public FormMainFixture, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override {
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
        FormMainFixture::SetUp();
        if (HasFatalFailure())
            return;
        for (int32_t offset : Offsets) {
            ASSERT_TRUE(m_form->AddMedium(QString::fromStdString(m_clip)));
            TFormVideo& window = m_form->VideoList().Window(m_form->VideoList().Count() - 1);
            window.Offset = offset;
            window.Half1->trigger();
        }
        QApplication::processEvents();
        m_reference.Open(m_clip, TAVFile::ModeRead, TAVFile::StreamVideo, true);
    }

    // Runs the event loop until no window waits for a picture of its seek
    // worker (the bound only keeps a broken worker from hanging the test).
    void WaitForPictures() {
        const QDeadlineTimer deadline(30000);
        for (;;) {
            QApplication::processEvents();
            bool isPending = false;
            for (int i = 0; i < m_form->VideoList().Count(); ++i)
                isPending = isPending || m_form->VideoList().Window(i).IsPicturePending();
            if (!isPending)
                return;
            ASSERT_FALSE(deadline.hasExpired()) << "a seek worker never finished";
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    // Every window shows exactly its frame at the slider's position.
    void ExpectExactFrames(const std::string& when) {
        for (int i = 0; i < m_form->VideoList().Count(); ++i) {
            const TFormVideo& window = m_form->VideoList().Window(i);
            EXPECT_EQ(window.CurrentFrameIndex(), ExactFrame(i)) << "camera " << i << " " << when;
            EXPECT_EQ(ShownNumber(i), ReferenceNumber(ExactFrame(i))) << "camera " << i << " " << when;
        }
    }
    QPoint At(double fraction) const {
        return {static_cast<int>(m_form->TrackBar->width() * fraction), Handle().y()};
    }

    // The frame number window i shows, read from what it paints.
    int ShownNumber(int i) {
        const QImage picture =
            m_form->VideoList().Window(i).ImageVideo->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return ReadFrameNumber(picture.constBits(), picture.width(), picture.height());
    }
    int ExactFrame(int i) { return ExactFrameAt(Offsets[i]); }
    int ExactFrameAt(int32_t offset) {
        const int32_t position = m_form->Clock().PositionMs();
        const TAVFile::TVideoFormat format = m_reference.GetVideoFormat();
        const int frame = FramesFromMs(position, format) - FramesFromMs(offset, format);
        return std::clamp(frame, 0, ClipFrames - 1);
    }
    int ReferenceNumber(int frame) {
        const TAVFile::TVideoFormat format = m_reference.GetVideoFormat();
        return ReadFrameNumber(m_reference.GetFrameAt(frame), format.Width, format.Height);
    }

    void Mouse(QEvent::Type type, QPoint at, Qt::MouseButtons held, bool thenProcessEvents = true) {
        QSlider& slider = *m_form->TrackBar;
        QMouseEvent event(type, at, slider.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(&slider, &event);
        if (thenProcessEvents)
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

    std::string m_clip;
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
        WaitForPictures();
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
        ExpectExactFrames("at " + std::to_string(fraction));
    }
}

// Moves faster than the workers seek, with no time for their messages in
// between (the first drag) or some (the others): pictures for positions
// already left are still being made or queued when the handle is let go.
TEST_P(FormMainScrub, QuickMovesThenReleaseLeaveEveryExactFrameAndNoStalePicture) {
    struct TDrag {
        std::vector<double> Fractions;
        bool ProcessBetween;
    };
    const std::vector<TDrag> drags = {{{0.3, 0.7, 0.1, 0.9, 0.5}, false},
                                      {{0.81, 0.8, 0.79, 0.78, 0.77, 0.76}, true},
                                      {{0.95, 0.05, 0.95, 0.05, 0.6}, false},
                                      {{0.2, 0.6, 0.25}, true}};
    for (const TDrag& drag : drags) {
        Mouse(QEvent::MouseButtonPress, Handle(), Qt::LeftButton);
        for (double fraction : drag.Fractions)
            Mouse(QEvent::MouseMove, At(fraction), Qt::LeftButton, drag.ProcessBetween);
        // Long enough for the last preview to be done and its message queued.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Mouse(QEvent::MouseButtonRelease, At(drag.Fractions.back()), Qt::NoButton, false);
        ExpectExactFrames("at the release after " + std::to_string(drag.Fractions.size()) + " moves");

        WaitForPictures();
        ExpectExactFrames("once every worker is done");
    }
}

TEST_P(FormMainScrub, PlayWhileThePreviewsAreSoughtPlaysTheExactFrames) {
    Mouse(QEvent::MouseButtonPress, Handle(), Qt::LeftButton);
    Mouse(QEvent::MouseMove, At(0.6), Qt::LeftButton);
    Mouse(QEvent::MouseMove, At(0.3), Qt::LeftButton);
    QTest::keyClick(m_form->windowHandle(), Qt::Key_5, Qt::ControlModifier); // Play
    ASSERT_TRUE(m_form->Clock().IsPlaying());
    QApplication::processEvents(); // the first tick
    WaitForPictures();
    ExpectExactFrames("after the first tick");
}

TEST_P(FormMainScrub, ClosingAMediumWhileItsWorkerSeeks) {
    Mouse(QEvent::MouseButtonPress, Handle(), Qt::LeftButton);
    Mouse(QEvent::MouseMove, At(0.7), Qt::LeftButton);
    Mouse(QEvent::MouseMove, At(0.2), Qt::LeftButton);
    m_form->Remove1Click(1);
    ASSERT_EQ(m_form->VideoList().Count(), 3);
    WaitForPictures();
    Mouse(QEvent::MouseButtonRelease, At(0.2), Qt::NoButton);
    // The windows after the closed one moved down.
    for (int i = 0; i < 3; ++i) {
        const int frame = ExactFrameAt(Offsets[i == 0 ? 0 : i + 1]);
        EXPECT_EQ(m_form->VideoList().Window(i).CurrentFrameIndex(), frame) << "camera " << i;
        EXPECT_EQ(ShownNumber(i), ReferenceNumber(frame)) << "camera " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, FormMainScrub,
                         ::testing::Values("2=0\n1=1\n0=2\n3=3\n", "1=0\n2=1\n0=2\n3=3\n"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param[0] == '2' ? std::string("FFmpeg") : std::string("FilterGraph");
                         });

} // namespace
