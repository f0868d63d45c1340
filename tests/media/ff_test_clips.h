#pragma once
// The clips the FFmpeg backend tests read, written once per test process
// into one temporary folder.

#include "tests/support/media_clips.h"

#include <string>
#include <vector>

// Path of the clip, writing it on first use.
std::string ClipPath(const TClipSpec& spec);
// A path in the shared temporary folder for files a test writes itself.
std::string ScratchPath(const std::string& name);

// One clip per codec the backend must read frame-accurately.
std::vector<TClipSpec> AccuracyClips();
TClipSpec ClipFor(const std::string& label);
