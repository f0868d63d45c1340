#include "media/registry/registry.h"
#include "tests/support/bmp_bytes.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace {

// What a fake backend reaches when asked to open anything.
struct TOutcome {
    int32_t Mode = TAVFile::ModeRead;
    int32_t Streams = 0; // streams it can open; it opens those also requested
    bool Throws = false;
};

struct TLog {
    std::vector<int32_t> Tried;
    std::vector<int32_t> Destroyed;
};

class TFakeBackend : public TAVFile {
public:
    TFakeBackend(int32_t id, TOutcome outcome, TLog& log) : m_id(id), m_outcome(outcome), m_log(log) {
        m_description = "fake " + std::to_string(id);
    }
    ~TFakeBackend() override { m_log.Destroyed.push_back(m_id); }

    void Open(const std::string&, int32_t mode, int32_t streams, bool raiseErrors) override {
        EXPECT_EQ(mode, ModeRead);
        EXPECT_FALSE(raiseErrors);
        m_log.Tried.push_back(m_id);
        if (m_outcome.Throws)
            throw AVFileErrorOpen();
        m_streams = m_outcome.Streams & streams;
        m_mode = m_outcome.Mode;
    }

private:
    int32_t m_id;
    TOutcome m_outcome;
    TLog& m_log;
};

constexpr int32_t Video = TAVFile::StreamVideo;
constexpr int32_t Audio = TAVFile::StreamAudio;
constexpr int32_t Both = Video | Audio;

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { UninitialiseBackendOrder(); }
    void TearDown() override { UninitialiseBackendOrder(); }

    // Ids 0-3 exist, like the real registry; the ones not configured open nothing.
    std::unique_ptr<TAVFile> Open(int32_t streams) {
        return OpenMedia("clip.avi", streams, [this](int32_t id) -> std::unique_ptr<TAVFile> {
            EXPECT_GE(id, 0) << "an empty slot reached the factory";
            if (id > 3)
                return nullptr;
            return std::make_unique<TFakeBackend>(id, outcomes[id], log);
        });
    }

    std::map<int32_t, TOutcome> outcomes;
    TLog log;
};

TEST_F(RegistryTest, StartUpOrderIsIdentity) {
    EXPECT_EQ(Open(Both), nullptr);
    EXPECT_EQ(log.Tried, (std::vector<int32_t>{0, 1, 2, 3}));
    EXPECT_EQ(log.Destroyed, log.Tried) << "every rejected backend is destroyed";
    for (int32_t id = 0; id < 10; ++id)
        EXPECT_EQ(GetBackendPosition(id), id);
}

TEST_F(RegistryTest, FirstBackendWithAStreamWins) {
    outcomes[1].Streams = Both;
    outcomes[2].Streams = Both;
    const auto file = Open(Both);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "fake 1");
    EXPECT_EQ(log.Tried, (std::vector<int32_t>{0, 1}));
}

TEST_F(RegistryTest, VideoOnlyIsTakenAtOnce) {
    outcomes[0].Streams = Video;
    outcomes[1].Streams = Both;
    const auto file = Open(Both);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "fake 0");
    EXPECT_EQ(log.Tried, (std::vector<int32_t>{0}));
}

TEST_F(RegistryTest, AudioOnlyWaitsForABackendWithVideo) {
    outcomes[0].Streams = Audio;
    outcomes[1].Streams = Audio;
    outcomes[3].Streams = Both;
    const auto file = Open(Both);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "fake 3");
    EXPECT_EQ(log.Destroyed, (std::vector<int32_t>{1, 2, 0}))
        << "second audio-only at once, the held one last";
}

TEST_F(RegistryTest, AudioOnlyFileFallsBackToTheFirstAudioBackend) {
    outcomes[1].Streams = Audio;
    outcomes[2].Streams = Audio;
    const auto file = Open(Both);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "fake 1");
    EXPECT_EQ(log.Tried, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(RegistryTest, AudioOnlyIsTakenWhenOnlyAudioWasAsked) {
    outcomes[0].Streams = Audio;
    outcomes[1].Streams = Both;
    const auto file = Open(Audio);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "fake 0");
}

TEST_F(RegistryTest, OpenWithoutStreamsOrInAnotherModeIsRejected) {
    outcomes[0] = TOutcome{TAVFile::ModeRead, 0};
    outcomes[1] = TOutcome{TAVFile::ModeWrite, Both};
    outcomes[2] = TOutcome{TAVFile::ModeClosed, Both};
    EXPECT_EQ(Open(Both), nullptr);
    EXPECT_EQ(log.Destroyed, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST_F(RegistryTest, ExceptionFromABackendEndsTheAttempt) {
    outcomes[0].Streams = Audio;
    outcomes[1].Throws = true;
    outcomes[2].Streams = Both;
    EXPECT_THROW(Open(Both), TAVFile::AVFileErrorOpen);
    EXPECT_EQ(log.Tried, (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(log.Destroyed.size(), 2u) << "the held fallback is not leaked";
}

TEST_F(RegistryTest, UserOrderDecidesAndOverwrittenIdsLeave) {
    outcomes[0].Streams = Both;
    outcomes[2].Streams = Both;
    EXPECT_EQ(SetBackendPosition(2, 0), 0); // 0 is overwritten and leaves
    EXPECT_EQ(GetBackendPosition(0), -1);
    EXPECT_EQ(GetBackendPosition(2), 0);
    const auto file = Open(Both);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetDescription(), "fake 2");

    log.Tried.clear();
    outcomes[2].Streams = 0;
    EXPECT_EQ(Open(Both), nullptr);
    EXPECT_EQ(log.Tried, (std::vector<int32_t>{2, 1, 3})) << "slot 2 is empty, id 0 absent";
}

TEST_F(RegistryTest, RemovingAndPlacingReportPositions) {
    EXPECT_EQ(SetBackendPosition(3, -1), 3) << "the former index";
    EXPECT_EQ(SetBackendPosition(3, -1), 10) << "10 when it was absent";
    EXPECT_EQ(SetBackendPosition(1, 10), 10);
    EXPECT_EQ(GetBackendPosition(1), -1) << "10 or more only removes";
    EXPECT_EQ(SetBackendPosition(1, 7), 7);
    EXPECT_EQ(GetBackendPosition(1), 7);
    EXPECT_EQ(GetBackendPosition(7), -1);
    ResetBackendOrder();
    EXPECT_EQ(GetBackendPosition(1), 1);
    EXPECT_EQ(GetBackendPosition(7), 7);
}

TEST_F(RegistryTest, EveryBackendDisabledOpensNothing) {
    for (int32_t id = 0; id < 4; ++id)
        SetBackendPosition(id, -1);
    for (auto& [id, outcome] : outcomes)
        outcome.Streams = Both;
    EXPECT_EQ(Open(Both), nullptr);
    EXPECT_TRUE(log.Tried.empty());
}

TEST_F(RegistryTest, ListsTheBackendsThatExist) {
    const TAVFileDeviceList devices = ListBackends();
    std::vector<int32_t> ids;
    for (const TAVFileDevice& device : devices) {
        const auto backend = CreateBackend(device.Id);
        ASSERT_NE(backend, nullptr);
        EXPECT_EQ(device.Description, backend->GetDescription());
        ids.push_back(device.Id);
    }
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    // The filter graph is built only with GStreamer.
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 0), 1);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), 1), SCENEMARK_WITH_FILTER_GRAPH);
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices.back().Id, 3);
    EXPECT_EQ(devices.back().Description, "BMP file input and output");
    for (int32_t id : {-1, 4, 9, 10})
        EXPECT_EQ(CreateBackend(id), nullptr) << id;
}

TEST_F(RegistryTest, RealBackendsOpenABMPSequence) {
    TTempDir dir;
    WriteBytes(dir.File("f0001.bmp"), MakeBMPBytes(4, 2, 24, [](int32_t x, int32_t) { return x; }));
    WriteBytes(dir.File("f0002.bmp"), MakeBMPBytes(4, 2, 24, [](int32_t x, int32_t) { return x; }));
    const auto file = OpenMedia(dir.File("f0001.bmp"), Both);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetStreams(), Video);
    EXPECT_EQ(file->GetVideoLength(), 2);
    EXPECT_EQ(OpenMedia(dir.File("missing.bmp"), Both), nullptr);

    SetBackendPosition(3, -1);
    const auto withoutBMP = OpenMedia(dir.File("f0001.bmp"), Both);
    if (withoutBMP) { // another backend may read BMP files too
        EXPECT_NE(withoutBMP->GetDescription(), "BMP file input and output");
    }
}

} // namespace
