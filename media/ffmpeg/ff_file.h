#pragma once
// TFFFile: reading and writing of video and audio files through the FFmpeg
// libraries (backend id 2, "FFmpeg file input and output").
//
// Reading is frame-accurate on one grid: frame n is the picture on screen at
// the time of frame 0 plus n periods of the nominal rate, whether reached in
// order, after a seek or while skipping, for decoders that reorder pictures
// too. Where timestamps skip, pictures repeat; pictures between two grid
// points are passed over; files without usable timestamps count pictures.
// Frame indexes count from 0; audio positions and lengths count sample
// frames (channels x 2 bytes). Without a video stream, Seek takes
// milliseconds (the default rate 1000/1) and positions the audio there.
//
// Errors (besides those of TAVFile):
// - Open: AVFileErrorOpenVideo with "Could not open file!", "Could not find
//   info!", "Could not find video stream!", "Could not open video decoder!",
//   "Could not allocate frame buffer!" and every writing failure;
//   AVFileErrorOpenAudio with "Could not find audio stream!", "Could not open
//   audio decoder!", "Could not allocate audio buffer!".
// - GetFrameAt, SkipFrames past the end: AVFileErrorGetVideo "Could not get frame!".
// - Seek, SetVideoPosition, SetAudioPosition: AVFileErrorRead "Could not seek!".
// - GetAudio, SkipAudio: AVFileErrorGetAudio "Could not get audio!".
// - PutFrame: AVFileErrorPutVideo "Could not put frame!"; PutAudio:
//   AVFileErrorPutAudio with an empty text.
//
// Threads: one caller thread; the decoders may run threads of their own
// (SetDecoderThreads).
//
// Interleaved files: video and audio come from one reader. Packets of the
// stream nobody reads pile up, so a consumer that ignores one stream must
// still drain it (SkipFrames(1) per step, or SkipAudio()).

#include "media/av_file.h"
#include "media/fast_frame_access.h"

#include <cstdint>
#include <memory>
#include <string>

class TFFFileI;
struct AVFrame;

class TFFFile : public TAVFile, public TFastFrameAccess {
public:
    TFFFile();
    ~TFFFile() override;

    void Open(const std::string& fileName, int32_t mode, int32_t streams, bool raiseErrors) override;
    uint8_t* GetFrameAt(int32_t index) override;
    void Close() override;
    void Seek(int32_t index) override;
    int32_t SkipFrames(int32_t count) override;
    void PutFrame(const uint8_t* frame) override;
    int32_t GetVideoLength() override;
    int32_t SetVideoPosition(int32_t index) override;
    uint8_t* GetAudio(int32_t& byteCount) override;
    void SkipAudio() override;
    void PutAudio(const uint8_t* samples, int32_t byteCount) override;
    int32_t GetAudioLength() override;
    int32_t SetAudioPosition(int32_t position) override;
    int32_t GetAudioOffset() override;

    // TFastFrameAccess. Both keep the frame grid of GetFrameAt.
    const uint8_t* GetScaledFrameAt(int32_t index, int32_t width, int32_t height) override;
    int32_t SeekKeyFrame(int32_t index) override;

    // Decoder threads used from the next Open on: 1 decodes on the caller's
    // thread only, 0 (the default) lets the decoder choose.
    void SetDecoderThreads(int32_t count) { m_decoderThreads = count; }

private:
    enum class TSeekOutcome { Found, Overshot, EndOfFile, Unidentifiable };

    void OpenRead(const std::string& fileName, int32_t streams, bool raiseErrors);
    void OpenWrite(const std::string& fileName, int32_t streams, bool raiseErrors);
    // Each returns the failure message, empty on success.
    std::string OpenVideoStream();
    std::string OpenAudioStream();
    void CheckTimestamps(bool rateFromStream, int64_t statedFrames);
    int32_t ScannedVideoLength(int index, int64_t frameDuration, int64_t perFrame, int64_t perSecond);

    enum class TDecodeResult { Picture, End, Lost };
    // Decodes the next picture in file order as frame m_nextDecodeIndex and,
    // unless skipping, converts it into the frame buffer.
    TDecodeResult DecodeNextVideoFrame(bool skip);
    // After frame index was delivered: grows the length estimate while more
    // pictures follow the last estimated one.
    void GrowVideoLength(int32_t index);
    // Moves the decoder on to the picture on screen at frame's time: every
    // picture due by then is consumed (and held), the first one due later
    // stays pending.
    struct TGridStep {
        bool more = false;           // a picture (or a lost one) follows
        bool later = false;          // nothing held and the next picture is due after frame
        bool unidentifiable = false; // nothing held and the next picture has no timestamp
        int consumed = 0;            // pictures consumed
    };
    TGridStep AdvanceTo(int64_t frame);
    // Makes frame `index` the current frame (m_lastDecodedIndex) without
    // converting it.
    void Reach(int32_t index);
    void Hold(const AVFrame* picture, int64_t index);
    void ForgetShown();
    // The held picture is the current frame; it is converted only when
    // someone reads it (ConvertCurrent, or a scaled copy).
    void ShowHeld();
    // Converts the current frame into the frame buffer unless it is there.
    void ConvertCurrent();
    // The key frame at or before frame, decoded and held; -1 when it cannot
    // be told cheaply.
    int32_t DecodeKeyFrameBefore(int32_t frame, int64_t targetUs);
    TSeekOutcome SeekByTimestamp(int32_t frame, int64_t targetUs);
    TSeekOutcome SeekFromStart(int32_t frame, int64_t targetUs);
    TSeekOutcome SeekByCounting(int32_t frame, int64_t targetUs);
    TSeekOutcome SeekStep(int32_t frame, bool fromStart);
    void RestartReading(int64_t targetUs, bool waitForKeyFrame);
    void SeekAudioOnly(int64_t targetUs);
    int64_t FileStartUs() const;
    void ClearFrameBuffer();
    void LearnFirstTimestamp(const AVFrame* picture, int64_t index);
    int64_t PictureIndex(int64_t timestamp) const;

    std::unique_ptr<TFFFileI> m_context;
    int32_t m_audioLength = 0;
    int32_t m_videoLength = 0;
    int32_t m_lastDecodedIndex = -1;
    // Frame the decoder delivers next when read in order; -1 when unknown
    // (after a failed seek), which makes the next request seek.
    int32_t m_nextDecodeIndex = -1;
    int32_t m_bytesPerSampleFrame = 4;
    uint8_t* m_frameBuffer = nullptr;
    int32_t m_decoderThreads = 0;
};
