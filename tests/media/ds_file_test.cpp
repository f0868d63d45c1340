// TDSFile over a scripted graph: the queue, wait and run/pause discipline and
// the open rules, without a media framework.

#include "media/gstreamer/ds_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

constexpr int32_t Width = 2;
constexpr int32_t Height = 2;

// What the scripted graph offers and what it saw.
struct TScript {
    int64_t Frames = 250;
    std::optional<int64_t> MediaTime = 100000000; // 10 s
    TConnectedAudioType Audio{1, 16, true, 2, 8000};
    int64_t AudioMediaTime = 10000000; // 1 s
    int32_t FramesDelivered = 10;      // pictures in the stream before its end
    int32_t BuffersPerRun = 1;
    bool HasDeinterlacer = true;
    int32_t EndCode = GraphEventComplete; // what the graph reports when it has no more
    int32_t KeyInterval = 0;              // key frames every so many pictures; 0: none known
    // Seen:
    int32_t Runs = 0;
    int32_t Conversions = 0;
    std::optional<bool> RenderedWithDeinterlacer;
};

// Picture n: row 0 (top) holds n, row 1 holds n + 100.
std::vector<uint8_t> Picture(int32_t n) {
    std::vector<uint8_t> bytes(Width * 4 * Height, static_cast<uint8_t>(n));
    std::fill(bytes.begin() + Width * 4, bytes.end(), static_cast<uint8_t>(n + 100));
    return bytes;
}

class TScriptedGraph : public TFilterGraph {
public:
    TScriptedGraph(TWaitSignal& signal, TScript& script) : m_event(signal), m_script(script) {}
    bool CreateSource() override { return true; }
    bool LoadFile(const std::string& name) override { return name != "missing"; }
    bool HasDeinterlacer() override { return m_script.HasDeinterlacer; }
    bool Render(bool, bool, bool deinterlace) override {
        m_script.RenderedWithDeinterlacer = deinterlace;
        return true;
    }
    bool IsConnected(TGraphStream) override { return true; }
    bool GetVideoType(TConnectedVideoType& type) override {
        type = {Width, Height};
        return true;
    }
    bool GetAudioType(TConnectedAudioType& type) override {
        type = m_script.Audio;
        return true;
    }
    bool GetDuration(TGraphStream stream, TGraphTimeFormat format, int64_t& duration) override {
        if (stream == TGraphStream::Audio) {
            duration = m_script.AudioMediaTime;
            return true;
        }
        if (format == TGraphTimeFormat::Frame) {
            duration = m_script.Frames;
            return true;
        }
        duration = m_script.MediaTime.value_or(0);
        return m_script.MediaTime.has_value();
    }
    void RemoveReferenceClock() override {}
    bool SetCallback(TGraphStream stream, TSampleGrabberCB* callback) override {
        (stream == TGraphStream::Video ? m_video : m_audio) = callback;
        if (stream == TGraphStream::Video && callback != nullptr && m_keyPicture >= 0) {
            const std::vector<uint8_t> picture = Picture(m_keyPicture);
            callback->BufferCB(0, picture.data(), static_cast<int32_t>(picture.size()));
        }
        m_keyPicture = -1;
        return true;
    }
    TGraphResult Run() override {
        ++m_script.Runs;
        for (int32_t i = 0; i < m_script.BuffersPerRun; ++i) {
            if (m_next >= m_script.FramesDelivered) {
                m_event.Set();
                break;
            }
            const std::vector<uint8_t> picture = Picture(m_next++);
            if (m_video != nullptr)
                m_video->BufferCB(0, picture.data(), static_cast<int32_t>(picture.size()));
            const std::vector<uint8_t> samples(400 * 4, 1);
            if (m_audio != nullptr)
                m_audio->BufferCB(0, samples.data(), static_cast<int32_t>(samples.size()));
        }
        return TGraphResult::Pending;
    }
    TGraphResult Pause() override { return TGraphResult::Done; }
    TGraphResult Stop() override { return TGraphResult::Done; }
    TGraphResult WaitForState() override { return TGraphResult::Done; }
    bool SetPositionFrame(int64_t frame, uint32_t, uint32_t) override {
        m_next = static_cast<int32_t>(frame);
        m_event.Reset();
        return true;
    }
    int64_t SetPositionKeyFrame(int64_t frame, uint32_t, uint32_t) override {
        if (m_script.KeyInterval <= 0)
            return -1;
        m_keyPicture = static_cast<int32_t>(frame - frame % m_script.KeyInterval);
        m_next = m_keyPicture + 1;
        m_event.Reset();
        return m_keyPicture;
    }
    // Picks the top-left pixel of the picture for every pixel at another size.
    bool ConvertPicture(const TBuffer& picture, uint8_t* target, int32_t width, int32_t height) override {
        ++m_script.Conversions;
        if (width == Width && height == Height)
            std::copy(picture.Data, picture.Data + picture.Length, target);
        else
            for (int32_t i = 0; i < width * height * 4; ++i)
                target[i] = picture.Data[i % 4];
        return true;
    }
    TManualResetEvent* GetEventHandle() override { return &m_event; }
    bool GetEvent(int32_t& code) override {
        if (!m_event.IsSet())
            return false;
        m_event.Reset();
        code = m_script.EndCode;
        return true;
    }

private:
    TManualResetEvent m_event;
    TScript& m_script;
    int32_t m_next = 0;
    int32_t m_keyPicture = -1; // queued when the video callback is attached
    TSampleGrabberCB* m_video = nullptr;
    TSampleGrabberCB* m_audio = nullptr;
};

class DSFileTest : public ::testing::Test {
protected:
    TDSFile& Opened(int32_t streams = TAVFile::StreamVideo) {
        m_file.Open("clip.avi", TAVFile::ModeRead, streams, true);
        return m_file;
    }
    int32_t TopOf(int32_t index) { return m_file.GetFrameAt(index)[0]; }

    TScript m_script;
    TDSFile m_file{
        [this](TWaitSignal& signal) { return std::make_unique<TScriptedGraph>(signal, m_script); }};
};

TEST_F(DSFileTest, RateCarriesThreeDecimalsFromTheMediaDurationElse25) {
    struct TCase {
        int64_t frames;
        std::optional<int64_t> mediaTime;
        uint32_t rate, scale;
    };
    for (const TCase& c : {TCase{250, 100000000, 25000, 1000}, TCase{300, 100100000, 29970, 1000},
                           TCase{250, std::nullopt, 25, 1}}) {
        m_script.Frames = c.frames;
        m_script.MediaTime = c.mediaTime;
        Opened();
        EXPECT_EQ(m_file.GetVideoFormat().Rate, c.rate) << c.frames;
        EXPECT_EQ(m_file.GetVideoFormat().Scale, c.scale) << c.frames;
        EXPECT_EQ(m_file.GetVideoLength(), c.frames);
    }
}

TEST_F(DSFileTest, RunsTheGraphOnlyForAnEmptyQueue) {
    m_script.BuffersPerRun = 2;
    Opened();
    EXPECT_EQ(TopOf(0), 0);
    EXPECT_EQ(m_script.Runs, 1);
    const uint8_t* block = m_file.GetBitmapAt(0);
    EXPECT_EQ(m_file.GetBitmapAt(0), block) << "the same index again is the same block";
    EXPECT_EQ(m_script.Runs, 1) << "and does not wait";
    EXPECT_EQ(TopOf(1), 1) << "n + 1 takes the queued buffer";
    EXPECT_EQ(m_script.Runs, 1);
    EXPECT_EQ(TopOf(2), 2);
    EXPECT_EQ(m_script.Runs, 2);
    EXPECT_EQ(m_file.GetVideoPosition(), 3);
}

TEST_F(DSFileTest, PicturesComeOutTopDownInFramesAndBottomUpInBitmaps) {
    Opened();
    const uint8_t* bitmap = m_file.GetBitmapAt(0);
    const auto* header = reinterpret_cast<const TBitmapInfoHeader*>(bitmap);
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(header->biBitCount, 32);
    EXPECT_EQ(header->biSizeImage, static_cast<uint32_t>(Width * 4 * Height));
    EXPECT_EQ(bitmap[40], 100) << "first stored row is the bottom one";
    std::vector<uint8_t> copy(Width * 4 * Height);
    m_file.CopyFrameAt(copy.data(), 1);
    EXPECT_EQ(copy, Picture(1));
}

// A graph that stopped on an error delivers nothing more either: waiting for
// it would never end.
TEST_F(DSFileTest, PastTheStreamEndOrAnAbortBlackInsideTheLengthErrorAtIt) {
    for (const int32_t endCode : {GraphEventComplete, GraphEventErrorAbort}) {
        m_script.EndCode = endCode;
        m_script.BuffersPerRun = 1;
        m_script.Frames = 12;
        m_script.FramesDelivered = 10;
        Opened();
        for (int32_t i = 0; i < 10; ++i)
            ASSERT_EQ(TopOf(i), i);
        for (int32_t i = 10; i < 12; ++i) {
            const uint8_t* frame = m_file.GetFrameAt(i);
            EXPECT_EQ(std::count(frame, frame + Width * 4 * Height, 0), Width * 4 * Height) << i;
        }
        EXPECT_THROW(
            try { m_file.GetFrameAt(12); } catch (const TAVFile::AVFileErrorGetVideo& error) {
                EXPECT_STREQ(error.what(), "Could not get frame!");
                throw;
            },
            TAVFile::AVFileErrorGetVideo);
        m_file.Seek(0);
        m_script.BuffersPerRun = 20; // a running graph goes on delivering
        EXPECT_THROW(m_file.SkipFrames(12), TAVFile::AVFileErrorGetVideo);
        EXPECT_EQ(m_file.SkipFrames(11), 11);
    }
}

TEST_F(DSFileTest, SeekingToTheLastDeliveredIndexStillShowsTheNextPictureNext) {
    Opened();
    EXPECT_EQ(TopOf(5), 5);
    m_file.Seek(5);
    EXPECT_EQ(TopOf(5), 5);
    EXPECT_EQ(TopOf(6), 6);
}

TEST_F(DSFileTest, SkipFramesRunsTheGraphOnceAndKeepsTheBlock) {
    m_script.BuffersPerRun = 10;
    Opened();
    EXPECT_EQ(TopOf(0), 0);
    EXPECT_EQ(m_file.SkipFrames(3), 4);
    EXPECT_EQ(TopOf(4), 4);
    EXPECT_EQ(m_script.Runs, 1);
    EXPECT_EQ(m_file.SkipFrames(0), 0);
}

TEST_F(DSFileTest, AudioAdvancesBySampleFramesAndEndsInSilence) {
    m_script.FramesDelivered = 2; // two buffers of 400 sample frames, 8000 in the length
    Opened(TAVFile::StreamAudio);
    EXPECT_EQ(m_file.GetAudioLength(), 8000);
    int32_t bytes = 0;
    m_file.GetAudio(bytes);
    EXPECT_EQ(bytes, 1600);
    EXPECT_EQ(m_file.GetAudioPosition(), 400);
    m_file.GetAudio(bytes);
    const uint8_t* silence = m_file.GetAudio(bytes);
    EXPECT_EQ(bytes, (8000 - 800) * 4);
    EXPECT_EQ(std::count(silence, silence + bytes, 0), bytes);
    EXPECT_EQ(m_file.GetAudioPosition(), 8000);
    EXPECT_THROW(m_file.GetAudio(bytes), TAVFile::AVFileErrorGetAudio);
    EXPECT_THROW(m_file.SkipAudio(), TAVFile::AVFileErrorGetAudio);
}

TEST_F(DSFileTest, OpenRefusesWhatItCannotRead) {
    struct TCase {
        const char* name;
        int32_t mode;
        TConnectedAudioType audio;
        int32_t streams;
        const char* message;
    };
    const TConnectedAudioType pcm{1, 16, true, 2, 8000};
    for (const TCase& c : {
             TCase{"clip.avi", TAVFile::ModeWrite, pcm, TAVFile::StreamVideo, "Invalid open mode!"},
             TCase{"clip.avi",
                   TAVFile::ModeRead,
                   {3, 32, true, 2, 8000},
                   TAVFile::StreamAudio,
                   "Invalid audio format!"},
             TCase{"clip.avi",
                   TAVFile::ModeRead,
                   {1, 8, true, 2, 8000},
                   TAVFile::StreamAudio,
                   "Invalid audio format!"},
             TCase{"clip.avi",
                   TAVFile::ModeRead,
                   {1, 16, false, 2, 8000},
                   TAVFile::StreamAudio,
                   "Invalid audio format!"},
             TCase{"missing", TAVFile::ModeRead, pcm, TAVFile::StreamVideo, "Could not load the media file!"},
         }) {
        m_script.Audio = c.audio;
        try {
            m_file.Open(c.name, c.mode, c.streams, true);
            ADD_FAILURE() << c.message;
        } catch (const TAVFile::AVFileErrorOpen& error) {
            EXPECT_STREQ(error.what(), c.message);
            const bool isVideoError = dynamic_cast<const TAVFile::AVFileErrorOpenVideo*>(&error) != nullptr;
            EXPECT_EQ(isVideoError, c.mode == TAVFile::ModeRead) << c.message;
        }
        EXPECT_EQ(m_file.GetMode(), TAVFile::ModeClosed);
    }
}

TEST_F(DSFileTest, BadAudioWithoutRaisingStillOpensTheVideo) {
    m_script.Audio = {2, 16, true, 2, 8000};
    m_file.Open("clip.avi", TAVFile::ModeRead, TAVFile::StreamVideo | TAVFile::StreamAudio, false);
    EXPECT_EQ(m_file.GetMode(), TAVFile::ModeRead);
    EXPECT_EQ(m_file.GetStreams(), TAVFile::StreamVideo);
}

TEST_F(DSFileTest, DeinterlacesOnlyWithTheFilterInstalled) {
    for (const bool installed : {true, false}) {
        m_script.HasDeinterlacer = installed;
        Opened();
        EXPECT_EQ(m_script.RenderedWithDeinterlacer, installed);
        EXPECT_EQ(TopOf(0), 0);
    }
}

TEST_F(DSFileTest, SeekClearsTheQueuesAndMovesAudioWithTheFrame) {
    m_script.BuffersPerRun = 5;
    m_script.FramesDelivered = 50;
    Opened(TAVFile::StreamVideo | TAVFile::StreamAudio);
    EXPECT_EQ(TopOf(0), 0);
    m_file.Seek(7);
    EXPECT_EQ(TopOf(7), 7) << "no buffer from before the seek survives it";
    EXPECT_EQ(m_file.GetAudioPosition(), 8000 * 7 / 25);
    m_file.SkipAudio();
    EXPECT_EQ(m_file.GetAudioPosition(), 8000 * 7 / 25 + 5 * 400);
    EXPECT_EQ(m_file.SetAudioPosition(8000), 8000);
}

// A window's scaled picture and the full-size frame come from one decoded
// picture, each converted once, whichever is asked for first and also after
// frames were skipped past it.
TEST_F(DSFileTest, ScaledAndFullSizePicturesShareOneDecodedPicture) {
    m_script.BuffersPerRun = 10;
    m_script.FramesDelivered = 50;
    Opened();
    EXPECT_EQ(m_file.GetScaledFrameAt(2, 3, 1)[8], 2);
    EXPECT_EQ(m_file.GetVideoPosition(), 3);
    EXPECT_EQ(m_script.Conversions, 1) << "the full-size frame waits until asked for";
    EXPECT_EQ(m_file.GetScaledFrameAt(2, 3, 1)[0], 2);
    EXPECT_EQ(TopOf(2), 2);
    EXPECT_EQ(TopOf(2), 2);
    EXPECT_EQ(m_script.Conversions, 2);
    EXPECT_EQ(m_file.SkipFrames(3), 6);
    EXPECT_EQ(TopOf(2), 2) << "still held after the skip";
    EXPECT_EQ(TopOf(3), 3) << "the queue moved on: this one is sought";
    EXPECT_EQ(TopOf(4), 4);
    EXPECT_EQ(m_file.SkipFrames(1), 6);
    EXPECT_EQ(TopOf(6), 6);
    EXPECT_EQ(m_file.GetScaledFrameAt(7, Width, Height), m_file.GetFrameAt(7))
        << "own size: the frame itself";
}

TEST_F(DSFileTest, KeyFrameSeekQueuesTheKeyPictureWithoutRunningTheGraph) {
    m_script.FramesDelivered = 50;
    Opened(TAVFile::StreamVideo | TAVFile::StreamAudio);
    EXPECT_EQ(TopOf(0), 0);
    const int32_t runs = m_script.Runs;
    m_script.KeyInterval = 4;
    EXPECT_EQ(m_file.SeekKeyFrame(10), 8);
    EXPECT_EQ(m_file.GetVideoPosition(), 8);
    EXPECT_EQ(m_file.GetAudioPosition(), 8000 * 8 / 25);
    EXPECT_EQ(m_file.GetScaledFrameAt(8, 1, 1)[0], 8);
    EXPECT_EQ(m_script.Runs, runs);
    EXPECT_EQ(TopOf(9), 9);
    EXPECT_EQ(m_file.SeekKeyFrame(9), 9) << "the picture held is the cheapest";
    m_script.KeyInterval = 0;
    EXPECT_EQ(m_file.SeekKeyFrame(13), 13) << "no key frame known: an exact seek";
    EXPECT_EQ(TopOf(13), 13);
}

TEST(DSBuffers, EventIsSetExactlyWhileTheQueueHoldsBuffers) {
    TWaitSignal signal;
    TSampleGrabberCB callback(signal);
    TBuffers& queue = callback.Buffers();
    const uint8_t bytes[3] = {1, 2, 3};
    EXPECT_FALSE(queue.Event().IsSet());
    callback.BufferCB(0.5, bytes, 3);
    callback.BufferCB(1.0, bytes, 3);
    EXPECT_TRUE(queue.Event().IsSet());
    std::unique_ptr<TBuffer> first(queue.Pop());
    EXPECT_EQ(first->SampleTime, 0.5);
    EXPECT_EQ(first->Data[2], 3);
    EXPECT_TRUE(queue.Event().IsSet());
    delete queue.Pop();
    EXPECT_FALSE(queue.Event().IsSet());
    callback.BufferCB(2.0, bytes, 3);
    queue.Clear();
    EXPECT_FALSE(queue.Event().IsSet());
    EXPECT_TRUE(queue.IsEmpty());
}

} // namespace
