#include "playback/platform/queued_audio_device.h"

#include <algorithm>
#include <cstring>

TWaveFormat PcmFormat(uint16_t channels, uint32_t samplesPerSec) {
    TWaveFormat format;
    format.Channels = channels;
    format.SamplesPerSec = samplesPerSec;
    format.BlockAlign = static_cast<uint16_t>(channels * 2);
    format.AvgBytesPerSec = format.BlockAlign * samplesPerSec;
    return format;
}

TAudioDeviceHandle NextAudioDeviceHandle() {
    static std::atomic<TAudioDeviceHandle> last{0};
    TAudioDeviceHandle handle = ++last;
    if (handle == 0) // after 4 billion opens; 0 must keep meaning "none"
        handle = ++last;
    return handle;
}

std::vector<TDeviceFormatChoice> DeviceFormatCandidates(uint16_t channels, uint32_t samplesPerSec,
                                                        uint32_t preferredRate) {
    std::vector<TDeviceFormatChoice> candidates;
    auto add = [&](uint16_t c, uint32_t r) {
        if (c == 0 || r == 0)
            return;
        const auto same = [&](const TDeviceFormatChoice& e) {
            return e.Channels == c && e.SamplesPerSec == r;
        };
        if (std::none_of(candidates.begin(), candidates.end(), same))
            candidates.push_back({c, r});
    };
    // Fewer channels are mixed down, so stereo first, then mono.
    std::vector<uint16_t> channelChoices{channels};
    if (channels > 2)
        channelChoices.push_back(2);
    if (channels > 1)
        channelChoices.push_back(1);
    for (const uint32_t rate : {samplesPerSec, preferredRate, 48000u, 44100u})
        for (const uint16_t c : channelChoices)
            add(c, rate);
    return candidates;
}

TQueuedAudioDevice::TQueuedAudioDevice(TAudioDeviceHandle handle, const TWaveFormat& format,
                                       const TWaveFormat& deviceFormat, uint32_t pitchRate,
                                       TBufferDoneNotify notify)
    : m_handle(handle), m_format(format), m_deviceFormat(deviceFormat), m_notify(std::move(notify)) {
    TAudioConversion conversion;
    conversion.InChannels = format.Channels;
    conversion.InRate = static_cast<int>(pitchRate > 0 ? pitchRate : format.SamplesPerSec);
    conversion.OutChannels = deviceFormat.Channels;
    conversion.OutRate = static_cast<int>(deviceFormat.SamplesPerSec);
    conversion.Tempo = static_cast<double>(format.SamplesPerSec) / conversion.InRate;
    if (conversion.InChannels != conversion.OutChannels || conversion.InRate != conversion.OutRate ||
        conversion.Tempo != 1.0)
        m_converter = std::make_unique<TAudioConverter>(conversion);
}

bool TQueuedAudioDevice::PrepareHeader(TWaveHeader& header) {
    if (!header.Data || header.BufferLength == 0)
        return false;
    if (header.Flags.load() & WaveHeaderFlag::Prepared)
        return true;
    auto free = std::find(m_slots.begin(), m_slots.end(), nullptr);
    if (free == m_slots.end()) {
        if (m_slots.size() >= RingSize)
            return false;
        free = m_slots.insert(m_slots.end(), nullptr);
    }
    *free = std::make_unique<TSlot>();
    (*free)->Header = &header;
    header.Slot = static_cast<int32_t>(free - m_slots.begin());
    header.Flags.fetch_or(WaveHeaderFlag::Prepared);
    return true;
}

bool TQueuedAudioDevice::UnprepareHeader(TWaveHeader& header) {
    const uint32_t flags = header.Flags.load();
    if (!(flags & WaveHeaderFlag::Prepared))
        return true;
    if (flags & WaveHeaderFlag::InQueue)
        return false;
    if (header.Slot >= 0 && static_cast<size_t>(header.Slot) < m_slots.size())
        m_slots[static_cast<size_t>(header.Slot)].reset();
    header.Slot = -1;
    header.Flags.fetch_and(~WaveHeaderFlag::Prepared);
    return true;
}

bool TQueuedAudioDevice::Write(TWaveHeader& header) {
    const uint32_t flags = header.Flags.load();
    if (!(flags & WaveHeaderFlag::Prepared) || (flags & WaveHeaderFlag::InQueue) || header.Slot < 0 ||
        static_cast<size_t>(header.Slot) >= m_slots.size() || !m_slots[static_cast<size_t>(header.Slot)])
        return false;
    const size_t tail = m_tail.load(std::memory_order_relaxed);
    if (tail - m_head.load(std::memory_order_acquire) >= RingSize)
        return false;
    TSlot& slot = *m_slots[static_cast<size_t>(header.Slot)];
    if (m_converter) {
        const int frames = static_cast<int>(header.BufferLength / m_format.BlockAlign);
        if (!m_converter->Convert(header.Data, frames, slot.Converted))
            slot.Converted.clear(); // a bad block plays as a gap, not as noise
        slot.Data = slot.Converted.data();
        slot.Bytes = slot.Converted.size() / m_deviceFormat.BlockAlign * m_deviceFormat.BlockAlign;
    } else {
        slot.Data = header.Data;
        slot.Bytes = header.BufferLength / m_format.BlockAlign * m_format.BlockAlign;
    }
    header.Flags.store((flags & ~WaveHeaderFlag::Done) | WaveHeaderFlag::InQueue);
    m_ring[tail % RingSize] = &slot;
    m_tail.store(tail + 1, std::memory_order_release);
    return true;
}

void TQueuedAudioDevice::Pause() {
    m_paused.store(true);
}

void TQueuedAudioDevice::Restart() {
    m_paused.store(false);
}

void TQueuedAudioDevice::Reset() {
    HaltRendering();
    size_t head = m_head.load();
    const size_t tail = m_tail.load();
    for (; head != tail; ++head)
        m_ring[head % RingSize]->Header->Flags.store(
            (m_ring[head % RingSize]->Header->Flags.load() & ~WaveHeaderFlag::InQueue) |
            WaveHeaderFlag::Done);
    m_head.store(tail);
    m_frontOffset = 0;
    if (m_converter)
        m_converter->Flush();
    m_paused.store(false);
    ResumeRendering();
}

void TQueuedAudioDevice::ReturnSlot(TSlot& slot) {
    TWaveHeader& header = *slot.Header;
    header.Flags.store((header.Flags.load() & ~WaveHeaderFlag::InQueue) | WaveHeaderFlag::Done);
    m_head.store(m_head.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    m_frontOffset = 0;
    if (m_notify)
        m_notify(m_handle);
}

size_t TQueuedAudioDevice::Render(uint8_t* out, size_t frames) {
    const size_t blockAlign = m_deviceFormat.BlockAlign;
    size_t wanted = frames * blockAlign;
    size_t played = 0;
    while (wanted > 0 && !m_paused.load(std::memory_order_relaxed)) {
        const size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire))
            break; // starved
        TSlot& slot = *m_ring[head % RingSize];
        const size_t n = std::min(wanted, slot.Bytes - m_frontOffset);
        if (out && n > 0) { // a converted block may be empty while a filter fills up
            std::memcpy(out, slot.Data + m_frontOffset, n);
            out += n;
        }
        m_frontOffset += n;
        wanted -= n;
        played += n;
        if (m_frontOffset >= slot.Bytes)
            ReturnSlot(slot);
    }
    if (out && wanted > 0)
        std::memset(out, 0, wanted);
    m_framesPlayed.fetch_add(static_cast<int64_t>(played / blockAlign), std::memory_order_relaxed);
    m_framesSilent.fetch_add(static_cast<int64_t>(wanted / blockAlign), std::memory_order_relaxed);
    return played / blockAlign;
}

TAudioDeviceCounters TQueuedAudioDevice::Counters() const {
    return {m_framesPlayed.load(), m_framesSilent.load()};
}
