// Reading audio: chunks of decoded samples and draining of queued audio.

#include "media/ffmpeg/ff_file.h"

#include "media/ffmpeg/ff_file_i.h"

#include <algorithm>
#include <cstring>

namespace {

// The silence that stands in for audio missing at the end of a file comes in
// chunks of at most one second, so a wildly wrong length cannot make one
// call allocate gigabytes.
constexpr int64_t MaxSilenceSeconds = 1;

} // namespace

uint8_t* TFFFile::GetAudio(int32_t& byteCount) {
    RequireReading();
    RequireAudio();
    TFFFileI& context = *m_context;
    TFFSampleBuffer& chunk = context.audioChunk;
    chunk.Clear();
    bool ended = false;
    // Everything already queued, or at least one packet's worth from the file.
    while (chunk.Size() == 0 || context.demuxer.AudioQueued()) {
        TFFPacketPtr packet = context.demuxer.NextAudioPacket();
        const int64_t skip = context.demuxer.TakeAudioSkipFrames();
        if (skip > 0)
            context.audio.DiscardFrames(skip);
        int64_t frames = 0;
        if (!packet) {
            // End of input: what the decoder still holds comes out now.
            context.audio.Decode(nullptr, &chunk, frames);
            ended = true;
            break;
        }
        if (!context.audio.Decode(packet.get(), &chunk, frames))
            throw AVFileErrorGetAudio();
    }
    if (ended) {
        const int64_t have =
            int64_t{m_audioPosition} + static_cast<int64_t>(chunk.Size() / m_bytesPerSampleFrame);
        const int64_t missing =
            std::min<int64_t>(m_audioLength - have, MaxSilenceSeconds * m_samplesPerSecond);
        if (missing > 0) {
            const size_t bytes = static_cast<size_t>(missing) * m_bytesPerSampleFrame;
            std::memset(chunk.Extend(bytes), 0, bytes);
        }
        if (chunk.Size() == 0)
            throw AVFileErrorGetAudio();
    }
    byteCount = static_cast<int32_t>(chunk.Size());
    m_audioPosition += byteCount / m_bytesPerSampleFrame;
    return chunk.Data();
}

void TFFFile::SkipAudio() {
    RequireReading();
    RequireAudio();
    TFFFileI& context = *m_context;
    bool failed = false;
    while (context.demuxer.AudioQueued()) {
        TFFPacketPtr packet = context.demuxer.NextAudioPacket();
        const int64_t skip = context.demuxer.TakeAudioSkipFrames();
        if (skip > 0)
            context.audio.DiscardFrames(skip);
        int64_t frames = 0;
        if (!context.audio.Decode(packet.get(), nullptr, frames))
            failed = true;
        m_audioPosition += static_cast<int32_t>(frames);
    }
    if (failed)
        throw AVFileErrorGetAudio();
}
