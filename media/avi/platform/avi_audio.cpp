#include "media/avi/platform/avi_audio.h"

#include "media/avi/platform/avi_riff.h"
#include "media/avi/platform/lav_handles.h"

#include <algorithm>
#include <cstring>

namespace {

struct TFormat {
    TWaveFormatEx Wave{};
    std::vector<uint8_t> Extra;
};

bool ParseFormat(const std::vector<uint8_t>& bytes, TFormat& format) {
    if (bytes.size() < 16)
        return false;
    std::memcpy(&format.Wave, bytes.data(), std::min(bytes.size(), sizeof format.Wave));
    format.Extra.clear();
    if (bytes.size() < sizeof format.Wave) {
        format.Wave.cbSize = 0;
    } else {
        const size_t extra = std::min<size_t>(format.Wave.cbSize, bytes.size() - sizeof format.Wave);
        format.Extra.assign(bytes.begin() + sizeof format.Wave, bytes.begin() + sizeof format.Wave + extra);
    }
    // Files with more than two channels (or more than 16 bits) name their
    // format in an extended block: the tag sits in the first two bytes of
    // the sub-format's identifier. The block is no codec set-up data, so no
    // decoder may see it.
    constexpr size_t ExtensibleBytes = 22;
    constexpr uint8_t SubFormatTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                           0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    if (format.Wave.wFormatTag == WaveFormatExtensible) {
        if (format.Extra.size() < ExtensibleBytes)
            return false;
        const uint8_t* subFormat = format.Extra.data() + 6;
        if (subFormat[2] != 0 || subFormat[3] != 0 ||
            std::memcmp(subFormat + 4, SubFormatTail, sizeof SubFormatTail) != 0)
            return false;
        format.Wave.wFormatTag = static_cast<uint16_t>(subFormat[0] | subFormat[1] << 8);
        format.Extra.erase(format.Extra.begin(), format.Extra.begin() + ExtensibleBytes);
        format.Wave.cbSize = static_cast<uint16_t>(format.Extra.size());
    }
    const TWaveFormatEx& w = format.Wave;
    return w.nChannels >= 1 && w.nChannels <= 8 && w.nSamplesPerSec >= 1000 && w.nSamplesPerSec <= 384000 &&
           w.nBlockAlign >= 1;
}

bool IsPCM16(const TWaveFormatEx& w) {
    return w.wFormatTag == WaveFormatPCM && w.wBitsPerSample == 16;
}

uint32_t AverageBytes(const TWaveFormatEx& w) {
    if (w.nAvgBytesPerSec > 0)
        return w.nAvgBytesPerSec;
    return std::max<uint32_t>(w.nChannels * 2 * w.nSamplesPerSec, 1);
}

AVCodecID DecoderId(const TWaveFormatEx& w) {
    if (w.wFormatTag == WaveFormatPCM) {
        switch (w.wBitsPerSample) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        default:
            return AV_CODEC_ID_NONE;
        }
    }
    if (w.wFormatTag == 3)
        return w.wBitsPerSample == 64 ? AV_CODEC_ID_PCM_F64LE : AV_CODEC_ID_PCM_F32LE;
    const AVCodecTag* tags[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(tags, w.wFormatTag);
}

// Shared by both directions: held output and the PCM side's resampler.
class TConverterBase : public TAVIAudioConverter {
public:
    TConverterBase(const TFormat& source, const TFormat& target) : m_source(source), m_target(target) {}

    uint32_t SourceBytesFor(uint32_t destinationBytes) const override {
        const uint64_t align = m_source.Wave.nBlockAlign;
        uint64_t bytes =
            (uint64_t{destinationBytes} * AverageBytes(m_source.Wave) + AverageBytes(m_target.Wave) - 1) /
            AverageBytes(m_target.Wave);
        // Whole blocks that make no more than asked for, so the held output
        // does not grow from call to call.
        bytes = std::max<uint64_t>(bytes / align * align, align);
        return static_cast<uint32_t>(std::min<uint64_t>(bytes, 1 << 26));
    }

    uint32_t DestinationBytesFor(uint32_t sourceBytes) const override {
        const uint64_t align = m_target.Wave.nBlockAlign;
        uint64_t bytes =
            (uint64_t{sourceBytes} * AverageBytes(m_target.Wave) + AverageBytes(m_source.Wave) - 1) /
            AverageBytes(m_source.Wave);
        bytes = (bytes + align - 1) / align * align + 2 * align + 4096;
        return static_cast<uint32_t>(std::min<uint64_t>(bytes, 1 << 26));
    }

protected:
    uint32_t HandOut(uint8_t* destination, uint32_t capacity) {
        const uint32_t bytes = static_cast<uint32_t>(std::min<size_t>(capacity, m_output.size()));
        // Only whole blocks of the destination leave, so a sample never splits.
        const uint32_t whole = bytes / m_target.Wave.nBlockAlign * m_target.Wave.nBlockAlign;
        if (whole == 0)
            return 0;
        std::memcpy(destination, m_output.data(), whole);
        m_output.erase(m_output.begin(), m_output.begin() + whole);
        return whole;
    }

    TFormat m_source;
    TFormat m_target;
    std::vector<uint8_t> m_input;
    std::vector<uint8_t> m_output;
};

class TDecoder : public TConverterBase {
public:
    TDecoder(const TFormat& source, const TFormat& target, TLavCodecPtr codec)
        : TConverterBase(source, target), m_codec(std::move(codec)), m_frame(LavNewFrame()),
          m_packet(LavNewPacket()) {
        const AVCodecID id = m_codec->codec_id;
        if (id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_MP2 || id == AV_CODEC_ID_AC3 || id == AV_CODEC_ID_EAC3)
            m_parser.reset(av_parser_init(id));
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
        m_isBlockCoded = descriptor != nullptr && descriptor->type == AVMEDIA_TYPE_AUDIO &&
                         std::strncmp(descriptor->name, "adpcm", 5) == 0;
    }

    bool Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination, uint32_t capacity,
                 uint32_t& produced) override {
        m_input.insert(m_input.end(), source, source + sourceBytes);
        const bool ok = m_parser ? FeedParsed() : FeedBlocks();
        produced = HandOut(destination, capacity);
        return ok;
    }

    bool Finish(uint8_t* destination, uint32_t capacity, uint32_t& produced) override {
        // The parser hands a frame on only when the next one begins: the
        // last frame leaves it when it is told that nothing follows.
        bool ok = true;
        if (m_parser && !m_isFinished) {
            uint8_t* data = nullptr;
            int bytes = 0;
            av_parser_parse2(m_parser.get(), m_codec.get(), &data, &bytes, nullptr, 0, AV_NOPTS_VALUE,
                             AV_NOPTS_VALUE, 0);
            if (bytes > 0)
                ok = Decode(data, bytes);
        }
        m_isFinished = true;
        produced = HandOut(destination, capacity);
        return ok;
    }

    void Reset() override {
        m_isFinished = false;
        m_input.clear();
        m_output.clear();
        avcodec_flush_buffers(m_codec.get());
        if (m_parser)
            m_parser.reset(av_parser_init(m_codec->codec_id));
    }

private:
    bool FeedParsed() {
        size_t used = 0;
        bool ok = true;
        while (used < m_input.size()) {
            uint8_t* data = nullptr;
            int bytes = 0;
            const int eaten =
                av_parser_parse2(m_parser.get(), m_codec.get(), &data, &bytes, m_input.data() + used,
                                 static_cast<int>(std::min<size_t>(m_input.size() - used, INT32_MAX)),
                                 AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (eaten <= 0 && bytes == 0)
                break;
            used += static_cast<size_t>(std::max(eaten, 0));
            if (bytes > 0)
                ok = Decode(data, bytes) && ok;
        }
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<long>(used));
        return ok;
    }

    bool FeedBlocks() {
        const size_t align = m_source.Wave.nBlockAlign;
        const size_t whole = m_input.size() / align * align;
        const size_t step = m_isBlockCoded ? align : whole;
        bool ok = true;
        for (size_t at = 0; step > 0 && at < whole; at += step)
            ok = Decode(m_input.data() + at, static_cast<int>(step)) && ok;
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<long>(whole));
        return ok;
    }

    bool Decode(const uint8_t* data, int bytes) {
        av_packet_unref(m_packet.get());
        if (av_new_packet(m_packet.get(), bytes) < 0)
            return false;
        std::memcpy(m_packet->data, data, bytes);
        // A damaged packet is skipped; the stream goes on with the next.
        if (avcodec_send_packet(m_codec.get(), m_packet.get()) < 0)
            return true;
        while (avcodec_receive_frame(m_codec.get(), m_frame.get()) == 0)
            if (!Resample())
                return false;
        return true;
    }

    bool Resample() {
        const int channels = m_target.Wave.nChannels;
        if (m_frame->ch_layout.nb_channels != channels)
            return false;
        if (!m_resampler) {
            SwrContext* context = nullptr;
            if (swr_alloc_set_opts2(&context, &m_frame->ch_layout, AV_SAMPLE_FMT_S16, m_frame->sample_rate,
                                    &m_frame->ch_layout, static_cast<AVSampleFormat>(m_frame->format),
                                    m_frame->sample_rate, 0, nullptr) < 0)
                return false;
            m_resampler.reset(context);
            if (swr_init(m_resampler.get()) < 0)
                return false;
        }
        const size_t at = m_output.size();
        m_output.resize(at + static_cast<size_t>(m_frame->nb_samples) * channels * 2);
        uint8_t* out[1] = {m_output.data() + at};
        const int got = swr_convert(m_resampler.get(), out, m_frame->nb_samples,
                                    const_cast<const uint8_t**>(m_frame->extended_data), m_frame->nb_samples);
        m_output.resize(at + static_cast<size_t>(std::max(got, 0)) * channels * 2);
        return got >= 0;
    }

    TLavCodecPtr m_codec;
    TLavFramePtr m_frame;
    TLavPacketPtr m_packet;
    TLavParserPtr m_parser;
    TLavResamplerPtr m_resampler;
    bool m_isBlockCoded = false;
    bool m_isFinished = false;
};

const char* EncoderName(const TWaveFormatEx& w) {
    switch (w.wFormatTag) {
    case WaveFormatPCM:
        return w.wBitsPerSample == 8 ? "pcm_u8" : w.wBitsPerSample == 16 ? "pcm_s16le" : nullptr;
    case WaveFormatMuLaw:
        return "pcm_mulaw";
    case WaveFormatALaw:
        return "pcm_alaw";
    case WaveFormatIMAADPCM:
        return "adpcm_ima_wav";
    case WaveFormatMP3:
        return "libmp3lame";
    default:
        return nullptr;
    }
}

TLavCodecPtr OpenEncoder(const char* name, int channels, int rate, int64_t bitRate) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(name);
    if (encoder == nullptr)
        return nullptr;
    TLavCodecPtr context(avcodec_alloc_context3(encoder));
    if (!context)
        return nullptr;
    av_channel_layout_default(&context->ch_layout, channels);
    context->sample_rate = rate;
    context->sample_fmt = encoder->sample_fmts != nullptr ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    context->time_base = AVRational{1, rate};
    if (bitRate > 0)
        context->bit_rate = bitRate;
    if (avcodec_open2(context.get(), encoder, nullptr) < 0)
        return nullptr;
    return context;
}

class TEncoder : public TConverterBase {
public:
    TEncoder(const TFormat& source, const TFormat& target, TLavCodecPtr codec)
        : TConverterBase(source, target), m_codec(std::move(codec)), m_frame(LavNewFrame()),
          m_packet(LavNewPacket()) {
        const bool isVariable = (m_codec->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
        m_frameSamples = m_codec->frame_size > 0 && !isVariable ? m_codec->frame_size : 1024;
        m_isFixedFrame = m_codec->frame_size > 0 && !isVariable;
        SwrContext* context = nullptr;
        if (swr_alloc_set_opts2(&context, &m_codec->ch_layout, m_codec->sample_fmt, m_codec->sample_rate,
                                &m_codec->ch_layout, AV_SAMPLE_FMT_S16, m_codec->sample_rate, 0,
                                nullptr) < 0 ||
            swr_init(context) < 0) {
            swr_free(&context);
            throw TAVIFormatError("no resampler");
        }
        m_resampler.reset(context);
    }

    bool Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination, uint32_t capacity,
                 uint32_t& produced) override {
        m_input.insert(m_input.end(), source, source + sourceBytes);
        const size_t frameBytes = static_cast<size_t>(m_frameSamples) * m_source.Wave.nChannels * 2;
        bool ok = true;
        size_t used = 0;
        while (ok && m_input.size() - used >= frameBytes) {
            ok = Encode(m_input.data() + used, m_frameSamples);
            used += frameBytes;
        }
        m_input.erase(m_input.begin(), m_input.begin() + static_cast<long>(used));
        produced = HandOut(destination, capacity);
        return ok;
    }

    bool Finish(uint8_t* destination, uint32_t capacity, uint32_t& produced) override {
        bool ok = true;
        if (!m_isFinished) {
            m_isFinished = true;
            const size_t sampleBytes = static_cast<size_t>(m_source.Wave.nChannels) * 2;
            if (!m_input.empty()) {
                int samples = static_cast<int>(m_input.size() / sampleBytes);
                // A fixed-frame codec takes only whole frames: the tail is
                // padded with silence rather than dropped.
                if (m_isFixedFrame) {
                    m_input.resize(static_cast<size_t>(m_frameSamples) * sampleBytes, 0);
                    samples = m_frameSamples;
                }
                ok = samples == 0 || Encode(m_input.data(), samples);
                m_input.clear();
            }
            if (avcodec_send_frame(m_codec.get(), nullptr) == 0)
                ok = Receive() && ok;
        }
        produced = HandOut(destination, capacity);
        return ok;
    }

    void Reset() override {
        m_input.clear();
        m_output.clear();
    }

private:
    bool Encode(const uint8_t* samples, int count) {
        av_frame_unref(m_frame.get());
        m_frame->format = m_codec->sample_fmt;
        m_frame->nb_samples = count;
        m_frame->sample_rate = m_codec->sample_rate;
        if (av_channel_layout_copy(&m_frame->ch_layout, &m_codec->ch_layout) < 0 ||
            av_frame_get_buffer(m_frame.get(), 0) < 0)
            return false;
        const uint8_t* in[1] = {samples};
        if (swr_convert(m_resampler.get(), m_frame->extended_data, count, in, count) != count)
            return false;
        m_frame->pts = m_nextPts;
        m_nextPts += count;
        if (avcodec_send_frame(m_codec.get(), m_frame.get()) < 0)
            return false;
        return Receive();
    }

    bool Receive() {
        while (true) {
            const int result = avcodec_receive_packet(m_codec.get(), m_packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return true;
            if (result < 0)
                return false;
            m_output.insert(m_output.end(), m_packet->data, m_packet->data + m_packet->size);
            av_packet_unref(m_packet.get());
        }
    }

    TLavCodecPtr m_codec;
    TLavFramePtr m_frame;
    TLavPacketPtr m_packet;
    TLavResamplerPtr m_resampler;
    int m_frameSamples = 1024;
    bool m_isFixedFrame = false;
    bool m_isFinished = false;
    int64_t m_nextPts = 0;
};

class TCopier : public TConverterBase {
public:
    using TConverterBase::TConverterBase;
    bool Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination, uint32_t capacity,
                 uint32_t& produced) override {
        m_output.insert(m_output.end(), source, source + sourceBytes);
        produced = HandOut(destination, capacity);
        return true;
    }
    bool Finish(uint8_t* destination, uint32_t capacity, uint32_t& produced) override {
        produced = HandOut(destination, capacity);
        return true;
    }
    void Reset() override { m_output.clear(); }
};

std::vector<uint8_t> FormatBytes(const TWaveFormatEx& wave, const std::vector<uint8_t>& extra) {
    TWaveFormatEx w = wave;
    w.cbSize = static_cast<uint16_t>(extra.size());
    std::vector<uint8_t> bytes(sizeof w + extra.size());
    std::memcpy(bytes.data(), &w, sizeof w);
    if (!extra.empty())
        std::memcpy(bytes.data() + sizeof w, extra.data(), extra.size());
    return bytes;
}

TWaveFormatEx MakeWave(uint16_t tag, int channels, int rate, uint16_t bits, uint16_t blockAlign,
                       uint32_t average) {
    TWaveFormatEx w{};
    w.wFormatTag = tag;
    w.nChannels = static_cast<uint16_t>(channels);
    w.nSamplesPerSec = static_cast<uint32_t>(rate);
    w.nAvgBytesPerSec = average;
    w.nBlockAlign = blockAlign;
    w.wBitsPerSample = bits;
    return w;
}

std::string ChannelText(int channels) {
    return channels == 1 ? "mono" : channels == 2 ? "stereo" : std::to_string(channels) + " channels";
}

} // namespace

std::vector<uint8_t> AVIPCMFormat(int32_t channels, int32_t samplesPerSecond) {
    const uint16_t align = static_cast<uint16_t>(channels * 2);
    return FormatBytes(MakeWave(WaveFormatPCM, channels, samplesPerSecond, 16, align,
                                static_cast<uint32_t>(align) * static_cast<uint32_t>(samplesPerSecond)),
                       {});
}

std::unique_ptr<TAVIAudioConverter> TAVIAudioConverter::Open(const std::vector<uint8_t>& source,
                                                             const std::vector<uint8_t>& target) {
    TFormat from, to;
    if (!ParseFormat(source, from) || !ParseFormat(target, to))
        return nullptr;
    if (from.Wave.nChannels != to.Wave.nChannels || from.Wave.nSamplesPerSec != to.Wave.nSamplesPerSec)
        return nullptr;
    const int channels = from.Wave.nChannels;
    const int rate = static_cast<int>(from.Wave.nSamplesPerSec);
    if (IsPCM16(from.Wave) && IsPCM16(to.Wave))
        return std::make_unique<TCopier>(from, to);
    if (IsPCM16(to.Wave)) {
        const AVCodecID id = DecoderId(from.Wave);
        const AVCodec* decoder = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
        if (decoder == nullptr)
            return nullptr;
        TLavCodecPtr context(avcodec_alloc_context3(decoder));
        if (!context)
            return nullptr;
        av_channel_layout_default(&context->ch_layout, channels);
        context->sample_rate = rate;
        context->block_align = from.Wave.nBlockAlign;
        context->bit_rate = int64_t{from.Wave.nAvgBytesPerSec} * 8;
        context->bits_per_coded_sample = from.Wave.wBitsPerSample;
        if (!from.Extra.empty()) {
            context->extradata =
                static_cast<uint8_t*>(av_mallocz(from.Extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
            if (context->extradata == nullptr)
                return nullptr;
            std::memcpy(context->extradata, from.Extra.data(), from.Extra.size());
            context->extradata_size = static_cast<int>(from.Extra.size());
        }
        if (avcodec_open2(context.get(), decoder, nullptr) < 0)
            return nullptr;
        return std::make_unique<TDecoder>(from, to, std::move(context));
    }
    if (!IsPCM16(from.Wave))
        return nullptr;
    const char* name = EncoderName(to.Wave);
    if (name == nullptr)
        return nullptr;
    TLavCodecPtr context = OpenEncoder(name, channels, rate, int64_t{to.Wave.nAvgBytesPerSec} * 8);
    // The stored blocks must be the blocks the format promises.
    if (!context || (to.Wave.wFormatTag == WaveFormatIMAADPCM && context->block_align != to.Wave.nBlockAlign))
        return nullptr;
    return std::make_unique<TEncoder>(from, to, std::move(context));
}

std::vector<TAVIAudioFormatInfo> AVIAudioFormatList(int32_t channels, int32_t samplesPerSecond) {
    std::vector<TAVIAudioFormatInfo> list;
    if (channels < 1 || channels > 8 || samplesPerSecond < 1000)
        return list;
    const std::string tail = ", " + std::to_string(samplesPerSecond) + " Hz, ";
    const uint32_t rate = static_cast<uint32_t>(samplesPerSecond);
    const uint16_t ch = static_cast<uint16_t>(channels);
    list.push_back(
        {"PCM" + tail + "16 bit, " + ChannelText(channels), AVIPCMFormat(channels, samplesPerSecond)});
    list.push_back({"PCM" + tail + "8 bit, " + ChannelText(channels),
                    FormatBytes(MakeWave(WaveFormatPCM, channels, samplesPerSecond, 8, ch, ch * rate), {})});
    list.push_back(
        {"CCITT u-Law" + tail + "8 bit, " + ChannelText(channels),
         FormatBytes(MakeWave(WaveFormatMuLaw, channels, samplesPerSecond, 8, ch, ch * rate), {})});
    list.push_back({"CCITT A-Law" + tail + "8 bit, " + ChannelText(channels),
                    FormatBytes(MakeWave(WaveFormatALaw, channels, samplesPerSecond, 8, ch, ch * rate), {})});
    if (TLavCodecPtr ima = OpenEncoder("adpcm_ima_wav", channels, samplesPerSecond, 0)) {
        const uint16_t align = static_cast<uint16_t>(ima->block_align);
        const uint16_t perBlock = static_cast<uint16_t>(ima->frame_size);
        const uint32_t average =
            static_cast<uint32_t>(uint64_t{align} * rate / std::max<uint16_t>(perBlock, 1));
        list.push_back(
            {"IMA ADPCM" + tail + "4 bit, " + ChannelText(channels),
             FormatBytes(MakeWave(WaveFormatIMAADPCM, channels, samplesPerSecond, 4, align, average),
                         {static_cast<uint8_t>(perBlock), static_cast<uint8_t>(perBlock >> 8)})});
    }
    for (const int kbps : {64, 128, 192}) {
        TLavCodecPtr mp3 = OpenEncoder("libmp3lame", channels, samplesPerSecond, int64_t{kbps} * 1000);
        if (!mp3 || channels > 2)
            break;
        const uint16_t blockSize = static_cast<uint16_t>(144 * kbps * 1000 / samplesPerSecond);
        // MPEGLAYER3WAVEFORMAT: id 1, padding off, block size, 1 frame per block, codec delay.
        const std::vector<uint8_t> extra = {
            1, 0, 2,    0,   0, 0, static_cast<uint8_t>(blockSize), static_cast<uint8_t>(blockSize >> 8),
            1, 0, 0x71, 0x05};
        list.push_back({"MPEG Layer-3" + tail + std::to_string(kbps) + " kBit/s, " + ChannelText(channels),
                        FormatBytes(MakeWave(WaveFormatMP3, channels, samplesPerSecond, 0, 1,
                                             static_cast<uint32_t>(kbps * 1000 / 8)),
                                    extra)});
    }
    return list;
}
