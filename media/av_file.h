#pragma once
// TAVFile: the one interface through which the program reads and writes video
// frames and audio samples, whatever backend holds the file.
//
// Formats
// - Frame buffer: width x height pixels, 4 bytes each (blue, green, red, a
//   fourth byte the interface does not interpret), rows top to bottom, no
//   padding; exactly width * 4 * height bytes.
// - Bitmap: a 40-byte TBitmapInfoHeader, biClrUsed colour entries of 4 bytes,
//   then pixel rows bottom-up. Bitmaps made here are always 32-bit with no
//   colour table.
// - Audio: interleaved signed 16-bit little-endian PCM with the channel count
//   and rate of GetAudioFormat().
//
// Ownership: the caller owns the object and destroys it through the virtual
// destructor. Every pointer returned (frame, bitmap, audio) points into a
// block the object owns; it stays valid until the next call producing data of
// the same kind, Close or destruction.
//
// Threads: an object is used from one thread at a time.
//
// Errors: every failure is raised as a member of the AVFileError family below.

#include "base/exception.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// BITMAPINFOHEADER of the BMP file format, little-endian.
struct TBitmapInfoHeader {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
static_assert(sizeof(TBitmapInfoHeader) == 40, "BMP information header must be 40 bytes");

class TAVFile {
public:
    enum : int32_t { ModeClosed = 0, ModeRead = 1, ModeWrite = 2 };
    enum : int32_t { StreamVideo = 1, StreamAudio = 2 };
    enum : int32_t { FlagInterleaved = 1 };
    // Capability bits: which frame getters a backend implements natively.
    enum : int32_t {
        CapGetFrame = 0x01,
        CapGetFrameAt = 0x02,
        CapCopyFrame = 0x04,
        CapCopyFrameAt = 0x08,
        CapGetBitmap = 0x10,
        CapGetBitmapAt = 0x20,
    };

    struct TVideoFormat {
        int32_t Width;
        int32_t Height;
        uint32_t Rate; // frames per second = Rate / Scale
        uint32_t Scale;
    };

    struct TAudioFormat {
        int32_t Channels;
        int32_t SamplesPerSecond;
    };

    // Encoder/decoder parameters; only the FFmpeg backend reads them.
    struct TParameters {
        int32_t VideoBitRate = 1500000; // bits per second
        int32_t GopSize = 10;           // key-frame interval in frames
        int32_t AudioBitRate = 128000;  // bits per second
        std::string VideoCodec;         // encoder name; empty: the container's default
        std::string AudioCodec;
        bool Deinterlace = false;
    };

    // The error family. Classes with a default message also accept another.
    class AVFileError : public TException {
    public:
        explicit AVFileError(const std::string& message) : TException(message) {}
    };
    class AVFileErrorMemory : public AVFileError {
    public:
        explicit AVFileErrorMemory(const std::string& message = "Could not allocate memory!")
            : AVFileError(message) {}
    };
    class AVFileErrorNotImplemented : public AVFileError {
    public:
        explicit AVFileErrorNotImplemented(const std::string& message = "Function is not implemented!")
            : AVFileError(message) {}
    };
    class AVFileErrorOpen : public AVFileError {
    public:
        explicit AVFileErrorOpen(const std::string& message = "Could not open file!")
            : AVFileError(message) {}
    };
    class AVFileErrorOpenVideo : public AVFileErrorOpen {
    public:
        explicit AVFileErrorOpenVideo(const std::string& message = "Could not open video stream!")
            : AVFileErrorOpen(message) {}
    };
    class AVFileErrorOpenAudio : public AVFileErrorOpen {
    public:
        explicit AVFileErrorOpenAudio(const std::string& message = "Could not open audio stream!")
            : AVFileErrorOpen(message) {}
    };
    class AVFileErrorOpenInvalidMode : public AVFileErrorOpen {
    public:
        explicit AVFileErrorOpenInvalidMode(const std::string& message = "Invalid open mode!")
            : AVFileErrorOpen(message) {}
    };
    class AVFileErrorNotOpened : public AVFileError {
    public:
        explicit AVFileErrorNotOpened(const std::string& message = "File is not opened!")
            : AVFileError(message) {}
    };
    class AVFileErrorVideoNotOpened : public AVFileErrorNotOpened {
    public:
        explicit AVFileErrorVideoNotOpened(const std::string& message = "Video stream is not opened!")
            : AVFileErrorNotOpened(message) {}
    };
    class AVFileErrorAudioNotOpened : public AVFileErrorNotOpened {
    public:
        explicit AVFileErrorAudioNotOpened(const std::string& message = "Audio stream is not opened!")
            : AVFileErrorNotOpened(message) {}
    };
    class AVFileErrorRead : public AVFileError {
    public:
        explicit AVFileErrorRead(const std::string& message) : AVFileError(message) {}
    };
    class AVFileErrorGetVideo : public AVFileErrorRead {
    public:
        explicit AVFileErrorGetVideo(const std::string& message = "Could not get frame!")
            : AVFileErrorRead(message) {}
    };
    class AVFileErrorGetAudio : public AVFileErrorRead {
    public:
        explicit AVFileErrorGetAudio(const std::string& message = "Could not get audio!")
            : AVFileErrorRead(message) {}
    };
    class AVFileErrorWrite : public AVFileError {
    public:
        explicit AVFileErrorWrite(const std::string& message) : AVFileError(message) {}
    };
    class AVFileErrorPutVideo : public AVFileErrorWrite {
    public:
        explicit AVFileErrorPutVideo(const std::string& message = "Could not put frame!")
            : AVFileErrorWrite(message) {}
    };
    class AVFileErrorPutAudio : public AVFileErrorWrite {
    public:
        explicit AVFileErrorPutAudio(const std::string& message) : AVFileErrorWrite(message) {}
    };

    TAVFile();
    TAVFile(const TAVFile&) = delete;
    TAVFile& operator=(const TAVFile&) = delete;

    // Virtual operations; backends override in place. Frame indexes count from
    // 0; audio positions and lengths are in the backend's own audio unit.

    // mode: ModeRead or ModeWrite; streams: StreamVideo | StreamAudio.
    // With raiseErrors false a failed open raises nothing: inspect GetMode()
    // and GetStreams(). Open always closes first.
    virtual void Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors);
    virtual uint8_t* GetFrame();
    virtual uint8_t* GetFrameAt(int32_t index);
    // buffer: width * 4 * height bytes supplied by the caller.
    virtual void CopyFrame(uint8_t* buffer);
    virtual void CopyFrameAt(uint8_t* buffer, int32_t index);
    virtual uint8_t* GetBitmap();
    virtual uint8_t* GetBitmapAt(int32_t index);
    virtual ~TAVFile();
    virtual int32_t GetFlags();
    virtual void Close();
    virtual void Seek(int32_t index);
    virtual int32_t GetMode();
    virtual int32_t GetStreams();
    // Returns the new video position; a count of 0 returns 0 and checks nothing.
    virtual int32_t SkipFrames(int32_t count);
    virtual void PutFrame(const uint8_t* frame);
    // Raises AVFileErrorPutVideo "Unsuported bitmap!" unless the bitmap is an
    // uncompressed bottom-up 32-bit picture of the set size, which must hold
    // pixels.
    virtual void PutBitmap(const uint8_t* bitmap);
    virtual int32_t GetVideoLength();
    virtual int32_t GetVideoPosition();
    virtual TVideoFormat GetVideoFormat();
    virtual void SetVideoFormat(int32_t width, int32_t height, uint32_t rate, uint32_t scale);
    virtual int32_t SetVideoPosition(int32_t index);
    // byteCount receives the size of the returned block.
    virtual uint8_t* GetAudio(int32_t& byteCount);
    virtual void SkipAudio();
    virtual void PutAudio(const uint8_t* samples, int32_t byteCount);
    virtual int32_t GetAudioLength();
    virtual int32_t GetAudioPosition();
    virtual TAudioFormat GetAudioFormat();
    virtual void SetAudioFormat(int32_t channels, int32_t samplesPerSecond);
    virtual int32_t SetAudioPosition(int32_t position);
    virtual bool SupportsExtension(const std::string& extension);
    virtual TParameters GetParameters();
    virtual void SetParameters(TParameters parameters);
    virtual std::string GetDescription();
    // Milliseconds by which the audio starts after the video.
    virtual int32_t GetAudioOffset();

    // Plain fixed heap blocks; AllocBuffer returns nullptr on failure.
    static void* AllocBuffer(size_t bytes);
    static void FreeBuffer(void* block);

protected:
    void AddExtension(const std::string& extension);
    void RequireOpened() const;
    void RequireClosed() const;
    void RequireReading() const;
    void RequireWriting() const;
    void RequireVideo() const;
    void RequireAudio() const;
    // Wraps a top-down frame buffer into the owned bottom-up 32-bit bitmap
    // block and returns it. The block is reused while the size is unchanged.
    // Raises AVFileErrorMemory "Could not allocate memory!" when the block
    // cannot be had, also when it would exceed 32-bit sizes.
    uint8_t* MakeBitmap(const uint8_t* frame);
    // Frame buffer geometry in bytes and rows; a negative width or height
    // counts as 0.
    size_t FrameRowBytes() const;
    size_t FrameRows() const;
    size_t FrameBytes() const;
    // The common checks that end a raising Open.
    void CheckOpenResult(int32_t mode, int32_t streams);

    std::vector<std::string> m_extensions;
    uint8_t* m_bitmapBlock = nullptr;
    uint32_t m_bitmapBlockSize = 0;
    int32_t m_capabilities = 0;
    int32_t m_flags = 0;
    int32_t m_mode = ModeClosed;
    int32_t m_streams = 0;
    int32_t m_audioPosition = 0;
    int32_t m_videoPosition = 0;
    int32_t m_width = 320;
    int32_t m_height = 240;
    uint32_t m_rate = 1000;
    uint32_t m_scale = 1;
    int32_t m_channels = 2;
    int32_t m_samplesPerSecond = 44100;
    TParameters m_parameters;
    std::string m_description;

private:
    // Reused by PutBitmap so exporting does not allocate a frame per call.
    std::vector<uint8_t> m_putBitmapFrame;
};
