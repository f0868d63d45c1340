// Reading video: frames in order, seeks, and skipping.
//
// A picture is identified by its best-effort timestamp against the timestamp
// of frame 0, so a seek lands exactly on the frame that reading in order
// gives, even with decoders that reorder pictures. Files without timestamps
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
    return m_frameBuffer;
}

TFFFile::TDecodeResult TFFFile::DecodeNextVideoFrame(bool skip) {
    TFFFileI& context = *m_context;
    const AVFrame* picture = nullptr;
    const TFFVideoDecoder::TResult result =
        context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture);
    if (result == TFFVideoDecoder::TResult::End)
        return TDecodeResult::End;
    const int32_t index = m_nextDecodeIndex++;
    if (result == TFFVideoDecoder::TResult::Error)
        return TDecodeResult::Lost;
    LearnFirstTimestamp(picture, index);
    if (!skip)
        ConvertPicture(picture);
    return TDecodeResult::Picture;
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
    if (!(m_streams & StreamVideo) || frame < 0)
        throw AVFileErrorRead("Could not seek!");
    m_context->demuxer.FlushQueues();
    const int64_t targetUs = av_rescale_rnd(frame, int64_t{m_scale} * 1000000, m_rate, AV_ROUND_DOWN);
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

TFFFile::TSeekOutcome TFFFile::SeekByTimestamp(int32_t frame, int64_t targetUs) {
    TFFDemuxer& demuxer = m_context->demuxer;
    const AVFormatContext* input = demuxer.Context();
    const int64_t start = input->start_time != AV_NOPTS_VALUE ? input->start_time : 0;
    // Program streams are searched by decoding times, which run ahead of
    // the presentation start; a second before it is surely before the file.
    const int64_t lowest = std::max<int64_t>(start - AV_TIME_BASE, 0);
    // Up to one second back, then decode forward. Some indexes hold decoding
    // times and some formats have no index at all (MPEG program streams), so
    // a seek can land after its target: then go back twice as far.
    for (int64_t backUs = AV_TIME_BASE;; backUs *= 2) {
        const int64_t seekPoint = std::max(targetUs - backUs + start, lowest);
        if (!demuxer.SeekBackward(seekPoint))
            break;
        RestartReading(targetUs);
        const TSeekOutcome outcome = DecodeUpTo(frame, false);
        if (outcome != TSeekOutcome::Overshot || seekPoint == lowest)
            return outcome == TSeekOutcome::Overshot ? SeekFromStart(frame, targetUs) : outcome;
    }
    return SeekFromStart(frame, targetUs);
}

TFFFile::TSeekOutcome TFFFile::SeekFromStart(int32_t frame, int64_t targetUs) {
    if (!m_context->demuxer.Rewind())
        throw AVFileErrorRead("Could not seek!");
    RestartReading(targetUs);
    // Nothing comes earlier: a file whose pictures start after the target
    // shows its first picture there.
    return DecodeUpTo(frame, true);
}

TFFFile::TSeekOutcome TFFFile::SeekByCounting(int32_t frame, int64_t targetUs) {
    TFFFileI& context = *m_context;
    if (!context.demuxer.Rewind())
        throw AVFileErrorRead("Could not seek!");
    RestartReading(targetUs);
    for (int32_t index = 0;; ++index) {
        const AVFrame* picture = nullptr;
        const TFFVideoDecoder::TResult result =
            context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture);
        if (result == TFFVideoDecoder::TResult::End)
            return TSeekOutcome::EndOfFile;
        if (index == frame) {
            if (result == TFFVideoDecoder::TResult::Picture)
                ConvertPicture(picture);
            else
                ClearFrameBuffer();
            return TSeekOutcome::Found;
        }
    }
}

TFFFile::TSeekOutcome TFFFile::DecodeUpTo(int32_t frame, bool acceptLater) {
    TFFFileI& context = *m_context;
    TFFFramePtr before; // the latest picture before the target, held by reference
    bool keyChecked = false;
    bool hasPrevious = false;
    int64_t previous = 0;
    for (;;) {
        const AVFrame* picture = nullptr;
        const TFFVideoDecoder::TResult result =
            context.video.Next(context.demuxer, m_parameters.Deinterlace, &picture);
        const int64_t keyTimestamp = context.video.FirstKeyTimestamp();
        if (!keyChecked && keyTimestamp != AV_NOPTS_VALUE) {
            keyChecked = true;
            // A key frame shown after the target means the target lies before it.
            if (!acceptLater && PictureIndex(keyTimestamp) > frame)
                return TSeekOutcome::Overshot;
        }
        if (result == TFFVideoDecoder::TResult::End) {
            // Landing behind the last picture says nothing about the target.
            return hasPrevious || acceptLater ? TSeekOutcome::EndOfFile : TSeekOutcome::Overshot;
        }
        if (result == TFFVideoDecoder::TResult::Error)
            continue;
        int64_t index = 0;
        if (picture->best_effort_timestamp != AV_NOPTS_VALUE)
            index = PictureIndex(picture->best_effort_timestamp);
        else if (hasPrevious)
            index = previous + 1; // e.g. the last picture of an AVI with B-frames
        else
            return TSeekOutcome::Unidentifiable;
        previous = index;
        hasPrevious = true;
        if (index < frame) {
            if (!before)
                before = FFNewFrame();
            av_frame_unref(before.get());
            if (av_frame_ref(before.get(), picture) < 0)
                throw AVFileErrorMemory();
            continue;
        }
        if (index == frame || (!before && acceptLater)) {
            ConvertPicture(picture);
            return TSeekOutcome::Found;
        }
        if (before) {
            // The timestamps skip the target: show what was on screen at
            // that time, and keep this picture for the frames after it.
            context.video.PutBack();
            ConvertPicture(before.get());
            return TSeekOutcome::Found;
        }
        return TSeekOutcome::Overshot;
    }
}

void TFFFile::RestartReading(int64_t targetUs) {
    TFFFileI& context = *m_context;
    context.video.Restart();
    if (m_streams & StreamAudio) {
        context.audio.Restart();
        context.demuxer.DropAudioBefore(targetUs);
    }
}

void TFFFile::ConvertPicture(const AVFrame* picture) {
    if (!m_context->pictureConverter.Convert(picture, m_frameBuffer, m_width, m_height))
        ClearFrameBuffer();
}

void TFFFile::ClearFrameBuffer() {
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
