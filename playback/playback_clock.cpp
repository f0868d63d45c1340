#include "playback/playback_clock.h"

#include "base/exception.h"
#include "playback/time_convert.h"
#include "playback/time_display.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

namespace {

int32_t Saturate(int64_t value) {
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

} // namespace

TPlaybackClock::TPlaybackClock(TProject& project, TPlaybackMediaList& media, TPlaybackHost& host,
                               TMMTimer& timer, TPlaybackAudio* audio)
    : m_project(project), m_media(media), m_host(host), m_timer(timer), m_audio(audio) {}

TPlaybackClock::~TPlaybackClock() {
    Stop(false);
}

void TPlaybackClock::SetTrackBar(const TTrackBar& trackBar) {
    m_trackBar = trackBar;
    m_trackBar.Maximum = std::max(m_trackBar.Maximum, 0);
    m_trackBar.Position = std::clamp(m_trackBar.Position, 0, m_trackBar.Maximum);
    m_host.TrackBarChanged(m_trackBar);
}

void TPlaybackClock::SetPosition(int64_t positionMs) {
    const auto clamped = static_cast<int32_t>(std::clamp<int64_t>(positionMs, 0, m_trackBar.Maximum));
    if (clamped == m_trackBar.Position)
        return;
    TTrackBar trackBar = m_trackBar;
    trackBar.Position = clamped;
    SetTrackBar(trackBar);
    if (m_positionHandlingEnabled)
        TrackBarChange(TPositionSender::TrackBar);
}

void TPlaybackClock::TrackBarChange(TPositionSender sender) {
    if (!m_positionHandlingEnabled)
        return;
    // A drag held in mouse mode records at the time being left.
    for (int32_t i = 0; i < m_media.MediumCount(); ++i)
        m_media.Medium(i).CommitMouseRegion();
    const int32_t position = m_trackBar.Position;
    SeekAll(position);
    m_currentTime = TimeAtPosition(position);
    ShowTime();
    const bool follow = sender == TPositionSender::TrackBar;
    m_host.RefreshEventList(false, follow);
    m_host.RefreshTitleList(false, follow);
    RepaintAll();
    m_host.RenderOutput();
    m_host.SetTimelinePosition(position);
}

int32_t TPlaybackClock::TimeAtPosition(int32_t positionMs) const {
    if (m_project.TimeFormat == TTimeFormat::Frames && m_media.MediumCount() > 0)
        return FramesFromMs(positionMs, VideoFormatOf(m_media.Medium(0)));
    return positionMs;
}

void TPlaybackClock::UpdateTrackBarRange() {
    int64_t maximum = 0;
    int32_t period = 0; // 0: no video medium seen yet
    for (int32_t i = 0; i < m_media.MediumCount(); ++i) {
        TPlaybackMedium& medium = m_media.Medium(i);
        if (!HasReadableVideo(medium))
            continue;
        const TAVFile::TVideoFormat format = medium.MediaFile()->GetVideoFormat();
        const int64_t end = static_cast<int64_t>(MsFromFrames(medium.MediaFile()->GetVideoLength(), format)) +
                            medium.Offset();
        maximum = std::max(maximum, end);
        // Beyond 2000 frames per second the period would round to 0, which
        // means "none found" here and would stall frame stepping.
        const int32_t p = std::max(FramePeriodMs(format), 1);
        period = period == 0 ? p : std::min(period, p);
    }
    m_positionHandlingEnabled = false;
    TTrackBar trackBar = m_trackBar;
    trackBar.Maximum = Saturate(maximum);
    trackBar.TickSpacing = trackBar.Maximum;
    trackBar.PageSize = period == 0 ? 1 : period;
    SetTrackBar(trackBar);
    m_positionHandlingEnabled = true;
}

void TPlaybackClock::SeekAll(int32_t positionMs) {
    // Every caller repaints once the new frames are in: painting the old ones
    // first doubled the cost of every position change (and of every step of
    // an export).
    Stop(false);
    const bool preview = m_host.IsTrackBarHeld();
    std::vector<TPlaybackMedium*> ownSeeks; // media without a worker of their own
    std::vector<TSeekWorker*> awaited;
    bool hasMedia = false;
    for (int32_t i = 0; i < m_media.MediumCount(); ++i) {
        TPlaybackMedium& medium = m_media.Medium(i);
        if (!medium.MediaFile() || !IsInUse(i))
            continue;
        hasMedia = true;
        TSeekWorker* worker = medium.SeekWorker();
        if (worker == nullptr) {
            ownSeeks.push_back(&medium);
        } else if (preview) {
            // Not waited for: the picture comes back to the window as a
            // message, and a newer position overtakes it.
            worker->Post(PreviewJob(medium, positionMs));
        } else {
            worker->Post([this, &medium, positionMs](const TSeekWorker::TOvertakenCheck&) {
                SeekMedium(medium, positionMs, false);
                return std::optional<TPreviewPicture>();
            });
            awaited.push_back(worker);
        }
    }
    // Each seek decodes up to a GOP on its own medium, so four cameras in a
    // row would wait four times as long. Every medium is touched by one
    // thread only, and this thread waits for all before it goes on, so the
    // window thread's rules hold around the call.
    std::vector<std::thread> workers;
    for (size_t i = 1; i < ownSeeks.size(); ++i)
        workers.emplace_back([this, medium = ownSeeks[i], positionMs, preview] {
            try {
                SeekMedium(*medium, positionMs, preview);
            } catch (const std::exception&) {
                // Nothing may leave a worker: like a media error, a failure
                // costs this medium its new picture only.
            }
        });
    if (!ownSeeks.empty())
        SeekMedium(*ownSeeks[0], positionMs, preview);
    for (std::thread& worker : workers)
        worker.join();
    // An exact position is shown when SeekAll returns: the lists, the output
    // window and the exports read the pictures next.
    for (TSeekWorker* worker : awaited)
        worker->WaitIdle();
    m_isPreviewShown = preview && hasMedia;
}

TSeekWorker::TJob TPlaybackClock::PreviewJob(TPlaybackMedium& medium, int32_t positionMs) {
    TAVFile* file = medium.MediaFile();
    // What a file states about its streams is fixed while it is open, so it
    // is read here even while the worker still decodes an earlier position;
    // the length can grow as a file is read, so the worker clamps.
    const bool hasVideo = (file->GetStreams() & TAVFile::StreamVideo) != 0;
    const int64_t wanted = std::max<int64_t>(
        static_cast<int64_t>(FramesFromMs(positionMs, file->GetVideoFormat())) - OffsetFrames(medium), 0);
    TPlaybackMedium::TPreviewRenderer render = hasVideo ? medium.PreviewRenderer() : nullptr;
    return [file, wanted, hasVideo, render = std::move(render)](
               const TSeekWorker::TOvertakenCheck& isOvertaken) -> std::optional<TPreviewPicture> {
        try {
            if (!hasVideo) {
                file->Seek(static_cast<int32_t>(wanted));
                return std::nullopt;
            }
            const int64_t frame = std::min<int64_t>(wanted, static_cast<int64_t>(file->GetVideoLength()) - 1);
            if (!render || frame < 0)
                return std::nullopt;
            return render(static_cast<int32_t>(frame), isOvertaken);
        } catch (const TAVFile::AVFileError&) {
            // The medium keeps its previous picture; the other media still move.
            return std::nullopt;
        }
    };
}

void TPlaybackClock::ReclaimMedia() {
    for (int32_t i = 0; i < m_media.MediumCount(); ++i)
        if (TSeekWorker* worker = m_media.Medium(i).SeekWorker()) {
            // A preview arriving after this would replace a played frame.
            worker->Invalidate();
            worker->WaitIdle();
        }
}

void TPlaybackClock::SeekMedium(TPlaybackMedium& medium, int32_t positionMs, bool preview) {
    TAVFile* file = medium.MediaFile();
    int64_t frame =
        static_cast<int64_t>(FramesFromMs(positionMs, file->GetVideoFormat())) - OffsetFrames(medium);
    frame = std::max<int64_t>(frame, 0);
    try {
        if (file->GetStreams() & TAVFile::StreamVideo) {
            const int32_t length = file->GetVideoLength();
            if (frame >= length)
                frame = static_cast<int64_t>(length) - 1;
            if (preview)
                medium.PreviewFrame(static_cast<int32_t>(frame));
            else
                medium.FetchFrame(static_cast<int32_t>(frame));
        } else {
            file->Seek(static_cast<int32_t>(frame));
        }
    } catch (const TAVFile::AVFileError&) {
        // The medium keeps its previous picture; the other media still move.
    }
}

void TPlaybackClock::TrackBarReleased() {
    if (!m_isPreviewShown || m_host.IsTrackBarHeld())
        return;
    // Stops (playback cannot run while the slider is held, but a command
    // may have started it since) and shows the exact frames.
    SeekAll(m_trackBar.Position);
    RepaintAll();
    m_host.RenderOutput();
}

void TPlaybackClock::GoToTime(int64_t value, bool fromUser) {
    m_positionHandlingEnabled = false;
    // 64-bit: a large frame number typed into Go to must reach the end,
    // not wrap around to some earlier position.
    const int64_t position =
        m_project.TimeFormat == TTimeFormat::Frames ? value * m_trackBar.PageSize : value;
    TTrackBar trackBar = m_trackBar;
    trackBar.Position = static_cast<int32_t>(std::clamp<int64_t>(position, 0, trackBar.Maximum));
    SetTrackBar(trackBar);
    m_positionHandlingEnabled = true;
    TrackBarChange(fromUser ? TPositionSender::TrackBar : TPositionSender::None);
}

void TPlaybackClock::RefreshAtPosition() {
    const int32_t position = m_trackBar.Position;
    SeekAll(position);
    ShowTime();
    m_host.RefreshEventList(false, false);
    m_host.RefreshTitleList(false, false);
    RepaintAll();
    m_host.RenderOutput();
    m_host.RefreshTimeline();
    m_host.SetTimelinePosition(position);
}

void TPlaybackClock::ExecuteTransport(TTransportCommand command) {
    const int64_t stepMs = static_cast<int64_t>(m_trackBar.PageSize) * m_stepFrames;
    switch (command) {
    case TTransportCommand::Begin:
        SetPosition(0);
        break;
    case TTransportCommand::Prev:
        SetPosition(m_trackBar.Position - stepMs);
        break;
    case TTransportCommand::Play:
        Play();
        break;
    case TTransportCommand::Stop:
        Stop(true);
        break;
    case TTransportCommand::Next:
        SetPosition(m_trackBar.Position + stepMs);
        break;
    case TTransportCommand::End:
        SetPosition(m_trackBar.Maximum);
        break;
    }
}

QString TPlaybackClock::GotoCaption() const {
    return ::GotoCaption(m_project.TimeFormat);
}

void TPlaybackClock::SetPlaybackSpeed(int32_t percent) {
    if (percent <= 0 || percent > 500)
        throw TException("Invalid value!");
    Stop(true);
    m_playbackSpeed = percent;
}

void TPlaybackClock::SetStepFrames(int32_t frames) {
    if (frames <= 0 || frames > 100)
        throw TException("Invalid value!");
    m_stepFrames = frames;
}

void TPlaybackClock::Play() {
    Stop(false);
    ReclaimMedia();

    TTimerCaps caps{};
    if (m_timer.GetDevCaps(caps)) {
        const uint32_t period = std::min(std::max(caps.PeriodMinMs, 1u), caps.PeriodMaxMs);
        if (!m_timer.BeginPeriod(period))
            throw TException("Could not set timer period!");
        m_timerPeriodMs = period;
    }

    const int32_t position = m_trackBar.Position;
    try {
        for (int32_t i = 0; i < m_media.MediumCount(); ++i) {
            TPlaybackMedium& medium = m_media.Medium(i);
            if (!HasReadableVideo(medium))
                continue;
            TAVFile* file = medium.MediaFile();
            const TAVFile::TVideoFormat format = file->GetVideoFormat();
            const bool drainAudio = !medium.IsAudioEnabled() &&
                                    (file->GetFlags() & TAVFile::FlagInterleaved) &&
                                    (file->GetStreams() & TAVFile::StreamAudio);
            auto group = std::find_if(m_groups.begin(), m_groups.end(), [&](const TTimerInfo& g) {
                return g.Rate == format.Rate && g.Scale == format.Scale;
            });
            if (group == m_groups.end()) {
                TTimerInfo info;
                info.Rate = format.Rate;
                info.Scale = format.Scale;
                info.Frame = FramesFromMs(position, format);
                group = m_groups.insert(m_groups.end(), std::move(info));
            }
            group->Videos.push_back({&medium, drainAudio});
            const int64_t frame =
                std::max<int64_t>(static_cast<int64_t>(group->Frame) - OffsetFrames(medium), 0);
            if (frame < file->GetVideoLength())
                file->Seek(static_cast<int32_t>(frame));
        }
        StartAudio(position);
    } catch (...) {
        // Nothing half-started may stay behind: the caller reports the error.
        Stop(false);
        throw;
    }

    const int64_t now = m_timer.Clock().NowMs();
    m_startClockMs = now;
    m_startPositionMs = position;
    for (size_t i = 0; i < m_groups.size(); ++i) {
        m_groups[i].DroppedInWindow = 0;
        m_groups[i].WindowStartMs = now;
        m_groups[i].WindowStartFrame = m_groups[i].Frame;
        m_groups[i].Fps = 0;
        m_host.PostTimerMessage(TickParam(static_cast<int32_t>(i)));
    }
}

void TPlaybackClock::StartAudio(int32_t positionMs) {
    if (!m_audio)
        return;
    const std::vector<TPlaybackMedium*> outputs = m_audio->OpenOutputs(m_media, positionMs, m_playbackSpeed);
    DrainUnplayedAudio(outputs);
    m_audioStartTimers.assign(outputs.size(), 0);
    for (size_t k = 0; k < outputs.size(); ++k) {
        const uint32_t wParam = TimerMessage::Encode(m_generation, static_cast<uint32_t>(k), true);
        // Real milliseconds: the start delay does not follow the speed.
        const int64_t untilStartMs = static_cast<int64_t>(outputs[k]->Offset()) - positionMs;
        ArmOrPost(m_audioStartTimers[k], static_cast<double>(std::max<int64_t>(untilStartMs, 0)), wParam);
    }
}

void TPlaybackClock::DrainUnplayedAudio(const std::vector<TPlaybackMedium*>& played) {
    // A medium whose output did not open plays silently; its audio must not
    // pile up in the demultiplexer for the whole playback either.
    for (TTimerInfo& group : m_groups)
        for (TTimerInfo::TVideo& video : group.Videos) {
            TAVFile* file = video.Medium->MediaFile();
            if (video.DrainAudio || !(file->GetFlags() & TAVFile::FlagInterleaved) ||
                !(file->GetStreams() & TAVFile::StreamAudio))
                continue;
            video.DrainAudio = std::find(played.begin(), played.end(), video.Medium) == played.end();
        }
}

void TPlaybackClock::ArmOrPost(TMMTimer::TTimerId& timerId, double delayMs, uint32_t wParam) {
    if (delayMs >= 1) {
        const double limited = std::min(delayMs, static_cast<double>(std::numeric_limits<uint32_t>::max()));
        TPlaybackHost* host = &m_host;
        timerId = m_timer.SetOneShot(static_cast<uint32_t>(limited),
                                     [host, wParam] { host->PostTimerMessage(wParam); });
    } else {
        timerId = 0;
        m_host.PostTimerMessage(wParam);
    }
}

void TPlaybackClock::Stop(bool repaint) {
    if (m_audio)
        m_audio->ReleaseOutputs();
    for (TMMTimer::TTimerId id : m_audioStartTimers)
        if (id != 0)
            m_timer.Kill(id);
    m_audioStartTimers.clear();
    for (const TTimerInfo& group : m_groups)
        if (group.TimerId != 0)
            m_timer.Kill(group.TimerId);
    m_groups.clear();
    if (m_timerPeriodMs != 0) {
        m_timer.EndPeriod(m_timerPeriodMs);
        m_timerPeriodMs = 0;
    }
    ++m_generation;
    if (repaint)
        RepaintAll();
}

uint32_t TPlaybackClock::TickParam(int32_t groupIndex) const {
    return TimerMessage::Encode(m_generation, static_cast<uint32_t>(groupIndex), false);
}

void TPlaybackClock::HandleTimerMessage(uint32_t wParam) {
    if (((wParam >> 16) & TimerMessage::GenerationMask) != (m_generation & TimerMessage::GenerationMask))
        return;
    const auto index = static_cast<int32_t>(wParam & TimerMessage::IndexMask);
    if (wParam & TimerMessage::AudioBit)
        AudioStart(index);
    else
        VideoTick(index);
}

void TPlaybackClock::HandleAudioBufferDone(uint32_t device) {
    if (m_audio)
        m_audio->AudioBufferDone(device);
}

void TPlaybackClock::AudioStart(int32_t outputIndex) {
    if (!m_audio || outputIndex >= static_cast<int32_t>(m_audioStartTimers.size()))
        return;
    m_audioStartTimers[static_cast<size_t>(outputIndex)] = 0;
    m_audio->StartOutput(outputIndex);
}

void TPlaybackClock::VideoTick(int32_t groupIndex) {
    if (groupIndex < 0 || groupIndex >= static_cast<int32_t>(m_groups.size()))
        return;
    const uint32_t generation = m_generation;
    TTimerInfo& group = m_groups[static_cast<size_t>(groupIndex)];
    group.TimerId = 0; // it fired; its id may already serve another timer
    group.FrameShown = false;
    ShowGroupFrames(group);
    MeasureRate(group);

    m_positionHandlingEnabled = false;
    TTrackBar trackBar = m_trackBar;
    trackBar.Position =
        std::clamp(MsFromFrames(group.Frame, {0, 0, group.Rate, group.Scale}), 0, trackBar.Maximum);
    SetTrackBar(trackBar);
    const int32_t position = m_trackBar.Position;
    StepCurrentTime(group, m_project.TimeFormat == TTimeFormat::Frames ? group.Frame : position);
    // The next frame is chosen before the views are drawn: a repaint that
    // runs past that frame's due time then only delays it (its tick message
    // waits in the queue) instead of dropping a frame that was fetched in
    // time. Which frame is due when still follows the clock alone, and a
    // repaint slower than a period still drops frames at the next choice.
    if (generation == m_generation)
        Rearm(groupIndex);

    ShowTime();
    m_host.RefreshEventList(true, false);
    m_host.RefreshTitleList(false, false);
    RepaintAll();
    m_positionHandlingEnabled = true;
    m_host.RenderOutput();
    m_host.SetTimelinePosition(position);
}

void TPlaybackClock::ShowGroupFrames(TTimerInfo& group) {
    int64_t skipMs = 0;
    int64_t skippedFrames = 0;
    for (const TTimerInfo::TVideo& video : group.Videos) {
        TPlaybackMedium& medium = *video.Medium;
        TAVFile* file = medium.MediaFile();
        if (!file)
            continue;
        try {
            // Clamped to 0, a medium whose start lies ahead keeps its first frame.
            const int64_t frame =
                std::max<int64_t>(static_cast<int64_t>(group.Frame) - OffsetFrames(medium), 0);
            if (frame >= file->GetVideoLength())
                continue;
            const int32_t current = file->GetVideoPosition();
            if (frame > current) {
                const int64_t startMs = m_timer.Clock().NowMs();
                if (ShouldJump(group, frame - current)) {
                    file->Seek(static_cast<int32_t>(frame));
                    group.JumpCostMs = static_cast<double>(m_timer.Clock().NowMs() - startMs);
                } else {
                    file->SkipFrames(static_cast<int32_t>(frame - current));
                    skipMs += m_timer.Clock().NowMs() - startMs;
                    skippedFrames = std::max(skippedFrames, frame - current);
                }
            }
            medium.FetchFrame(static_cast<int32_t>(frame));
            if (video.DrainAudio && file->GetAudioPosition() < file->GetAudioLength())
                file->SkipAudio();
            group.FrameShown = true;
            medium.ShowPlaybackRate(group.Fps, group.Dropped);
        } catch (const TAVFile::AVFileError&) {
            // One bad frame costs this medium this tick only.
        }
    }
    if (skippedFrames > 0)
        group.SkipCostMsPerFrame = static_cast<double>(skipMs) / static_cast<double>(skippedFrames);
}

bool TPlaybackClock::ShouldJump(const TTimerInfo& group, int64_t count) const {
    // Skipping decodes every skipped picture; where that costs more than a
    // frame period, a late group would spend ever longer ticks on frames
    // nobody sees. Seeking decodes from the nearest key frame instead, a
    // bounded cost, so the group stays on the clock. That bound is a whole
    // GOP of decoding, though: with long GOPs at a high rate a seek to a frame
    // a few periods ahead costs far more than decoding on to it, and seeking
    // on every late tick would make each tick later still. Once both costs
    // are known, the cheaper one wins.
    const bool costsKnown = group.SkipCostMsPerFrame > 0 && group.JumpCostMs >= 0;
    if (count > MaxSkipFrames && !costsKnown)
        return true;
    if (group.SkipCostMsPerFrame <= 0)
        return false;
    const double skipMs = static_cast<double>(count) * group.SkipCostMsPerFrame;
    if (count > MaxSkipFrames)
        return skipMs > group.JumpCostMs;
    const double periodMs = 1000.0 * group.Scale / group.Rate * 100.0 / m_playbackSpeed;
    return skipMs > periodMs && (group.JumpCostMs < 0 || skipMs > group.JumpCostMs);
}

void TPlaybackClock::MeasureRate(TTimerInfo& group) {
    const int64_t now = m_timer.Clock().NowMs();
    const int64_t elapsedMs = now - group.WindowStartMs;
    if (!group.FrameShown || elapsedMs < 1000)
        return;
    // Frames shown, not the nominal rate less the drops: the two agree while
    // the group keeps pace, and only the first stays true when it cannot.
    const int64_t shown = static_cast<int64_t>(group.Frame) - group.WindowStartFrame - group.DroppedInWindow;
    group.Fps = static_cast<double>(shown) / (static_cast<double>(elapsedMs) * 0.001);
    if (!(group.Fps >= 0))
        group.Fps = 0;
    group.DroppedInWindow = 0;
    group.WindowStartMs = now;
    group.WindowStartFrame = group.Frame;
}

void TPlaybackClock::StepCurrentTime(TTimerInfo& group, int32_t target) {
    const int32_t step = m_project.TimeFormat == TTimeFormat::Frames ? 1 : m_trackBar.PageSize;
    // Each step is one frame a held mouse-mode drag records at.
    while (m_currentTime < target) {
        for (const TTimerInfo::TVideo& video : group.Videos)
            video.Medium->CommitMouseRegion();
        m_currentTime =
            static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(m_currentTime) + step, target));
    }
    m_currentTime = target;
}

void TPlaybackClock::Rearm(int32_t groupIndex) {
    TTimerInfo& group = m_groups[static_cast<size_t>(groupIndex)];
    if (!group.FrameShown) {
        group.TimerId = 0; // every medium of the group has ended
        return;
    }
    const int32_t previous = group.Frame;
    int64_t frame = static_cast<int64_t>(group.Frame) + 1;
    // 64-bit: in 32 bits the scaled elapsed time overflows after 71 minutes
    // at 500 %, and playback would then stall.
    const int64_t nowMs =
        m_startPositionMs + (m_timer.Clock().NowMs() - m_startClockMs) * m_playbackSpeed / 100;
    double delayMs =
        group.Scale * 1000.0 * static_cast<double>(frame) / group.Rate - static_cast<double>(nowMs);
    if (delayMs < 0) {
        const double periodMs = 1000.0 / (static_cast<double>(group.Rate) / group.Scale);
        const double lateMs = -delayMs;
        auto skip = static_cast<int64_t>(std::trunc(lateMs / periodMs));
        if (std::fmod(lateMs, periodMs) > 0)
            ++skip;
        frame += skip;
        delayMs += static_cast<double>(skip) * periodMs;
    }
    group.Frame = Saturate(frame);
    const int32_t dropped = Saturate(static_cast<int64_t>(group.Frame) - previous - 1);
    group.Dropped = Saturate(static_cast<int64_t>(group.Dropped) + dropped);
    group.DroppedInWindow = Saturate(static_cast<int64_t>(group.DroppedInWindow) + dropped);
    // The schedule is in position milliseconds; the timer runs in real ones.
    ArmOrPost(group.TimerId, delayMs * 100.0 / m_playbackSpeed, TickParam(groupIndex));
}

void TPlaybackClock::RepaintAll() {
    for (int32_t i = 0; i < m_media.MediumCount(); ++i)
        if (IsInUse(i))
            m_media.Medium(i).Paint();
}

void TPlaybackClock::ShowTime() {
    const TTimeTexts texts = FormatTimeTexts(m_currentTime, m_project.TimeFormat, m_trackBar.PageSize);
    m_host.SetStatusTexts(texts.Time, texts.Millisecond, texts.Frame);
}

bool TPlaybackClock::SwitchTimeFormat(TTimeFormat target) {
    if (target == m_project.TimeFormat)
        return false;
    const int32_t count = m_media.MediumCount();
    std::function<int32_t(int32_t)> convert;
    if (count == 0) {
        // Without a medium a frame is taken as 40 ms.
        if (target == TTimeFormat::Frames)
            convert = [](int32_t t) { return t / 40; };
        else
            convert = [](int32_t t) { return Saturate(static_cast<int64_t>(t) * 40); };
    } else {
        const TAVFile::TVideoFormat first = VideoFormatOf(m_media.Medium(0));
        if (target == TTimeFormat::Frames) {
            for (int32_t i = 1; i < count; ++i)
                if (!IsSameRate(VideoFormatOf(m_media.Medium(i)), first))
                    return false;
            convert = [first](int32_t t) {
                return RoundToIntSaturated(static_cast<double>(t) * first.Rate / (first.Scale * 1000.0));
            };
        } else {
            convert = [first](int32_t t) { return MsFromFrames(t, first); };
        }
    }
    m_project.SwitchTimeFormat(target, convert);
    m_host.RefreshEventList(false, false);
    m_host.RepaintTimeline();
    m_host.RefreshTitleList(false, false);
    return true;
}

void TPlaybackClock::MediumAdded(int32_t index) {
    UpdateTrackBarRange();
    m_host.SetEditingEnabled(true);
    if (m_project.TimeFormat != TTimeFormat::Frames || m_media.MediumCount() <= 1)
        return;
    const TAVFile::TVideoFormat first = VideoFormatOf(m_media.Medium(0));
    if (IsSameRate(VideoFormatOf(m_media.Medium(index)), first))
        return;
    // Frame times are only kept while all media share one frame rate.
    m_project.SwitchTimeFormat(TTimeFormat::Milliseconds,
                               [first](int32_t t) { return MsFromFrames(t, first); });
    m_host.RefreshEventList(false, false);
    m_host.RefreshTitleList(false, false);
    m_host.RefreshTimeline();
}

void TPlaybackClock::MediumRemoved() {
    Stop(false);
    UpdateTrackBarRange();
    if (m_media.MediumCount() == 0)
        m_host.SetEditingEnabled(false);
}

void TPlaybackClock::Reset() {
    Stop(false);
    m_currentTime = 0;
    m_positionHandlingEnabled = false;
    SetTrackBar(TTrackBar{0, 0, 1, 10});
    m_positionHandlingEnabled = true;
    m_playbackSpeed = 100;
    m_stepFrames = 1;
    ShowTime();
}
