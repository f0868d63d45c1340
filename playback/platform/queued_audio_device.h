#pragma once
// The part every output device shares: the prepared headers, the queue of
// written headers between the owner thread and the device's playing thread,
// the done flags and notifications, and the conversion to the format the
// hardware runs at. An implementation only has to call Render from its
// playing thread and to halt that thread on demand.
//
// Threads: the TAudioDevice members on the owner thread; Render on the
// playing thread, never concurrently with itself. The queue between them is
// a single-producer single-consumer ring of slot pointers: Render takes no
// lock and allocates nothing.

#include "playback/platform/audio_converter.h"
#include "playback/platform/audio_device.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

// The channel count and rate to try, in order, when the hardware refuses
// (channels, rate): the rate with fewer channels, then the preferred rate,
// 48000 and 44100 Hz. Duplicates removed; the first entry is the request.
struct TDeviceFormatChoice {
    uint16_t Channels;
    uint32_t SamplesPerSec;
};
std::vector<TDeviceFormatChoice> DeviceFormatCandidates(uint16_t channels, uint32_t samplesPerSec,
                                                        uint32_t preferredRate);

class TQueuedAudioDevice : public TAudioDevice {
public:
    TAudioDeviceHandle Handle() const override { return m_handle; }
    const TWaveFormat& Format() const override { return m_format; }
    const TWaveFormat& DeviceFormat() const override { return m_deviceFormat; }
    bool PrepareHeader(TWaveHeader& header) override;
    bool UnprepareHeader(TWaveHeader& header) override;
    bool Write(TWaveHeader& header) override;
    void Pause() override;
    void Restart() override;
    void Reset() override;

    TAudioDeviceCounters Counters() const;

protected:
    // format: what the caller writes; deviceFormat: what Render produces.
    // pitchRate as in TAudioSystem::Open. Throws TException when the
    // conversion between the two cannot be set up.
    TQueuedAudioDevice(TAudioDeviceHandle handle, const TWaveFormat& format, const TWaveFormat& deviceFormat,
                       uint32_t pitchRate, TBufferDoneNotify notify);

    // Playing thread: fills `frames` sample frames of the device format at
    // out (nullptr: count them only), from the queued buffers, with silence
    // while paused or starved. Returns the frames taken from buffers.
    size_t Render(uint8_t* out, size_t frames);

    // Owner thread: after HaltRendering returns, Render is not running and
    // will not run until ResumeRendering.
    virtual void HaltRendering() = 0;
    virtual void ResumeRendering() = 0;

private:
    struct TSlot {
        TWaveHeader* Header = nullptr;
        std::vector<uint8_t> Converted;
        const uint8_t* Data = nullptr;
        size_t Bytes = 0;
    };
    static constexpr size_t RingSize = 64;

    void ReturnSlot(TSlot& slot);

    TAudioDeviceHandle m_handle;
    TWaveFormat m_format;
    TWaveFormat m_deviceFormat;
    TBufferDoneNotify m_notify;
    std::unique_ptr<TAudioConverter> m_converter; // null: the hardware takes the format as it is
    std::vector<std::unique_ptr<TSlot>> m_slots;  // index = TWaveHeader::Slot; null when free

    std::array<TSlot*, RingSize> m_ring{};
    std::atomic<size_t> m_head{0}; // next to play; advanced by Render
    std::atomic<size_t> m_tail{0}; // next free; advanced by Write
    size_t m_frontOffset = 0;      // bytes of the front slot already played; playing thread
    std::atomic<bool> m_paused{false};
    std::atomic<int64_t> m_framesPlayed{0};
    std::atomic<int64_t> m_framesSilent{0};
};

// The next device handle of the process.
TAudioDeviceHandle NextAudioDeviceHandle();
