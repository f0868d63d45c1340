#pragma once
// TAVIFile: AVI files through our own AVI layer (backend id 0, "Video for
// Windows file input and output"): reading with the decompressor and the
// audio converter, writing with the compressor and the audio format the
// chooser answers.
//
// Units: video positions and lengths count samples of the video stream from
// its start sample (dwStart); audio positions and lengths count samples of the
// stored audio stream in the AVI sense (blocks of its block size; sample
// frames for PCM). A file opened with audio only keeps rate 1000 and scale 1,
// so its frame indexes count milliseconds for Seek.
//
// Errors (besides those of TAVIFile):
// - Open for reading: AVFileErrorOpen "Could not open file!" (raiseErrors);
//   for writing whatever raiseErrors says.
// - GetBitmap/GetFrame/CopyFrame: AVFileErrorGetVideo "Decompressor is not
//   initialized!" when no codec decodes the stream; "Could not get frame!"
//   past the end or for a picture that cannot be decoded.
// - GetAudio: AVFileErrorGetAudio "Could not get audio!", "Could not
//   decompress audio!".
// - PutFrame: AVFileErrorPutVideo "Could not put frame!"; PutAudio:
//   AVFileErrorPutAudio "Could not compress audio!", AVFileErrorPutVideo
//   "Could not put frame!" when the file refuses the data.
// - Close of a written file: AVFileErrorWrite "Could not write file!" when the
//   file could not be completed (the object is closed all the same).
//
// Writing: every frame is stored as a key frame. With a compressor whose
// four-character code needs a size multiple (AVIAlignmentSteps) the stored
// pictures are the top-left part of the frames, cropped down to multiples.

#include "media/av_file.h"
#include "media/avi/avi_choices.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAVIReader;
class TAVIWriter;
class TAVIDecompressor;
class TAVICompressor;
class TAVIAudioConverter;

struct TAVIAlignment {
    int32_t WidthStep;
    int32_t HeightStep;
};
// The size multiple a compressor needs, by four-character code compared
// ignoring case; 1 x 1 for any compressor not in the table.
TAVIAlignment AVIAlignmentSteps(uint32_t handler);

class TAVIFile : public TAVFile {
public:
    static constexpr int32_t ConverterBufferBytes = 44100;

    TAVIFile();
    ~TAVIFile() override;

    // Answers the questions of an open for writing; not owned, may be null
    // (then writing opens no stream, as if the user cancelled).
    void SetChooser(TAVIChooser* chooser) { m_chooser = chooser; }
    // Bytes of file after which written data go into RIFF extensions;
    // applies from the next open for writing.
    void SetRiffBoundary(uint64_t bytes) { m_riffBoundary = bytes; }

    void Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) override;
    void Close() override;
    uint8_t* GetFrame() override;
    void CopyFrame(uint8_t* buffer) override;
    uint8_t* GetBitmap() override;
    void Seek(int32_t index) override;
    void PutFrame(const uint8_t* frame) override;
    int32_t GetVideoLength() override;
    uint8_t* GetAudio(int32_t& byteCount) override;
    void PutAudio(const uint8_t* samples, int32_t byteCount) override;
    int32_t GetAudioLength() override;

private:
    void OpenRead(const std::string& fileName, int32_t streams, bool raiseErrors);
    void OpenWrite(const std::string& fileName, int32_t streams, bool raiseErrors);
    bool OpenReadVideo(int32_t stream);
    bool OpenReadAudio(int32_t stream);
    bool OpenWriteVideo();
    bool OpenWriteAudio();
    void CopyPicture(uint8_t* target);
    void WriteAudio(uint32_t bytes);
    void FinishWriting();
    void ReleaseAll();

    int32_t m_sourceRowBytes = 0;
    int32_t m_bitmapRowBytes = 0;
    std::unique_ptr<TAVIReader> m_reader;
    std::unique_ptr<TAVIWriter> m_writer;
    int32_t m_videoStream = -1;
    bool m_hasCompressedStream = false;
    std::unique_ptr<TAVICompressor> m_compressor; // null: full frames
    int32_t m_audioStream = -1;
    TBitmapInfoHeader m_outputHeader{};
    std::unique_ptr<TAVIDecompressor> m_frameGetter;
    std::unique_ptr<TAVIAudioConverter> m_converter;
    std::vector<uint8_t> m_sourceBuffer;
    std::vector<uint8_t> m_destinationBuffer;
    uint32_t m_sourceLength = 0;
    uint32_t m_destinationLength = 0;
    uint32_t m_sourceBlockAlign = 1;
    uint32_t m_chosenBlockAlign = 1;
    std::vector<uint8_t> m_frameBuffer;
    TAVIChooser* m_chooser = nullptr;
    uint64_t m_riffBoundary;
};
