#pragma once
// TBMPFile: video stored as a run of numbered BMP files (clip0001.bmp,
// clip0002.bmp, ...) with an optional companion text file "<prefix>.ini"
// holding the first number and the length. Video only, no audio.
//
// Reading: frames are loaded on demand, one cached; a sequence always reads at
// 25 frames per second. The first file fixes the frame size; a later file of
// another size, or a missing one, raises AVFileErrorGetVideo "Could not get
// frame!" for that frame only, without advancing the position. The bitmap
// block and the frame buffer are allocated once per open and reused.
//
// Writing: one 32-bit file per PutFrame, named <name before its extension>
// followed by a nine-digit frame number from 000000000 and ".bmp"; Close (also
// the destructor) writes the companion file when at least one frame was
// written. A failed write raises AVFileErrorPutVideo "Could not put frame!"
// and leaves no partial file.
//
// Backend id 3, extension "bmp", native GetFrame, CopyFrame and GetBitmap.

#include "media/av_file.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TBMPFile : public TAVFile {
public:
    TBMPFile();
    ~TBMPFile() override;

    void Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) override;
    uint8_t* GetFrame() override;
    void CopyFrame(uint8_t* buffer) override;
    uint8_t* GetBitmap() override;
    void Close() override;
    void PutFrame(const uint8_t* frame) override;
    int32_t GetVideoLength() override;

    // Name of the file holding frame index: prefix, the frame number (first
    // number + index) left-padded with zeros to the digit count and never cut,
    // then the extension. With no digits every index names the one file.
    std::string FrameName(int32_t index) const;

private:
    struct TBlockFree {
        void operator()(uint8_t* block) const { FreeBuffer(block); }
    };
    using TBlock = std::unique_ptr<uint8_t, TBlockFree>;
    // Values a companion file gave; keys it lacks stay empty.
    struct TCompanion {
        std::optional<int32_t> First;
        std::optional<int32_t> Length;
    };

    void OpenForReading(const std::string& fileName, bool raiseErrors);
    void OpenForWriting(const std::string& fileName, bool raiseErrors);
    // Loads name into the bitmap block, allocating it only when its size
    // changes. With requireOpenedSize a file of another size is refused before
    // any pixel is read.
    bool LoadBitmap(const std::string& name, bool requireOpenedSize);
    void SplitReadName(const std::string& fileName);
    TCompanion ReadCompanion() const;
    int32_t CountFrames() const;
    bool WriteFrameFile(const std::string& name) const;
    void WriteCompanion() const;
    void CopyRowsReversed(const uint8_t* source, uint8_t* target) const;
    std::string CompanionName() const { return m_prefix + ".ini"; }

    int32_t m_frameRowBytes = 0;
    int32_t m_bitmapRowBytes = 0;
    int32_t m_length = 0;
    int32_t m_cachedIndex = -1; // -1: no frame in the bitmap block
    int32_t m_digitCount = 0;   // 0: a single image
    int32_t m_firstNumber = 0;
    std::string m_prefix;
    std::string m_extension;
    TBlock m_bitmap; // 40-byte header + pixels of the current frame
    uint32_t m_bitmapBytes = 0;
    TBlock m_frameBuffer; // top-down copy returned by GetFrame (reading only)
    std::vector<uint8_t> m_rowBuffer;
};
