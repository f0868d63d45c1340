#pragma once
// Test clips written with the FFmpeg libraries. Each picture carries its frame
// number as two rows of black and white cells (the number and its complement),
// big enough to survive lossy coding; each audio channel is a tone whose phase
// follows the sample position, so decoded audio can be checked for place and
// length. Clips are made by the tests at run time; none is committed.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// One picture of a clip with irregular timing.
struct TClipPicture {
    int64_t tick; // presentation time in ticks (ticksPerFrame ticks per frame period)
    int number;   // number drawn into it
};

struct TClipSpec {
    std::string label;        // readable name for parameterised tests
    std::string format;       // libavformat muxer short name ("mp4", "avi", "mpeg", "vob", "wav", ...)
    std::string extension;    // file extension without the dot
    std::string videoCodec;   // encoder name; empty: no video stream
    std::string audioCodec;   // encoder name; empty: no audio stream
    std::string pixelFormat;  // empty: the encoder's preferred 4:2:0 format
    std::string muxerOptions; // "key=value:key=value" for the muxer, e.g. "movflags=+faststart"
    int width = 320;
    int height = 240;
    int rate = 25; // frames per second = rate / scale
    int scale = 1;
    int frameCount = 50;
    int firstFrameNumber = 0; // number drawn into the first picture
    int gopSize = 12;
    int maxBFrames = 2;
    int64_t videoBitRate = 2000000;
    int encoderThreads = 1;
    int sampleRate = 44100;
    int channels = 2;
    int audioDelayMs = 40; // the audio starts this long after the first picture
    int audioMs = -1;      // audio duration; negative: as long as the video (or 2 s without video)
    // When not empty, the video is these pictures (frameCount is ignored),
    // stamped in a time base of ticksPerFrame ticks per frame period: gaps
    // stand for dropped frames, uneven steps for a variable rate.
    std::vector<TClipPicture> pictures;
    int ticksPerFrame = 1;
};

inline void PrintTo(const TClipSpec& spec, std::ostream* out) {
    *out << spec.label;
}

// Writes the clip; throws std::runtime_error with the failing step.
void WriteClip(const std::string& path, const TClipSpec& spec);

// An MPEG-1 video elementary stream cut into PES packets without any
// timestamp behind bare pack headers, its sequence headers marking the bit
// rate as variable: nothing in the result states a duration.
std::vector<char> BareProgramStream(std::vector<char> elementary);

// Draws picture n of the pattern into a BGRA frame buffer (rows top to bottom).
void DrawFrame(uint8_t* bgra, int width, int height, int frameNumber);

// The frame number a BGRA picture carries, or -1 when the cells do not read
// back as a number and its complement (a black or damaged picture).
int ReadFrameNumber(const uint8_t* bgra, int width, int height);

// Mean absolute difference per colour byte between two BGRA pictures.
double MeanAbsoluteError(const uint8_t* a, const uint8_t* b, int width, int height);

// The tone at a sample position counted from the start of the audio.
int16_t ToneSample(int64_t position, int sampleRate, int channel);

// Normalised correlation (-1..1) of channel 0 of interleaved 16-bit samples
// with the tone starting at the given position; about 1 when the samples are
// the tone at that place, about 0 for silence or a tone out of phase.
double ToneCorrelation(const int16_t* samples, int frames, int channels, int sampleRate, int64_t position);
