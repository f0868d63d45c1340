#pragma once
// Wave audio output in the shape audio playback drives it: open the default
// output for a PCM format with a notification per finished buffer, prepare
// buffer headers, queue them, pause, restart, reset, close.
//
// Ownership: a header and its data block belong to the caller; a device only
// reads a queued header's data and writes its Flags. A header must stay
// alive and prepared while it is queued (Reset returns every header).
//
// Threads: every member is called from one owner thread (the window thread).
// The device plays on a thread of its own and calls the buffer-done
// notification from there; the notification must be short and must not
// throw (it posts a window message, nothing more).
//
// Errors: no exceptions; operations that can fail return false.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

constexpr uint16_t WaveFormatPcm = 1;

// The PCM format record a device is opened with.
struct TWaveFormat {
    uint16_t FormatTag = WaveFormatPcm;
    uint16_t Channels = 0;
    uint32_t SamplesPerSec = 0;
    uint32_t AvgBytesPerSec = 0; // BlockAlign x SamplesPerSec
    uint16_t BlockAlign = 0;     // bytes of one sample frame: Channels x 2
    uint16_t BitsPerSample = 16;
    uint16_t ExtraSize = 0;
};

// Interleaved signed 16-bit PCM of the given channel count and rate.
TWaveFormat PcmFormat(uint16_t channels, uint32_t samplesPerSec);

namespace WaveHeaderFlag {
constexpr uint32_t Done = 0x01;     // the device has finished with the buffer (or never had it)
constexpr uint32_t Prepared = 0x02; // PrepareHeader succeeded and UnprepareHeader was not called
constexpr uint32_t InQueue = 0x10;  // queued by Write and not yet returned
} // namespace WaveHeaderFlag

struct TWaveHeader {
    uint8_t* Data = nullptr;
    uint32_t BufferLength = 0; // bytes at Data, whole sample frames of the opened format
    std::atomic<uint32_t> Flags{0};
    int32_t Slot = -1; // the device's bookkeeping while prepared
};

// Identifies an open device in notifications. Never 0, and never reused by
// another device in the same process, so a notification that arrives after
// its device was closed cannot be taken for a newer one.
using TAudioDeviceHandle = uint32_t;

// Called on the device's thread once per buffer returned after playing.
using TBufferDoneNotify = std::function<void(TAudioDeviceHandle)>;

class TAudioDevice {
public:
    virtual ~TAudioDevice() = default; // closes: stops at once, returns every buffer

    virtual TAudioDeviceHandle Handle() const = 0;
    // The format the caller writes (what Open was asked for).
    virtual const TWaveFormat& Format() const = 0;
    // The format the hardware really runs at; differs from Format() when the
    // device refused it and the device converts.
    virtual const TWaveFormat& DeviceFormat() const = 0;

    // Sets Prepared. False when the header has no data or the device cannot
    // take one more header.
    virtual bool PrepareHeader(TWaveHeader& header) = 0;
    // Clears Prepared. False (nothing changed) while the header is queued.
    virtual bool UnprepareHeader(TWaveHeader& header) = 0;
    // Queues a prepared header that is not queued: clears Done, sets
    // InQueue. Headers play in the order written. Every returned header gets
    // Done set and InQueue cleared before the notification is sent.
    virtual bool Write(TWaveHeader& header) = 0;
    // While paused the device plays silence and returns nothing.
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    // Stops at once and returns every queued header (Done, no notification).
    virtual void Reset() = 0;
};

// Samples the device has played, as counters the benchmarks and tests read.
struct TAudioDeviceCounters {
    int64_t FramesPlayed = 0; // sample frames taken from buffers, in the device format
    int64_t FramesSilent = 0; // sample frames of silence (paused or starved)
};

class TAudioSystem {
public:
    virtual ~TAudioSystem() = default;

    // Opens the default output for `format`. pitchRate 0: the samples play at
    // format.SamplesPerSec. pitchRate > 0: they are a medium of that rate
    // played at the speed format.SamplesPerSec / pitchRate with the pitch
    // kept, so a buffer still lasts as long as at format.SamplesPerSec.
    // A rate or channel count the hardware refuses is converted. nullptr
    // when no output can be opened.
    virtual std::unique_ptr<TAudioDevice> Open(const TWaveFormat& format, uint32_t pitchRate,
                                               TBufferDoneNotify notify) = 0;
    // "PortAudio" or "null".
    virtual std::string Name() const = 0;
};

// PortAudio's default output device; when PortAudio finds none, a clocked
// null device on the steady clock, so playback behaves the same with and
// without a sound card. ALSA's and JACK's messages about missing cards are
// silenced.
std::unique_ptr<TAudioSystem> CreateAudioSystem();
