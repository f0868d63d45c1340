#pragma once
// Owners for the FFmpeg handles the backend uses, so that an exception thrown
// half-way through opening or decoding leaks nothing.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

struct TFFInputDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct TFFOutputDeleter {
    void operator()(AVFormatContext* context) const;
};
struct TFFCodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TFFFrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TFFPacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TFFScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct TFFResamplerDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
struct TFFFilterGraphDeleter {
    void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};

using TFFInputPtr = std::unique_ptr<AVFormatContext, TFFInputDeleter>;
using TFFOutputPtr = std::unique_ptr<AVFormatContext, TFFOutputDeleter>;
using TFFCodecPtr = std::unique_ptr<AVCodecContext, TFFCodecDeleter>;
using TFFFramePtr = std::unique_ptr<AVFrame, TFFFrameDeleter>;
using TFFPacketPtr = std::unique_ptr<AVPacket, TFFPacketDeleter>;
using TFFScalerPtr = std::unique_ptr<SwsContext, TFFScalerDeleter>;
using TFFResamplerPtr = std::unique_ptr<SwrContext, TFFResamplerDeleter>;
using TFFFilterGraphPtr = std::unique_ptr<AVFilterGraph, TFFFilterGraphDeleter>;

// A new empty frame or packet; throws AVFileErrorMemory when none can be had.
TFFFramePtr FFNewFrame();
TFFPacketPtr FFNewPacket();

// The library's text for an error code (av_err2str does not compile in C++).
std::string FFErrorText(int code);

// First-in first-out queue of reference-counted packets waiting for the
// stream that has not asked for them yet. Unbounded by design: the consumer
// of an interleaved file drains the stream it ignores.
class TFFPacketQueue {
public:
    TFFPacketQueue() = default;
    TFFPacketQueue(const TFFPacketQueue&) = delete;
    TFFPacketQueue& operator=(const TFFPacketQueue&) = delete;

    void Push(TFFPacketPtr packet) { m_packets.push_back(std::move(packet)); }
    // The oldest packet, or nullptr when the queue is empty.
    TFFPacketPtr Pop();
    bool Empty() const { return m_packets.empty(); }
    size_t Size() const { return m_packets.size(); }
    void Clear() { m_packets.clear(); }

private:
    std::deque<TFFPacketPtr> m_packets;
};
