// The PortAudio path end to end: ALSA's file plugin over its null PCM becomes
// the default output, and what PortAudio played is read back from the file.

#include "playback/platform/audio_device.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

namespace {

TEST(PortAudioDevice, ThePlayedBuffersReachTheAlsaOutputUnchangedAndInOrder) {
    TTempDir dir;
    const std::string capture = dir.File("played.raw");
    const std::string config = dir.File("asound.conf");
    std::ofstream(config) << "</usr/share/alsa/alsa.conf>\n"
                          << "pcm.!default { type file slave.pcm \"null\" file \"" << capture
                          << "\" format \"raw\" }\n";
    // Read by ALSA when PortAudio starts, not by the editor.
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    std::unique_ptr<TAudioSystem> system = CreateAudioSystem();
    ASSERT_EQ(system->Name(), "PortAudio");

    std::mutex mutex;
    std::condition_variable returned;
    int done = 0;
    const TWaveFormat format = PcmFormat(2, 44100);
    std::unique_ptr<TAudioDevice> device = system->Open(format, 0, [&](TAudioDeviceHandle) {
        const std::lock_guard lock(mutex);
        ++done;
        returned.notify_all();
    });
    ASSERT_TRUE(device);
    EXPECT_EQ(device->DeviceFormat().SamplesPerSec, 44100u);

    constexpr size_t BufferBytes = 11024;
    std::array<std::vector<uint8_t>, 16> blocks;
    std::array<TWaveHeader, 16> headers;
    std::vector<uint8_t> written;
    for (size_t b = 0; b < blocks.size(); ++b) {
        blocks[b].resize(BufferBytes);
        for (size_t i = 0; i < BufferBytes; ++i)
            blocks[b][i] = static_cast<uint8_t>(1 + (i * 13 + b * 7) % 251); // never silence
        headers[b].Data = blocks[b].data();
        headers[b].BufferLength = BufferBytes;
        ASSERT_TRUE(device->PrepareHeader(headers[b]));
        written.insert(written.end(), blocks[b].begin(), blocks[b].end());
    }
    device->Pause();
    for (TWaveHeader& header : headers)
        ASSERT_TRUE(device->Write(header));
    device->Restart();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(returned.wait_for(lock, std::chrono::seconds(20), [&] { return done == 16; }));
    }
    device->Reset();
    for (TWaveHeader& header : headers) {
        EXPECT_EQ(header.Flags.load() & WaveHeaderFlag::InQueue, 0u);
        EXPECT_TRUE(device->UnprepareHeader(header));
    }
    device.reset();
    system.reset();

    std::ifstream in(capture, std::ios::binary);
    const std::vector<uint8_t> played((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto start = std::search(played.begin(), played.end(), written.begin(), written.begin() + 64);
    ASSERT_NE(start, played.end());
    ASSERT_GE(static_cast<size_t>(played.end() - start), written.size());
    EXPECT_TRUE(std::equal(written.begin(), written.end(), start));
    // Silence, not stale data, before and after.
    EXPECT_TRUE(std::all_of(played.begin(), start, [](uint8_t v) { return v == 0; }));
}

} // namespace
