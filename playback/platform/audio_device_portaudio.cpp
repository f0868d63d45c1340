// The default output device through PortAudio, and the choice between it and
// the clocked null device.

#include "base/exception.h"
#include "playback/platform/audio_device.h"
#include "playback/platform/audio_device_null.h"
#include "playback/platform/queued_audio_device.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <portaudio.h>

namespace {

void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}
void SilentJackMessage(const char*) {}

// Without a card ALSA and JACK print some 65 lines while PortAudio probes
// them; none of it helps a user of an editor that plays silently then.
void SilenceSoundLibraries() {
    snd_lib_error_set_handler(&SilentAlsaError);
    jack_set_error_function(&SilentJackMessage);
    jack_set_info_function(&SilentJackMessage);
}

class TPortAudioDevice final : public TQueuedAudioDevice {
public:
    TPortAudioDevice(const TWaveFormat& format, const TWaveFormat& deviceFormat, uint32_t pitchRate,
                     TBufferDoneNotify notify)
        : TQueuedAudioDevice(NextAudioDeviceHandle(), format, deviceFormat, pitchRate, std::move(notify)) {}

    ~TPortAudioDevice() override {
        if (m_stream) {
            Pa_AbortStream(m_stream);
            Pa_CloseStream(m_stream);
        }
    }

    // False when the hardware refuses the device format.
    bool OpenStream(PaDeviceIndex deviceIndex) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(deviceIndex);
        if (!info)
            return false;
        PaStreamParameters output{};
        output.device = deviceIndex;
        output.channelCount = DeviceFormat().Channels;
        output.sampleFormat = paInt16;
        output.suggestedLatency = info->defaultLowOutputLatency;
        if (Pa_OpenStream(&m_stream, nullptr, &output, DeviceFormat().SamplesPerSec,
                          paFramesPerBufferUnspecified, paNoFlag, &TPortAudioDevice::Callback,
                          this) != paNoError) {
            m_stream = nullptr;
            return false;
        }
        // Started at once: until buffers come the device plays silence, so
        // the first buffer sounds without the latency of a start.
        if (Pa_StartStream(m_stream) != paNoError) {
            Pa_CloseStream(m_stream);
            m_stream = nullptr;
            return false;
        }
        return true;
    }

protected:
    void HaltRendering() override { Pa_AbortStream(m_stream); }
    void ResumeRendering() override { Pa_StartStream(m_stream); }

private:
    static int Callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags, void* userData) {
        static_cast<TPortAudioDevice*>(userData)->Render(static_cast<uint8_t*>(output), frames);
        return paContinue;
    }

    PaStream* m_stream = nullptr;
};

class TPortAudioSystem final : public TAudioSystem {
public:
    ~TPortAudioSystem() override {
        if (m_initialized)
            Pa_Terminate();
    }

    // False when PortAudio does not start or finds no output device.
    bool Initialize() {
        SilenceSoundLibraries();
        m_initialized = Pa_Initialize() == paNoError;
        if (!m_initialized)
            return false;
        m_device = Pa_GetDefaultOutputDevice();
        return m_device != paNoDevice;
    }

    std::unique_ptr<TAudioDevice> Open(const TWaveFormat& format, uint32_t pitchRate,
                                       TBufferDoneNotify notify) override {
        if (format.FormatTag != WaveFormatPcm || format.BitsPerSample != 16 || format.Channels == 0 ||
            format.SamplesPerSec == 0)
            return nullptr;
        const PaDeviceInfo* info = Pa_GetDeviceInfo(m_device);
        const auto preferred = static_cast<uint32_t>(info ? info->defaultSampleRate : 48000.0);
        const uint32_t rate = pitchRate > 0 ? pitchRate : format.SamplesPerSec;
        for (const TDeviceFormatChoice& choice : DeviceFormatCandidates(format.Channels, rate, preferred)) {
            std::unique_ptr<TPortAudioDevice> device;
            try {
                device = std::make_unique<TPortAudioDevice>(
                    format, PcmFormat(choice.Channels, choice.SamplesPerSec), pitchRate, notify);
            } catch (const TException&) {
                continue; // no conversion to this format; try the next
            }
            if (device->OpenStream(m_device))
                return device;
        }
        return nullptr;
    }

    std::string Name() const override { return "PortAudio"; }

private:
    bool m_initialized = false;
    PaDeviceIndex m_device = paNoDevice;
};

} // namespace

std::unique_ptr<TAudioSystem> CreateAudioSystem() {
    auto portAudio = std::make_unique<TPortAudioSystem>();
    if (portAudio->Initialize())
        return portAudio;
    return std::make_unique<TNullAudioSystem>(TNullPacing::Thread);
}
