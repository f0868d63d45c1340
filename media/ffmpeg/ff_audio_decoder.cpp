#include "media/ffmpeg/ff_audio_decoder.h"

#include "media/av_file.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/mathematics.h>
}

bool TFFSampleBuffer::Reserve(size_t bytes) {
    if (bytes <= m_capacity)
        return true;
    auto* grown = static_cast<uint8_t*>(TAVFile::AllocBuffer(bytes));
    if (grown == nullptr)
        return false;
    if (m_size > 0)
        std::memcpy(grown, m_data, m_size);
    TAVFile::FreeBuffer(m_data);
    m_data = grown;
    m_capacity = bytes;
    return true;
}

uint8_t* TFFSampleBuffer::Extend(size_t bytes) {
    const size_t needed = m_size + bytes;
    if (needed > m_capacity && !Reserve(std::max(needed, m_capacity * 2)))
        throw TAVFile::AVFileErrorMemory();
    uint8_t* end = m_data + m_size;
    m_size = needed;
    return end;
}

void TFFSampleBuffer::Shrink(size_t bytes) {
    m_size -= std::min(bytes, m_size);
}

void TFFSampleBuffer::Erase(size_t offset, size_t bytes) {
    if (offset >= m_size)
        return;
    bytes = std::min(bytes, m_size - offset);
    std::memmove(m_data + offset, m_data + offset + bytes, m_size - offset - bytes);
    m_size -= bytes;
}

void TFFSampleBuffer::Release() {
    TAVFile::FreeBuffer(m_data);
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
}

bool TFFAudioDecoder::Open(const AVStream* stream) {
    Close();
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (decoder == nullptr)
        return false;
    TFFCodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0)
        return false;
    codec->pkt_timebase = stream->time_base;
    codec->thread_count = 1;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return false;
    if (codec->ch_layout.nb_channels <= 0 || codec->sample_rate <= 0)
        return false;
    m_channels = codec->ch_layout.nb_channels;
    m_sampleRate = codec->sample_rate;
    m_codec = std::move(codec);
    m_frame = FFNewFrame();
    m_converter.SetOutput(m_channels, m_sampleRate);
    m_discardFrames = 0;
    return true;
}

void TFFAudioDecoder::Close() {
    m_converter.Reset();
    m_frame.reset();
    m_codec.reset();
    m_channels = 0;
    m_sampleRate = 0;
}

void TFFAudioDecoder::Restart() {
    if (m_codec)
        avcodec_flush_buffers(m_codec.get());
    m_converter.SetOutput(m_channels, m_sampleRate);
    m_discardFrames = 0;
}

bool TFFAudioDecoder::Decode(const AVPacket* packet, TFFSampleBuffer* target, int64_t& frames) {
    frames = 0;
    int result = avcodec_send_packet(m_codec.get(), packet);
    bool failed = result < 0 && result != AVERROR_EOF && result != AVERROR(EAGAIN);
    for (;;) {
        result = avcodec_receive_frame(m_codec.get(), m_frame.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            break;
        if (result < 0) {
            failed = true;
            break;
        }
        frames += TakeFrame(target);
    }
    return !failed;
}

int64_t TFFAudioDecoder::TakeFrame(TFFSampleBuffer* target) {
    const size_t frameBytes = static_cast<size_t>(m_channels) * 2;
    int64_t produced = 0;
    if (target == nullptr) {
        // Skipping: nothing is converted, only counted in output frames.
        produced = m_frame->sample_rate == m_sampleRate || m_frame->sample_rate <= 0
                       ? m_frame->nb_samples
                       : av_rescale(m_frame->nb_samples, m_sampleRate, m_frame->sample_rate);
    } else {
        const int capacity = m_converter.MaxOutputFrames(m_frame.get());
        uint8_t* area = target->Extend(static_cast<size_t>(capacity) * frameBytes);
        const int converted = m_converter.Convert(m_frame.get(), area, capacity);
        produced = converted > 0 ? converted : 0;
        target->Shrink(static_cast<size_t>(capacity - produced) * frameBytes);
    }
    av_frame_unref(m_frame.get());
    if (m_discardFrames > 0) {
        const int64_t dropped = std::min(m_discardFrames, produced);
        m_discardFrames -= dropped;
        if (target != nullptr)
            target->Erase(target->Size() - static_cast<size_t>(produced) * frameBytes,
                          static_cast<size_t>(dropped) * frameBytes);
        produced -= dropped;
    }
    return produced;
}
