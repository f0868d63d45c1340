#pragma once
// Format conversion between the decoders and the TAVFile formats: pictures to
// the BGRA frame buffer, decoded audio to interleaved signed 16-bit samples,
// and the deinterlacing filter that may sit between decoder and scaler.

#include "media/ffmpeg/ff_handles.h"

#include <cstdint>

// Converts decoded pictures straight into a caller's BGRA buffer (rows top
// to bottom, stride width * 4). The scaler is kept while the source stays
// the same, so reading a file sets it up once.
class TFFPictureConverter {
public:
    // scalerFlags: the swscale algorithm used when the size changes.
    explicit TFFPictureConverter(int scalerFlags = SWS_BILINEAR) : m_scalerFlags(scalerFlags) {}
    // Scales when the picture's size differs from width x height (a stream
    // that changes size mid-way still fills the whole buffer). False when
    // the library cannot convert from the picture's format.
    bool Convert(const AVFrame* picture, uint8_t* target, int width, int height);
    void Reset();

private:
    int m_scalerFlags;
    TFFScalerPtr m_scaler;
    int m_sourceWidth = 0;
    int m_sourceHeight = 0;
    int m_sourceFormat = -1;
    int m_fullRange = -1;
    int m_colorSpace = -1;
    int m_targetWidth = 0;
    int m_targetHeight = 0;
};

// Converts decoded audio frames to interleaved signed 16-bit samples with a
// fixed channel count and rate, whatever the decoder delivers (planar float
// for most decoders today, and a layout that may change mid-stream).
class TFFSampleConverter {
public:
    void SetOutput(int channels, int sampleRate);
    // Upper bound of sample frames Convert can produce from this frame.
    int MaxOutputFrames(const AVFrame* frame);
    // Writes at most capacityFrames sample frames; returns the count written,
    // or a negative library error.
    int Convert(const AVFrame* frame, uint8_t* target, int capacityFrames);
    void Reset();

private:
    int Configure(const AVFrame* frame);

    TFFResamplerPtr m_resampler;
    int m_outputChannels = 2;
    int m_outputRate = 44100;
    int m_inputFormat = -1;
    int m_inputRate = 0;
    AVChannelLayout m_inputLayout{};
};

// A yadif graph that deinterlaces every picture. yadif answers a picture only
// after it has seen the next one, so the end of the stream must be pushed
// (Push(nullptr)) to get the last picture out.
class TFFDeinterlacer {
public:
    bool Active() const { return m_graph != nullptr; }
    // True when the running graph was built for pictures like this one.
    bool Accepts(const AVFrame* picture) const;
    // Builds the graph for pictures like this one; false when the library
    // refuses (the caller then shows pictures as decoded).
    bool Configure(const AVFrame* picture, AVRational timeBase);
    // Feeds a picture (the graph keeps its own reference), or nullptr for the
    // end of the stream. Returns a library code.
    int Push(AVFrame* picture);
    // 0 with a picture (pts in the time base given to Configure), AVERROR(EAGAIN) when it needs more input,
    // AVERROR_EOF after the end was pushed and everything came out.
    int Pull(AVFrame* picture);
    void Reset();

private:
    TFFFilterGraphPtr m_graph;
    AVFilterContext* m_source = nullptr;
    AVFilterContext* m_sink = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_format = -1;
    AVRational m_timeBase{1, 1};
};
