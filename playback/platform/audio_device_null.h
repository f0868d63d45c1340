#pragma once
// A clocked null output: each device consumes its queued buffers at the
// real-time rate of its format on a clock, returns them with the same done
// flags and notifications as a sound card, and optionally records what it
// played. Stands in when there is no sound card, and serves tests on a fake
// clock (manual pacing: nothing plays until Pump).
//
// Threads: Open, Pump and the setters on the owner thread. With thread
// pacing each device plays on a thread of its own, which is where its
// notifications come from; with manual pacing they come from Pump. The
// recorded samples may be read from any thread.

#include "platform/clock.h"
#include "playback/platform/audio_device.h"

#include <memory>
#include <mutex>
#include <vector>

// What the null "hardware" takes; beyond it the device converts, as a sound
// card's driver would make us do.
struct TNullAudioLimits {
    uint16_t MaxChannels = 8;
    uint32_t MinRate = 1000;
    uint32_t MaxRate = 384000;
    uint32_t PreferredRate = 48000;
};

enum class TNullPacing { Thread, Manual };

class TNullAudioDevice;

class TNullAudioSystem final : public TAudioSystem {
public:
    // clock: the time base of every device's sample clock; must outlive the
    // system. nullptr: the steady clock.
    explicit TNullAudioSystem(TNullPacing pacing, const TClock* clock = nullptr,
                              TNullAudioLimits limits = {});
    ~TNullAudioSystem() override;

    std::unique_ptr<TAudioDevice> Open(const TWaveFormat& format, uint32_t pitchRate,
                                       TBufferDoneNotify notify) override;
    std::string Name() const override { return "null"; }

    // Manual pacing: every open device plays what is due by the clock.
    void Pump();
    // Open refuses every request while set (a failed open).
    void SetRefusingOpen(bool refusing) { m_refusingOpen = refusing; }
    // While on, devices keep every byte they take from buffers.
    void SetRecording(bool recording) { m_recording = recording; }

    struct TRecord {
        TWaveFormat Format;       // as opened
        TWaveFormat DeviceFormat; // as played
        std::vector<uint8_t> Samples;
        int64_t FramesPlayed = 0;
        int64_t FramesSilent = 0;
        bool IsOpen = true;
    };
    // One record per device opened, in opening order (a copy).
    std::vector<TRecord> Records() const;
    // Record `index` without its samples (cheap to take often).
    TRecord RecordCounters(size_t index) const;
    int32_t OpenDeviceCount() const;

private:
    friend class TNullAudioDevice;
    void DeviceClosed(TNullAudioDevice* device, size_t record);
    void Played(size_t record, const uint8_t* samples, size_t bytes, int64_t frames, int64_t silent);

    TNullPacing m_pacing;
    TSteadyClock m_steadyClock;
    const TClock& m_clock;
    TNullAudioLimits m_limits;
    bool m_refusingOpen = false;
    bool m_recording = false;
    mutable std::mutex m_mutex; // guards m_records and m_devices
    std::vector<TRecord> m_records;
    std::vector<TNullAudioDevice*> m_devices;
};
