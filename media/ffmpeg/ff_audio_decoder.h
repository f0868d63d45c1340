#pragma once
// Audio decoding for reading: packets in, interleaved signed 16-bit sample
// frames appended to a growable block out.

#include "media/ffmpeg/ff_convert.h"

#include <cstddef>
#include <cstdint>

// A block that grows but never shrinks while a file is open, so steady
// reading does not allocate. Memory comes from TAVFile::AllocBuffer.
class TFFSampleBuffer {
public:
    TFFSampleBuffer() = default;
    ~TFFSampleBuffer() { Release(); }
    TFFSampleBuffer(const TFFSampleBuffer&) = delete;
    TFFSampleBuffer& operator=(const TFFSampleBuffer&) = delete;

    // False when the memory cannot be had; the contents are kept.
    bool Reserve(size_t bytes);
    // Makes room for bytes more at the end and returns it; throws
    // AVFileErrorMemory when the block cannot grow.
    uint8_t* Extend(size_t bytes);
    // Drops bytes from the end (at most Size()).
    void Shrink(size_t bytes);
    // Drops bytes starting at offset, moving what follows down.
    void Erase(size_t offset, size_t bytes);
    void Clear() { m_size = 0; }
    void Release();
    uint8_t* Data() { return m_data; }
    size_t Size() const { return m_size; }

private:
    uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

class TFFAudioDecoder {
public:
    // Opens the decoder; the output has the stream's channel count and rate.
    bool Open(const AVStream* stream);
    void Close();
    bool IsOpen() const { return m_codec != nullptr; }
    int Channels() const { return m_channels; }
    int SampleRate() const { return m_sampleRate; }

    // Forgets what the decoder holds (after a seek).
    void Restart();
    // The next count sample frames decoded are dropped: the lead-in of a
    // packet that starts before a seek target.
    void DiscardFrames(int64_t count) { m_discardFrames = count; }

    // Decodes one packet, or drains the decoder for nullptr. Decoded sample
    // frames are converted and appended to target, or only counted when
    // target is nullptr. Returns false on a decoding error; the packet is
    // consumed either way and frames tells how many sample frames came out.
    bool Decode(const AVPacket* packet, TFFSampleBuffer* target, int64_t& frames);

private:
    int64_t TakeFrame(TFFSampleBuffer* target);

    TFFCodecPtr m_codec;
    TFFFramePtr m_frame;
    TFFSampleConverter m_converter;
    int m_channels = 0;
    int m_sampleRate = 0;
    int64_t m_discardFrames = 0;
};
