// Fuzz entry point for our AVI layer: every input is parsed by the reader in
// memory; the streams it finds are decoded (first, middle and last picture,
// some audio) the way TAVIFile uses them. Crashes, sanitizer reports,
// escaping exceptions and broken invariants are findings; a refused file is a
// normal outcome.
#include "media/avi/platform/avi_audio.h"
#include "media/avi/platform/avi_codecs.h"
#include "media/avi/platform/avi_library.h"
#include "media/avi/platform/avi_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "AVI reader invariant broken: %s\n", what);
        std::abort();
    }
}

void CheckIndex(const TAVIReadStream& stream, uint64_t fileSize) {
    int64_t samples = 0;
    for (const TAVIIndexEntry& e : stream.Index) {
        Check(e.Offset <= fileSize && e.Size <= fileSize - e.Offset, "entries lie inside the file");
        Check(e.FirstSample == samples, "sample numbers follow the entries");
        samples = e.FirstSample + 1;
        if (stream.Header.fccType == FourCCAudio && stream.Header.dwSampleSize > 0)
            samples = e.FirstSample + e.Size / stream.Header.dwSampleSize;
    }
    Check(samples == stream.SampleCount, "the sample count is the entries' sum");
}

void DecodeVideo(TAVIReader& reader, int32_t stream) {
    auto decompressor = TAVIDecompressor::Open(reader, stream, nullptr);
    if (!decompressor)
        return;
    const int32_t start = reader.Start(stream);
    const int32_t length = reader.Length(stream);
    for (const int32_t sample : {start, start + length / 2, start + length - 1, start + 1, start + length}) {
        if (const uint8_t* bitmap = decompressor->GetFrame(sample)) {
            TBitmapInfoHeader header;
            std::memcpy(&header, bitmap, sizeof header);
            Check(header.biBitCount == 32 && header.biSize == 40, "pictures come as 32-bit bitmaps");
        }
    }
}

void DecodeAudio(TAVIReader& reader, int32_t stream) {
    const TAVIReadStream& s = reader.Stream(stream);
    if (s.Format.size() < 16)
        return;
    TWaveFormatEx wave{};
    std::memcpy(&wave, s.Format.data(), std::min(s.Format.size(), sizeof wave));
    auto converter = TAVIAudioConverter::Open(s.Format, AVIPCMFormat(wave.nChannels, wave.nSamplesPerSec));
    if (!converter)
        return;
    const uint32_t sourceBytes = converter->SourceBytesFor(44100);
    std::vector<uint8_t> source(sourceBytes), target(44100);
    int32_t position = reader.Start(stream);
    for (int call = 0; call < 4; ++call) {
        int32_t bytes = 0, samples = 0;
        const int32_t count = static_cast<int32_t>(sourceBytes / std::max<uint16_t>(wave.nBlockAlign, 1));
        if (!reader.ReadSamples(stream, position, count, source.data(), source.size(), bytes, samples))
            break;
        Check(static_cast<size_t>(bytes) <= source.size(), "reads stay in the buffer");
        uint32_t produced = 0;
        converter->Convert(source.data(), static_cast<uint32_t>(bytes), target.data(), 44100, produced);
        Check(produced <= 44100, "conversions stay in the buffer");
        if (samples == 0)
            break;
        position += samples;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    AVILibraryInit();
    std::vector<uint8_t> bytes(data, data + size);
    try {
        TAVIReader reader(MakeAVIMemorySource(std::move(bytes)));
        for (int32_t s = 0; s < reader.StreamCount(); ++s)
            CheckIndex(reader.Stream(s), size);
        if (const int32_t video = reader.FindStream(FourCCVideo); video >= 0)
            DecodeVideo(reader, video);
        if (const int32_t audio = reader.FindStream(FourCCAudio); audio >= 0)
            DecodeAudio(reader, audio);
    } catch (const TAVIFormatError&) {
        // A refused file.
    }
    return 0;
}
