#include "media/avi/avi_file.h"

#include "base/round_to_int.h"
#include "media/avi/platform/avi_audio.h"
#include "media/avi/platform/avi_codecs.h"
#include "media/avi/platform/avi_library.h"
#include "media/avi/platform/avi_reader.h"
#include "media/avi/platform/avi_writer.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

namespace {

struct TAlignmentRow {
    const char* Code;
    TAVIAlignment Steps;
};
const TAlignmentRow AlignmentTable[] = {
    {"mpg4", {4, 2}}, {"mp42", {4, 2}}, {"mp43", {4, 2}}, {"div3", {4, 2}}, {"divx", {4, 2}},
};

} // namespace

TAVIAlignment AVIAlignmentSteps(uint32_t handler) {
    std::string code = FourCCText(handler);
    for (char& c : code)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const TAlignmentRow& row : AlignmentTable)
        if (code == row.Code)
            return row.Steps;
    return {1, 1};
}

TAVIFile::TAVIFile() : m_riffBoundary(TAVIWriter::DefaultRiffBoundary) {
    AVILibraryInit();
    AddExtension("avi");
    AddExtension("wav");
    m_description = "Video for Windows file input and output";
    m_capabilities = CapGetFrame | CapCopyFrame | CapGetBitmap;
    Close();
}

TAVIFile::~TAVIFile() {
    try {
        Close();
    } catch (const AVFileError&) {
        // Nobody is left to tell; the owner that cares calls Close itself.
    }
}

void TAVIFile::Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) {
    Close();
    if (mode == ModeRead)
        OpenRead(fileName, streams, raiseErrors);
    else if (mode == ModeWrite)
        OpenWrite(fileName, streams, raiseErrors);
    else if (raiseErrors)
        throw AVFileErrorOpenInvalidMode();
}

void TAVIFile::OpenRead(const std::string& fileName, int32_t streams, bool raiseErrors) {
    try {
        m_reader = std::make_unique<TAVIReader>(OpenAVIFileSource(fileName));
    } catch (const TAVIFormatError&) {
        m_reader.reset();
        if (raiseErrors)
            throw AVFileErrorOpen();
        return;
    }
    if (streams & StreamVideo) {
        const int32_t stream = m_reader->FindStream(FourCCVideo);
        if (stream >= 0 && OpenReadVideo(stream)) {
            m_videoStream = stream;
            m_mode = ModeRead;
            m_streams |= StreamVideo;
        }
    }
    if (streams & StreamAudio) {
        const int32_t stream = m_reader->FindStream(FourCCAudio);
        if (stream >= 0 && OpenReadAudio(stream)) {
            m_audioStream = stream;
            m_mode = ModeRead;
            m_streams |= StreamAudio;
        }
    }
    if (m_mode == ModeClosed)
        m_reader.reset();
    if (raiseErrors)
        CheckOpenResult(ModeRead, streams);
}

bool TAVIFile::OpenReadVideo(int32_t stream) {
    const TAVIReadStream& s = m_reader->Stream(stream);
    TBitmapInfoHeader format;
    // A stream without a picture format or a rate has no frames to show.
    if (s.Format.size() < sizeof format || s.Header.dwRate == 0 || s.Header.dwScale == 0)
        return false;
    std::memcpy(&format, s.Format.data(), sizeof format);
    // A top-down bitmap (negative height) has as many rows as a bottom-up one.
    if (format.biWidth <= 0 || format.biWidth > 32768 || format.biHeight == 0 || format.biHeight < -32768 ||
        format.biHeight > 32768)
        return false;
    m_videoPosition = m_reader->Start(stream);
    m_rate = s.Header.dwRate;
    m_scale = s.Header.dwScale;
    m_width = format.biWidth;
    m_height = std::abs(format.biHeight);

    TBitmapInfoHeader wanted{};
    wanted.biSize = sizeof wanted;
    wanted.biWidth = m_width;
    wanted.biHeight = m_height;
    wanted.biPlanes = 1;
    wanted.biBitCount = 32;
    m_frameGetter = TAVIDecompressor::Open(*m_reader, stream, &wanted);
    if (!m_frameGetter)
        m_frameGetter = TAVIDecompressor::Open(*m_reader, stream, nullptr);
    if (m_frameGetter) {
        m_sourceRowBytes = m_bitmapRowBytes = m_width * 4;
        try {
            m_frameBuffer.assign(FrameBytes(), 0);
        } catch (const std::bad_alloc&) {
            m_frameGetter.reset();
            return false;
        }
    }
    return true;
}

bool TAVIFile::OpenReadAudio(int32_t stream) {
    const TAVIReadStream& s = m_reader->Stream(stream);
    if (s.Format.size() < 16)
        return false;
    TWaveFormatEx source{};
    std::memcpy(&source, s.Format.data(), std::min(s.Format.size(), sizeof source));
    m_audioPosition = m_reader->Start(stream);
    m_converter = TAVIAudioConverter::Open(s.Format, AVIPCMFormat(source.nChannels, source.nSamplesPerSec));
    if (!m_converter)
        return false;
    m_channels = source.nChannels;
    m_samplesPerSecond = static_cast<int32_t>(source.nSamplesPerSec);
    m_sourceBlockAlign = std::max<uint32_t>(source.nBlockAlign, 1);
    m_destinationLength = ConverterBufferBytes;
    m_sourceLength = m_converter->SourceBytesFor(m_destinationLength);
    // A stream of whole-chunk samples must get at least its largest chunk
    // into the buffer, or reading would never move on.
    if (s.Header.dwSampleSize == 0)
        for (const TAVIIndexEntry& e : s.Index)
            m_sourceLength = std::max(m_sourceLength, e.Size);
    try {
        m_sourceBuffer.assign(m_sourceLength, 0);
        m_destinationBuffer.assign(m_destinationLength, 0);
    } catch (const std::bad_alloc&) {
        m_converter.reset();
        return false;
    }
    return true;
}

void TAVIFile::OpenWrite(const std::string& fileName, int32_t streams, bool raiseErrors) {
    try {
        m_writer = std::make_unique<TAVIWriter>(fileName, m_riffBoundary);
    } catch (const TAVIFormatError&) {
        throw AVFileErrorOpen();
    }
    if ((streams & StreamVideo) && OpenWriteVideo()) {
        m_mode = ModeWrite;
        m_streams |= StreamVideo;
        m_videoPosition = 0;
    }
    if ((streams & StreamAudio) && OpenWriteAudio()) {
        m_mode = ModeWrite;
        m_streams |= StreamAudio;
        m_audioPosition = 0;
    }
    if (m_mode == ModeClosed) {
        try {
            m_writer->Close();
        } catch (const TAVIFormatError&) {
            // The file holds no stream; the open failure below says enough.
        }
        m_writer.reset();
    }
    if (raiseErrors)
        CheckOpenResult(ModeWrite, streams);
}

bool TAVIFile::OpenWriteVideo() {
    if (m_width <= 0 || m_height <= 0 || m_rate == 0 || m_scale == 0)
        return false;
    TAVICompressorOptions options;
    if (m_chooser == nullptr || !m_chooser->ChooseCompressor(options))
        return false;
    const TAVIAlignment steps = AVIAlignmentSteps(options.Handler);
    const int32_t width = m_width / steps.WidthStep * steps.WidthStep;
    const int32_t height = m_height / steps.HeightStep * steps.HeightStep;
    if (width == 0 || height == 0)
        return false;
    m_outputHeader = TBitmapInfoHeader{};
    m_outputHeader.biSize = sizeof m_outputHeader;
    m_outputHeader.biWidth = width;
    m_outputHeader.biHeight = height;
    m_outputHeader.biPlanes = 1;
    m_outputHeader.biBitCount = 32;
    m_outputHeader.biSizeImage = static_cast<uint32_t>(width) * 4 * static_cast<uint32_t>(height);
    m_sourceRowBytes = m_width * 4;
    m_bitmapRowBytes = width * 4;

    std::vector<uint8_t> format(sizeof m_outputHeader);
    std::memcpy(format.data(), &m_outputHeader, sizeof m_outputHeader);
    try {
        if (options.Handler != 0) {
            m_compressor = TAVICompressor::Open(options, width, height, m_rate, m_scale);
            format = m_compressor->Format();
        }
        TAVIStreamHeader header{};
        header.fccType = FourCCVideo;
        header.fccHandler = options.Handler;
        header.dwScale = m_scale;
        header.dwRate = m_rate;
        header.dwSuggestedBufferSize = m_outputHeader.biSizeImage;
        header.dwQuality = static_cast<uint32_t>(options.Quality);
        header.rcRight = static_cast<int16_t>(std::min(width, 32767));
        header.rcBottom = static_cast<int16_t>(std::min(height, 32767));
        m_videoStream = m_writer->AddStream(header);
        m_writer->SetFormat(m_videoStream, format);
        // Full frames are flipped into bottom-up rows here; compressors read
        // the caller's rows.
        if (!m_compressor)
            m_frameBuffer.assign(m_outputHeader.biSizeImage, 0);
    } catch (const TAVIFormatError&) {
        m_compressor.reset();
        m_videoStream = -1;
        return false;
    } catch (const std::bad_alloc&) {
        m_compressor.reset();
        m_videoStream = -1;
        return false;
    }
    m_hasCompressedStream = true;
    return true;
}

bool TAVIFile::OpenWriteAudio() {
    if (m_channels < 1 || m_channels > 8 || m_samplesPerSecond < 1000)
        return false;
    const std::vector<uint8_t> source = AVIPCMFormat(m_channels, m_samplesPerSecond);
    std::vector<uint8_t> chosen;
    if (m_chooser == nullptr || !m_chooser->ChooseAudioFormat(source, chosen) || chosen.size() < 18)
        return false;
    TWaveFormatEx wave;
    std::memcpy(&wave, chosen.data(), sizeof wave);
    m_converter = TAVIAudioConverter::Open(source, chosen);
    if (!m_converter)
        return false;
    m_sourceLength = ConverterBufferBytes;
    m_destinationLength = m_converter->DestinationBytesFor(m_sourceLength);
    m_chosenBlockAlign = std::max<uint32_t>(wave.nBlockAlign, 1);
    try {
        m_sourceBuffer.assign(m_sourceLength, 0);
        m_destinationBuffer.assign(m_destinationLength, 0);
        TAVIStreamHeader header{};
        header.fccType = FourCCAudio;
        header.dwScale = wave.nBlockAlign;
        header.dwRate = wave.nAvgBytesPerSec;
        // As the platform's file handler does when an audio format is set.
        header.dwSampleSize = wave.nBlockAlign;
        header.dwSuggestedBufferSize = m_destinationLength;
        header.rcRight = static_cast<int16_t>(std::clamp(m_width, 0, 32767));
        header.rcBottom = static_cast<int16_t>(std::clamp(m_height, 0, 32767));
        m_audioStream = m_writer->AddStream(header);
        chosen.resize(18 + wave.cbSize);
        m_writer->SetFormat(m_audioStream, chosen);
    } catch (const TAVIFormatError&) {
        m_converter.reset();
        m_audioStream = -1;
        return false;
    }
    return true;
}

uint8_t* TAVIFile::GetBitmap() {
    RequireReading();
    if (!m_frameGetter)
        throw AVFileErrorGetVideo("Decompressor is not initialized!");
    uint8_t* bitmap = m_frameGetter->GetFrame(m_videoPosition);
    if (bitmap == nullptr)
        throw AVFileErrorGetVideo();
    ++m_videoPosition;
    return bitmap;
}

// The picture GetBitmap would give, flipped into top-down rows; the codec
// writes it in that order directly, which saves a copy of every frame.
void TAVIFile::CopyPicture(uint8_t* target) {
    RequireReading();
    if (!m_frameGetter)
        throw AVFileErrorGetVideo("Decompressor is not initialized!");
    if (!m_frameGetter->CopyFrame(m_videoPosition, target))
        throw AVFileErrorGetVideo();
    ++m_videoPosition;
}

uint8_t* TAVIFile::GetFrame() {
    CopyPicture(m_frameBuffer.data());
    return m_frameBuffer.data();
}

void TAVIFile::CopyFrame(uint8_t* buffer) {
    CopyPicture(buffer);
}

int32_t TAVIFile::GetVideoLength() {
    if (m_videoStream < 0)
        throw AVFileErrorVideoNotOpened();
    return m_reader ? m_reader->Length(m_videoStream) : m_videoPosition;
}

int32_t TAVIFile::GetAudioLength() {
    if (m_audioStream < 0)
        throw AVFileErrorAudioNotOpened();
    return m_reader ? m_reader->Length(m_audioStream) : m_audioPosition;
}

void TAVIFile::Seek(int32_t index) {
    RequireReading();
    if (m_videoStream >= 0)
        m_videoPosition = index;
    if (m_audioStream < 0)
        return;
    if (m_videoStream >= 0) {
        m_audioPosition = m_reader->TimeToSample(m_audioStream, m_reader->SampleToTime(m_videoStream, index));
    } else {
        const int32_t ms = RoundToInt(static_cast<double>(index) * 1000.0 * m_scale / m_rate);
        m_audioPosition =
            m_reader->FindPreviousSample(m_audioStream, m_reader->TimeToSample(m_audioStream, ms));
    }
    // A jump in the stored stream: what the converter held belongs elsewhere.
    m_converter->Reset();
}

uint8_t* TAVIFile::GetAudio(int32_t& byteCount) {
    RequireReading();
    if (m_audioStream < 0 || !m_converter)
        throw AVFileErrorAudioNotOpened();
    // Callers take an empty answer for the end of the sound, so reading goes
    // on while the converter still gathers a whole coded frame (a frame may
    // span several chunks, a chunk may be empty).
    for (;;) {
        int32_t bytesRead = 0;
        int32_t samplesRead = 0;
        uint32_t produced = 0;
        if (!m_reader->ReadSamples(m_audioStream, m_audioPosition,
                                   static_cast<int32_t>(m_sourceLength / m_sourceBlockAlign),
                                   m_sourceBuffer.data(), m_sourceLength, bytesRead, samplesRead)) {
            // At the end of the stream the converter may still hold decoded
            // samples of the last read; they are handed out before the end shows.
            if (m_audioPosition >= m_reader->Start(m_audioStream) + m_reader->Length(m_audioStream) &&
                m_converter->Finish(m_destinationBuffer.data(), m_destinationLength, produced) &&
                produced > 0) {
                byteCount = static_cast<int32_t>(produced);
                return m_destinationBuffer.data();
            }
            throw AVFileErrorGetAudio();
        }
        if (!m_converter->Convert(m_sourceBuffer.data(), static_cast<uint32_t>(bytesRead),
                                  m_destinationBuffer.data(), m_destinationLength, produced))
            throw AVFileErrorGetAudio("Could not decompress audio!");
        m_audioPosition += samplesRead;
        if (produced > 0 || samplesRead == 0) {
            byteCount = static_cast<int32_t>(produced);
            return m_destinationBuffer.data();
        }
    }
}

void TAVIFile::PutFrame(const uint8_t* frame) {
    RequireWriting();
    if (!m_hasCompressedStream)
        throw AVFileErrorVideoNotOpened();
    try {
        if (!m_compressor) {
            uint8_t* target = m_frameBuffer.data() + m_outputHeader.biSizeImage;
            for (int32_t row = 0; row < m_outputHeader.biHeight; ++row) {
                target -= m_bitmapRowBytes;
                std::memcpy(target, frame, static_cast<size_t>(m_bitmapRowBytes));
                frame += m_sourceRowBytes;
            }
            m_writer->Write(m_videoStream, m_frameBuffer.data(), m_outputHeader.biSizeImage, 1, true);
        } else {
            // The compressor reads the caller's rows (the cropped part of
            // them) where they are: no flipped copy of every frame.
            std::vector<TAVIPacket> packets;
            m_compressor->Compress(frame, m_sourceRowBytes, true, packets);
            for (const TAVIPacket& packet : packets)
                m_writer->Write(m_videoStream, packet.Data.data(), static_cast<uint32_t>(packet.Data.size()),
                                1, true);
        }
    } catch (const TAVIFormatError&) {
        throw AVFileErrorPutVideo();
    }
    ++m_videoPosition;
}

void TAVIFile::PutAudio(const uint8_t* samples, int32_t byteCount) {
    RequireWriting();
    if (m_audioStream < 0 || !m_converter)
        throw AVFileErrorAudioNotOpened();
    while (byteCount > 0) {
        const uint32_t chunk = std::min<uint32_t>(static_cast<uint32_t>(byteCount), m_sourceLength);
        std::memcpy(m_sourceBuffer.data(), samples, chunk);
        uint32_t produced = 0;
        if (!m_converter->Convert(m_sourceBuffer.data(), chunk, m_destinationBuffer.data(),
                                  m_destinationLength, produced))
            throw AVFileErrorPutAudio("Could not compress audio!");
        WriteAudio(produced);
        samples += chunk;
        byteCount -= static_cast<int32_t>(chunk);
    }
}

void TAVIFile::WriteAudio(uint32_t bytes) {
    if (bytes == 0)
        return;
    const uint32_t samples = bytes / m_chosenBlockAlign;
    try {
        m_writer->Write(m_audioStream, m_destinationBuffer.data(), bytes, samples, true);
    } catch (const TAVIFormatError&) {
        throw AVFileErrorPutVideo();
    }
    m_audioPosition += static_cast<int32_t>(samples);
}

void TAVIFile::FinishWriting() {
    if (m_compressor) {
        std::vector<TAVIPacket> packets;
        m_compressor->Flush(packets);
        for (const TAVIPacket& packet : packets)
            m_writer->Write(m_videoStream, packet.Data.data(), static_cast<uint32_t>(packet.Data.size()), 1,
                            true);
    }
    // What the encoder still holds at the end is stored, not dropped.
    if (m_audioStream >= 0 && m_converter) {
        uint32_t produced = 0;
        do {
            if (!m_converter->Finish(m_destinationBuffer.data(), m_destinationLength, produced))
                break;
            WriteAudio(produced);
        } while (produced > 0);
    }
    m_writer->Close();
}

void TAVIFile::Close() {
    bool isComplete = true;
    if (m_writer) {
        try {
            FinishWriting();
        } catch (const TAVIFormatError&) {
            isComplete = false;
        } catch (const AVFileError&) {
            isComplete = false;
        }
    }
    ReleaseAll();
    if (!isComplete)
        throw AVFileErrorWrite("Could not write file!");
}

void TAVIFile::ReleaseAll() {
    m_converter.reset();
    m_sourceBuffer.clear();
    m_destinationBuffer.clear();
    m_audioStream = -1;
    m_frameGetter.reset();
    m_compressor.reset();
    m_hasCompressedStream = false;
    m_videoStream = -1;
    m_writer.reset();
    m_reader.reset();
    m_mode = ModeClosed;
    m_streams = 0;
    m_frameBuffer.clear();
    m_frameBuffer.shrink_to_fit();
}
