#include "playback/platform/audio_converter.h"

#include "base/exception.h"

#include <cmath>
#include <cstdio>
#include <string>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

void Require(bool condition) {
    if (!condition)
        throw TException("Could not convert audio!");
}

struct TSwrFree {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct TGraphFree {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};
struct TFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

std::string LayoutName(int channels) {
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    char name[128] = {};
    av_channel_layout_describe(&layout, name, sizeof name);
    av_channel_layout_uninit(&layout);
    return name;
}

} // namespace

std::vector<double> TempoChain(double tempo) {
    std::vector<double> chain;
    if (!(tempo > 0))
        return chain;
    while (tempo > 2.0) {
        chain.push_back(2.0);
        tempo /= 2.0;
    }
    while (tempo < 0.5) {
        chain.push_back(0.5);
        tempo /= 0.5;
    }
    if (std::fabs(tempo - 1.0) > 1e-9)
        chain.push_back(tempo);
    return chain;
}

struct TAudioConverter::TImpl {
    TAudioConversion Conversion;
    std::unique_ptr<SwrContext, TSwrFree> Resampler;  // null: channels and rate already match
    std::unique_ptr<AVFilterGraph, TGraphFree> Graph; // null: no tempo change
    AVFilterContext* Source = nullptr;
    AVFilterContext* Sink = nullptr;
    std::unique_ptr<AVFrame, TFrameFree> Frame{av_frame_alloc()};
    std::vector<uint8_t> Stretched;

    void BuildResampler() {
        const TAudioConversion& c = Conversion;
        if (c.InChannels == c.OutChannels && c.InRate == c.OutRate)
            return;
        AVChannelLayout in{};
        AVChannelLayout out{};
        av_channel_layout_default(&in, c.InChannels);
        av_channel_layout_default(&out, c.OutChannels);
        SwrContext* context = nullptr;
        const int result = swr_alloc_set_opts2(&context, &out, AV_SAMPLE_FMT_S16, c.OutRate, &in,
                                               AV_SAMPLE_FMT_S16, c.InRate, 0, nullptr);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        Resampler.reset(context);
        Require(result >= 0 && swr_init(context) >= 0);
    }

    void BuildTempoGraph() {
        const TAudioConversion& c = Conversion;
        if (std::fabs(c.Tempo - 1.0) < 1e-9)
            return;
        Graph.reset(avfilter_graph_alloc());
        Require(Graph != nullptr);
        char arguments[256];
        std::snprintf(arguments, sizeof arguments, "sample_rate=%d:sample_fmt=s16:channel_layout=%s",
                      c.InRate, LayoutName(c.InChannels).c_str());
        Require(avfilter_graph_create_filter(&Source, avfilter_get_by_name("abuffer"), "in", arguments,
                                             nullptr, Graph.get()) >= 0);
        Require(avfilter_graph_create_filter(&Sink, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                             nullptr, Graph.get()) >= 0);
        AVFilterContext* previous = Source;
        int index = 0;
        for (const double factor : TempoChain(c.Tempo)) {
            AVFilterContext* tempo = nullptr;
            const std::string name = "tempo" + std::to_string(index++);
            Require(avfilter_graph_create_filter(&tempo, avfilter_get_by_name("atempo"), name.c_str(),
                                                 std::to_string(factor).c_str(), nullptr, Graph.get()) >= 0);
            Require(avfilter_link(previous, 0, tempo, 0) >= 0);
            previous = tempo;
        }
        AVFilterContext* format = nullptr;
        Require(avfilter_graph_create_filter(&format, avfilter_get_by_name("aformat"), "format",
                                             "sample_fmts=s16", nullptr, Graph.get()) >= 0);
        Require(avfilter_link(previous, 0, format, 0) >= 0);
        Require(avfilter_link(format, 0, Sink, 0) >= 0);
        Require(avfilter_graph_config(Graph.get(), nullptr) >= 0);
    }

    // Runs the tempo filter; returns the stretched block (or the input).
    bool Stretch(const uint8_t*& data, int& frames) {
        if (!Graph)
            return true;
        const int blockAlign = Conversion.InChannels * 2;
        AVFrame* frame = Frame.get();
        av_frame_unref(frame);
        frame->format = AV_SAMPLE_FMT_S16;
        frame->sample_rate = Conversion.InRate;
        av_channel_layout_default(&frame->ch_layout, Conversion.InChannels);
        frame->nb_samples = frames;
        if (frames > 0) {
            if (av_frame_get_buffer(frame, 0) < 0)
                return false;
            std::copy(data, data + static_cast<ptrdiff_t>(frames) * blockAlign, frame->data[0]);
            if (av_buffersrc_add_frame(Source, frame) < 0)
                return false;
        }
        Stretched.clear();
        for (;;) {
            av_frame_unref(frame);
            const int result = av_buffersink_get_frame(Sink, frame);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                break;
            if (result < 0)
                return false;
            const size_t bytes = static_cast<size_t>(frame->nb_samples) * blockAlign;
            Stretched.insert(Stretched.end(), frame->data[0], frame->data[0] + bytes);
        }
        av_frame_unref(frame);
        data = Stretched.data();
        frames = static_cast<int>(Stretched.size() / blockAlign);
        return true;
    }

    bool Resample(const uint8_t* data, int frames, std::vector<uint8_t>& out) {
        const int outAlign = Conversion.OutChannels * 2;
        if (!Resampler) {
            out.assign(data, data + static_cast<ptrdiff_t>(frames) * outAlign);
            return true;
        }
        const int capacity = swr_get_out_samples(Resampler.get(), frames);
        if (capacity < 0)
            return false;
        out.resize(static_cast<size_t>(capacity) * outAlign);
        uint8_t* outPlanes[1] = {out.data()};
        const uint8_t* inPlanes[1] = {data};
        const int produced = swr_convert(Resampler.get(), outPlanes, capacity, inPlanes, frames);
        if (produced < 0)
            return false;
        out.resize(static_cast<size_t>(produced) * outAlign);
        return true;
    }
};

TAudioConverter::TAudioConverter(const TAudioConversion& conversion) : m_impl(std::make_unique<TImpl>()) {
    Require(conversion.InChannels > 0 && conversion.OutChannels > 0 && conversion.InRate > 0 &&
            conversion.OutRate > 0 && conversion.Tempo > 0 && m_impl->Frame);
    m_impl->Conversion = conversion;
    m_impl->BuildResampler();
    m_impl->BuildTempoGraph();
}

TAudioConverter::~TAudioConverter() = default;

bool TAudioConverter::Convert(const uint8_t* in, int frames, std::vector<uint8_t>& out) {
    if (!m_impl->Stretch(in, frames))
        return false;
    return m_impl->Resample(in, frames, out);
}

void TAudioConverter::Flush() {
    // Rebuilding is the one way both libraries offer to forget held samples.
    m_impl->Resampler.reset();
    m_impl->Graph.reset();
    m_impl->BuildResampler();
    m_impl->BuildTempoGraph();
}
