#include "media/bmp/bmp_file.h"

#include "media/bmp/bmp_reader.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;
constexpr int32_t NoCachedFrame = -1;
constexpr int32_t WrittenDigitCount = 9;
// Nine digits always fit a 32-bit frame number. A longer run leaves its
// leading digits in the prefix, so the names still count up from the opened
// file instead of overflowing.
constexpr int32_t MaxDigitCount = 9;

struct TFileClose {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileClose>;

TFilePtr OpenFile(const std::string& name, const char* mode) {
    return TFilePtr(std::fopen(name.c_str(), mode));
}

// The extension dot is searched in the last path component only: a dot in a
// folder name must not move the frame files out of their folder.
size_t ExtensionDot(const std::string& name) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string::npos;
    return dot;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Optional blanks, an optional sign, then at least one digit; nothing when the
// text does not start with a number that fits 32 bits.
std::optional<int32_t> LeadingInteger(const std::string& text) {
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return std::nullopt;
    const bool isNegative = text[i] == '-';
    if (text[i] == '-' || text[i] == '+')
        ++i;
    if (i >= text.size() || !IsDigit(text[i]))
        return std::nullopt;
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1)
            return std::nullopt;
    }
    value = isNegative ? -value : value;
    if (value > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return static_cast<int32_t>(value);
}

void PutLittle16(uint8_t* target, uint16_t value) {
    target[0] = static_cast<uint8_t>(value);
    target[1] = static_cast<uint8_t>(value >> 8);
}

void PutLittle32(uint8_t* target, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        target[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

TBMPFile::TBMPFile() {
    m_capabilities = CapGetFrame | CapCopyFrame | CapGetBitmap;
    m_description = "BMP file input and output";
    AddExtension("bmp");
}

TBMPFile::~TBMPFile() {
    TBMPFile::Close();
}

std::string TBMPFile::FrameName(int32_t index) const {
    if (m_digitCount == 0)
        return m_prefix + m_extension;
    std::string digits = std::to_string(int64_t{m_firstNumber} + index);
    if (digits.size() < static_cast<size_t>(m_digitCount))
        digits.insert(0, static_cast<size_t>(m_digitCount) - digits.size(), '0');
    return m_prefix + digits + m_extension;
}

void TBMPFile::Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) {
    Close();
    if (streams & StreamVideo) {
        if (mode == ModeRead)
            OpenForReading(fileName, raiseErrors);
        else if (mode == ModeWrite)
            OpenForWriting(fileName, raiseErrors);
    }
    if (raiseErrors)
        CheckOpenResult(mode, streams);
}

void TBMPFile::OpenForReading(const std::string& fileName, bool raiseErrors) {
    if (!LoadBitmap(fileName, false)) {
        Close();
        return;
    }
    TBitmapInfoHeader info;
    std::memcpy(&info, m_bitmap.get(), sizeof info);
    m_width = info.biWidth;
    m_height = info.biHeight;
    // A sequence reads at 25 frames per second whatever its companion says.
    m_rate = 25;
    m_scale = 1;
    m_frameRowBytes = m_width * 4;
    m_bitmapRowBytes = m_frameRowBytes;
    m_frameBuffer.reset(static_cast<uint8_t*>(AllocBuffer(FrameBytes())));
    if (!m_frameBuffer) {
        Close();
        if (raiseErrors)
            throw AVFileErrorMemory();
        return;
    }
    m_cachedIndex = 0;
    m_videoPosition = 0;
    m_mode = ModeRead;
    m_streams = StreamVideo;

    SplitReadName(fileName);
    const TCompanion companion = ReadCompanion();
    if (companion.First && *companion.First != m_firstNumber) {
        m_firstNumber = *companion.First;
        m_cachedIndex = NoCachedFrame; // frame 0 is another file now
    }
    m_length = companion.Length ? *companion.Length : CountFrames();
}

void TBMPFile::SplitReadName(const std::string& fileName) {
    m_digitCount = 0;
    m_firstNumber = 0;
    const size_t dot = ExtensionDot(fileName);
    if (dot == std::string::npos) {
        m_extension.clear();
        m_prefix = fileName;
        return;
    }
    m_extension = fileName.substr(dot);
    size_t start = dot;
    while (start > 0 && m_digitCount < MaxDigitCount && IsDigit(fileName[start - 1])) {
        --start;
        ++m_digitCount;
    }
    for (size_t i = start; i < dot; ++i)
        m_firstNumber = m_firstNumber * 10 + (fileName[i] - '0');
    m_prefix = fileName.substr(0, start);
}

// Two states per line: the key until "=", then the value until the line
// feed. A last line without a line feed does not count.
TBMPFile::TCompanion TBMPFile::ReadCompanion() const {
    TCompanion companion;
    const TFilePtr file = OpenFile(CompanionName(), "r");
    if (!file)
        return companion;
    std::string key;
    std::string value;
    bool isInValue = false;
    for (int c = std::fgetc(file.get()); c != EOF; c = std::fgetc(file.get())) {
        if (c == '\n') {
            const std::optional<int32_t> number = isInValue ? LeadingInteger(value) : std::nullopt;
            if (number && key == "First")
                companion.First = number;
            else if (number && key == "Length")
                companion.Length = number;
            key.clear();
            value.clear();
            isInValue = false;
        } else if (isInValue) {
            value += static_cast<char>(c);
        } else if (c == '=') {
            isInValue = true;
        } else {
            key += static_cast<char>(c);
        }
    }
    // A negative length cannot describe a sequence; count the files instead.
    if (companion.Length && *companion.Length < 0)
        companion.Length.reset();
    return companion;
}

int32_t TBMPFile::CountFrames() const {
    int32_t length = 1;
    if (m_digitCount == 0)
        return length;
    while (length < std::numeric_limits<int32_t>::max() && OpenFile(FrameName(length), "rb"))
        ++length;
    return length;
}

bool TBMPFile::LoadBitmap(const std::string& name, bool requireOpenedSize) {
    const TFilePtr file = OpenFile(name, "rb");
    if (!file)
        return false;
    const auto layout = ReadBMPLayout(file.get());
    if (!layout)
        return false;
    if (requireOpenedSize && (layout->Info.biWidth != m_width || layout->Info.biHeight != m_height))
        return false;
    if (!m_bitmap || m_bitmapBytes != layout->BlockBytes) {
        m_bitmap.reset(static_cast<uint8_t*>(AllocBuffer(layout->BlockBytes)));
        m_bitmapBytes = m_bitmap ? layout->BlockBytes : 0;
        if (!m_bitmap)
            return false;
    }
    return ReadBMPPixels(file.get(), *layout, m_bitmap.get(), m_rowBuffer);
}

uint8_t* TBMPFile::GetBitmap() {
    RequireReading();
    RequireVideo();
    if (m_cachedIndex != NoCachedFrame && m_cachedIndex != m_videoPosition)
        m_cachedIndex = NoCachedFrame;
    if (m_cachedIndex == NoCachedFrame) {
        if (!LoadBitmap(FrameName(m_videoPosition), true))
            throw AVFileErrorGetVideo();
        m_cachedIndex = m_videoPosition;
    }
    ++m_videoPosition;
    return m_bitmap.get();
}

void TBMPFile::CopyRowsReversed(const uint8_t* source, uint8_t* target) const {
    const size_t rowBytes = FrameRowBytes();
    const size_t rows = FrameRows();
    for (size_t row = 0; row < rows; ++row)
        std::memcpy(target + row * rowBytes, source + (rows - 1 - row) * rowBytes, rowBytes);
}

uint8_t* TBMPFile::GetFrame() {
    const uint8_t* bitmap = GetBitmap();
    CopyRowsReversed(bitmap + InfoHeaderBytes, m_frameBuffer.get());
    return m_frameBuffer.get();
}

void TBMPFile::CopyFrame(uint8_t* buffer) {
    const uint8_t* bitmap = GetBitmap();
    CopyRowsReversed(bitmap + InfoHeaderBytes, buffer);
}

int32_t TBMPFile::GetVideoLength() {
    RequireOpened();
    RequireVideo();
    return m_length;
}

void TBMPFile::OpenForWriting(const std::string& fileName, bool raiseErrors) {
    // The format comes from SetVideoFormat unchecked; one without pixels, or
    // too large for the 32-bit size fields of a BMP file, cannot be written.
    if (m_width <= 0 || m_height <= 0 || FrameRowBytes() > MaxBMPPixelBytes / FrameRows()) {
        if (raiseErrors)
            throw AVFileErrorOpenVideo();
        return;
    }
    m_frameRowBytes = m_width * 4;
    m_bitmapRowBytes = m_frameRowBytes;
    m_bitmapBytes = static_cast<uint32_t>(InfoHeaderBytes + FrameBytes());
    m_bitmap.reset(static_cast<uint8_t*>(AllocBuffer(m_bitmapBytes)));
    if (!m_bitmap) {
        Close();
        if (raiseErrors)
            throw AVFileErrorMemory();
        return;
    }
    TBitmapInfoHeader info{};
    info.biSize = InfoHeaderBytes;
    info.biWidth = m_width;
    info.biHeight = m_height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = 0;
    info.biSizeImage = static_cast<uint32_t>(FrameBytes());
    std::memcpy(m_bitmap.get(), &info, sizeof info);

    m_digitCount = WrittenDigitCount;
    m_firstNumber = 0;
    m_extension = ".bmp";
    const size_t dot = ExtensionDot(fileName);
    m_prefix = dot == std::string::npos ? fileName : fileName.substr(0, dot);
    m_videoPosition = 0;
    m_length = 0;
    m_mode = ModeWrite;
    m_streams = StreamVideo;
}

void TBMPFile::PutFrame(const uint8_t* frame) {
    RequireWriting();
    RequireVideo();
    CopyRowsReversed(frame, m_bitmap.get() + InfoHeaderBytes);
    if (!WriteFrameFile(FrameName(m_videoPosition)))
        throw AVFileErrorPutVideo();
    ++m_videoPosition;
    m_length = std::max(m_length, m_videoPosition);
}

bool TBMPFile::WriteFrameFile(const std::string& name) const {
    uint8_t fileHeader[FileHeaderBytes] = {'B', 'M'};
    PutLittle32(fileHeader + 2, FileHeaderBytes + m_bitmapBytes);
    PutLittle16(fileHeader + 6, 0);
    PutLittle16(fileHeader + 8, 0);
    PutLittle32(fileHeader + 10, FileHeaderBytes + InfoHeaderBytes);
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool isWritten = std::fwrite(fileHeader, 1, sizeof fileHeader, file) == sizeof fileHeader &&
                     std::fwrite(m_bitmap.get(), 1, m_bitmapBytes, file) == m_bitmapBytes;
    // Buffered data may only fail to reach the disk at close (a full disk).
    isWritten = (std::fclose(file) == 0) && isWritten;
    // A cut-short frame file would later pass for part of the sequence.
    if (!isWritten)
        std::remove(name.c_str());
    return isWritten;
}

void TBMPFile::WriteCompanion() const {
    const TFilePtr file = OpenFile(CompanionName(), "w");
    if (!file)
        return;
    std::fprintf(file.get(),
                 "[Parameters]\nFirst=%" PRId32 "\nLength=%" PRId32 "\nRate=%" PRIu32 "\nScale=%" PRIu32
                 "\nWidth=%" PRId32 "\nHeight=%" PRId32 "\n",
                 m_firstNumber, m_length, m_rate, m_scale, m_width, m_height);
}

void TBMPFile::Close() {
    if (m_mode == ModeWrite && (m_streams & StreamVideo) && m_length != 0)
        WriteCompanion();
    TAVFile::Close();
    m_bitmap.reset();
    m_bitmapBytes = 0;
    m_frameBuffer.reset();
    m_cachedIndex = NoCachedFrame;
    m_length = 0;
}
