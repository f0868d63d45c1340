#pragma once
// Turns the video packets of a TFFDemuxer into pictures in display order:
// decoder, optional deinterlacing, and a small look-ahead so the caller can
// ask whether another picture follows. The decoder is drained at the end of
// the input, so reordering decoders give up their last pictures too.

#include "media/ffmpeg/ff_convert.h"
#include "media/ffmpeg/ff_demuxer.h"

#include <cstdint>
#include <deque>

class TFFVideoDecoder {
public:
    enum class TResult { Picture, End, Error };

    // Opens the decoder of the demuxer's video stream; threadCount 0 lets the
    // library choose. False when no decoder opens.
    bool Open(const AVStream* stream, int threadCount);
    void Close();
    bool IsOpen() const { return m_codec != nullptr; }
    AVCodecContext* Codec() const { return m_codec.get(); }

    // The next picture; it stays valid until the next call of Next or
    // Restart. Error stands for one picture lost to a decoding error (the
    // packet is consumed, so the next call goes on after it).
    TResult Next(TFFDemuxer& demuxer, bool deinterlace, const AVFrame** picture);
    // True when another picture (or a lost one) follows; decodes it ahead.
    bool HasMore(TFFDemuxer& demuxer, bool deinterlace);
    // The picture HasMore decoded ahead, or nullptr (none, or a lost one).
    const AVFrame* PeekPending() const { return m_pending.empty() ? nullptr : m_pending.front().get(); }
    // Hands the picture Next just returned back, so the following Next
    // returns it again.
    void PutBack();
    // Call after the demuxer moved: forgets every picture in flight and,
    // when waitForKeyFrame, ignores packets up to the next key frame (back
    // at the start of the file, the pictures before it are what reading
    // from the start shows, so they are kept).
    void Restart(bool waitForKeyFrame = true);
    // Timestamp (pts, else dts) of the first key packet fed since Restart;
    // AV_NOPTS_VALUE when unknown or none yet.
    int64_t FirstKeyTimestamp() const { return m_firstKeyTimestamp; }

private:
    TResult Produce(TFFDemuxer& demuxer, bool deinterlace, AVFrame* picture);
    int Receive(bool deinterlace, AVFrame* picture);
    void DrainFilterIntoPending();
    TResult TakePending(const AVFrame** picture);

    TFFCodecPtr m_codec;
    AVRational m_timeBase{1, 1};
    TFFFramePtr m_current;
    TFFFramePtr m_decoded;
    // Pictures decoded ahead, oldest first; an empty entry is a lost picture.
    std::deque<TFFFramePtr> m_pending;
    TFFDeinterlacer m_deinterlacer;
    bool m_deinterlaceFailed = false;
    bool m_filterFlushed = false;
    bool m_draining = false;
    bool m_waitForKeyFrame = false;
    int64_t m_firstKeyTimestamp = AV_NOPTS_VALUE;
};
