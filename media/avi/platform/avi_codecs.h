#pragma once
// The video codecs of our AVI layer, over libavcodec: the decompressor that
// hands out any sample of a video stream as a 32-bit bitmap, the compressor
// for writing, and the list of compressors this libavcodec offers.
//
// Decompressor: the codec is chosen from the stream's four-character code
// through libavformat's RIFF tag tables; uncompressed BI_RGB pictures of 8
// (palette), 16, 24 and 32 bits are converted without a codec. A sample whose
// chunk is empty shows the picture of the last non-empty one before it. Random
// access decodes from the preceding key frame of the index and is exact for
// codecs that reorder pictures too.

#include "media/av_file.h"
#include "media/avi/platform/avi_reader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAVIDecompressor {
public:
    // requested: the bitmap format asked for; nullptr asks for the stream's
    // default. Every accepted request delivers 32-bit bottom-up bitmaps of the
    // stream's size. Returns nullptr when no codec decodes the stream.
    static std::unique_ptr<TAVIDecompressor> Open(TAVIReader& reader, int32_t stream,
                                                  const TBitmapInfoHeader* requested);
    virtual ~TAVIDecompressor() = default;
    // The packed bitmap (40-byte header, bottom-up pixels) of the sample,
    // owned by the decompressor until the next call; nullptr when the sample
    // does not exist or cannot be decoded.
    virtual uint8_t* GetFrame(int32_t sample) = 0;
    // The same picture as top-down 32-bit rows into target (width x 4 x
    // height bytes), without the bitmap; false where GetFrame has none.
    virtual bool CopyFrame(int32_t sample, uint8_t* target) = 0;
};

struct TAVICompressorOptions {
    uint32_t Handler = 0;       // four-character code; 0: full frames, uncompressed
    int32_t Quality = 7500;     // 0..10000
    int32_t KeyFrameEvery = 0;  // frames; 0: the codec's choice
    int32_t BytesPerSecond = 0; // data rate; 0: by quality
};

struct TAVICompressorInfo {
    std::string Name;
    uint32_t Handler;
};

// "Full Frames (Uncompressed)" first, then the compressors this libavcodec has
// whose output AVI players read.
std::vector<TAVICompressorInfo> AVICompressorList();

struct TAVIPacket {
    std::vector<uint8_t> Data;
    bool IsKey = false;
};

class TAVICompressor {
public:
    // Throws TAVIFormatError when the handler names no usable encoder.
    static std::unique_ptr<TAVICompressor> Open(const TAVICompressorOptions& options, int32_t width,
                                                int32_t height, uint32_t rate, uint32_t scale);
    virtual ~TAVICompressor() = default;
    // "strf" of the compressed stream (BITMAPINFOHEADER and any extra data).
    virtual std::vector<uint8_t> Format() const = 0;
    // Compresses one 32-bit picture given by its top row and the bytes from
    // one row to the one below (negative for bottom-up rows); forceKey makes
    // it a key frame. Reads exactly the picture's rows. Appends what the
    // encoder hands out (possibly nothing yet).
    virtual void Compress(const uint8_t* topRow, ptrdiff_t rowBytes, bool forceKey,
                          std::vector<TAVIPacket>& out) = 0;
    // Hands out what the encoder still holds.
    virtual void Flush(std::vector<TAVIPacket>& out) = 0;
};
