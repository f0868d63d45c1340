#include "tests/media/ff_test_clips.h"

#include "tests/support/temp_dir.h"

#include <map>
#include <stdexcept>

namespace {

TTempDir& Folder() {
    static TTempDir folder;
    return folder;
}

TClipSpec Make(const std::string& label, const std::string& format, const std::string& extension,
               const std::string& video, const std::string& audio, int maxBFrames) {
    TClipSpec spec;
    spec.label = label;
    spec.format = format;
    spec.extension = extension;
    spec.videoCodec = video;
    spec.audioCodec = audio;
    spec.maxBFrames = maxBFrames;
    spec.frameCount = 60;
    spec.gopSize = 12;
    return spec;
}

// Key frames two seconds apart: a seek one second before the target lands
// after it in a program stream, which has no index to search.
TClipSpec LongGop(TClipSpec spec) {
    spec.gopSize = 50;
    spec.frameCount = 120;
    return spec;
}

} // namespace

std::vector<TClipSpec> AccuracyClips() {
    return {
        Make("H264Mp4", "mp4", "mp4", "libx264", "aac", 2),
        Make("Mpeg4Avi", "avi", "avi", "mpeg4", "mp2", 2),
        Make("Mpeg1Mpg", "mpeg", "mpg", "mpeg1video", "mp2", 2),
        Make("Mpeg2Ps", "vob", "vob", "mpeg2video", "mp2", 2),
        Make("MjpegAvi", "avi", "avi", "mjpeg", "pcm_s16le", 0),
        Make("RawAvi", "avi", "avi", "rawvideo", "pcm_s16le", 0),
        Make("Mpeg4Mkv", "matroska", "mkv", "mpeg4", "pcm_s16le", 2),
        LongGop(Make("Mpeg2PsLongGop", "vob", "vob", "mpeg2video", "mp2", 2)),
    };
}

TClipSpec ClipFor(const std::string& label) {
    for (const TClipSpec& spec : AccuracyClips())
        if (spec.label == label)
            return spec;
    throw std::invalid_argument("no clip " + label);
}

std::string ClipPath(const TClipSpec& spec) {
    static std::map<std::string, std::string> written;
    auto found = written.find(spec.label);
    if (found != written.end())
        return found->second;
    const std::string path = Folder().File(spec.label + "." + spec.extension);
    WriteClip(path, spec);
    written.emplace(spec.label, path);
    return path;
}

std::string ScratchPath(const std::string& name) {
    return Folder().File(name);
}
