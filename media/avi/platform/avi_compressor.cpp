#include "media/avi/platform/avi_codecs.h"
#include "media/avi/platform/avi_rgb_to_yuv.h"
#include "media/avi/platform/lav_handles.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <mutex>

#include "media/avi/platform/avi_library.h"

TLavFramePtr LavNewFrame() {
    TLavFramePtr frame(av_frame_alloc());
    if (!frame)
        throw TAVIFormatError("out of memory");
    return frame;
}

TLavPacketPtr LavNewPacket() {
    TLavPacketPtr packet(av_packet_alloc());
    if (!packet)
        throw TAVIFormatError("out of memory");
    return packet;
}

bool LavUnJpeg(AVPixelFormat& format) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        format = AV_PIX_FMT_YUV420P;
        return true;
    case AV_PIX_FMT_YUVJ422P:
        format = AV_PIX_FMT_YUV422P;
        return true;
    case AV_PIX_FMT_YUVJ444P:
        format = AV_PIX_FMT_YUV444P;
        return true;
    case AV_PIX_FMT_YUVJ440P:
        format = AV_PIX_FMT_YUV440P;
        return true;
    default:
        return false;
    }
}

namespace {

struct TCompressorKind {
    const char* Name;
    const char* Tag;
    const char* Encoder;
    AVPixelFormat PixelFormat;
};

// The compressors offered, by the tag written into the file.
const TCompressorKind CompressorKinds[] = {
    {"Motion JPEG", "MJPG", "mjpeg", AV_PIX_FMT_YUVJ420P},
    {"MPEG-4 part 2 (DIVX)", "DIVX", "mpeg4", AV_PIX_FMT_YUV420P},
    {"MPEG-4 part 2 (XVID)", "XVID", "mpeg4", AV_PIX_FMT_YUV420P},
    {"MPEG-4 part 2 (FMP4)", "FMP4", "mpeg4", AV_PIX_FMT_YUV420P},
    {"MS MPEG-4 v2", "MP42", "msmpeg4v2", AV_PIX_FMT_YUV420P},
    {"MS MPEG-4 v3", "DIV3", "msmpeg4", AV_PIX_FMT_YUV420P},
    {"FFV1 (lossless)", "FFV1", "ffv1", AV_PIX_FMT_YUV444P},
    {"H.264", "H264", "libx264", AV_PIX_FMT_YUV420P},
};

uint32_t UpperTag(uint32_t tag) {
    uint32_t upper = 0;
    for (int i = 0; i < 4; ++i)
        upper |= static_cast<uint32_t>(std::toupper(static_cast<int>((tag >> (8 * i)) & 0xFF))) << (8 * i);
    return upper;
}

const TCompressorKind* FindKind(uint32_t handler) {
    for (const TCompressorKind& kind : CompressorKinds)
        if (FourCCFromText(kind.Tag) == UpperTag(handler))
            return &kind;
    return nullptr;
}

class TLavCompressor : public TAVICompressor {
public:
    TLavCompressor(const TCompressorKind& kind, const TAVICompressorOptions& options, int32_t width,
                   int32_t height, uint32_t rate, uint32_t scale)
        : m_width(width), m_height(height), m_frame(LavNewFrame()), m_packet(LavNewPacket()) {
        const AVCodec* encoder = avcodec_find_encoder_by_name(kind.Encoder);
        if (encoder == nullptr)
            throw TAVIFormatError(std::string("no encoder ") + kind.Encoder);
        m_codec.reset(avcodec_alloc_context3(encoder));
        if (!m_codec)
            throw TAVIFormatError("out of memory");
        m_tag = FourCCFromText(kind.Tag);
        m_codec->codec_tag = m_tag;
        m_codec->width = width;
        m_codec->height = height;
        m_codec->pix_fmt = kind.PixelFormat;
        m_codec->time_base = AVRational{static_cast<int>(scale), static_cast<int>(rate)};
        m_codec->framerate = AVRational{static_cast<int>(rate), static_cast<int>(scale)};
        m_codec->max_b_frames = 0;
        m_codec->gop_size = options.KeyFrameEvery > 0 ? options.KeyFrameEvery : 250;
        m_codec->thread_count = 0;
        const int quality = std::clamp(options.Quality, 0, 10000);
        if (options.BytesPerSecond > 0) {
            m_codec->bit_rate = int64_t{options.BytesPerSecond} * 8;
        } else if (std::strcmp(kind.Encoder, "libx264") == 0) {
            av_opt_set_double(m_codec->priv_data, "crf", 40.0 - quality * 0.003, 0);
        } else if (std::strcmp(kind.Encoder, "ffv1") != 0) {
            // Quality 10000 is the finest quantiser 1, quality 0 the coarsest 31.
            m_codec->flags |= AV_CODEC_FLAG_QSCALE;
            m_codec->global_quality = FF_QP2LAMBDA * (31 - quality * 30 / 10000);
        }
        if (std::strcmp(kind.Encoder, "libx264") == 0) {
            // One picture in, one out: the AVI sample of a frame is its own.
            av_opt_set(m_codec->priv_data, "tune", "zerolatency", 0);
            av_opt_set(m_codec->priv_data, "preset", "veryfast", 0);
        }
        if (avcodec_open2(m_codec.get(), encoder, nullptr) < 0)
            throw TAVIFormatError(std::string("cannot open encoder ") + kind.Encoder);
        m_frame->format = m_codec->pix_fmt;
        m_frame->width = width;
        m_frame->height = height;
        if (av_frame_get_buffer(m_frame.get(), 0) < 0)
            throw TAVIFormatError("out of memory");
        AVPixelFormat plain = kind.PixelFormat;
        const bool isFullRange = LavUnJpeg(plain);
        m_isFullRange = isFullRange;
        m_isDirect420 = plain == AV_PIX_FMT_YUV420P && width % 2 == 0 && height % 2 == 0;
        if (!m_isDirect420)
            m_copy.resize(static_cast<size_t>(width) * 4 * height + 256);
        m_scaler.reset(sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, plain, SWS_BICUBIC,
                                      nullptr, nullptr, nullptr));
        if (!m_scaler)
            throw TAVIFormatError("no converter");
        const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
        sws_setColorspaceDetails(m_scaler.get(), coefficients, 1, coefficients, isFullRange ? 1 : 0, 0,
                                 1 << 16, 1 << 16);
    }

    std::vector<uint8_t> Format() const override {
        TBitmapInfoHeader h{};
        h.biSize = sizeof h;
        h.biWidth = m_width;
        h.biHeight = m_height;
        h.biPlanes = 1;
        h.biBitCount = 24;
        h.biCompression = m_tag;
        h.biSizeImage = static_cast<uint32_t>(m_width) * m_height * 3;
        std::vector<uint8_t> format(sizeof h + std::max(m_codec->extradata_size, 0));
        std::memcpy(format.data(), &h, sizeof h);
        if (m_codec->extradata_size > 0)
            std::memcpy(format.data() + sizeof h, m_codec->extradata, m_codec->extradata_size);
        return format;
    }

    void Compress(const uint8_t* topRow, ptrdiff_t rowBytes, bool forceKey,
                  std::vector<TAVIPacket>& out) override {
        if (av_frame_make_writable(m_frame.get()) < 0)
            throw TAVIFormatError("out of memory");
        if (m_isDirect420) {
            const TYuv420Planes planes{{m_frame->data[0], m_frame->data[1], m_frame->data[2]},
                                       {m_frame->linesize[0], m_frame->linesize[1], m_frame->linesize[2]}};
            BgrToYuv420(topRow, rowBytes, m_width, m_height, m_isFullRange, planes);
        } else {
            // swscale may read a little past the last row: it reads our copy.
            const size_t row = static_cast<size_t>(m_width) * 4;
            for (int32_t y = 0; y < m_height; ++y)
                std::memcpy(m_copy.data() + y * row, topRow + y * rowBytes, row);
            const uint8_t* planes[4] = {m_copy.data(), nullptr, nullptr, nullptr};
            const int strides[4] = {static_cast<int>(row), 0, 0, 0};
            sws_scale(m_scaler.get(), planes, strides, 0, m_height, m_frame->data, m_frame->linesize);
        }
        m_frame->pts = m_nextPts++;
        m_frame->pict_type = forceKey ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
        if (avcodec_send_frame(m_codec.get(), m_frame.get()) < 0)
            throw TAVIFormatError("cannot compress");
        Receive(out);
    }

    void Flush(std::vector<TAVIPacket>& out) override {
        if (avcodec_send_frame(m_codec.get(), nullptr) == 0)
            Receive(out);
    }

private:
    void Receive(std::vector<TAVIPacket>& out) {
        while (avcodec_receive_packet(m_codec.get(), m_packet.get()) == 0) {
            TAVIPacket packet;
            packet.Data.assign(m_packet->data, m_packet->data + m_packet->size);
            packet.IsKey = (m_packet->flags & AV_PKT_FLAG_KEY) != 0;
            out.push_back(std::move(packet));
            av_packet_unref(m_packet.get());
        }
    }

    int32_t m_width;
    int32_t m_height;
    uint32_t m_tag = 0;
    int64_t m_nextPts = 0;
    bool m_isFullRange = false;
    bool m_isDirect420 = false;
    std::vector<uint8_t> m_copy; // rows for swscale, with room behind them
    TLavCodecPtr m_codec;
    TLavFramePtr m_frame;
    TLavPacketPtr m_packet;
    TLavScalerPtr m_scaler;
};

} // namespace

std::vector<TAVICompressorInfo> AVICompressorList() {
    std::vector<TAVICompressorInfo> list{{"Full Frames (Uncompressed)", 0}};
    for (const TCompressorKind& kind : CompressorKinds)
        if (avcodec_find_encoder_by_name(kind.Encoder) != nullptr)
            list.push_back({kind.Name, FourCCFromText(kind.Tag)});
    return list;
}

std::unique_ptr<TAVICompressor> TAVICompressor::Open(const TAVICompressorOptions& options, int32_t width,
                                                     int32_t height, uint32_t rate, uint32_t scale) {
    const TCompressorKind* kind = FindKind(options.Handler);
    if (kind == nullptr)
        throw TAVIFormatError("unknown compressor " + FourCCText(options.Handler));
    if (width <= 0 || height <= 0 || rate == 0 || scale == 0 || rate > INT32_MAX || scale > INT32_MAX)
        throw TAVIFormatError("unusable video format");
    return std::make_unique<TLavCompressor>(*kind, options, width, height, rate, scale);
}

void AVILibraryInit() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_ERROR); });
}
