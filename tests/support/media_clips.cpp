#include "tests/support/media_clips.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

constexpr int NumberBits = 12;

void Check(int result, const char* step) {
    if (result < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(result, text, sizeof text);
        throw std::runtime_error(std::string("WriteClip: ") + step + ": " + text);
    }
}

template <typename T> void Require(T* pointer, const char* step) {
    if (pointer == nullptr)
        throw std::runtime_error(std::string("WriteClip: ") + step);
}

struct TCodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TPacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TOutputDeleter {
    void operator()(AVFormatContext* context) const {
        if (context->pb != nullptr && !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
struct TScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
using TCodecPtr = std::unique_ptr<AVCodecContext, TCodecDeleter>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;
using TPacketPtr = std::unique_ptr<AVPacket, TPacketDeleter>;

struct TEncodedStream {
    TCodecPtr codec;
    AVStream* stream = nullptr;
};

// Cells of the frame number: row 0 holds the bits of n, row 1 those of ~n.
struct TCellGeometry {
    int cellWidth;
    int cellHeight;
    int left;
    int top;
};

TCellGeometry Cells(int width, int height) {
    const int cellWidth = width / (NumberBits + 2);
    const int cellHeight = std::max(8, height / 8);
    return TCellGeometry{cellWidth, cellHeight, cellWidth, cellHeight / 2};
}

bool CellBit(int frameNumber, int row, int bit) {
    const int value = row == 0 ? frameNumber : ~frameNumber;
    return (value >> (NumberBits - 1 - bit)) & 1;
}

AVPixelFormat ChooseVideoFormat(const AVCodec* encoder, const std::string& wanted) {
    if (!wanted.empty()) {
        const AVPixelFormat format = av_get_pix_fmt(wanted.c_str());
        if (format == AV_PIX_FMT_NONE)
            throw std::runtime_error("WriteClip: unknown pixel format " + wanted);
        return format;
    }
    if (encoder->pix_fmts == nullptr)
        return AV_PIX_FMT_YUV420P;
    for (const AVPixelFormat* format = encoder->pix_fmts; *format != AV_PIX_FMT_NONE; ++format)
        if (*format == AV_PIX_FMT_YUV420P || *format == AV_PIX_FMT_YUVJ420P)
            return *format;
    return encoder->pix_fmts[0];
}

AVSampleFormat ChooseSampleFormat(const AVCodec* encoder) {
    if (encoder->sample_fmts == nullptr)
        return AV_SAMPLE_FMT_S16;
    for (AVSampleFormat preferred :
         {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_U8})
        for (const AVSampleFormat* format = encoder->sample_fmts; *format != AV_SAMPLE_FMT_NONE; ++format)
            if (*format == preferred)
                return preferred;
    throw std::runtime_error("WriteClip: no usable sample format");
}

class TClipWriter {
public:
    TClipWriter(const std::string& path, const TClipSpec& spec) : m_spec(spec) {
        AVFormatContext* output = nullptr;
        Check(avformat_alloc_output_context2(
                  &output, nullptr, spec.format.empty() ? nullptr : spec.format.c_str(), path.c_str()),
              "output format");
        m_output.reset(output);
        if (!spec.videoCodec.empty())
            AddVideo();
        if (!spec.audioCodec.empty())
            AddAudio();
        if (!(m_output->oformat->flags & AVFMT_NOFILE))
            Check(avio_open(&m_output->pb, path.c_str(), AVIO_FLAG_WRITE), "open file");
        AVDictionary* options = nullptr;
        if (!spec.muxerOptions.empty())
            Check(av_dict_parse_string(&options, spec.muxerOptions.c_str(), "=", ":", 0), "muxer options");
        const int written = avformat_write_header(m_output.get(), &options);
        av_dict_free(&options);
        Check(written, "header");
        m_packet.reset(av_packet_alloc());
        Require(m_packet.get(), "packet");
    }

    void Write() {
        const bool irregular = !m_spec.pictures.empty();
        const int frames = !m_video.codec ? 0
                           : irregular    ? static_cast<int>(m_spec.pictures.size())
                                          : m_spec.frameCount;
        int64_t audioFrames = 0;
        if (m_audio.codec) {
            const int audioMs = m_spec.audioMs >= 0 ? m_spec.audioMs
                                : m_video.codec
                                    ? static_cast<int>(int64_t{1000} * frames * m_spec.scale / m_spec.rate)
                                    : 2000;
            audioFrames = int64_t{audioMs} * m_spec.sampleRate / 1000;
        }
        const int64_t delaySamples = int64_t{m_spec.audioDelayMs} * m_spec.sampleRate / 1000;
        int64_t audioWritten = 0;
        for (int frame = 0; frame < frames || audioWritten < audioFrames;) {
            // Keep the two streams close in time so the muxer interleaves evenly.
            const int64_t videoTicks = frame < frames && irregular
                                           ? m_spec.pictures[static_cast<size_t>(frame)].tick
                                           : int64_t{frame} * m_spec.ticksPerFrame;
            const int64_t videoTimeUs =
                int64_t{1000000} * videoTicks * m_spec.scale / (int64_t{m_spec.rate} * m_spec.ticksPerFrame);
            const int64_t audioTimeUs = (delaySamples + audioWritten) * 1000000 / m_spec.sampleRate;
            if (frame < frames && (audioWritten >= audioFrames || videoTimeUs <= audioTimeUs)) {
                EncodeVideo(frame++);
            } else {
                audioWritten += EncodeAudio(audioWritten, audioFrames - audioWritten, delaySamples);
            }
        }
        if (m_video.codec)
            Drain(m_video, nullptr);
        if (m_audio.codec)
            Drain(m_audio, nullptr);
        Check(av_write_trailer(m_output.get()), "trailer");
    }

private:
    void AddVideo() {
        const AVCodec* encoder = avcodec_find_encoder_by_name(m_spec.videoCodec.c_str());
        Require(encoder, "video encoder not found");
        m_video.codec.reset(avcodec_alloc_context3(encoder));
        AVCodecContext* codec = m_video.codec.get();
        codec->width = m_spec.width;
        codec->height = m_spec.height;
        codec->time_base = AVRational{m_spec.scale, m_spec.rate * m_spec.ticksPerFrame};
        codec->framerate = AVRational{m_spec.rate, m_spec.scale};
        codec->pix_fmt = ChooseVideoFormat(encoder, m_spec.pixelFormat);
        codec->gop_size = m_spec.gopSize;
        codec->max_b_frames = m_spec.maxBFrames;
        codec->bit_rate = m_spec.videoBitRate;
        codec->thread_count = m_spec.encoderThreads;
        if (m_spec.videoCodec == "libx264") {
            av_opt_set(codec->priv_data, "preset", "veryfast", 0);
            av_opt_set_int(codec->priv_data, "bf", m_spec.maxBFrames, 0);
        }
        if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(codec, encoder, nullptr), "open video encoder");
        m_video.stream = avformat_new_stream(m_output.get(), nullptr);
        Require(m_video.stream, "video stream");
        m_video.stream->time_base = codec->time_base;
        m_video.stream->avg_frame_rate = codec->framerate; // stated where the container can (Matroska)
        Check(avcodec_parameters_from_context(m_video.stream->codecpar, codec), "video parameters");

        m_picture.reset(av_frame_alloc());
        Require(m_picture.get(), "picture");
        m_picture->format = codec->pix_fmt;
        m_picture->width = codec->width;
        m_picture->height = codec->height;
        Check(av_frame_get_buffer(m_picture.get(), 0), "picture buffer");
        m_bgra.resize(static_cast<size_t>(m_spec.width) * 4 * m_spec.height);
        m_scaler.reset(sws_getContext(m_spec.width, m_spec.height, AV_PIX_FMT_BGRA, codec->width,
                                      codec->height, codec->pix_fmt, SWS_BILINEAR, nullptr, nullptr,
                                      nullptr));
        Require(m_scaler.get(), "scaler");
    }

    void AddAudio() {
        const AVCodec* encoder = avcodec_find_encoder_by_name(m_spec.audioCodec.c_str());
        Require(encoder, "audio encoder not found");
        m_audio.codec.reset(avcodec_alloc_context3(encoder));
        AVCodecContext* codec = m_audio.codec.get();
        codec->sample_fmt = ChooseSampleFormat(encoder);
        codec->sample_rate = m_spec.sampleRate;
        av_channel_layout_default(&codec->ch_layout, m_spec.channels);
        codec->bit_rate = 128000;
        codec->time_base = AVRational{1, m_spec.sampleRate};
        if (m_output->oformat->flags & AVFMT_GLOBALHEADER)
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        Check(avcodec_open2(codec, encoder, nullptr), "open audio encoder");
        m_audio.stream = avformat_new_stream(m_output.get(), nullptr);
        Require(m_audio.stream, "audio stream");
        m_audio.stream->time_base = codec->time_base;
        Check(avcodec_parameters_from_context(m_audio.stream->codecpar, codec), "audio parameters");
        m_audioFrameSize = codec->frame_size > 0 ? codec->frame_size : 1024;
        m_samples.reset(av_frame_alloc());
        Require(m_samples.get(), "samples");
    }

    void EncodeVideo(int frameNumber) {
        const bool irregular = !m_spec.pictures.empty();
        const TClipPicture picture = irregular ? m_spec.pictures[static_cast<size_t>(frameNumber)]
                                               : TClipPicture{int64_t{frameNumber} * m_spec.ticksPerFrame,
                                                              m_spec.firstFrameNumber + frameNumber};
        DrawFrame(m_bgra.data(), m_spec.width, m_spec.height, picture.number);
        Check(av_frame_make_writable(m_picture.get()), "writable picture");
        const uint8_t* source[1] = {m_bgra.data()};
        const int sourceStride[1] = {m_spec.width * 4};
        sws_scale(m_scaler.get(), source, sourceStride, 0, m_spec.height, m_picture->data,
                  m_picture->linesize);
        m_picture->pts = picture.tick;
        Drain(m_video, m_picture.get());
    }

    int64_t EncodeAudio(int64_t written, int64_t left, int64_t delaySamples) {
        AVCodecContext* codec = m_audio.codec.get();
        const bool variable = codec->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
        const int count = static_cast<int>(std::min<int64_t>(left, m_audioFrameSize));
        AVFrame* frame = m_samples.get();
        av_frame_unref(frame);
        frame->format = codec->sample_fmt;
        frame->sample_rate = codec->sample_rate;
        Check(av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout), "layout");
        // Fixed-size encoders get a last frame padded with silence.
        frame->nb_samples = (variable || codec->frame_size == 0) ? count : m_audioFrameSize;
        Check(av_frame_get_buffer(frame, 0), "sample buffer");
        const int channels = codec->ch_layout.nb_channels;
        for (int i = 0; i < frame->nb_samples; ++i) {
            for (int channel = 0; channel < channels; ++channel) {
                const int16_t value = i < count ? ToneSample(written + i, m_spec.sampleRate, channel) : 0;
                StoreSample(frame, codec->sample_fmt, channels, i, channel, value);
            }
        }
        frame->pts = delaySamples + written;
        Drain(m_audio, frame);
        return count;
    }

    static void StoreSample(AVFrame* frame, AVSampleFormat format, int channels, int index, int channel,
                            int16_t value) {
        switch (format) {
        case AV_SAMPLE_FMT_S16:
            reinterpret_cast<int16_t*>(frame->data[0])[index * channels + channel] = value;
            break;
        case AV_SAMPLE_FMT_S16P:
            reinterpret_cast<int16_t*>(frame->extended_data[channel])[index] = value;
            break;
        case AV_SAMPLE_FMT_FLT:
            reinterpret_cast<float*>(frame->data[0])[index * channels + channel] = value / 32768.0f;
            break;
        case AV_SAMPLE_FMT_U8:
            frame->data[0][index * channels + channel] = static_cast<uint8_t>((value >> 8) + 128);
            break;
        default:
            reinterpret_cast<float*>(frame->extended_data[channel])[index] = value / 32768.0f;
            break;
        }
    }

    // Sends one frame (or the end of input for nullptr) and writes every
    // packet the encoder gives back.
    void Drain(TEncodedStream& target, AVFrame* frame) {
        Check(avcodec_send_frame(target.codec.get(), frame), "send frame");
        for (;;) {
            const int result = avcodec_receive_packet(target.codec.get(), m_packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            Check(result, "receive packet");
            if (m_packet->duration == 0 && target.codec->codec_type == AVMEDIA_TYPE_VIDEO)
                m_packet->duration = m_spec.ticksPerFrame;
            av_packet_rescale_ts(m_packet.get(), target.codec->time_base, target.stream->time_base);
            m_packet->stream_index = target.stream->index;
            Check(av_interleaved_write_frame(m_output.get(), m_packet.get()), "write packet");
        }
    }

    const TClipSpec& m_spec;
    std::unique_ptr<AVFormatContext, TOutputDeleter> m_output;
    TEncodedStream m_video;
    TEncodedStream m_audio;
    TFramePtr m_picture;
    TFramePtr m_samples;
    TPacketPtr m_packet;
    std::vector<uint8_t> m_bgra;
    std::unique_ptr<SwsContext, TScalerDeleter> m_scaler;
    int m_audioFrameSize = 1024;
};

} // namespace

void WriteClip(const std::string& path, const TClipSpec& spec) {
    av_log_set_level(AV_LOG_ERROR);
    TClipWriter writer(path, spec);
    writer.Write();
}

void DrawFrame(uint8_t* bgra, int width, int height, int frameNumber) {
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bgra + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            // A smooth moving background gives the encoders real motion to code.
            row[x * 4 + 0] = static_cast<uint8_t>(64 + (x + 3 * frameNumber) % 128);
            row[x * 4 + 1] = static_cast<uint8_t>(64 + (y + 2 * frameNumber) % 128);
            row[x * 4 + 2] = static_cast<uint8_t>(96 + ((x + y) / 4) % 64);
            row[x * 4 + 3] = 255;
        }
    }
    const TCellGeometry cells = Cells(width, height);
    for (int cellRow = 0; cellRow < 2; ++cellRow) {
        for (int bit = 0; bit < NumberBits; ++bit) {
            const uint8_t level = CellBit(frameNumber, cellRow, bit) ? 255 : 0;
            for (int y = 0; y < cells.cellHeight; ++y) {
                uint8_t* row =
                    bgra + static_cast<size_t>(cells.top + cellRow * cells.cellHeight + y) * width * 4;
                for (int x = 0; x < cells.cellWidth; ++x) {
                    uint8_t* pixel = row + static_cast<size_t>(cells.left + bit * cells.cellWidth + x) * 4;
                    pixel[0] = pixel[1] = pixel[2] = level;
                }
            }
        }
    }
}

int ReadFrameNumber(const uint8_t* bgra, int width, int height) {
    const TCellGeometry cells = Cells(width, height);
    int values[2] = {0, 0};
    for (int cellRow = 0; cellRow < 2; ++cellRow) {
        for (int bit = 0; bit < NumberBits; ++bit) {
            // Sample the middle half of the cell, away from coding artefacts at its edges.
            int64_t sum = 0;
            int count = 0;
            for (int y = cells.cellHeight / 4; y < cells.cellHeight * 3 / 4; ++y) {
                const uint8_t* row =
                    bgra + static_cast<size_t>(cells.top + cellRow * cells.cellHeight + y) * width * 4;
                for (int x = cells.cellWidth / 4; x < cells.cellWidth * 3 / 4; ++x) {
                    const uint8_t* pixel =
                        row + static_cast<size_t>(cells.left + bit * cells.cellWidth + x) * 4;
                    sum += pixel[1];
                    ++count;
                }
            }
            const int mean = count > 0 ? static_cast<int>(sum / count) : 0;
            if (mean > 96 && mean < 160)
                return -1; // neither black nor white: not our pattern
            values[cellRow] = (values[cellRow] << 1) | (mean >= 128 ? 1 : 0);
        }
    }
    const int mask = (1 << NumberBits) - 1;
    if ((values[0] ^ values[1]) != mask)
        return -1;
    return values[0];
}

double MeanAbsoluteError(const uint8_t* a, const uint8_t* b, int width, int height) {
    int64_t sum = 0;
    int64_t count = 0;
    for (size_t i = 0; i < static_cast<size_t>(width) * height * 4; i += 4) {
        for (int c = 0; c < 3; ++c)
            sum += std::abs(int{a[i + c]} - int{b[i + c]});
        count += 3;
    }
    return count > 0 ? static_cast<double>(sum) / static_cast<double>(count) : 0.0;
}

int16_t ToneSample(int64_t position, int sampleRate, int channel) {
    // 441 Hz on the first channel, 661.5 Hz on the others: periods of 100 and
    // about 67 samples at 44100 Hz, so a shift by one sample shows.
    const double frequency = channel == 0 ? 441.0 : 661.5;
    const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(position) / sampleRate;
    return static_cast<int16_t>(std::lround(12000.0 * std::sin(phase)));
}

double ToneCorrelation(const int16_t* samples, int frames, int channels, int sampleRate, int64_t position) {
    double product = 0;
    double energyA = 0;
    double energyB = 0;
    for (int i = 0; i < frames; ++i) {
        const double a = samples[static_cast<size_t>(i) * channels];
        const double b = ToneSample(position + i, sampleRate, 0);
        product += a * b;
        energyA += a * a;
        energyB += b * b;
    }
    if (energyA <= 0 || energyB <= 0)
        return 0.0;
    return product / std::sqrt(energyA * energyB);
}

std::vector<char> BareProgramStream(std::vector<char> elementary) {
    // A variable bit rate leaves the demuxer nothing to guess a duration from.
    for (size_t i = 0; i + 11 < elementary.size(); ++i) {
        if (elementary[i] == 0 && elementary[i + 1] == 0 && elementary[i + 2] == 1 &&
            static_cast<uint8_t>(elementary[i + 3]) == 0xB3) {
            elementary[i + 8] = static_cast<char>(0xFF);
            elementary[i + 9] = static_cast<char>(0xFF);
            elementary[i + 10] = static_cast<char>(elementary[i + 10] | 0xC0);
        }
    }
    // MPEG-1 pack header: SCR 0, mux rate 2500 x 50 bytes per second.
    const char pack[] = {0, 0, 1, static_cast<char>(0xBA), 0x21, 0,
                         1, 0, 1, static_cast<char>(0x80), 0x13, static_cast<char>(0x89)};
    std::vector<char> out;
    for (size_t at = 0; at < elementary.size(); at += 2000) {
        const size_t size = std::min<size_t>(2000, elementary.size() - at);
        out.insert(out.end(), pack, pack + sizeof pack);
        const size_t length = size + 1;
        // Stream 0xE0, then 0x0F: no timestamps.
        const char header[] = {0,
                               0,
                               1,
                               static_cast<char>(0xE0),
                               static_cast<char>(length >> 8),
                               static_cast<char>(length & 0xFF),
                               0x0F};
        out.insert(out.end(), header, header + sizeof header);
        out.insert(out.end(), elementary.begin() + static_cast<ptrdiff_t>(at),
                   elementary.begin() + static_cast<ptrdiff_t>(at + size));
    }
    const char end[] = {0, 0, 1, static_cast<char>(0xB9)};
    out.insert(out.end(), end, end + sizeof end);
    return out;
}
