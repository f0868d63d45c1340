#pragma once
// The camera clip the playback benchmarks play: 30 s of 1280 x 720 at 25 fps,
// H.264 at 8 Mbit/s with 2-second GOPs, a moving gradient under film-grain
// noise that changes every frame (expensive to decode, like a real camera).
// Written once through the FFmpeg backend into a folder and reused from there,
// so benchmarks pointed at the same folder share it.

#include <cstdint>
#include <filesystem>
#include <string>

constexpr int32_t HardClipWidth = 1280;
constexpr int32_t HardClipHeight = 720;
constexpr int32_t HardClipFrames = 750;

// The clip's path in `folder`, written first when it is not there. Throws
// std::runtime_error when the FFmpeg backend is not built, and the backend's
// errors when writing fails.
std::string EnsureHardClip(const std::filesystem::path& folder);
