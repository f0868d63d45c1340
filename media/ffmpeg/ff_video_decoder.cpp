#include "media/ffmpeg/ff_video_decoder.h"

namespace {

// Files whose demuxer never flags key frames would otherwise lose every
// packet after a seek; past this many, the next packet is taken as it is.
constexpr int MaxPacketsAwaitingKeyFrame = 600;

// Pictures larger than the frame sizes we accept are refused by the decoder
// itself, so a damaged header mid-stream cannot make it allocate gigabytes.
constexpr int64_t MaxPixels = int64_t{16384} * 16384;

} // namespace

bool TFFVideoDecoder::Open(const AVStream* stream, int threadCount) {
    Close();
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (decoder == nullptr)
        return false;
    TFFCodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        return false;
    codec->thread_count = threadCount;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    codec->pkt_timebase = stream->time_base;
    codec->max_pixels = MaxPixels;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return false;
    m_codec = std::move(codec);
    m_timeBase = stream->time_base;
    m_current = FFNewFrame();
    m_decoded = FFNewFrame();
    m_deinterlaceFailed = false;
    Restart(false);
    return true;
}

void TFFVideoDecoder::Close() {
    m_pending.clear();
    m_deinterlacer.Reset();
    m_current.reset();
    m_decoded.reset();
    m_codec.reset();
}

void TFFVideoDecoder::Restart(bool waitForKeyFrame) {
    if (m_codec)
        avcodec_flush_buffers(m_codec.get());
    m_deinterlacer.Reset();
    m_pending.clear();
    m_filterFlushed = false;
    m_draining = false;
    m_waitForKeyFrame = waitForKeyFrame;
    m_firstKeyTimestamp = AV_NOPTS_VALUE;
}

TFFVideoDecoder::TResult TFFVideoDecoder::Next(TFFDemuxer& demuxer, bool deinterlace,
                                               const AVFrame** picture) {
    if (!deinterlace && m_deinterlacer.Active())
        DrainFilterIntoPending();
    if (!m_pending.empty())
        return TakePending(picture);
    av_frame_unref(m_current.get());
    *picture = m_current.get();
    return Produce(demuxer, deinterlace, m_current.get());
}

bool TFFVideoDecoder::HasMore(TFFDemuxer& demuxer, bool deinterlace) {
    if (!deinterlace && m_deinterlacer.Active())
        DrainFilterIntoPending();
    if (!m_pending.empty())
        return true;
    TFFFramePtr picture = FFNewFrame();
    const TResult result = Produce(demuxer, deinterlace, picture.get());
    if (result == TResult::End)
        return false;
    m_pending.push_back(result == TResult::Picture ? std::move(picture) : nullptr);
    return true;
}

void TFFVideoDecoder::PutBack() {
    m_pending.push_front(std::move(m_current));
    m_current = FFNewFrame();
}

TFFVideoDecoder::TResult TFFVideoDecoder::TakePending(const AVFrame** picture) {
    TFFFramePtr next = std::move(m_pending.front());
    m_pending.pop_front();
    if (!next)
        return TResult::Error;
    m_current = std::move(next);
    *picture = m_current.get();
    return TResult::Picture;
}

TFFVideoDecoder::TResult TFFVideoDecoder::Produce(TFFDemuxer& demuxer, bool deinterlace, AVFrame* picture) {
    int packetsAwaitingKeyFrame = 0;
    for (;;) {
        int result = Receive(deinterlace, picture);
        if (result == 0) {
            if (picture->best_effort_timestamp == AV_NOPTS_VALUE)
                picture->best_effort_timestamp = picture->pts;
            return TResult::Picture;
        }
        if (result == AVERROR_EOF)
            return TResult::End;
        if (result != AVERROR(EAGAIN))
            return TResult::Error;
        if (m_draining)
            return TResult::End;
        TFFPacketPtr packet = demuxer.NextVideoPacket();
        if (!packet) {
            m_draining = true;
            avcodec_send_packet(m_codec.get(), nullptr);
            continue;
        }
        if (m_waitForKeyFrame) {
            // Pictures that depend on frames before the seek point cannot be
            // decoded correctly; start at the first key frame instead.
            if (!(packet->flags & AV_PKT_FLAG_KEY) && ++packetsAwaitingKeyFrame < MaxPacketsAwaitingKeyFrame)
                continue;
            m_waitForKeyFrame = false;
            m_firstKeyTimestamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        }
        result = avcodec_send_packet(m_codec.get(), packet.get());
        if (result < 0 && result != AVERROR(EAGAIN))
            return TResult::Error;
    }
}

int TFFVideoDecoder::Receive(bool deinterlace, AVFrame* picture) {
    if (!deinterlace || m_deinterlaceFailed)
        return avcodec_receive_frame(m_codec.get(), picture);
    for (;;) {
        if (m_deinterlacer.Active()) {
            const int result = m_deinterlacer.Pull(picture);
            if (result != AVERROR(EAGAIN)) {
                if (result == 0)
                    picture->best_effort_timestamp = picture->pts;
                return result;
            }
            if (m_filterFlushed)
                return AVERROR_EOF;
        }
        int result = avcodec_receive_frame(m_codec.get(), m_decoded.get());
        if (result == AVERROR_EOF && m_deinterlacer.Active() && !m_filterFlushed) {
            m_filterFlushed = true;
            m_deinterlacer.Push(nullptr);
            continue;
        }
        if (result < 0)
            return result;
        if (!m_deinterlacer.Accepts(m_decoded.get()) &&
            !m_deinterlacer.Configure(m_decoded.get(), m_timeBase)) {
            m_deinterlaceFailed = true;
            av_frame_move_ref(picture, m_decoded.get());
            return 0;
        }
        // The filter carries pts only; keep the decoder's best guess in it.
        m_decoded->pts = m_decoded->best_effort_timestamp;
        result = m_deinterlacer.Push(m_decoded.get());
        av_frame_unref(m_decoded.get());
        if (result < 0)
            return result;
    }
}

void TFFVideoDecoder::DrainFilterIntoPending() {
    // Switching deinterlacing off must not lose the picture yadif holds back.
    if (!m_filterFlushed)
        m_deinterlacer.Push(nullptr);
    for (;;) {
        TFFFramePtr picture = FFNewFrame();
        if (m_deinterlacer.Pull(picture.get()) < 0)
            break;
        picture->best_effort_timestamp = picture->pts;
        m_pending.push_back(std::move(picture));
    }
    m_deinterlacer.Reset();
    m_filterFlushed = false;
}
