#pragma once
// Audio output as the playback clock drives it: Play opens the outputs and
// starts each one when the project time reaches its medium's offset; Stop
// releases them. The clock works without one (media then play silently).
//
// Threads: the window thread only.

#include "playback/playback_medium.h"

#include <cstdint>
#include <vector>

class TPlaybackAudio {
public:
    virtual ~TPlaybackAudio() = default;

    // Opens one output per readable medium of `media` (set order) that has
    // an audio stream and its audio switch ticked, positioned for the slider
    // position positionMs and playing at speedPercent. Returns the medium of
    // each opened output, in output order. Media that fail to open are
    // skipped silently.
    virtual std::vector<TPlaybackMedium*> OpenOutputs(TPlaybackMediaList& media, int32_t positionMs,
                                                      int32_t speedPercent) = 0;
    // Queues the first buffers of output `output` and lets it sound.
    virtual void StartOutput(int32_t output) = 0;
    // Stops and closes every output.
    virtual void ReleaseOutputs() = 0;
    // The device identified by `device` finished a buffer.
    virtual void AudioBufferDone(uint32_t device) = 0;
};
