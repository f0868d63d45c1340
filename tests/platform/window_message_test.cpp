#include "platform/window_message.h"

#include "platform/mm_timer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <thread>

namespace {

// Stands in for the main window: records what arrives and on which thread.
class TRecorder : public QObject {
public:
    struct TDelivery {
        uint32_t Message;
        uint32_t WParam;
        intptr_t LParam;
        QThread* Thread;
    };

    explicit TRecorder(size_t expected) : m_expected(expected) {}

    bool event(QEvent* e) override {
        if (e->type() != TWindowMessageEvent::EventType())
            return QObject::event(e);
        const auto* message = static_cast<TWindowMessageEvent*>(e);
        Deliveries.push_back(
            {message->Message(), message->WParam(), message->LParam(), QThread::currentThread()});
        if (Deliveries.size() == m_expected)
            m_loop.quit();
        return true;
    }

    // Runs the event loop until the expected count arrived; false on a hang.
    bool WaitForAll() {
        QTimer::singleShot(20000, &m_loop, [this] { m_loop.exit(1); });
        return Deliveries.size() >= m_expected || m_loop.exec() == 0;
    }

    std::vector<TDelivery> Deliveries;

private:
    size_t m_expected;
    QEventLoop m_loop;
};

class WindowMessageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "platform_tests";
            static char* argv[] = {name, nullptr};
            static QCoreApplication app(argc, argv);
        }
    }
};

} // namespace

TEST_F(WindowMessageTest, MessagesFromAnotherThreadArriveInOrderOnTheReceiversThread) {
    constexpr uint32_t kCount = 5000;
    TRecorder recorder(kCount);
    std::thread poster([&] {
        for (uint32_t i = 0; i < kCount; ++i)
            PostWindowMessage(&recorder, i % 2 ? MM_WOM_DONE : WM_TIMER, i, -static_cast<intptr_t>(i));
    });
    const bool arrived = recorder.WaitForAll();
    poster.join();
    ASSERT_TRUE(arrived);

    ASSERT_EQ(recorder.Deliveries.size(), kCount);
    for (uint32_t i = 0; i < kCount; ++i) {
        const auto& delivery = recorder.Deliveries[i];
        ASSERT_EQ(delivery.WParam, i);
        EXPECT_EQ(delivery.Message, i % 2 ? MM_WOM_DONE : WM_TIMER);
        EXPECT_EQ(delivery.LParam, -static_cast<intptr_t>(i));
        EXPECT_EQ(delivery.Thread, QCoreApplication::instance()->thread());
    }
}

TEST_F(WindowMessageTest, TimerCallbacksReachTheWindowThreadWithTheirGroupOrOutput) {
    TRecorder recorder(2);
    TThreadMMTimer timer;
    timer.SetOneShot(5, [&] { PostWindowMessage(&recorder, WM_TIMER, 7, 0); });
    timer.SetOneShot(10, [&] { PostWindowMessage(&recorder, WM_TIMER, TimerParamForAudioOutput(3), 0); });
    ASSERT_TRUE(recorder.WaitForAll());

    ASSERT_EQ(recorder.Deliveries.size(), 2u);
    EXPECT_FALSE(IsAudioOutputTimerParam(recorder.Deliveries[0].WParam));
    EXPECT_EQ(TimerParamIndex(recorder.Deliveries[0].WParam), 7u);
    EXPECT_TRUE(IsAudioOutputTimerParam(recorder.Deliveries[1].WParam));
    EXPECT_EQ(recorder.Deliveries[1].WParam, 0x80000003u);
    EXPECT_EQ(TimerParamIndex(recorder.Deliveries[1].WParam), 3u);
}
