// The seek worker's promises: a waiting job that a newer one overtakes never
// runs, a running one learns that it was overtaken, only the newest job's
// picture can be taken (once), Invalidate drops what is on its way, a job's
// exception does not end the thread, and the destructor abandons a running
// job rather than waiting for it forever.

#include "playback/seek_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>

namespace {

TPreviewPicture Picture(int32_t frame) {
    TPreviewPicture picture;
    picture.Frame = frame;
    return picture;
}

// A job that signals when it starts and waits for the gate before it ends.
struct TGatedJob {
    std::promise<void> started;
    std::promise<void> gate;
    std::atomic<bool> sawOvertaken{false};

    TSeekWorker::TJob Job(int32_t frame) {
        return
            [this, frame, gate = gate.get_future().share()](const TSeekWorker::TOvertakenCheck& isOvertaken) {
                started.set_value();
                gate.wait();
                sawOvertaken = isOvertaken();
                return std::optional<TPreviewPicture>(Picture(frame));
            };
    }
};

class SeekWorkerTest : public ::testing::Test {
protected:
    std::atomic<int> m_notified{0};
    TSeekWorker m_worker{[this] { ++m_notified; }};
};

TEST_F(SeekWorkerTest, NewerPostsOvertakeWaitingAndRunningJobs) {
    TGatedJob first;
    m_worker.Post(first.Job(1));
    first.started.get_future().wait();
    bool overtakenRan = false;
    m_worker.Post([&](const TSeekWorker::TOvertakenCheck&) {
        overtakenRan = true;
        return std::optional<TPreviewPicture>(Picture(2));
    });
    m_worker.Post([](const TSeekWorker::TOvertakenCheck& isOvertaken) {
        return std::optional<TPreviewPicture>(Picture(isOvertaken() ? -3 : 3));
    });
    EXPECT_TRUE(m_worker.IsBusy());
    first.gate.set_value();
    m_worker.WaitIdle();

    EXPECT_TRUE(first.sawOvertaken);
    EXPECT_FALSE(overtakenRan);
    ASSERT_TRUE(m_worker.IsBusy()) << "the newest picture waits to be taken";
    const std::optional<TPreviewPicture> current = m_worker.TakeCurrent();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->Frame, 3);
    EXPECT_FALSE(m_worker.TakeCurrent());
    EXPECT_FALSE(m_worker.IsBusy());
    EXPECT_EQ(m_notified, 1) << "only the newest picture is announced";
}

TEST_F(SeekWorkerTest, InvalidateDropsWhatIsOnItsWay) {
    // A finished picture not yet taken...
    m_worker.Post(
        [](const TSeekWorker::TOvertakenCheck&) { return std::optional<TPreviewPicture>(Picture(1)); });
    m_worker.WaitIdle();
    m_worker.Invalidate();
    EXPECT_FALSE(m_worker.TakeCurrent());
    // ...and one still being made.
    TGatedJob running;
    m_worker.Post(running.Job(2));
    running.started.get_future().wait();
    m_worker.Invalidate();
    running.gate.set_value();
    m_worker.WaitIdle();
    EXPECT_TRUE(running.sawOvertaken);
    EXPECT_FALSE(m_worker.TakeCurrent());
    EXPECT_FALSE(m_worker.IsBusy());
}

TEST_F(SeekWorkerTest, SurvivesAThrowingJobAndWaitsNotForItselfInsideAJob) {
    m_worker.Post([](const TSeekWorker::TOvertakenCheck&) -> std::optional<TPreviewPicture> {
        throw std::runtime_error("damaged packet");
    });
    m_worker.WaitIdle();
    m_worker.Post([this](const TSeekWorker::TOvertakenCheck&) {
        m_worker.WaitIdle(); // the fetch a job runs reclaims its medium too
        m_worker.Invalidate();
        return std::optional<TPreviewPicture>(Picture(7));
    });
    m_worker.WaitIdle();
    const std::optional<TPreviewPicture> current = m_worker.TakeCurrent();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->Frame, 7);
}

TEST(SeekWorkerLifetime, DestructionAbandonsTheRunningJob) {
    std::atomic<bool> abandoned{false};
    std::promise<void> started;
    {
        TSeekWorker worker({});
        worker.Post([&](const TSeekWorker::TOvertakenCheck& isOvertaken) {
            started.set_value();
            // A decode that goes on until told otherwise: without the
            // abandon the destructor would never return.
            while (!isOvertaken())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            abandoned = true;
            return std::optional<TPreviewPicture>();
        });
        started.get_future().wait();
    }
    EXPECT_TRUE(abandoned);
}

} // namespace
