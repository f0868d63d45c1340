#include "media/avi/platform/avi_codecs.h"

#include "media/avi/platform/lav_handles.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t BiRGB = 0;
constexpr size_t HeaderBytes = sizeof(TBitmapInfoHeader);
constexpr size_t ScalerSlack = 256;

TBitmapInfoHeader Bitmap32(int32_t width, int32_t height) {
    TBitmapInfoHeader h{};
    h.biSize = HeaderBytes;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biSizeImage = static_cast<uint32_t>(width) * 4 * static_cast<uint32_t>(height);
    return h;
}

// Common part: the bitmap block handed out and its geometry.
class TDecompressorBase : public TAVIDecompressor {
public:
    TDecompressorBase(TAVIReader& reader, int32_t stream, const TBitmapInfoHeader& format)
        : m_reader(reader), m_stream(stream), m_width(format.biWidth), m_height(std::abs(format.biHeight)) {
        const TBitmapInfoHeader out = Bitmap32(m_width, m_height);
        // swscale may store a few bytes past a row's end; with rows written
        // bottom-up the top row's tail would fall off the block.
        m_block.resize(HeaderBytes + out.biSizeImage + ScalerSlack);
        std::memcpy(m_block.data(), &out, HeaderBytes);
    }

    uint8_t* GetFrame(int32_t sample) override {
        if (!Decode(sample))
            return nullptr;
        Store(Pixels(), true);
        return m_block.data();
    }

    bool CopyFrame(int32_t sample, uint8_t* target) override {
        if (!Decode(sample))
            return false;
        // swscale may store a few bytes past the end of rows of odd sizes; a
        // caller's buffer has no room for that, so such pictures go through
        // our block.
        if (m_width % 16 == 0 && m_height % 2 == 0) {
            Store(target, false);
        } else {
            Store(Pixels(), false);
            std::memcpy(target, Pixels(), static_cast<size_t>(m_width) * 4 * m_height);
        }
        return true;
    }

protected:
    // Makes the sample's picture the current one; false when there is none.
    virtual bool Decode(int32_t sample) = 0;
    // Converts the current picture into 32-bit rows, bottom-up or top-down.
    virtual void Store(uint8_t* pixels, bool isBottomUp) = 0;

    uint8_t* Pixels() { return m_block.data() + HeaderBytes; }
    int32_t EntryCount() const { return static_cast<int32_t>(m_reader.Stream(m_stream).Index.size()); }
    // The entry whose picture the sample shows: empty chunks repeat the last
    // non-empty one.
    int32_t PictureEntry(int32_t sample) const {
        int32_t entry = m_reader.EntryOfSample(m_stream, sample);
        const auto& index = m_reader.Stream(m_stream).Index;
        while (entry >= 0 && index[entry].Size == 0)
            --entry;
        return entry;
    }

    TAVIReader& m_reader;
    int32_t m_stream;
    int32_t m_width;
    int32_t m_height;
    std::vector<uint8_t> m_block;
    std::vector<uint8_t> m_chunk;
};

// BI_RGB pictures: rows padded to 4 bytes, bottom-up unless the height is
// negative, 8-bit with a colour table, 16-bit as 5-5-5.
class TRawDecompressor : public TDecompressorBase {
public:
    TRawDecompressor(TAVIReader& reader, int32_t stream, const TBitmapInfoHeader& format,
                     std::vector<uint32_t> palette)
        : TDecompressorBase(reader, stream, format), m_bits(format.biBitCount),
          m_isTopDown(format.biHeight < 0), m_palette(std::move(palette)) {
        m_rowBytes = (static_cast<size_t>(m_width) * m_bits + 31) / 32 * 4;
        if (m_bits == 24 || m_bits == 32)
            m_scaler.reset(sws_getContext(m_width, m_height,
                                          m_bits == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0, m_width,
                                          m_height, AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr));
    }

    bool Decode(int32_t sample) override {
        const int32_t entry = PictureEntry(sample);
        if (entry < 0)
            return false;
        if (entry != m_lastEntry) {
            m_lastEntry = -1;
            if (!m_reader.ReadEntry(m_stream, entry, m_chunk) || m_chunk.size() < m_rowBytes * m_height)
                return false;
            m_lastEntry = entry;
        }
        return true;
    }

    void Store(uint8_t* pixels, bool isBottomUp) override {
        // Stored rows run bottom-up unless the height was negative.
        const bool isFlipped = isBottomUp == m_isTopDown;
        const int stride = m_width * 4;
        if (m_bits == 24 || m_bits == 32) {
            const uint8_t* source = m_chunk.data() + (isFlipped ? (m_height - 1) * m_rowBytes : 0);
            const uint8_t* planes[4] = {source, nullptr, nullptr, nullptr};
            const int strides[4] = {static_cast<int>(isFlipped ? -static_cast<long>(m_rowBytes) : m_rowBytes),
                                    0, 0, 0};
            uint8_t* out[4] = {pixels, nullptr, nullptr, nullptr};
            const int outStrides[4] = {stride, 0, 0, 0};
            if (m_scaler) {
                sws_scale(m_scaler.get(), planes, strides, 0, m_height, out, outStrides);
                return;
            }
        }
        for (int32_t row = 0; row < m_height; ++row) {
            const int32_t sourceRow = isFlipped ? m_height - 1 - row : row;
            ConvertRow(m_chunk.data() + sourceRow * m_rowBytes, pixels + static_cast<size_t>(row) * stride);
        }
    }

private:
    void ConvertRow(const uint8_t* in, uint8_t* out) const {
        for (int32_t x = 0; x < m_width; ++x, out += 4) {
            switch (m_bits) {
            case 8: {
                const uint32_t c = in[x] < m_palette.size() ? m_palette[in[x]] : 0;
                out[0] = c & 0xFF, out[1] = (c >> 8) & 0xFF, out[2] = (c >> 16) & 0xFF;
                break;
            }
            case 16: {
                const uint16_t v = static_cast<uint16_t>(in[2 * x] | in[2 * x + 1] << 8);
                const auto expand = [](unsigned five) { return static_cast<uint8_t>(five << 3 | five >> 2); };
                out[0] = expand(v & 31), out[1] = expand((v >> 5) & 31), out[2] = expand((v >> 10) & 31);
                break;
            }
            case 24:
                out[0] = in[3 * x], out[1] = in[3 * x + 1], out[2] = in[3 * x + 2];
                break;
            default:
                out[0] = in[4 * x], out[1] = in[4 * x + 1], out[2] = in[4 * x + 2];
                break;
            }
            out[3] = 0xFF;
        }
    }

    uint16_t m_bits;
    bool m_isTopDown;
    std::vector<uint32_t> m_palette;
    size_t m_rowBytes = 0;
    int32_t m_lastEntry = -1;
    TLavScalerPtr m_scaler;
};

// Compressed pictures through libavcodec. Each packet carries its entry
// number as pts. Codecs that never reorder deliver the picture of entry e as
// sample e. For codecs that may reorder, samples count pictures in display
// order: decoding from key entry k, the key picture comes after the pictures
// of the chunks before k and the B pictures that follow it in the file but
// show before it; later pictures count on from there. Either way the sample
// of an empty chunk shows the picture before it.
class TLavDecompressor : public TDecompressorBase {
public:
    TLavDecompressor(TAVIReader& reader, int32_t stream, const TBitmapInfoHeader& format, TLavCodecPtr codec)
        : TDecompressorBase(reader, stream, format), m_codec(std::move(codec)), m_frame(LavNewFrame()),
          m_packet(LavNewPacket()) {
        const AVCodecDescriptor* descriptor = avcodec_descriptor_get(m_codec->codec_id);
        m_isIntraOnly = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
        m_reorders = descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_REORDER);
        // An IDR picture closes its group, so nothing after it shows before it.
        m_leadingPicturesAfterKey =
            m_codec->codec_id != AV_CODEC_ID_H264 && m_codec->codec_id != AV_CODEC_ID_HEVC;
        m_pictureTypes.assign(EntryCount(), -1);
    }

    bool Decode(int32_t sample) override {
        const int32_t relative = sample - m_reader.Start(m_stream);
        if (relative < 0 || m_reader.EntryOfSample(m_stream, sample) < 0)
            return false;
        return m_reorders ? GetInDisplayOrder(relative) : GetInFileOrder(relative);
    }

    void Store(uint8_t* pixels, bool isBottomUp) override { Convert(pixels, isBottomUp); }

private:
    bool GetInFileOrder(int32_t relative) {
        const int32_t target = PictureEntry(relative + m_reader.Start(m_stream));
        if (target < 0)
            return false;
        if (target == m_lastEntry)
            return true;
        const int32_t key =
            m_isIntraOnly ? target : std::max(m_reader.KeyEntryAtOrBefore(m_stream, target), 0);
        const bool canContinue = m_isDecoding && m_lastEntry < target && m_nextFeed <= target &&
                                 key <= std::max(m_lastEntry, m_syncEntry);
        if (!canContinue)
            Restart(key);
        while (true) {
            const int64_t pts = NextPicture();
            if (pts == NoPicture)
                return false;
            if (pts >= target) {
                m_lastEntry = target;
                return true;
            }
        }
    }

    bool GetInDisplayOrder(int32_t display) {
        // Every chunk holding data gives one picture; the slot of an empty
        // chunk (a dropped frame) shows the picture before it.
        const int32_t shownPictures = PicturesBefore(display + 1);
        if (shownPictures == 0)
            return false;
        const int32_t target = shownPictures - 1;
        if (target == m_lastOrdinal)
            return true;
        if (!(m_isDecoding && m_isSynced && target > m_lastOrdinal &&
              !KeyBetterThanGoingOn(display, target))) {
            int32_t key = std::max(m_reader.KeyEntryAtOrBefore(m_stream, display), 0);
            while (key > 0 && OrdinalOfKey(key) > target)
                key = std::max(m_reader.KeyEntryAtOrBefore(m_stream, key - 1), 0);
            Restart(key);
            m_isSynced = false;
            m_nextOrdinal = OrdinalOfKey(key);
        }
        while (true) {
            const int64_t pts = NextPicture();
            if (pts == NoPicture)
                return false;
            if (!m_isSynced) {
                if (pts != m_syncEntry)
                    continue;
                m_isSynced = true;
            }
            const int32_t shown = m_nextOrdinal++;
            if (shown >= target) {
                m_lastOrdinal = shown;
                return true;
            }
        }
    }

    bool KeyBetterThanGoingOn(int32_t display, int32_t target) {
        const int32_t key = m_reader.KeyEntryAtOrBefore(m_stream, display);
        return key > m_nextFeed && OrdinalOfKey(key) <= target;
    }

    // Pictures of the chunks before entry (those holding data).
    int32_t PicturesBefore(int32_t entry) {
        const auto& index = m_reader.Stream(m_stream).Index;
        if (m_picturesBefore.size() != index.size() + 1) {
            m_picturesBefore.assign(index.size() + 1, 0);
            for (size_t i = 0; i < index.size(); ++i)
                m_picturesBefore[i + 1] = m_picturesBefore[i] + (index[i].Size > 0 ? 1 : 0);
        }
        return m_picturesBefore[static_cast<size_t>(std::clamp<int32_t>(entry, 0, EntryCount()))];
    }

    // The place in display order of the key picture: after every picture of
    // the chunks before it and the B pictures that follow it in the file but
    // show before it.
    int32_t OrdinalOfKey(int32_t key) {
        int32_t leading = 0;
        if (m_leadingPicturesAfterKey) {
            PictureType(key);
            const auto& index = m_reader.Stream(m_stream).Index;
            for (int32_t entry = key + 1; entry < EntryCount() && entry <= key + 32 && leading < 16;
                 ++entry) {
                if (index[entry].Size == 0)
                    continue;
                if (PictureType(entry) != AV_PICTURE_TYPE_B)
                    break;
                ++leading;
            }
        }
        return PicturesBefore(key) + leading;
    }

    int PictureType(int32_t entry) {
        if (m_pictureTypes[entry] >= 0)
            return m_pictureTypes[entry];
        if (!m_parser)
            m_parser.reset(av_parser_init(m_codec->codec_id));
        int type = AV_PICTURE_TYPE_NONE;
        if (m_parser && m_reader.ReadEntry(m_stream, entry, m_chunk) && !m_chunk.empty()) {
            m_parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
            uint8_t* out = nullptr;
            int outBytes = 0;
            // The parser learns the stream's headers from the key picture, so
            // it reads the key entry first when it has not seen it.
            av_parser_parse2(m_parser.get(), m_codec.get(), &out, &outBytes, m_chunk.data(),
                             static_cast<int>(m_chunk.size()), AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            type = m_parser->pict_type;
        }
        m_pictureTypes[entry] = static_cast<int8_t>(type);
        return type;
    }

    void Restart(int32_t key) {
        avcodec_flush_buffers(m_codec.get());
        m_nextFeed = key;
        m_syncEntry = key;
        m_isDecoding = true;
        m_isDraining = false;
        m_lastEntry = -1;
        m_lastOrdinal = -1;
        // Warm the parser on the key picture so picture types after it read.
        if (m_reorders && m_leadingPicturesAfterKey)
            PictureType(key);
    }

    static constexpr int64_t NoPicture = INT64_MIN;

    // Decodes on to the next picture; its entry number, or NoPicture at the end.
    int64_t NextPicture() {
        while (true) {
            const int received = avcodec_receive_frame(m_codec.get(), m_frame.get());
            if (received == 0)
                return m_frame->pts != AV_NOPTS_VALUE ? m_frame->pts : m_frame->best_effort_timestamp;
            if (received != AVERROR(EAGAIN) || m_isDraining) {
                m_isDecoding = false;
                return NoPicture;
            }
            Feed();
        }
    }

    void Feed() {
        const auto& index = m_reader.Stream(m_stream).Index;
        while (m_nextFeed < static_cast<int32_t>(index.size())) {
            const int32_t entry = m_nextFeed++;
            if (index[entry].Size == 0 || index[entry].Size > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
                continue;
            av_packet_unref(m_packet.get());
            if (av_new_packet(m_packet.get(), static_cast<int>(index[entry].Size)) < 0 ||
                !m_reader.ReadEntryInto(m_stream, entry, m_packet->data))
                continue;
            m_packet->pts = entry;
            m_packet->dts = entry;
            if (index[entry].IsKey)
                m_packet->flags |= AV_PKT_FLAG_KEY;
            // A damaged picture is skipped like the platform's codecs skip it.
            if (avcodec_send_packet(m_codec.get(), m_packet.get()) == 0)
                return;
        }
        avcodec_send_packet(m_codec.get(), nullptr);
        m_isDraining = true;
    }

    void Convert(uint8_t* pixels, bool isBottomUp) {
        AVPixelFormat format = static_cast<AVPixelFormat>(m_frame->format);
        const bool isFullRange = LavUnJpeg(format) || m_frame->color_range == AVCOL_RANGE_JPEG;
        // Setting the colour details rebuilds the scaler's tables: only when
        // the picture format changes.
        if (!m_scaler || format != m_scalerFormat || isFullRange != m_isScalerFullRange ||
            m_frame->width != m_scalerWidth || m_frame->height != m_scalerHeight) {
            m_scaler.reset(sws_getContext(m_frame->width, m_frame->height, format, m_width, m_height,
                                          AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr));
            if (!m_scaler)
                return;
            const int* coefficients = sws_getCoefficients(SWS_CS_DEFAULT);
            sws_setColorspaceDetails(m_scaler.get(), coefficients, isFullRange ? 1 : 0, coefficients, 1, 0,
                                     1 << 16, 1 << 16);
            m_scalerFormat = format;
            m_isScalerFullRange = isFullRange;
            m_scalerWidth = m_frame->width;
            m_scalerHeight = m_frame->height;
        }
        // Bottom-up: start at the last row and step backwards.
        const int stride = m_width * 4;
        uint8_t* planes[4] = {pixels + (isBottomUp ? static_cast<size_t>(m_height - 1) * stride : 0), nullptr,
                              nullptr, nullptr};
        int strides[4] = {isBottomUp ? -stride : stride, 0, 0, 0};
        sws_scale(m_scaler.get(), m_frame->data, m_frame->linesize, 0, m_frame->height, planes, strides);
    }

    TLavCodecPtr m_codec;
    TLavFramePtr m_frame;
    TLavPacketPtr m_packet;
    TLavScalerPtr m_scaler;
    AVPixelFormat m_scalerFormat = AV_PIX_FMT_NONE;
    bool m_isScalerFullRange = false;
    int m_scalerWidth = 0;
    int m_scalerHeight = 0;
    TLavParserPtr m_parser;
    std::vector<int8_t> m_pictureTypes;
    bool m_isIntraOnly = false;
    bool m_reorders = false;
    bool m_leadingPicturesAfterKey = true;
    bool m_isDecoding = false;
    bool m_isDraining = false;
    bool m_isSynced = false;
    int32_t m_nextFeed = 0;
    int32_t m_syncEntry = 0;
    int32_t m_lastEntry = -1;
    int32_t m_lastOrdinal = -1; // in display order, counting pictures
    int32_t m_nextOrdinal = 0;
    std::vector<int32_t> m_picturesBefore; // by entry, PicturesBefore
};

TLavCodecPtr OpenVideoDecoder(const TAVIReadStream& stream, const TBitmapInfoHeader& format) {
    const AVCodecTag* tags[] = {avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = av_codec_get_id(tags, format.biCompression);
    if (id == AV_CODEC_ID_NONE)
        id = av_codec_get_id(tags, stream.Header.fccHandler);
    const AVCodec* decoder = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (decoder == nullptr)
        return nullptr;
    TLavCodecPtr context(avcodec_alloc_context3(decoder));
    if (!context)
        return nullptr;
    context->codec_tag = format.biCompression;
    context->width = format.biWidth;
    context->height = std::abs(format.biHeight);
    context->bits_per_coded_sample = format.biBitCount;
    context->thread_count = 0;
    context->thread_type = FF_THREAD_SLICE;
    if (stream.Format.size() > HeaderBytes) {
        const size_t extra = stream.Format.size() - HeaderBytes;
        context->extradata = static_cast<uint8_t*>(av_mallocz(extra + AV_INPUT_BUFFER_PADDING_SIZE));
        if (context->extradata == nullptr)
            return nullptr;
        std::memcpy(context->extradata, stream.Format.data() + HeaderBytes, extra);
        context->extradata_size = static_cast<int>(extra);
    }
    if (avcodec_open2(context.get(), decoder, nullptr) < 0)
        return nullptr;
    return context;
}

} // namespace

std::unique_ptr<TAVIDecompressor> TAVIDecompressor::Open(TAVIReader& reader, int32_t stream,
                                                         const TBitmapInfoHeader* requested) {
    const TAVIReadStream& s = reader.Stream(stream);
    if (s.Format.size() < HeaderBytes)
        return nullptr;
    TBitmapInfoHeader format;
    std::memcpy(&format, s.Format.data(), HeaderBytes);
    const int64_t pixels = int64_t{format.biWidth} * std::abs(int64_t{format.biHeight});
    if (format.biWidth <= 0 || format.biHeight == 0 || format.biHeight == INT32_MIN || pixels > (1 << 26))
        return nullptr;
    // We hand out 32-bit pictures only; any other explicit request is refused
    // so the caller falls back to the default.
    if (requested != nullptr && (requested->biBitCount != 32 || requested->biCompression != BiRGB))
        return nullptr;
    if (format.biCompression == BiRGB) {
        const uint16_t bits = format.biBitCount;
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32)
            return nullptr;
        std::vector<uint32_t> palette;
        if (bits == 8) {
            const size_t entries = std::min<size_t>((s.Format.size() - HeaderBytes) / 4, 256);
            palette.resize(entries);
            std::memcpy(palette.data(), s.Format.data() + HeaderBytes, entries * 4);
        }
        return std::make_unique<TRawDecompressor>(reader, stream, format, std::move(palette));
    }
    TLavCodecPtr codec = OpenVideoDecoder(s, format);
    if (!codec)
        return nullptr;
    return std::make_unique<TLavDecompressor>(reader, stream, format, std::move(codec));
}
