#include "playback/platform/audio_device_null.h"

#include "base/exception.h"
#include "playback/platform/queued_audio_device.h"

#include <algorithm>
#include <condition_variable>
#include <thread>

class TNullAudioDevice final : public TQueuedAudioDevice {
public:
    TNullAudioDevice(TNullAudioSystem& system, size_t record, const TWaveFormat& format,
                     const TWaveFormat& deviceFormat, uint32_t pitchRate, TBufferDoneNotify notify)
        : TQueuedAudioDevice(NextAudioDeviceHandle(), format, deviceFormat, pitchRate, std::move(notify)),
          m_system(system), m_record(record), m_originMs(system.m_clock.NowMs()),
          m_scratch(ChunkFrames * deviceFormat.BlockAlign) {}

    ~TNullAudioDevice() override {
        if (m_thread.joinable()) {
            {
                const std::lock_guard lock(m_wakeMutex);
                m_stopping = true;
            }
            m_wake.notify_all();
            m_thread.join();
        }
        m_system.DeviceClosed(this, m_record);
    }

    void StartThread() {
        m_thread = std::thread([this] { Run(); });
    }

    // Plays every sample frame due since the device opened.
    void Play() {
        const std::lock_guard lock(m_renderMutex);
        const int64_t elapsedMs = m_system.m_clock.NowMs() - m_originMs;
        // From the origin each time, so rounding never accumulates into drift.
        const int64_t due = elapsedMs * DeviceFormat().SamplesPerSec / 1000 - m_renderedFrames;
        int64_t left = std::max<int64_t>(due, 0);
        while (left > 0) {
            const size_t frames = static_cast<size_t>(std::min<int64_t>(left, ChunkFrames));
            const size_t played = Render(m_scratch.data(), frames);
            m_system.Played(m_record, m_scratch.data(), played * DeviceFormat().BlockAlign,
                            static_cast<int64_t>(played), static_cast<int64_t>(frames - played));
            m_renderedFrames += static_cast<int64_t>(frames);
            left -= static_cast<int64_t>(frames);
        }
    }

protected:
    void HaltRendering() override { m_renderMutex.lock(); }
    void ResumeRendering() override { m_renderMutex.unlock(); }

private:
    static constexpr size_t ChunkFrames = 4096;

    void Run() {
        std::unique_lock lock(m_wakeMutex);
        while (!m_stopping) {
            m_wake.wait_for(lock, std::chrono::milliseconds(4));
            if (m_stopping)
                break;
            lock.unlock();
            Play();
            lock.lock();
        }
    }

    TNullAudioSystem& m_system;
    size_t m_record;
    int64_t m_originMs;
    int64_t m_renderedFrames = 0;
    std::vector<uint8_t> m_scratch;
    std::mutex m_renderMutex;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    std::thread m_thread;
};

TNullAudioSystem::TNullAudioSystem(TNullPacing pacing, const TClock* clock, TNullAudioLimits limits)
    : m_pacing(pacing), m_clock(clock ? *clock : m_steadyClock), m_limits(limits) {}

TNullAudioSystem::~TNullAudioSystem() = default;

std::unique_ptr<TAudioDevice> TNullAudioSystem::Open(const TWaveFormat& format, uint32_t pitchRate,
                                                     TBufferDoneNotify notify) {
    if (m_refusingOpen || format.FormatTag != WaveFormatPcm || format.BitsPerSample != 16 ||
        format.Channels == 0 || format.SamplesPerSec == 0)
        return nullptr;
    const uint32_t rate = pitchRate > 0 ? pitchRate : format.SamplesPerSec;
    for (const TDeviceFormatChoice& choice :
         DeviceFormatCandidates(format.Channels, rate, m_limits.PreferredRate)) {
        if (choice.Channels > m_limits.MaxChannels || choice.SamplesPerSec < m_limits.MinRate ||
            choice.SamplesPerSec > m_limits.MaxRate)
            continue;
        const TWaveFormat deviceFormat = PcmFormat(choice.Channels, choice.SamplesPerSec);
        size_t record = 0;
        {
            const std::lock_guard lock(m_mutex);
            record = m_records.size();
            m_records.push_back({format, deviceFormat, {}, 0, 0, true});
        }
        std::unique_ptr<TNullAudioDevice> device;
        try {
            device = std::make_unique<TNullAudioDevice>(*this, record, format, deviceFormat, pitchRate,
                                                        std::move(notify));
        } catch (const TException&) {
            const std::lock_guard lock(m_mutex);
            m_records[record].IsOpen = false;
            return nullptr;
        }
        {
            const std::lock_guard lock(m_mutex);
            m_devices.push_back(device.get());
        }
        if (m_pacing == TNullPacing::Thread)
            device->StartThread();
        return device;
    }
    return nullptr;
}

void TNullAudioSystem::Pump() {
    std::vector<TNullAudioDevice*> devices;
    {
        const std::lock_guard lock(m_mutex);
        devices = m_devices;
    }
    for (TNullAudioDevice* device : devices)
        device->Play();
}

std::vector<TNullAudioSystem::TRecord> TNullAudioSystem::Records() const {
    const std::lock_guard lock(m_mutex);
    return m_records;
}

TNullAudioSystem::TRecord TNullAudioSystem::RecordCounters(size_t index) const {
    const std::lock_guard lock(m_mutex);
    const TRecord& record = m_records.at(index);
    return {record.Format, record.DeviceFormat, {}, record.FramesPlayed, record.FramesSilent, record.IsOpen};
}

int32_t TNullAudioSystem::OpenDeviceCount() const {
    const std::lock_guard lock(m_mutex);
    return static_cast<int32_t>(m_devices.size());
}

void TNullAudioSystem::DeviceClosed(TNullAudioDevice* device, size_t record) {
    const std::lock_guard lock(m_mutex);
    m_devices.erase(std::remove(m_devices.begin(), m_devices.end(), device), m_devices.end());
    m_records[record].IsOpen = false;
}

void TNullAudioSystem::Played(size_t record, const uint8_t* samples, size_t bytes, int64_t frames,
                              int64_t silent) {
    const std::lock_guard lock(m_mutex);
    TRecord& entry = m_records[record];
    entry.FramesPlayed += frames;
    entry.FramesSilent += silent;
    if (m_recording)
        entry.Samples.insert(entry.Samples.end(), samples, samples + bytes);
}
