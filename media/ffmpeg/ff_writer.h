#pragma once
// Encoding and multiplexing for TFFFile opened for writing.

#include "media/av_file.h"
#include "media/ffmpeg/ff_handles.h"

#include <cstdint>
#include <string>
#include <vector>

// Reusable pictures or sample frames for an encoder. An encoder that keeps
// references to its input (B-frames) gets a fresh one until the oldest is
// released, so the pool settles at the encoder's delay and stops allocating.
class TFFFramePool {
public:
    void Configure(const AVFrame& model);
    // A writable frame shaped like the model; nullptr when out of memory.
    AVFrame* Get();
    void Clear();

private:
    TFFFramePtr m_model;
    std::vector<TFFFramePtr> m_frames;
};

class TFFWriter {
public:
    struct TSettings {
        int width = 320;
        int height = 240;
        uint32_t rate = 25;
        uint32_t scale = 1;
        int channels = 2;
        int samplesPerSecond = 44100;
        TAVFile::TParameters parameters;
        bool wantVideo = false;
        bool wantAudio = false;
    };

    TFFWriter() = default;
    ~TFFWriter() { Close(); }
    TFFWriter(const TFFWriter&) = delete;
    TFFWriter& operator=(const TFFWriter&) = delete;

    // Returns the failure message, or empty when the file is open. A stream
    // whose encoder does not open is left out rather than failing.
    std::string Open(const std::string& fileName, const TSettings& settings);
    bool IsOpen() const { return m_output != nullptr; }
    bool HasVideo() const { return m_video.codec != nullptr; }
    bool HasAudio() const { return m_audio.codec != nullptr; }

    // frame: width x 4 x height BGRA bytes. Throws AVFileErrorPutVideo.
    void PutFrame(const uint8_t* frame);
    // Interleaved signed 16-bit samples; whole encoder frames are encoded as
    // they fill up. Throws AVFileErrorPutAudio.
    void PutAudio(const uint8_t* samples, int32_t byteCount);
    // Encodes what waits in the audio input and what the encoders still
    // hold, then writes the trailer. False when some of it failed.
    bool Close();

private:
    struct TEncoder {
        TFFCodecPtr codec;
        AVStream* stream = nullptr;
        TFFFramePool pool;
        int64_t nextPts = 0;
    };

    std::string AddVideo(const TSettings& settings);
    std::string AddAudio(const TSettings& settings);
    bool OpenEncoder(TEncoder& encoder, const AVCodec* codec);
    // Sends a frame (nullptr drains) and writes the packets that come out.
    bool Encode(TEncoder& encoder, AVFrame* frame);
    bool EncodeAudioInput(int sampleFrames);
    bool Finish();

    TFFOutputPtr m_output;
    bool m_headerWritten = false;
    TEncoder m_video;
    TEncoder m_audio;
    TFFPacketPtr m_packet;
    TFFScalerPtr m_scaler;
    TFFResamplerPtr m_resampler;
    int m_width = 0;
    int m_height = 0;
    int m_channels = 0;
    // Encoder input: one encoder frame of interleaved 16-bit samples.
    uint8_t* m_audioInput = nullptr;
    int m_audioInputFrames = 0;
    int m_audioInputFill = 0; // sample frames waiting
};
