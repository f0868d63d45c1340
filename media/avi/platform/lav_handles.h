#pragma once
// Owners of the libav* handles of our AVI layer, so that a throw half-way
// leaks nothing.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>

struct TLavCodecDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TLavFrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TLavPacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TLavScalerDeleter {
    void operator()(SwsContext* context) const { sws_freeContext(context); }
};
struct TLavParserDeleter {
    void operator()(AVCodecParserContext* parser) const { av_parser_close(parser); }
};
struct TLavResamplerDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using TLavCodecPtr = std::unique_ptr<AVCodecContext, TLavCodecDeleter>;
using TLavFramePtr = std::unique_ptr<AVFrame, TLavFrameDeleter>;
using TLavPacketPtr = std::unique_ptr<AVPacket, TLavPacketDeleter>;
using TLavScalerPtr = std::unique_ptr<SwsContext, TLavScalerDeleter>;
using TLavParserPtr = std::unique_ptr<AVCodecParserContext, TLavParserDeleter>;
using TLavResamplerPtr = std::unique_ptr<SwrContext, TLavResamplerDeleter>;

// Throw TAVIFormatError when the library has no memory left.
TLavFramePtr LavNewFrame();
TLavPacketPtr LavNewPacket();

// The deprecated full-range "J" formats become their plain twins (swscale
// warns on every picture otherwise); true when the picture is full range.
bool LavUnJpeg(AVPixelFormat& format);
