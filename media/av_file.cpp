#include "media/av_file.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

TAVFile::TAVFile() = default;

TAVFile::~TAVFile() {
    FreeBuffer(m_bitmapBlock);
}

void* TAVFile::AllocBuffer(size_t bytes) {
    if (bytes == 0)
        return nullptr;
    return std::malloc(bytes);
}

void TAVFile::FreeBuffer(void* block) {
    std::free(block);
}

size_t TAVFile::FrameRowBytes() const {
    return static_cast<size_t>(std::max(m_width, 0)) * 4;
}

size_t TAVFile::FrameRows() const {
    return static_cast<size_t>(std::max(m_height, 0));
}

size_t TAVFile::FrameBytes() const {
    return FrameRowBytes() * FrameRows();
}

void TAVFile::Open(const std::string&, int32_t, int32_t, bool raiseErrors) {
    if (raiseErrors)
        throw AVFileErrorNotImplemented();
}

uint8_t* TAVFile::GetFrame() {
    if (m_capabilities & CapGetFrameAt)
        return GetFrameAt(GetVideoPosition());
    throw AVFileErrorNotImplemented();
}

uint8_t* TAVFile::GetFrameAt(int32_t index) {
    if (m_capabilities & CapGetFrame) {
        SetVideoPosition(index);
        return GetFrame();
    }
    throw AVFileErrorNotImplemented();
}

void TAVFile::CopyFrame(uint8_t* buffer) {
    if (m_capabilities & CapCopyFrameAt) {
        CopyFrameAt(buffer, GetVideoPosition());
        return;
    }
    const uint8_t* frame = GetFrame();
    std::memcpy(buffer, frame, FrameBytes());
}

void TAVFile::CopyFrameAt(uint8_t* buffer, int32_t index) {
    if (m_capabilities & CapCopyFrame) {
        SetVideoPosition(index);
        CopyFrame(buffer);
        return;
    }
    const uint8_t* frame = GetFrameAt(index);
    std::memcpy(buffer, frame, FrameBytes());
}

uint8_t* TAVFile::GetBitmap() {
    if (m_capabilities & CapGetBitmapAt)
        return GetBitmapAt(GetVideoPosition());
    return MakeBitmap(GetFrame());
}

uint8_t* TAVFile::GetBitmapAt(int32_t index) {
    if (m_capabilities & CapGetBitmap) {
        SetVideoPosition(index);
        return GetBitmap();
    }
    return MakeBitmap(GetFrameAt(index));
}

int32_t TAVFile::GetFlags() {
    return m_flags;
}

void TAVFile::Close() {
    m_mode = ModeClosed;
    m_streams = 0;
}

void TAVFile::Seek(int32_t index) {
    RequireOpened();
    if (m_streams & StreamVideo)
        SetVideoPosition(index);
}

int32_t TAVFile::GetMode() {
    return m_mode;
}

int32_t TAVFile::GetStreams() {
    return m_streams;
}

int32_t TAVFile::SkipFrames(int32_t count) {
    if (count == 0)
        return 0;
    return SetVideoPosition(GetVideoPosition() + count);
}

void TAVFile::PutFrame(const uint8_t*) {
    RequireWriting();
    RequireVideo();
    throw AVFileErrorNotImplemented();
}

void TAVFile::PutBitmap(const uint8_t* bitmap) {
    RequireWriting();
    RequireVideo();
    TBitmapInfoHeader header;
    std::memcpy(&header, bitmap, sizeof header);
    // A format with no pixels would make the row walk below start before the
    // block, so it is refused like any other picture we cannot take.
    if (header.biCompression != 0 || header.biBitCount != 32 || header.biWidth != m_width ||
        header.biHeight != m_height || m_width <= 0 || m_height <= 0)
        throw AVFileErrorPutVideo("Unsuported bitmap!"); // sic: the message users know

    const size_t rowBytes = FrameRowBytes();
    try {
        m_putBitmapFrame.resize(FrameBytes());
    } catch (const std::bad_alloc&) {
        throw AVFileErrorMemory();
    }
    const uint8_t* source =
        bitmap + header.biSize + static_cast<size_t>(header.biClrUsed) * 4 + (FrameRows() - 1) * rowBytes;
    uint8_t* target = m_putBitmapFrame.data();
    for (size_t row = 0; row < FrameRows(); ++row) {
        std::memcpy(target, source, rowBytes);
        target += rowBytes;
        source -= rowBytes;
    }
    PutFrame(m_putBitmapFrame.data());
}

int32_t TAVFile::GetVideoLength() {
    RequireOpened();
    RequireVideo();
    return 0;
}

int32_t TAVFile::GetVideoPosition() {
    RequireOpened();
    RequireVideo();
    return m_videoPosition;
}

TAVFile::TVideoFormat TAVFile::GetVideoFormat() {
    return TVideoFormat{m_width, m_height, m_rate, m_scale};
}

void TAVFile::SetVideoFormat(int32_t width, int32_t height, uint32_t rate, uint32_t scale) {
    RequireClosed();
    m_width = width;
    m_height = height;
    m_rate = rate;
    m_scale = scale;
}

int32_t TAVFile::SetVideoPosition(int32_t index) {
    RequireOpened();
    RequireVideo();
    m_videoPosition = index;
    return index;
}

uint8_t* TAVFile::GetAudio(int32_t&) {
    RequireReading();
    RequireAudio();
    throw AVFileErrorNotImplemented();
}

void TAVFile::SkipAudio() {
    RequireReading();
    RequireAudio();
}

void TAVFile::PutAudio(const uint8_t*, int32_t) {
    RequireWriting();
    RequireAudio();
    throw AVFileErrorNotImplemented();
}

int32_t TAVFile::GetAudioLength() {
    RequireOpened();
    RequireAudio();
    return 0;
}

int32_t TAVFile::GetAudioPosition() {
    RequireOpened();
    RequireAudio();
    return m_audioPosition;
}

TAVFile::TAudioFormat TAVFile::GetAudioFormat() {
    return TAudioFormat{m_channels, m_samplesPerSecond};
}

void TAVFile::SetAudioFormat(int32_t channels, int32_t samplesPerSecond) {
    RequireClosed();
    m_channels = channels;
    m_samplesPerSecond = samplesPerSecond;
}

int32_t TAVFile::SetAudioPosition(int32_t position) {
    RequireOpened();
    RequireAudio();
    m_audioPosition = position;
    return position;
}

bool TAVFile::SupportsExtension(const std::string& extension) {
    std::string lower = extension;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return std::find(m_extensions.begin(), m_extensions.end(), lower) != m_extensions.end();
}

TAVFile::TParameters TAVFile::GetParameters() {
    return m_parameters;
}

void TAVFile::SetParameters(TParameters parameters) {
    m_parameters = std::move(parameters);
}

std::string TAVFile::GetDescription() {
    return m_description;
}

int32_t TAVFile::GetAudioOffset() {
    return 0;
}

void TAVFile::AddExtension(const std::string& extension) {
    m_extensions.push_back(extension);
}

void TAVFile::RequireOpened() const {
    if (m_mode == ModeClosed)
        throw AVFileErrorNotOpened("File is not opened!");
}

void TAVFile::RequireClosed() const {
    if (m_mode != ModeClosed)
        throw AVFileErrorOpenInvalidMode("File is already opened!");
}

void TAVFile::RequireReading() const {
    if (m_mode != ModeRead)
        throw AVFileErrorOpenInvalidMode("File is not opened for reading!");
}

void TAVFile::RequireWriting() const {
    if (m_mode != ModeWrite)
        throw AVFileErrorOpenInvalidMode("File is not opened for writing!");
}

void TAVFile::RequireVideo() const {
    if (!(m_streams & StreamVideo))
        throw AVFileErrorVideoNotOpened();
}

void TAVFile::RequireAudio() const {
    if (!(m_streams & StreamAudio))
        throw AVFileErrorAudioNotOpened();
}

uint8_t* TAVFile::MakeBitmap(const uint8_t* frame) {
    const size_t pixelBytes = FrameBytes();
    const size_t needed = pixelBytes + sizeof(TBitmapInfoHeader);
    // The block size and biSizeImage are 32-bit; a frame beyond that cannot be
    // described, so it is reported like any allocation we cannot make.
    if (needed > std::numeric_limits<uint32_t>::max())
        throw AVFileErrorMemory();
    if (m_bitmapBlock == nullptr || m_bitmapBlockSize != needed) {
        FreeBuffer(m_bitmapBlock);
        m_bitmapBlockSize = 0;
        m_bitmapBlock = static_cast<uint8_t*>(AllocBuffer(needed));
        if (m_bitmapBlock == nullptr)
            throw AVFileErrorMemory();
        m_bitmapBlockSize = static_cast<uint32_t>(needed);
    }
    TBitmapInfoHeader header{};
    header.biSize = sizeof(TBitmapInfoHeader);
    header.biWidth = m_width;
    header.biHeight = m_height;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = 0;
    header.biSizeImage = static_cast<uint32_t>(pixelBytes);
    std::memcpy(m_bitmapBlock, &header, sizeof header);

    const size_t rowBytes = FrameRowBytes();
    uint8_t* target = m_bitmapBlock + sizeof header + pixelBytes;
    for (size_t row = 0; row < FrameRows(); ++row) {
        target -= rowBytes;
        std::memcpy(target, frame + row * rowBytes, rowBytes);
    }
    return m_bitmapBlock;
}

void TAVFile::CheckOpenResult(int32_t mode, int32_t streams) {
    if (m_mode != mode) {
        Close();
        throw AVFileErrorOpenInvalidMode();
    }
    if ((streams & StreamVideo) && !(m_streams & StreamVideo)) {
        Close();
        throw AVFileErrorOpenVideo();
    }
    if ((streams & StreamAudio) && !(m_streams & StreamAudio)) {
        Close();
        throw AVFileErrorOpenAudio();
    }
}
