// Reading video: frames in order, seeks, and skipping.
//
// Frames lie on one grid: frame n is the picture on screen at the time of
// frame 0 plus n periods of the nominal rate. A picture is placed on the grid
// by its best-effort timestamp against the timestamp of frame 0, both when
// reading in order and when seeking, so the two agree also where the
// timestamps skip (dropped frames, variable rate, empty AVI chunks, damaged
// packets): a picture that lasts several periods is repeated, one that falls
// between two grid points is passed over. Files without usable timestamps
// fall back to counting pictures from the start.

#include "media/ffmpeg/ff_file.h"

#include "media/ffmpeg/ff_file_i.h"

extern "C" {
#include <libavutil/mathematics.h>
}

#include <algorithm>
#include <cstring>

uint8_t* TFFFile::GetFrameAt(int32_t index) {
    RequireReading();
    RequireVideo();
    Reach(index);
    ConvertCurrent();
    return m_frameBuffer;
}

void TFFFile::Reach(int32_t index) {
    if (index < 0 || index != m_lastDecodedIndex) {
        if (index >= 0 && index == m_nextDecodeIndex) {
            m_videoPosition = index;
            const TDecodeResult result = DecodeNextVideoFrame(false);
            if (result == TDecodeResult::Picture) {
                GrowVideoLength(index);
            } else {
                if (index >= m_videoLength)
                    throw AVFileErrorGetVideo();
                ClearFrameBuffer(); // inside the stated length: a black frame
                m_nextDecodeIndex = index + 1;
            }
            m_lastDecodedIndex = index;
        } else {
            SetVideoPosition(index);
        }
    }
    m_videoPosition = index + 1;
}

const uint8_t* TFFFile::GetScaledFrameAt(int32_t index, int32_t width, int32_t height) {
    RequireReading();
    RequireVideo();
    if (width <= 0 || height <= 0 || (width == m_width && height == m_height))
        return GetFrameAt(index);
    TFFFileI& context = *m_context;
    Reach(index);
    if (!context.currentIsShown && !context.currentIsBlack) {
        // Only the full-size buffer still holds this frame (frames were
        // skipped since); seeking back gets its picture again.
        Seek(index);
        m_videoPosition = index + 1;
    }
    if (context.scaledHoldsCurrent && context.scaledWidth == width && context.scaledHeight == height)
        return context.scaledBuffer.data();
    context.scaledBuffer.resize(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
    context.scaledWidth = width;
    context.scaledHeight = height;
    if (context.currentIsBlack ||
        !context.scaledConverter.Convert(context.shown.get(), context.scaledBuffer.data(), width, height))
        std::fill(context.scaledBuffer.begin(), context.scaledBuffer.end(), uint8_t{0});
    context.scaledHoldsCurrent = true;
    return context.scaledBuffer.data();
}

int32_t TFFFile::SeekKeyFrame(int32_t index) {
    RequireReading();
    RequireVideo();
    if (index >= 0 && index == m_lastDecodedIndex)
        return index;
    TFFFileI& context = *m_context;
    // Without a trustworthy clock the key frame's index is not known, and
    // the deinterlacer needs the picture before it: seek exactly instead.
    if (index < 0 || index >= m_videoLength || !context.firstVideoTimestamp || !context.timestampsTrusted ||
        m_parameters.Deinterlace) {
        Seek(index);
        return index;
    }
    context.demuxer.FlushQueues();
    const int64_t targetUs = av_rescale_rnd(index, int64_t{m_scale} * 1000000, m_rate, AV_ROUND_DOWN);
    m_lastDecodedIndex = -1;
    m_nextDecodeIndex = -1;
    const int32_t key = DecodeKeyFrameBefore(index, targetUs);
    if (key < 0) {
        Seek(index);
        return index;
    }
    m_lastDecodedIndex = key;
    m_nextDecodeIndex = key + 1;
    m_videoPosition = key;
    if (m_streams & StreamAudio)
        m_audioPosition = static_cast<int32_t>(targetUs * m_samplesPerSecond / 1000000);
    return key;
}

int32_t TFFFile::DecodeKeyFrameBefore(int32_t frame, int64_t targetUs) {
    TFFFileI& context = *m_context;
    if (!context.demuxer.SeekBackward(targetUs + FileStartUs()))
        return -1;
    RestartReading(targetUs, true);
    // Pictures of an open GOP that refer to the one before come out ahead of
    // the key frame (and damaged); the key frame is the first one due at or
    // after the key packet's time.
    constexpr int MaxPicturesBeforeKey = 16;
    for (int i = 0; i < MaxPicturesBeforeKey; ++i) {
        const AVFrame* picture = nullptr;
        const TFFVideoDecoder::TResult result =
            context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture);
        if (result == TFFVideoDecoder::TResult::End)
            return -1;
        if (result != TFFVideoDecoder::TResult::Picture)
            continue;
        const int64_t keyTimestamp = context.video.FirstKeyTimestamp();
        const int64_t timestamp = picture->best_effort_timestamp;
        if (timestamp == AV_NOPTS_VALUE || keyTimestamp == AV_NOPTS_VALUE)
            return -1;
        if (timestamp < keyTimestamp)
            continue;
        const int64_t index = PictureIndex(timestamp);
        // Landed after the target (an index of decoding times): the exact
        // seek knows how to go further back.
        if (index < 0 || index > frame)
            return -1;
        Hold(picture, index);
        ShowHeld();
        return static_cast<int32_t>(index);
    }
    return -1;
}

TFFFile::TDecodeResult TFFFile::DecodeNextVideoFrame(bool skip) {
    TFFFileI& context = *m_context;
    const int32_t index = m_nextDecodeIndex;
    if (context.timestampsTrusted && context.shown) {
        const TGridStep step = AdvanceTo(index);
        // A clock that stops making sense after this frame's picture was
        // taken still leaves that picture for this frame.
        if (!step.unidentifiable || step.consumed > 0) {
            // Past the last picture, the frames up to the stated length
            // still show it; beyond them the file has ended.
            if (!step.more && index > context.shownIndex && index >= m_videoLength)
                return TDecodeResult::End;
            ++m_nextDecodeIndex;
            if (!skip)
                ShowHeld();
            return TDecodeResult::Picture;
        }
    }
    // Without a usable clock every picture is the next frame.
    const AVFrame* picture = nullptr;
    const TFFVideoDecoder::TResult result =
        context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture);
    if (result == TFFVideoDecoder::TResult::End)
        return TDecodeResult::End;
    ++m_nextDecodeIndex;
    if (result == TFFVideoDecoder::TResult::Error)
        return TDecodeResult::Lost;
    LearnFirstTimestamp(picture, index);
    Hold(picture, index);
    if (!skip)
        ShowHeld();
    return TDecodeResult::Picture;
}

TFFFile::TGridStep TFFFile::AdvanceTo(int64_t frame) {
    TFFFileI& context = *m_context;
    TGridStep step;
    for (;;) {
        step.more = context.video.HasMore(context.demuxer, m_parameters.Deinterlace);
        if (!step.more)
            return step;
        const AVFrame* next = context.video.PeekPending();
        int64_t index = context.shownIndex + 1;
        if (next != nullptr) {
            if (next->best_effort_timestamp != AV_NOPTS_VALUE)
                index = PictureIndex(next->best_effort_timestamp);
            else if (!context.shown) {
                step.unidentifiable = true;
                return step;
            }
            if (context.shown && index < context.shownIndex) {
                // The clock jumped back (joined recordings, a reset
                // encoder): from here on pictures are counted.
                context.timestampsTrusted = false;
                step.unidentifiable = true;
                return step;
            }
            // A picture due after this frame's time is not on screen yet.
            if (index > frame) {
                step.later = !context.shown;
                return step;
            }
        }
        const AVFrame* picture = nullptr;
        // A lost picture is passed over: the one before stays on screen.
        if (context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture) ==
            TFFVideoDecoder::TResult::Picture) {
            Hold(picture, index);
            ++step.consumed;
        }
    }
}

void TFFFile::Hold(const AVFrame* picture, int64_t index) {
    TFFFileI& context = *m_context;
    // The current frame was never converted: once its picture is let go,
    // only a seek can show it again.
    if (context.currentIsShown && !context.bufferHoldsShown)
        m_lastDecodedIndex = -1;
    context.currentIsShown = false;
    context.scaledHoldsCurrent = false;
    if (!context.shown)
        context.shown = FFNewFrame();
    av_frame_unref(context.shown.get());
    if (av_frame_ref(context.shown.get(), picture) < 0)
        throw AVFileErrorMemory();
    context.shownIndex = index;
    context.bufferHoldsShown = false;
}

void TFFFile::ForgetShown() {
    TFFFileI& context = *m_context;
    context.shown.reset();
    context.shownIndex = -1;
    context.bufferHoldsShown = false;
    context.currentIsShown = false;
    context.scaledHoldsCurrent = false;
}

void TFFFile::ShowHeld() {
    TFFFileI& context = *m_context;
    if (!context.shown) {
        ClearFrameBuffer();
        return;
    }
    context.currentIsShown = true;
    context.currentIsBlack = false;
    context.scaledHoldsCurrent = false;
}

void TFFFile::ConvertCurrent() {
    TFFFileI& context = *m_context;
    if (!context.currentIsShown || context.bufferHoldsShown)
        return;
    if (!context.pictureConverter.Convert(context.shown.get(), m_frameBuffer, m_width, m_height)) {
        ClearFrameBuffer();
        return;
    }
    context.bufferHoldsShown = true;
}

void TFFFile::GrowVideoLength(int32_t index) {
    if (index < m_videoLength - 1)
        return;
    if (index < INT32_MAX - 2 && m_context->video.HasMore(m_context->demuxer, m_parameters.Deinterlace))
        m_videoLength = index + 2;
    else
        m_videoLength = std::max(m_videoLength, index + 1);
}

int32_t TFFFile::SkipFrames(int32_t count) {
    RequireReading();
    RequireVideo();
    if (count == 0)
        return 0;
    if (count < 0)
        return SetVideoPosition(m_videoPosition + count);
    if (int64_t{m_videoPosition} + count >= m_videoLength)
        throw AVFileErrorGetVideo();
    for (int32_t i = 0; i < count; ++i) {
        if (m_videoPosition == m_lastDecodedIndex && m_nextDecodeIndex == m_videoPosition + 1) {
            ++m_videoPosition; // that frame was decoded already (after a seek)
            continue;
        }
        if (m_nextDecodeIndex != m_videoPosition) {
            // The decoder is elsewhere (after a failed seek): go there directly.
            Seek(m_videoPosition + count - i);
            return m_videoPosition;
        }
        const TDecodeResult result = DecodeNextVideoFrame(true);
        if (result == TDecodeResult::Picture && m_videoLength <= m_videoPosition)
            throw AVFileErrorGetVideo();
        ++m_videoPosition;
    }
    return m_videoPosition;
}

void TFFFile::Seek(int32_t frame) {
    RequireOpened();
    if (m_mode != ModeRead)
        return;
    if (frame < 0 || !(m_streams & (StreamVideo | StreamAudio)))
        throw AVFileErrorRead("Could not seek!");
    m_context->demuxer.FlushQueues();
    const int64_t targetUs = av_rescale_rnd(frame, int64_t{m_scale} * 1000000, m_rate, AV_ROUND_DOWN);
    if (!(m_streams & StreamVideo)) {
        SeekAudioOnly(targetUs);
        m_audioPosition = static_cast<int32_t>(targetUs * m_samplesPerSecond / 1000000);
        return;
    }
    // Until the seek succeeds, nothing in the buffer or decoder is trusted.
    m_lastDecodedIndex = -1;
    m_nextDecodeIndex = -1;
    TSeekOutcome outcome = m_context->firstVideoTimestamp && m_context->timestampsTrusted
                               ? SeekByTimestamp(frame, targetUs)
                               : TSeekOutcome::Unidentifiable;
    if (outcome == TSeekOutcome::Unidentifiable)
        outcome = SeekByCounting(frame, targetUs);
    if (outcome != TSeekOutcome::Found) {
        if (frame >= m_videoLength)
            throw AVFileErrorRead("Could not seek!");
        ClearFrameBuffer();
    }
    m_lastDecodedIndex = frame;
    m_nextDecodeIndex = frame + 1;
    m_videoPosition = frame;
    if (m_streams & StreamAudio)
        m_audioPosition = static_cast<int32_t>(targetUs * m_samplesPerSecond / 1000000);
    if (outcome == TSeekOutcome::Found)
        GrowVideoLength(frame);
}

void TFFFile::SeekAudioOnly(int64_t targetUs) {
    TFFFileI& context = *m_context;
    // Audio packets all start decoding afresh, so landing early is enough:
    // the demuxer drops what ends before the target without decoding it.
    // Some formats (MP3 without an index) land only roughly, hence a second
    // of margin.
    const int64_t start = FileStartUs();
    if (!context.demuxer.SeekBackward(std::max(targetUs + start - AV_TIME_BASE, LowestSeekPointUs(start))) &&
        !context.demuxer.Rewind())
        throw AVFileErrorRead("Could not seek!");
    context.audio.Restart();
    context.demuxer.DropAudioBefore(targetUs);
}

TFFFile::TSeekOutcome TFFFile::SeekByTimestamp(int32_t frame, int64_t targetUs) {
    TFFDemuxer& demuxer = m_context->demuxer;
    const int64_t start = FileStartUs();
    // Program streams are searched by decoding times, which run ahead of
    // the presentation start; a second before it is surely before the file.
    const int64_t lowest = LowestSeekPointUs(start);
    // First to the key frame at or before the target itself, which decodes
    // the fewest pictures. Some indexes hold decoding times and some formats
    // have no index at all (MPEG program streams), so a seek can land after
    // its target: then one second back, and twice as far each time after.
    for (int64_t backUs = 0;; backUs = backUs == 0 ? AV_TIME_BASE : backUs * 2) {
        const int64_t seekPoint = std::max(targetUs - backUs + start, lowest);
        if (!demuxer.SeekBackward(seekPoint))
            break;
        RestartReading(targetUs, true);
        const TSeekOutcome outcome = SeekStep(frame, false);
        if (outcome != TSeekOutcome::Overshot)
            return outcome;
        if (seekPoint == lowest)
            break;
    }
    return SeekFromStart(frame, targetUs);
}

TFFFile::TSeekOutcome TFFFile::SeekFromStart(int32_t frame, int64_t targetUs) {
    if (!m_context->demuxer.Rewind())
        throw AVFileErrorRead("Could not seek!");
    RestartReading(targetUs, false);
    const TSeekOutcome outcome = SeekStep(frame, true);
    // From the very start nothing can lie before the target; if something
    // does, the clock cannot be trusted and pictures are counted instead.
    return outcome == TSeekOutcome::Overshot ? TSeekOutcome::Unidentifiable : outcome;
}

TFFFile::TSeekOutcome TFFFile::SeekStep(int32_t frame, bool fromStart) {
    TFFFileI& context = *m_context;
    const TGridStep step = AdvanceTo(frame);
    if (step.unidentifiable)
        return TSeekOutcome::Unidentifiable;
    const int64_t keyTimestamp = context.video.FirstKeyTimestamp();
    // A key frame due after the target means the target lies before it
    // (and pictures decoded ahead of it are damaged leftovers of the GOP
    // before).
    if (!fromStart && keyTimestamp != AV_NOPTS_VALUE && PictureIndex(keyTimestamp) > frame)
        return TSeekOutcome::Overshot;
    if (step.later || !context.shown)
        return fromStart && !step.later ? TSeekOutcome::EndOfFile : TSeekOutcome::Overshot;
    // The deinterlacer needs the picture before the target to give what
    // reading in order gives.
    if (!fromStart && m_parameters.Deinterlace && step.consumed == 1 && context.shownIndex > 0)
        return TSeekOutcome::Overshot;
    if (!step.more && frame > context.shownIndex && frame >= m_videoLength)
        return TSeekOutcome::EndOfFile;
    ShowHeld();
    return TSeekOutcome::Found;
}

TFFFile::TSeekOutcome TFFFile::SeekByCounting(int32_t frame, int64_t targetUs) {
    TFFFileI& context = *m_context;
    if (!context.demuxer.Rewind())
        throw AVFileErrorRead("Could not seek!");
    RestartReading(targetUs, false);
    for (int32_t index = 0;; ++index) {
        const AVFrame* picture = nullptr;
        const TFFVideoDecoder::TResult result =
            context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture);
        if (result == TFFVideoDecoder::TResult::End)
            return TSeekOutcome::EndOfFile;
        if (index == frame) {
            if (result == TFFVideoDecoder::TResult::Picture) {
                Hold(picture, index);
                ShowHeld();
            } else {
                ClearFrameBuffer();
            }
            return TSeekOutcome::Found;
        }
    }
}

void TFFFile::RestartReading(int64_t targetUs, bool waitForKeyFrame) {
    TFFFileI& context = *m_context;
    context.video.Restart(waitForKeyFrame);
    ForgetShown();
    if (m_streams & StreamAudio) {
        context.audio.Restart();
        context.demuxer.DropAudioBefore(targetUs);
    }
}

int64_t TFFFile::FileStartUs() const {
    const AVFormatContext* input = m_context->demuxer.Context();
    return input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
}

void TFFFile::ClearFrameBuffer() {
    TFFFileI& context = *m_context;
    context.bufferHoldsShown = false;
    context.currentIsShown = false;
    context.currentIsBlack = true;
    context.scaledHoldsCurrent = false;
    std::memset(m_frameBuffer, 0, FrameBytes());
}

void TFFFile::LearnFirstTimestamp(const AVFrame* picture, int64_t index) {
    TFFFileI& context = *m_context;
    if (context.firstVideoTimestamp || picture->best_effort_timestamp == AV_NOPTS_VALUE)
        return;
    const AVRational timeBase = context.videoTimeBase;
    context.firstVideoTimestamp =
        picture->best_effort_timestamp - av_rescale_rnd(index, int64_t{timeBase.den} * m_scale,
                                                        int64_t{timeBase.num} * m_rate, AV_ROUND_NEAR_INF);
}

int64_t TFFFile::PictureIndex(int64_t timestamp) const {
    const AVRational timeBase = m_context->videoTimeBase;
    return av_rescale_rnd(timestamp - m_context->firstVideoTimestamp.value_or(0),
                          int64_t{timeBase.num} * m_rate, int64_t{timeBase.den} * m_scale, AV_ROUND_NEAR_INF);
}
