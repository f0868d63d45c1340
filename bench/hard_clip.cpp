#include "bench/hard_clip.h"

#include "media/registry/registry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

void DrawHardFrame(std::vector<uint8_t>& bgra, int32_t frame, std::mt19937& random) {
    std::uniform_int_distribution<int> grain(-24, 24);
    for (int32_t y = 0; y < HardClipHeight; ++y) {
        uint8_t* row = &bgra[static_cast<size_t>(y) * HardClipWidth * 4];
        for (int32_t x = 0; x < HardClipWidth; ++x) {
            const int base = (x + 4 * frame) % 256;
            const int noise = grain(random);
            row[x * 4 + 0] = static_cast<uint8_t>(std::clamp(base + noise, 0, 255));
            row[x * 4 + 1] = static_cast<uint8_t>(std::clamp((y + 3 * frame) % 256 + noise, 0, 255));
            row[x * 4 + 2] = static_cast<uint8_t>(std::clamp((x + y) / 8 % 256 - noise, 0, 255));
            row[x * 4 + 3] = 255;
        }
    }
}

} // namespace

std::string EnsureHardClip(const std::filesystem::path& folder) {
    const std::string path = (folder / "camera-720p-h264.mp4").string();
    if (std::filesystem::exists(path))
        return path;
    std::printf("Writing the 30 s 1280x720 H.264 clip (once)...\n");
    std::fflush(stdout);
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<TAVFile> writer = CreateBackend(2);
    if (!writer)
        throw std::runtime_error("the FFmpeg backend is not built");
    writer->SetVideoFormat(HardClipWidth, HardClipHeight, 25, 1);
    TAVFile::TParameters parameters;
    parameters.VideoCodec = "libx264";
    parameters.VideoBitRate = 8000000;
    parameters.GopSize = 50;
    writer->SetParameters(parameters);
    writer->Open(path, TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    std::vector<uint8_t> frame(static_cast<size_t>(HardClipWidth) * 4 * HardClipHeight);
    std::mt19937 random(7);
    for (int32_t i = 0; i < HardClipFrames; ++i) {
        DrawHardFrame(frame, i, random);
        writer->PutFrame(frame.data());
    }
    writer->Close();
    std::printf("  written in %.0f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return path;
}
