#pragma once
// The audio compression manager of our AVI layer, over libavcodec and
// libswresample: a converter between a stored WAVEFORMATEX format and 16-bit
// PCM of the same channel count and rate, either way, and the list of formats
// 16-bit PCM can be stored as.
//
// Decoding takes PCM 8/16/24/32, µ-law, A-law, IMA and MS ADPCM, MP3 and AC-3;
// encoding gives PCM, µ-law, A-law, IMA ADPCM and MP3 (when libavcodec has
// libmp3lame). A converter keeps what one call could not finish (a partial
// block, a partial coded frame, output beyond the destination) for the next
// call, so splitting a stream into calls loses nothing; Finish hands out the
// encoder's tail.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAVIAudioConverter {
public:
    // Formats are WAVEFORMATEX blocks (18 bytes plus cbSize). One side must be
    // 16-bit PCM with the other side's channels and rate. Returns nullptr when
    // the conversion is not possible.
    static std::unique_ptr<TAVIAudioConverter> Open(const std::vector<uint8_t>& source,
                                                    const std::vector<uint8_t>& target);
    virtual ~TAVIAudioConverter() = default;
    // Source bytes that make about destinationBytes (whole source blocks),
    // and destination bytes room enough for sourceBytes.
    virtual uint32_t SourceBytesFor(uint32_t destinationBytes) const = 0;
    virtual uint32_t DestinationBytesFor(uint32_t sourceBytes) const = 0;
    // Converts the source bytes; produced receives the bytes written into the
    // destination (at most capacity). False on a codec failure.
    virtual bool Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination, uint32_t capacity,
                         uint32_t& produced) = 0;
    // Ends the stream: what the converter still holds, up to capacity per call;
    // produced 0 once nothing is left.
    virtual bool Finish(uint8_t* destination, uint32_t capacity, uint32_t& produced) = 0;
    // Forgets everything held (after a jump in the source).
    virtual void Reset() = 0;
};

struct TAVIAudioFormatInfo {
    std::string Name;            // e.g. "IMA ADPCM, 44100 Hz, 4 bit, stereo"
    std::vector<uint8_t> Format; // WAVEFORMATEX block
};

// The formats 16-bit PCM of this channel count and rate can be stored as.
std::vector<TAVIAudioFormatInfo> AVIAudioFormatList(int32_t channels, int32_t samplesPerSecond);

// A 16-bit PCM WAVEFORMATEX block.
std::vector<uint8_t> AVIPCMFormat(int32_t channels, int32_t samplesPerSecond);
