#include "media/ffmpeg/ff_demuxer.h"

#include "media/av_file.h"

#include <algorithm>

extern "C" {
#include <libavutil/mathematics.h>
}

void TFFOutputDeleter::operator()(AVFormatContext* context) const {
    if (context->pb != nullptr && !(context->oformat->flags & AVFMT_NOFILE))
        avio_closep(&context->pb);
    avformat_free_context(context);
}

TFFFramePtr FFNewFrame() {
    TFFFramePtr frame(av_frame_alloc());
    if (!frame)
        throw TAVFile::AVFileErrorMemory();
    return frame;
}

TFFPacketPtr FFNewPacket() {
    TFFPacketPtr packet(av_packet_alloc());
    if (!packet)
        throw TAVFile::AVFileErrorMemory();
    return packet;
}

std::string FFErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

TFFPacketPtr TFFPacketQueue::Pop() {
    if (m_packets.empty())
        return nullptr;
    TFFPacketPtr packet = std::move(m_packets.front());
    m_packets.pop_front();
    return packet;
}

namespace {

constexpr int64_t AudioPrerollUs = 100000;

} // namespace

int64_t LowestSeekPointUs(int64_t startUs) {
    return startUs < 0 ? startUs - AV_TIME_BASE : std::max<int64_t>(startUs - AV_TIME_BASE, 0);
}

TFFDemuxer::TOpenResult TFFDemuxer::Open(const std::string& fileName) {
    Close();
    AVFormatContext* input = nullptr;
    if (avformat_open_input(&input, fileName.c_str(), nullptr, nullptr) < 0)
        return TOpenResult::OpenFailed;
    m_input.reset(input);
    if (avformat_find_stream_info(input, nullptr) < 0) {
        Close();
        return TOpenResult::InfoFailed;
    }
    return TOpenResult::Opened;
}

void TFFDemuxer::Close() {
    FlushQueues();
    m_input.reset();
    m_videoIndex = -1;
    m_audioIndex = -1;
    m_ended = false;
    m_dropAudioBeforeUs.reset();
    m_audioSkipFrames = 0;
}

void TFFDemuxer::SetStreams(int videoIndex, int audioIndex) {
    if (videoIndex != m_videoIndex)
        m_videoQueue.Clear();
    if (audioIndex != m_audioIndex)
        m_audioQueue.Clear();
    m_videoIndex = videoIndex;
    m_audioIndex = audioIndex;
}

TFFPacketPtr TFFDemuxer::NextVideoPacket() {
    return Next(TWanted::Video);
}

TFFPacketPtr TFFDemuxer::NextAudioPacket() {
    return Next(TWanted::Audio);
}

TFFPacketPtr TFFDemuxer::Next(TWanted wanted) {
    TFFPacketQueue& own = wanted == TWanted::Video ? m_videoQueue : m_audioQueue;
    if (!own.Empty())
        return own.Pop();
    const int ownIndex = wanted == TWanted::Video ? m_videoIndex : m_audioIndex;
    if (ownIndex < 0)
        return nullptr;
    for (;;) {
        TFFPacketPtr packet = Read();
        if (!packet)
            return nullptr;
        const int index = packet->stream_index;
        if (index == m_audioIndex && !KeepAudio(*packet))
            continue;
        if (index == ownIndex)
            return packet;
        if (index == m_videoIndex)
            m_videoQueue.Push(std::move(packet));
        else if (index == m_audioIndex)
            m_audioQueue.Push(std::move(packet));
    }
}

TFFPacketPtr TFFDemuxer::Read() {
    if (m_ended || !m_input)
        return nullptr;
    TFFPacketPtr packet = FFNewPacket();
    // Any failure ends the input: a damaged file stops where it stops being
    // readable instead of looping on the damage.
    if (av_read_frame(m_input.get(), packet.get()) < 0) {
        m_ended = true;
        return nullptr;
    }
    return packet;
}

bool TFFDemuxer::KeepAudio(const AVPacket& packet) {
    if (!m_dropAudioBeforeUs)
        return true;
    const AVStream* stream = m_input->streams[m_audioIndex];
    int64_t timestamp = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (timestamp == AV_NOPTS_VALUE)
        return true;
    if (stream->start_time != AV_NOPTS_VALUE)
        timestamp -= stream->start_time;
    const AVRational microseconds{1, AV_TIME_BASE};
    const int64_t startUs = av_rescale_q(timestamp, stream->time_base, microseconds);
    int64_t duration = packet.duration;
    AVRational durationBase = stream->time_base;
    if (duration <= 0) {
        duration = av_get_audio_frame_duration2(stream->codecpar, packet.size);
        durationBase = AVRational{1, stream->codecpar->sample_rate > 0 ? stream->codecpar->sample_rate : 1};
    }
    const int64_t endUs = startUs + av_rescale_q(duration, durationBase, microseconds);
    const int64_t targetUs = *m_dropAudioBeforeUs;
    // Decoders that carry state from packet to packet (the MP3 bit
    // reservoir, AAC's overlap) give silence or noise for the first packet
    // after a seek: decoding starts a little earlier and what precedes the
    // target is dropped once decoded.
    const int64_t keepFromUs = targetUs - AudioPrerollUs;
    if (endUs <= keepFromUs && duration > 0)
        return false;
    if (duration <= 0 && startUs < keepFromUs)
        return false; // length unknown: only whole packets from there on
    // The first packet kept: drop its lead-in (and the preroll) when decoded.
    m_audioSkipFrames =
        startUs < targetUs ? av_rescale(targetUs - startUs, stream->codecpar->sample_rate, AV_TIME_BASE) : 0;
    m_dropAudioBeforeUs.reset();
    return true;
}

void TFFDemuxer::DropAudioBefore(std::optional<int64_t> timeUs) {
    m_dropAudioBeforeUs = timeUs;
    m_audioSkipFrames = 0;
}

int64_t TFFDemuxer::TakeAudioSkipFrames() {
    const int64_t frames = m_audioSkipFrames;
    m_audioSkipFrames = 0;
    return frames;
}

void TFFDemuxer::FlushQueues() {
    m_videoQueue.Clear();
    m_audioQueue.Clear();
}

bool TFFDemuxer::SeekBackward(int64_t timeUs) {
    if (!m_input || av_seek_frame(m_input.get(), -1, timeUs, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    FlushQueues();
    m_ended = false;
    return true;
}

bool TFFDemuxer::Rewind() {
    if (!m_input)
        return false;
    const int64_t start = m_input->start_time != AV_NOPTS_VALUE ? m_input->start_time : 0;
    if (av_seek_frame(m_input.get(), -1, LowestSeekPointUs(start), AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(m_input.get(), -1, 0, AVSEEK_FLAG_BYTE) < 0)
        return false;
    FlushQueues();
    m_ended = false;
    return true;
}

std::optional<int64_t> TFFDemuxer::ScanStreamEnd(int streamIndex, int64_t frameDuration) {
    constexpr int MaxScanPackets = 20000;
    if (!m_input || m_input->pb == nullptr || !(m_input->pb->seekable & AVIO_SEEKABLE_NORMAL) ||
        m_input->duration == AV_NOPTS_VALUE || m_input->duration <= 0)
        return std::nullopt;
    const int64_t start = m_input->start_time != AV_NOPTS_VALUE ? m_input->start_time : 0;
    const int64_t end = start + m_input->duration;
    std::optional<int64_t> last;
    for (int64_t backUs = 2 * int64_t{AV_TIME_BASE}; !last && backUs <= 32 * int64_t{AV_TIME_BASE};
         backUs *= 4) {
        if (!SeekBackward(std::max(start, end - backUs)))
            break;
        for (int count = 0; count < MaxScanPackets; ++count) {
            TFFPacketPtr packet = Read();
            if (!packet)
                break;
            const int64_t timestamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
            if (packet->stream_index != streamIndex || timestamp == AV_NOPTS_VALUE)
                continue;
            const int64_t packetEnd = timestamp + (packet->duration > 0 ? packet->duration : frameDuration);
            if (!last || packetEnd > *last)
                last = packetEnd;
        }
        if (end - backUs <= start)
            break;
    }
    if (!Rewind())
        return std::nullopt;
    return last;
}

TFFDemuxer::TStreamScan TFFDemuxer::ScanWholeStream(int streamIndex, int64_t frameDuration) {
    TStreamScan scan;
    if (!Rewind())
        return scan;
    while (TFFPacketPtr packet = Read()) {
        if (packet->stream_index != streamIndex)
            continue;
        ++scan.packets;
        const int64_t timestamp = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
        if (timestamp == AV_NOPTS_VALUE)
            continue;
        const int64_t packetEnd = timestamp + (packet->duration > 0 ? packet->duration : frameDuration);
        if (!scan.end || packetEnd > *scan.end)
            scan.end = packetEnd;
        if (!scan.start || timestamp < *scan.start)
            scan.start = timestamp;
    }
    Rewind();
    return scan;
}
