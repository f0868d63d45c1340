#include "tests/playback/playback_fakes.h"

#include <algorithm>

#include <mutex>

TTestClip::TTestClip(uint32_t rate, uint32_t scale, int32_t frameCount, int32_t streams, int32_t flags)
    : m_frameCount(frameCount) {
    SetVideoFormat(8, 8, rate, scale);
    m_mode = ModeRead;
    m_streams = streams;
    m_flags = flags;
}

int32_t TTestClip::GetVideoLength() {
    RequireOpened();
    RequireVideo();
    return m_frameCount;
}

int32_t TTestClip::SetVideoPosition(int32_t index) {
    RequireOpened();
    RequireVideo();
    if (index < 0 || index > m_frameCount)
        throw AVFileErrorGetVideo();
    m_videoPosition = index;
    return index;
}

uint8_t* TTestClip::GetBitmapAt(int32_t index) {
    RequireReading();
    RequireVideo();
    if (index == FailingFrame || index < 0 || index >= m_frameCount)
        throw AVFileErrorGetVideo();
    m_videoPosition = index + 1;
    return m_pixel;
}

void TTestClip::Seek(int32_t index) {
    Seeks.push_back(index);
    if (Clock)
        Clock->AdvanceMs(SeekCostMs);
    TAVFile::Seek(index);
}

int32_t TTestClip::SkipFrames(int32_t count) {
    Skips.push_back(count);
    if (Clock)
        Clock->AdvanceMs(count * SkipCostMs);
    return TAVFile::SkipFrames(count);
}

int32_t TTestClip::GetAudioLength() {
    RequireOpened();
    RequireAudio();
    return 1000000;
}

void TTestClip::SkipAudio() {
    RequireReading();
    RequireAudio();
    ++AudioSkips;
    ++m_audioPosition;
}

TTestMedium::TTestMedium(std::unique_ptr<TTestClip> clip, int32_t offsetMs, TFakeClock& clock,
                         int64_t fetchCostMs)
    : Clip(std::move(clip)), OffsetMs(offsetMs), FetchCostMs(fetchCostMs), m_clock(clock) {}

namespace {
// Media of one rig share its fake clock, and a seek fetches them on several
// threads at once.
std::mutex SharedClockMutex;
} // namespace

void TTestMedium::FetchFrame(int32_t frame) {
    if (OnFetch)
        OnFetch();
    {
        const std::lock_guard<std::mutex> lock(SharedClockMutex);
        FetchedAtMs.push_back(m_clock.NowMs());
        m_clock.AdvanceMs(FetchCostMs);
    }
    Fetched.push_back(frame);
    Clip->GetBitmapAt(frame);
}

void TTestMedium::Paint() {
    if (!PaintCostsMs.empty())
        m_clock.AdvanceMs(PaintCostsMs[std::min(static_cast<size_t>(Paints), PaintCostsMs.size() - 1)]);
    ++Paints;
}

void TTestMedium::PreviewFrame(int32_t frame) {
    if (OnFetch)
        OnFetch();
    Previewed.push_back(frame);
}

void TRecordingHost::SetStatusTexts(const QString& time, const QString& millisecond, const QString& frame) {
    Status = QStringList{time, millisecond, frame};
    Log.append("status");
}

void TRecordingHost::RefreshEventList(bool incremental, bool follow) {
    Log.append(QString("events %1 %2").arg(incremental).arg(follow));
}

void TRecordingHost::RefreshTitleList(bool incremental, bool follow) {
    Log.append(QString("titles %1 %2").arg(incremental).arg(follow));
}

TPlaybackRig::TPlaybackRig() : Clock(Project, Media, Host, Timer) {}

TTestMedium& TPlaybackRig::AddMedium(uint32_t rate, uint32_t scale, int32_t frameCount, int32_t offsetMs,
                                     int64_t fetchCostMs, int32_t streams, int32_t flags) {
    Media.Items.push_back(
        std::make_unique<TTestMedium>(std::make_unique<TTestClip>(rate, scale, frameCount, streams, flags),
                                      offsetMs, Timer.MutableClock(), fetchCostMs));
    Clock.MediumAdded(Media.MediumCount() - 1);
    return *Media.Items.back();
}

void TPlaybackRig::Pump() {
    while (!Host.Posted.empty()) {
        const uint32_t wParam = Host.Posted.front();
        Host.Posted.pop_front();
        Clock.HandleTimerMessage(wParam);
    }
}

void TPlaybackRig::RunFor(int64_t durationMs) {
    const int64_t endMs = NowMs() + durationMs;
    Pump();
    for (;;) {
        const auto pending = Timer.Pending();
        if (pending.empty() || pending.front().DueMs > endMs)
            break;
        Timer.FireNext();
        Pump();
    }
    if (NowMs() < endMs)
        Timer.MutableClock().SetMs(endMs);
}
