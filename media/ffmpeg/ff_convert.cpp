#include "media/ffmpeg/ff_convert.h"

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <cstdio>

namespace {

// The "J" formats only say that the samples use the full range; swscale
// warns about them on every picture, so convert them as their plain twin and
// tell the scaler about the range instead.
AVPixelFormat PlainFormat(AVPixelFormat format, bool& fullRange) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        fullRange = true;
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        fullRange = true;
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        fullRange = true;
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        fullRange = true;
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        fullRange = true;
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

int ScalerColorSpace(AVColorSpace space) {
    switch (space) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    default:
        return SWS_CS_DEFAULT;
    }
}

} // namespace

bool TFFPictureConverter::Convert(const AVFrame* picture, uint8_t* target, int width, int height) {
    bool fullRange = picture->color_range == AVCOL_RANGE_JPEG;
    const AVPixelFormat format = PlainFormat(static_cast<AVPixelFormat>(picture->format), fullRange);
    const int colorSpace = ScalerColorSpace(picture->colorspace);
    if (!m_scaler || picture->width != m_sourceWidth || picture->height != m_sourceHeight ||
        format != m_sourceFormat || int{fullRange} != m_fullRange || colorSpace != m_colorSpace ||
        width != m_targetWidth || height != m_targetHeight) {
        Reset();
        m_scaler.reset(sws_getContext(picture->width, picture->height, format, width, height, AV_PIX_FMT_BGRA,
                                      m_scalerFlags, nullptr, nullptr, nullptr));
        if (!m_scaler)
            return false;
        int* inverseTable = nullptr;
        int* table = nullptr;
        int sourceRange = 0;
        int targetRange = 0;
        int brightness = 0;
        int contrast = 0;
        int saturation = 0;
        if (sws_getColorspaceDetails(m_scaler.get(), &inverseTable, &sourceRange, &table, &targetRange,
                                     &brightness, &contrast, &saturation) >= 0)
            sws_setColorspaceDetails(m_scaler.get(), sws_getCoefficients(colorSpace), fullRange, table,
                                     targetRange, brightness, contrast, saturation);
        m_sourceWidth = picture->width;
        m_sourceHeight = picture->height;
        m_sourceFormat = format;
        m_fullRange = fullRange;
        m_colorSpace = colorSpace;
        m_targetWidth = width;
        m_targetHeight = height;
    }
    uint8_t* const planes[4] = {target, nullptr, nullptr, nullptr};
    const int strides[4] = {width * 4, 0, 0, 0};
    return sws_scale(m_scaler.get(), picture->data, picture->linesize, 0, picture->height, planes, strides) >
           0;
}

void TFFPictureConverter::Reset() {
    m_scaler.reset();
    m_sourceFormat = -1;
}

void TFFSampleConverter::SetOutput(int channels, int sampleRate) {
    Reset();
    m_outputChannels = channels;
    m_outputRate = sampleRate;
}

int TFFSampleConverter::Configure(const AVFrame* frame) {
    if (m_resampler && frame->format == m_inputFormat && frame->sample_rate == m_inputRate &&
        av_channel_layout_compare(&frame->ch_layout, &m_inputLayout) == 0)
        return 0;
    Reset();
    AVChannelLayout outputLayout{};
    av_channel_layout_default(&outputLayout, m_outputChannels);
    AVChannelLayout inputLayout{};
    int result = av_channel_layout_copy(&inputLayout, &frame->ch_layout);
    if (result < 0)
        return result;
    if (inputLayout.order == AV_CHANNEL_ORDER_UNSPEC) {
        // Some demuxers give only a count; remix as the usual layout of that count.
        const int count = inputLayout.nb_channels;
        av_channel_layout_uninit(&inputLayout);
        av_channel_layout_default(&inputLayout, count);
    }
    SwrContext* resampler = nullptr;
    result = swr_alloc_set_opts2(&resampler, &outputLayout, AV_SAMPLE_FMT_S16, m_outputRate, &inputLayout,
                                 static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&inputLayout);
    av_channel_layout_uninit(&outputLayout);
    if (result < 0)
        return result;
    m_resampler.reset(resampler);
    result = swr_init(resampler);
    if (result < 0) {
        m_resampler.reset();
        return result;
    }
    m_inputFormat = frame->format;
    m_inputRate = frame->sample_rate;
    return av_channel_layout_copy(&m_inputLayout, &frame->ch_layout);
}

int TFFSampleConverter::MaxOutputFrames(const AVFrame* frame) {
    if (Configure(frame) < 0)
        return 0;
    const int bound = swr_get_out_samples(m_resampler.get(), frame->nb_samples);
    return bound > 0 ? bound : 0;
}

int TFFSampleConverter::Convert(const AVFrame* frame, uint8_t* target, int capacityFrames) {
    const int result = Configure(frame);
    if (result < 0)
        return result;
    uint8_t* planes[1] = {target};
    return swr_convert(m_resampler.get(), planes, capacityFrames,
                       const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
}

void TFFSampleConverter::Reset() {
    m_resampler.reset();
    m_inputFormat = -1;
    m_inputRate = 0;
    av_channel_layout_uninit(&m_inputLayout);
}

bool TFFDeinterlacer::Accepts(const AVFrame* picture) const {
    return m_graph && picture->width == m_width && picture->height == m_height && picture->format == m_format;
}

bool TFFDeinterlacer::Configure(const AVFrame* picture, AVRational timeBase) {
    Reset();
    TFFFilterGraphPtr graph(avfilter_graph_alloc());
    if (!graph)
        return false;
    // The caller's thread does the filtering; the decoder has threads of its own.
    graph->nb_threads = 1;
    const AVRational aspect =
        picture->sample_aspect_ratio.num > 0 ? picture->sample_aspect_ratio : AVRational{1, 1};
    char arguments[256];
    std::snprintf(arguments, sizeof arguments,
                  "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", picture->width,
                  picture->height, picture->format, timeBase.num, timeBase.den, aspect.num, aspect.den);
    AVFilterContext* source = nullptr;
    AVFilterContext* yadif = nullptr;
    AVFilterContext* sink = nullptr;
    if (avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", arguments, nullptr,
                                     graph.get()) < 0 ||
        avfilter_graph_create_filter(&yadif, avfilter_get_by_name("yadif"), "deinterlace",
                                     "mode=send_frame:parity=auto:deint=all", nullptr, graph.get()) < 0 ||
        avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                     graph.get()) < 0)
        return false;
    if (avfilter_link(source, 0, yadif, 0) < 0 || avfilter_link(yadif, 0, sink, 0) < 0 ||
        avfilter_graph_config(graph.get(), nullptr) < 0)
        return false;
    m_graph = std::move(graph);
    m_source = source;
    m_sink = sink;
    m_width = picture->width;
    m_height = picture->height;
    m_format = picture->format;
    m_timeBase = timeBase;
    return true;
}

int TFFDeinterlacer::Push(AVFrame* picture) {
    return av_buffersrc_add_frame_flags(m_source, picture, AV_BUFFERSRC_FLAG_KEEP_REF);
}

int TFFDeinterlacer::Pull(AVFrame* picture) {
    const int result = av_buffersink_get_frame(m_sink, picture);
    // yadif halves the time base (it can make a picture per field); give the
    // caller timestamps in the time base it pushed.
    if (result >= 0 && picture->pts != AV_NOPTS_VALUE)
        picture->pts = av_rescale_q(picture->pts, av_buffersink_get_time_base(m_sink), m_timeBase);
    return result;
}

void TFFDeinterlacer::Reset() {
    m_graph.reset();
    m_source = nullptr;
    m_sink = nullptr;
    m_format = -1;
}
