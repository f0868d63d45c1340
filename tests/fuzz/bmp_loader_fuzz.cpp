// Fuzz entry point for the BMP loader. Every input goes through the loader in
// memory and through a one-file sequence on disk, the way the editor opens a
// BMP. Crashes, sanitizer reports, escaping exceptions and broken invariants
// are findings; a refused file is a normal outcome.
#include "media/bmp/bmp_file.h"
#include "media/bmp/bmp_reader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "BMP loader invariant broken: %s\n", what);
        std::abort();
    }
}

// One folder per process for the sequence file, removed at exit.
class TScratchFolder {
public:
    TScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "scenemark-bmp-fuzz-XXXXXX").string();
        Check(mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
        m_path = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string File(const char* name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

void CheckBlock(const TBMPLayout& layout, const std::vector<uint8_t>& block) {
    TBitmapInfoHeader info;
    std::memcpy(&info, block.data(), sizeof info);
    Check(info.biBitCount == 32, "the block is 32-bit");
    Check(info.biSizeImage == layout.BlockBytes - 40, "biSizeImage is the pixel size");
    if (layout.Info.biBitCount != 24)
        return;
    for (size_t i = 40 + 3; i < block.size(); i += 4)
        Check(block[i] == 0x00 || block[i] == 0xFF, "a 24-bit key byte is 0x00 or 0xFF");
}

void LoadFromMemory(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    // fmemopen takes a writable buffer even for reading.
    std::vector<uint8_t> bytes(data, data + size);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    Check(file != nullptr, "a memory stream opens");
    if (const auto layout = ReadBMPLayout(file)) {
        const uint64_t width = static_cast<uint64_t>(layout->Info.biWidth);
        const uint64_t height = static_cast<uint64_t>(layout->Info.biHeight);
        Check(layout->Info.biWidth > 0 && layout->Info.biHeight > 0, "sizes are positive");
        Check(layout->BlockBytes == 40 + width * 4 * height, "the block holds the picture");
        Check(layout->PixelOffset + uint64_t{layout->FileRowBytes} * height <= size,
              "rows lie inside the file");
        std::vector<uint8_t> block(layout->BlockBytes);
        std::vector<uint8_t> rows;
        Check(ReadBMPPixels(file, *layout, block.data(), rows), "a validated file reads in full");
        CheckBlock(*layout, block);
    }
    std::fclose(file);
}

void LoadThroughSequence(const uint8_t* data, size_t size) {
    static const TScratchFolder folder;
    const std::string name = folder.File("frame.bmp");
    std::FILE* out = std::fopen(name.c_str(), "wb");
    Check(out != nullptr, "the scratch file can be written");
    // An empty input may come with no buffer at all.
    const bool isWritten = size == 0 || std::fwrite(data, 1, size, out) == size;
    Check(std::fclose(out) == 0 && isWritten, "the scratch file is written");

    TBMPFile file;
    file.Open(name, TAVFile::ModeRead, TAVFile::StreamVideo, false);
    if (file.GetMode() != TAVFile::ModeRead)
        return;
    Check(file.GetVideoLength() == 1, "a name without digits is one picture");
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    const size_t frameBytes = static_cast<size_t>(format.Width) * 4 * static_cast<size_t>(format.Height);
    Check(frameBytes <= size * 4 / 3 + 4, "the frame is no larger than the file can fill");
    const uint8_t* frame = file.GetFrame();
    std::vector<uint8_t> copy(frameBytes);
    file.CopyFrameAt(copy.data(), 0);
    Check(std::memcmp(frame, copy.data(), frameBytes) == 0, "GetFrame and CopyFrame agree");
    Check(file.GetVideoPosition() == 1, "reading frame 0 moves to frame 1");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LoadFromMemory(data, size);
    LoadThroughSequence(data, size);
    return 0;
}
