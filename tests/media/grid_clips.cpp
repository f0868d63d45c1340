#include "tests/media/grid_clips.h"

#include <string>

namespace {

// Frame n shows the last picture due at or before n (a picture is due at its
// time rounded to the nearest frame).
std::vector<int> GridNumbers(const TClipSpec& clip) {
    const int64_t ticks = clip.ticksPerFrame;
    const int64_t last = clip.pictures.back().tick;
    std::vector<int> numbers(static_cast<size_t>((last + ticks / 2) / ticks + 1), -1);
    for (const TClipPicture& picture : clip.pictures)
        for (size_t n = static_cast<size_t>((picture.tick + ticks / 2) / ticks); n < numbers.size(); ++n)
            numbers[n] = picture.number;
    return numbers;
}

TClipSpec Base(const std::string& label, const std::string& format, const std::string& extension,
               const std::string& codec, int rate, int maxBFrames) {
    TClipSpec spec;
    spec.label = label;
    spec.format = format;
    spec.extension = extension;
    spec.videoCodec = codec;
    spec.rate = rate;
    spec.maxBFrames = maxBFrames;
    spec.width = 192;
    spec.height = 144;
    return spec;
}

// Every 33rd frame missing (3 %), as phones and capture cards write them.
TClipSpec Dropped(TClipSpec spec, int frames) {
    for (int n = 0; n < frames; ++n)
        if (n % 33 != 20)
            spec.pictures.push_back({n, n});
    return spec;
}

// Pictures lasting one to three periods, and bursts of two pictures within
// one period whose first (numbered 1000 + n) is never on screen at a grid
// time; on average about the nominal rate, as a phone writes them.
TClipSpec Variable(TClipSpec spec, int frames) {
    spec.ticksPerFrame = 10;
    for (int n = 0; n < frames;) {
        if (n % 7 == 3 || n % 13 == 8) {
            spec.pictures.push_back({n * 10 - 3, 1000 + n});
            spec.pictures.push_back({n * 10 + 2, n});
            n += 1;
        } else {
            spec.pictures.push_back({n * 10, n});
            n += n % 7 == 5 ? 2 : n % 23 == 10 ? 3 : 1;
        }
    }
    return spec;
}

TClipSpec Regular(TClipSpec spec, int frames) {
    for (int n = 0; n < frames; ++n)
        spec.pictures.push_back({n, n});
    return spec;
}

} // namespace

std::vector<TGridCase> GridCases() {
    std::vector<TClipSpec> clips = {
        Dropped(Base("DroppedH264Mp4", "mp4", "mp4", "libx264", 30, 2), 200),
        Dropped(Base("EmptyChunksAvi", "avi", "avi", "mpeg4", 25, 0), 150),
        Variable(Base("VariableMpeg4Mkv", "matroska", "mkv", "mpeg4", 25, 0), 150),
        Variable(Base("VariableH264Mp4", "mp4", "mp4", "libx264", 25, 2), 150),
    };
    // A broadcast clock about to wrap: the demuxer places the start at -2.32 s.
    TClipSpec wrapped = Regular(Base("NegativeStartTs", "mpegts", "ts", "mpeg2video", 25, 2), 150);
    wrapped.muxerOptions = "output_ts_offset=95441.397689";
    clips.push_back(wrapped);
    TClipSpec audioFirst = Regular(Base("AudioAheadMkv", "matroska", "mkv", "mpeg4", 25, 2), 150);
    audioFirst.audioCodec = "pcm_s16le";
    audioFirst.audioDelayMs = -300;
    clips.push_back(audioFirst);

    std::vector<TGridCase> cases;
    for (const TClipSpec& clip : clips)
        cases.push_back({clip, GridNumbers(clip)});
    return cases;
}
