#include "playback/audio_output.h"

#include "playback/time_convert.h"

#include <algorithm>
#include <cstring>

TWaveFormat PlaybackWaveFormat(int32_t channels, int32_t samplesPerSec, int32_t speedPercent) {
    return PcmFormat(static_cast<uint16_t>(channels),
                     static_cast<uint32_t>(speedPercent * samplesPerSec / 100));
}

uint32_t AudioBufferBytes(const TWaveFormat& format) {
    if (format.BlockAlign == 0)
        return 0;
    return format.AvgBytesPerSec / AudioBufferCount / format.BlockAlign * format.BlockAlign;
}

TAudioOutput::TAudioOutput(TAudioSystem& system, TBufferDoneNotify notify)
    : m_system(system), m_notify(std::move(notify)) {}

TAudioOutput::~TAudioOutput() {
    ReleaseOutputs();
}

std::vector<TPlaybackMedium*> TAudioOutput::OpenOutputs(TPlaybackMediaList& media, int32_t positionMs,
                                                        int32_t speedPercent) {
    ReleaseOutputs();
    std::vector<TPlaybackMedium*> opened;
    for (int32_t i = 0; i < media.MediumCount(); ++i) {
        TPlaybackMedium& medium = media.Medium(i);
        if (!IsReadable(medium) || !(medium.MediaFile()->GetStreams() & TAVFile::StreamAudio) ||
            !medium.IsAudioEnabled())
            continue;
        if (auto output = OpenOutput(medium, positionMs, speedPercent)) {
            m_outputs.push_back(std::move(output));
            opened.push_back(&medium);
        }
    }
    return opened;
}

void TAudioOutput::PositionAudioOnly(TPlaybackMedium& medium, int32_t positionMs) {
    TAVFile& file = *medium.MediaFile();
    // A medium with video was positioned with its video, which moves both streams.
    if (file.GetStreams() & TAVFile::StreamVideo)
        return;
    const int64_t p = std::max<int64_t>(static_cast<int64_t>(positionMs) - medium.Offset(), 0);
    try {
        file.Seek(FramesFromMs(static_cast<int32_t>(std::min<int64_t>(p, INT32_MAX)), file.GetVideoFormat()));
    } catch (const TAVFile::AVFileError&) {
        // A backend that cannot seek a file without video still plays it
        // when its audio already stands where playback starts (the start).
        const int64_t wanted = p * file.GetAudioFormat().SamplesPerSecond / 1000;
        if (file.GetAudioPosition() != wanted)
            throw;
    }
}

std::unique_ptr<TAudioInfo> TAudioOutput::OpenOutput(TPlaybackMedium& medium, int32_t positionMs,
                                                     int32_t speedPercent) {
    auto output = std::make_unique<TAudioInfo>();
    try {
        PositionAudioOnly(medium, positionMs);
        const TAVFile::TAudioFormat audio = medium.MediaFile()->GetAudioFormat();
        if (audio.Channels <= 0 || audio.SamplesPerSecond <= 0)
            return nullptr;
        output->Format = PlaybackWaveFormat(audio.Channels, audio.SamplesPerSecond, speedPercent);
        const uint32_t pitchRate =
            m_keepPitch && speedPercent != 100 ? static_cast<uint32_t>(audio.SamplesPerSecond) : 0;
        output->Device = m_system.Open(output->Format, pitchRate, m_notify);
    } catch (const TAVFile::AVFileError&) {
        return nullptr; // no sound for this medium, nothing reported
    }
    if (!output->Device)
        return nullptr;
    const uint32_t length = AudioBufferBytes(output->Format);
    for (int32_t b = 0; b < AudioBufferCount; ++b) {
        output->Blocks[b].reset(new (std::nothrow) uint8_t[length]);
        TWaveHeader& header = output->Buffers[b];
        header.Data = output->Blocks[b].get();
        header.BufferLength = length;
        header.Flags.store(WaveHeaderFlag::Done);
        if (!header.Data || !output->Device->PrepareHeader(header)) {
            Release(*output);
            return nullptr;
        }
    }
    output->Video = &medium;
    return output;
}

void TAudioOutput::StartOutput(int32_t output) {
    if (output < 0 || output >= static_cast<int32_t>(m_outputs.size()))
        return;
    TAudioInfo& info = *m_outputs[static_cast<size_t>(output)];
    // All 16 buffers are queued before the sound starts.
    info.Device->Pause();
    FillBuffers(info);
    info.Device->Restart();
}

void TAudioOutput::AudioBufferDone(uint32_t device) {
    const auto found = std::find_if(m_outputs.begin(), m_outputs.end(), [device](const auto& output) {
        return output->Device->Handle() == device;
    });
    if (found == m_outputs.end() || !(*found)->Active)
        return;
    --(*found)->Queued;
    FillBuffers(**found);
}

bool TAudioOutput::FillBuffers(TAudioInfo& output) {
    output.Queued = static_cast<int32_t>(
        std::count_if(output.Buffers.begin(), output.Buffers.end(), [](const TWaveHeader& header) {
            return (header.Flags.load() & WaveHeaderFlag::InQueue) != 0;
        }));
    // An ended output never queues again: its last buffer already carried the
    // silence after the sound.
    if (!output.Active)
        return false;
    while (output.Queued < AudioBufferCount) {
        if (!Refill(output))
            return false;
    }
    return true;
}

// Fills and queues buffer NextBuffer; false when the sound ended on the way.
bool TAudioOutput::Refill(TAudioInfo& output) {
    TWaveHeader& buffer = output.Buffers[static_cast<size_t>(output.NextBuffer)];
    uint32_t filled = 0;
    while (filled < buffer.BufferLength) {
        TAVFile& file = *output.Video->MediaFile();
        if (output.PendingBytes == 0) {
            try {
                if (file.GetAudioPosition() < file.GetAudioLength())
                    output.PendingData = file.GetAudio(output.PendingBytes);
            } catch (const TAVFile::AVFileError&) {
                output.PendingBytes = 0; // the end of this medium's sound
            }
        }
        if (output.PendingBytes <= 0 || !output.PendingData) {
            output.PendingBytes = 0;
            output.Active = false;
            std::memset(buffer.Data + filled, 0, buffer.BufferLength - filled);
            output.Device->Write(buffer);
            ++output.Queued;
            return false;
        }
        const uint32_t n = std::min(static_cast<uint32_t>(output.PendingBytes), buffer.BufferLength - filled);
        std::memcpy(buffer.Data + filled, output.PendingData, n);
        // Advancing into the block leaves the same bytes pending as moving
        // them to its start would, without copying them on every buffer.
        output.PendingData += n;
        output.PendingBytes -= static_cast<int32_t>(n);
        filled += n;
    }
    output.Device->Write(buffer);
    ++output.Queued;
    output.NextBuffer = (output.NextBuffer + 1) % AudioBufferCount;
    return true;
}

void TAudioOutput::Release(TAudioInfo& output) {
    if (output.Device)
        output.Device->Reset();
    for (int32_t b = 0; b < AudioBufferCount; ++b) {
        if (output.Device && output.Buffers[b].Data)
            output.Device->UnprepareHeader(output.Buffers[b]);
        output.Blocks[b].reset();
        output.Buffers[b].Data = nullptr;
    }
    output.Device.reset(); // closes
}

void TAudioOutput::ReleaseOutputs() {
    for (auto& output : m_outputs)
        Release(*output);
    m_outputs.clear();
}
