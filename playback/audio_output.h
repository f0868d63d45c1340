#pragma once
// Audio output: one output stream per medium whose sound is switched on,
// fed from the medium's GetAudio through a ring of 16 buffers of one
// sixteenth of a second each. The speed scales the sample rate given to the
// device (faster and higher), unless Keep pitch is on: then the device runs
// at the medium's own rate and the tempo changes instead.
//
// Ownership: the outputs own their devices and data blocks; the media are
// the media set's. The audio system must outlive this object.
//
// Threads: the window thread only. The devices' buffer-done notifications
// arrive on their threads and must come back through AudioBufferDone on the
// window thread (the notify given to the constructor posts them there).
//
// Errors: none escape. A device that does not open or a header that does not
// prepare leaves its medium silent; a GetAudio error ends that medium's sound.

#include "playback/platform/audio_device.h"
#include "playback/playback_audio.h"

#include <array>
#include <memory>
#include <vector>

constexpr int32_t AudioBufferCount = 16;

// The device format for a medium of `channels` and `samplesPerSec` at
// speedPercent: the rate scaled by the speed in 32-bit integers.
TWaveFormat PlaybackWaveFormat(int32_t channels, int32_t samplesPerSec, int32_t speedPercent);
// One sixteenth of a second of `format`, rounded down to whole sample frames.
uint32_t AudioBufferBytes(const TWaveFormat& format);

// One output. The start timer belongs to the playback clock, which arms and
// kills it.
struct TAudioInfo {
    std::unique_ptr<TAudioDevice> Device;
    TWaveFormat Format; // what the device was opened with
    std::array<TWaveHeader, AudioBufferCount> Buffers;
    std::array<std::unique_ptr<uint8_t[]>, AudioBufferCount> Blocks; // the buffers' data
    // Read from the medium and not yet copied into a buffer; the block is the
    // media file's and stays valid until its next audio request.
    const uint8_t* PendingData = nullptr;
    int32_t PendingBytes = 0;
    int32_t NextBuffer = 0; // 0...15: the buffer to fill next
    int32_t Queued = 0;     // 0...16: handed to the device and not yet returned
    TPlaybackMedium* Video = nullptr;
    bool Active = true; // false after the medium's sound ended or failed
};

class TAudioOutput final : public TPlaybackAudio {
public:
    TAudioOutput(TAudioSystem& system, TBufferDoneNotify notify);
    ~TAudioOutput() override;
    TAudioOutput(const TAudioOutput&) = delete;
    TAudioOutput& operator=(const TAudioOutput&) = delete;

    std::vector<TPlaybackMedium*> OpenOutputs(TPlaybackMediaList& media, int32_t positionMs,
                                              int32_t speedPercent) override;
    // AudioStart: pause, queue all 16 buffers, restart. An index out of range
    // is ignored.
    void StartOutput(int32_t output) override;
    void ReleaseOutputs() override;
    // A device finished a buffer: the first output on that device refills,
    // if it is still active. Unknown devices are ignored.
    void AudioBufferDone(uint32_t device) override;

    // Queues buffers until 16 are queued; false once the medium's sound has
    // ended (the last buffer is padded with silence, nothing is queued after).
    bool FillBuffers(TAudioInfo& output);

    // Takes effect at the next OpenOutputs.
    void SetKeepPitch(bool keepPitch) { m_keepPitch = keepPitch; }
    bool KeepPitch() const { return m_keepPitch; }

    const std::vector<std::unique_ptr<TAudioInfo>>& Outputs() const { return m_outputs; }

private:
    std::unique_ptr<TAudioInfo> OpenOutput(TPlaybackMedium& medium, int32_t positionMs, int32_t speedPercent);
    void PositionAudioOnly(TPlaybackMedium& medium, int32_t positionMs);
    bool Refill(TAudioInfo& output);
    static void Release(TAudioInfo& output);

    TAudioSystem& m_system;
    TBufferDoneNotify m_notify;
    bool m_keepPitch = false;
    std::vector<std::unique_ptr<TAudioInfo>> m_outputs;
};
