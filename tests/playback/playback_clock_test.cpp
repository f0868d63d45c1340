#include "base/exception.h"
#include "playback/playback_clock.h"
#include "tests/playback/playback_fakes.h"

#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// The slider, the transport commands and Go to, with no playback running.
class ClockPosition : public ::testing::Test {
protected:
    TPlaybackRig rig;
};

TEST_F(ClockPosition, PageSizeIsTheShortestFramePeriodAndTheRangeIncludesOffsets) {
    rig.AddMedium(25, 1, 250); // 10 s
    EXPECT_EQ(rig.Host.Slider.PageSize, 40);
    EXPECT_EQ(rig.Host.Slider.Maximum, 10000);

    rig.AddMedium(30000, 1001, 300, 500); // 10.01 s from 0.5 s
    EXPECT_EQ(rig.Host.Slider.PageSize, 33);
    EXPECT_EQ(rig.Host.Slider.Maximum, 10510);
    EXPECT_EQ(rig.Host.Slider.TickSpacing, 10510);

    // Audio-only media neither extend the range nor set a period.
    rig.AddMedium(1000, 1, 60000, 0, 0, TAVFile::StreamAudio);
    EXPECT_EQ(rig.Host.Slider.Maximum, 10510);
    EXPECT_EQ(rig.Host.EditingEnabled, (std::vector<bool>{true, true, true}));

    rig.Media.Items.erase(rig.Media.Items.begin() + 1);
    rig.Clock.MediumRemoved();
    EXPECT_EQ(rig.Host.Slider.PageSize, 40);
    EXPECT_EQ(rig.Host.Slider.Maximum, 10000);

    rig.Media.Items.clear();
    rig.Clock.MediumRemoved();
    EXPECT_EQ(rig.Host.Slider.PageSize, 1);
    EXPECT_EQ(rig.Host.Slider.Maximum, 0);
    EXPECT_FALSE(rig.Host.EditingEnabled.back());
}

TEST_F(ClockPosition, TransportStepsByPageSizeTimesStepAndClampsToTheRange) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250);
    rig.Clock.SetStepFrames(5);

    rig.Clock.ExecuteTransport(TTransportCommand::Next);
    EXPECT_EQ(rig.Clock.PositionMs(), 200);
    EXPECT_EQ(rig.Host.Slider.Position, 200);
    EXPECT_EQ(rig.Clock.CurrentTime(), 200);
    EXPECT_EQ(medium.Fetched.back(), 5);

    rig.Clock.ExecuteTransport(TTransportCommand::End);
    EXPECT_EQ(rig.Clock.PositionMs(), 10000);
    EXPECT_EQ(medium.Fetched.back(), 249); // the last frame, not one past it

    rig.Clock.ExecuteTransport(TTransportCommand::Next);
    rig.Clock.ExecuteTransport(TTransportCommand::Begin);
    rig.Clock.ExecuteTransport(TTransportCommand::Prev);
    EXPECT_EQ(rig.Clock.PositionMs(), 0);

    // Already at the begin: no seek, no refresh at all.
    const auto fetches = medium.Fetched.size();
    rig.Host.Log.clear();
    rig.Clock.ExecuteTransport(TTransportCommand::Begin);
    EXPECT_EQ(medium.Fetched.size(), fetches);
    EXPECT_TRUE(rig.Host.Log.isEmpty());
}

TEST_F(ClockPosition, APositionChangeRefreshesInOrderAndFollowsOnlyForTheSlider) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250);
    rig.Host.Log.clear();
    rig.Clock.SetPosition(1000);
    EXPECT_EQ(rig.Host.Log, QStringList({"status", "events 0 1", "titles 0 1", "output", "timeline 1000"}));
    EXPECT_GE(medium.Commits, 1); // before the seek, at the old time
    EXPECT_GE(medium.Paints, 1);

    rig.Host.Log.clear();
    rig.Clock.GoToTime(1000, false);
    EXPECT_EQ(rig.Host.Log, QStringList({"status", "events 0 0", "titles 0 0", "output", "timeline 1000"}));

    rig.Host.Log.clear();
    rig.Clock.RefreshAtPosition();
    EXPECT_EQ(rig.Host.Log, QStringList({"status", "events 0 0", "titles 0 0", "output", "refresh timeline",
                                         "timeline 1000"}));
}

TEST_F(ClockPosition, GoToCountsFramesInTheFrameUnitAndClampsHugeValues) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250);
    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Frames));
    EXPECT_EQ(rig.Clock.GotoCaption(), "Go to frame");

    rig.Clock.GoToTime(100, true);
    EXPECT_EQ(rig.Clock.PositionMs(), 4000);
    EXPECT_EQ(rig.Clock.CurrentTime(), 100);
    EXPECT_EQ(medium.Fetched.back(), 100);

    // 100,000,000 frames x 40 ms does not fit 32 bits; it must land at the
    // end, not wrap to some other place.
    rig.Clock.GoToTime(100000000, true);
    EXPECT_EQ(rig.Clock.PositionMs(), 10000);
    rig.Clock.GoToTime(-5, true);
    EXPECT_EQ(rig.Clock.PositionMs(), 0);

    ASSERT_TRUE(rig.Clock.SwitchTimeFormat(TTimeFormat::Milliseconds));
    EXPECT_EQ(rig.Clock.GotoCaption(), "Go to millisecond");
}

TEST_F(ClockPosition, GoToTheCurrentValueStillStopsAndRefreshes) {
    rig.AddMedium(25, 1, 250);
    rig.Clock.Play();
    ASSERT_TRUE(rig.Clock.IsPlaying());
    rig.Host.Log.clear();
    rig.Clock.GoToTime(rig.Clock.CurrentTime(), true);
    EXPECT_FALSE(rig.Clock.IsPlaying());
    EXPECT_TRUE(rig.Host.Log.contains("events 0 1"));
}

TEST_F(ClockPosition, SpeedAndStepOutsideTheirRangesAreRejected) {
    rig.AddMedium(25, 1, 250);
    for (int32_t speed : {0, -1, 501}) {
        try {
            rig.Clock.SetPlaybackSpeed(speed);
            ADD_FAILURE() << "speed " << speed << " accepted";
        } catch (const TException& error) {
            EXPECT_STREQ(error.what(), "Invalid value!");
        }
    }
    EXPECT_EQ(rig.Clock.PlaybackSpeed(), 100);
    for (int32_t step : {0, 101})
        EXPECT_THROW(rig.Clock.SetStepFrames(step), TException);
    EXPECT_EQ(rig.Clock.StepFrames(), 1);

    // A valid speed stops playback; a valid step does not.
    rig.Clock.Play();
    rig.Clock.SetStepFrames(100);
    EXPECT_TRUE(rig.Clock.IsPlaying());
    rig.Clock.SetPlaybackSpeed(500);
    EXPECT_FALSE(rig.Clock.IsPlaying());
    EXPECT_EQ(rig.Clock.PlaybackSpeed(), 500);
}

TEST_F(ClockPosition, StatusBarShowsTimeMillisecondAndFrame) {
    rig.AddMedium(25, 1, 100000);
    rig.Clock.SetPosition(1000);
    EXPECT_EQ(rig.Host.Status, QStringList({"Time: 0:00:01.000", "Millisecond: 1000", "Frame: 25"}));
    rig.Clock.SetPosition(3723456);
    EXPECT_EQ(rig.Host.Status, QStringList({"Time: 1:02:03.456", "Millisecond: 3723456", "Frame: 93086"}));

    rig.Clock.SwitchTimeFormat(TTimeFormat::Frames);
    rig.Clock.SetPosition(1000);
    EXPECT_EQ(rig.Host.Status, QStringList({"Time: 0:00:01.000", "Millisecond: 1000", "Frame: 25"}));
}

TEST_F(ClockPosition, SeekingShowsFrameZeroBeforeAMediumStartsAndSeeksAudioOnlyMedia) {
    TTestMedium& late = rig.AddMedium(25, 1, 250, 2000);
    TTestMedium& audio = rig.AddMedium(1000, 1, 0, 300, 0, TAVFile::StreamAudio);
    rig.Clock.SetPosition(1000);
    EXPECT_EQ(late.Fetched.back(), 0);
    EXPECT_EQ(audio.Clip->Seeks.back(), 700); // milliseconds of its own time
    rig.Clock.SetPosition(3000);
    EXPECT_EQ(late.Fetched.back(), 25);
}

TEST_F(ClockPosition, ASeekErrorLeavesTheOtherMediaMoving) {
    TTestMedium& broken = rig.AddMedium(25, 1, 250);
    TTestMedium& fine = rig.AddMedium(25, 1, 250);
    broken.Clip->FailingFrame = 25;
    rig.Clock.SetPosition(1000);
    EXPECT_EQ(fine.Fetched.back(), 25);
    EXPECT_EQ(rig.Clock.CurrentTime(), 1000);
}

// Four media seek at once, so a position change waits for one seek, not
// four; while the slider is held they show previews, and the release brings
// the exact frames.
TEST_F(ClockPosition, MediaSeekTogetherPreviewWhileHeldAndShowExactFramesOnRelease) {
    constexpr int Media = 4;
    std::mutex mutex;
    std::condition_variable arrived;
    int waiting = 0;
    bool isTogether = true;
    for (int i = 0; i < Media; ++i)
        rig.AddMedium(25, 1, 250, i * 400).OnFetch = [&] {
            std::unique_lock<std::mutex> lock(mutex);
            ++waiting;
            arrived.notify_all();
            // In a row, the first would wait for the others in vain.
            if (!arrived.wait_for(lock, std::chrono::seconds(5), [&] { return waiting % Media == 0; }))
                isTogether = false;
        };
    const struct {
        bool held;
        int32_t positionMs;
    } steps[] = {{true, 2000}, {true, 3000}, {false, 3000}, {false, 1200}};
    for (const auto& step : steps) {
        rig.Host.TrackBarHeld = step.held;
        if (step.held)
            rig.Clock.SetPosition(step.positionMs);
        else if (step.positionMs == rig.Clock.PositionMs())
            rig.Clock.TrackBarReleased();
        else
            rig.Clock.SetPosition(step.positionMs);
        for (int i = 0; i < Media; ++i) {
            const TTestMedium& medium = rig.Media.At(i);
            const std::vector<int32_t>& shown = step.held ? medium.Previewed : medium.Fetched;
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(shown.back(), std::max(0, (step.positionMs - i * 400) / 40)) << "medium " << i;
        }
    }
    EXPECT_TRUE(isTogether);
    // Without a preview on show, a release has nothing to mend.
    const size_t fetches = rig.Media.At(0).Fetched.size();
    rig.Clock.TrackBarReleased();
    EXPECT_EQ(rig.Media.At(0).Fetched.size(), fetches);
    EXPECT_EQ(rig.Media.At(0).Previewed.size(), 2u);
}

// Playback on the fake timer: every deadline and every message is visible.
class ClockPlayback : public ::testing::Test {
protected:
    TPlaybackRig rig;
};

TEST_F(ClockPlayback, PlayGroupsMediaByFrameRateAndStopReleasesEverything) {
    rig.AddMedium(25, 1, 250);
    rig.AddMedium(30000, 1001, 300);
    rig.AddMedium(25, 1, 250);
    rig.AddMedium(25, 1, 0, 0, 0, TAVFile::StreamAudio); // no video: no group
    rig.Clock.SetPosition(1000);
    rig.Clock.Play();

    const auto& groups = rig.Clock.Groups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].Videos.size(), 2u);
    EXPECT_EQ(groups[0].Videos[1].Medium, &rig.Media.At(2));
    EXPECT_EQ(groups[0].Frame, 25);
    EXPECT_EQ(groups[1].Frame, 30); // 29.97 rounded
    EXPECT_EQ(rig.Media.At(0).Clip->Seeks.back(), 25);
    EXPECT_EQ(rig.Host.Posted.size(), 2u);
    EXPECT_EQ(rig.Timer.OpenPeriods().size(), 1u);

    rig.RunFor(100);
    EXPECT_FALSE(rig.Timer.Pending().empty());
    rig.Clock.Stop(true);
    EXPECT_TRUE(rig.Timer.Pending().empty());
    EXPECT_TRUE(rig.Timer.OpenPeriods().empty());
    EXPECT_TRUE(rig.Clock.Groups().empty());
    EXPECT_FALSE(rig.Clock.IsPlaying());
}

TEST_F(ClockPlayback, TimerPeriodFollowsTheCapabilitiesAndARefusalStartsNothing) {
    rig.AddMedium(25, 1, 250);
    rig.Timer.SetDevCaps(TTimerCaps{0, 16});
    rig.Clock.Play();
    EXPECT_EQ(rig.Clock.TimerPeriodMs(), 1u);
    rig.Clock.Stop(false);

    rig.Timer.SetDevCaps(std::nullopt); // no answer: play without a period
    rig.Clock.Play();
    EXPECT_EQ(rig.Clock.TimerPeriodMs(), 0u);
    EXPECT_EQ(rig.Clock.Groups().size(), 1u);
    rig.Clock.Stop(false);

    rig.Timer.SetDevCaps(TTimerCaps{1, 16});
    rig.Timer.SetBeginPeriodRefused(true);
    rig.Host.Posted.clear();
    try {
        rig.Clock.Play();
        ADD_FAILURE() << "Play started without a timer period";
    } catch (const TException& error) {
        EXPECT_STREQ(error.what(), "Could not set timer period!");
    }
    EXPECT_TRUE(rig.Clock.Groups().empty());
    EXPECT_TRUE(rig.Host.Posted.empty());
}

TEST_F(ClockPlayback, ALateTickDropsWholeFramesAndWaitsForTheNextOne) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250);
    rig.Clock.Play();
    rig.Pump(); // frame 0 at 0 ms, frame 1 due at 40 ms
    ASSERT_EQ(rig.Timer.Pending().size(), 1u);
    EXPECT_EQ(rig.Timer.Pending()[0].DelayMs, 40u);
    rig.Timer.FireNext();
    rig.Pump(); // frame 1 at 40 ms; frame 2 due at 80 ms

    // The window thread was busy: the tick showing frame 2 runs so late that
    // frame 3 (due at 120 ms) is already 130 ms overdue.
    rig.Timer.MutableClock().SetMs(120 + 130);
    rig.Timer.FireNext();
    rig.Pump();
    EXPECT_EQ(medium.Fetched, (std::vector<int32_t>{0, 1, 2}));
    const TTimerInfo& group = rig.Clock.Groups()[0];
    EXPECT_EQ(group.Dropped, 4);
    EXPECT_EQ(group.Frame, 7);
    ASSERT_EQ(rig.Timer.Pending().size(), 1u);
    EXPECT_EQ(rig.Timer.Pending()[0].DelayMs, 30u);

    // The lag is caught up by skipping, not by decoding the dropped frames.
    rig.Timer.FireNext();
    rig.Pump();
    EXPECT_EQ(medium.Fetched.back(), 7);
    EXPECT_EQ(medium.Clip->Skips.back(), 4);
    EXPECT_EQ(medium.Fps, 0.0); // no measurement within the first second
    EXPECT_EQ(medium.Dropped, 4);
}

// Each tick fetches in 5 ms of a 40 ms period; the repaints cost what the
// table says.
TEST_F(ClockPlayback, ALongRepaintDelaysTheNextFrameAndOnlyASlowOneDropsFrames) {
    struct TCase {
        const char* name;
        std::vector<int64_t> paintCostsMs;
        int32_t leastShown; // in the first second
        int32_t mostDropped;
    };
    const TCase cases[] = {
        // Past the next due time once (5 + 40 > 40): that frame comes late,
        // and every frame is shown.
        {"one long repaint", {0, 40, 0}, 25, 0},
        // Every tick needs 55 ms: a frame is shown every 55 ms, each the one
        // due by then, and only the others of the 25 go.
        {"every repaint too long", {50}, 1000 / 55, 25 - 1000 / 55},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TPlaybackRig rig;
        TTestMedium& medium = rig.AddMedium(25, 1, 250, 0, 5);
        medium.PaintCostsMs = c.paintCostsMs;
        rig.Clock.Play();
        rig.RunFor(1000);
        const TTimerInfo& group = rig.Clock.Groups()[0];
        const auto shown = static_cast<int32_t>(medium.Fetched.size());
        EXPECT_GE(shown, c.leastShown);
        EXPECT_LE(group.Dropped, c.mostDropped);
        EXPECT_EQ(group.Dropped, group.Frame - shown);
        // The clock alone says which frame is shown: never one ahead of its
        // time, and behind it by no more than a tick.
        for (size_t i = 0; i < medium.Fetched.size(); ++i) {
            const int64_t dueMs = int64_t{medium.Fetched[i]} * 40;
            EXPECT_GE(medium.FetchedAtMs[i], dueMs) << "fetch " << i;
            EXPECT_LE(medium.FetchedAtMs[i], dueMs + 55) << "fetch " << i;
        }
    }
}

TEST_F(ClockPlayback, RateMeasurementAndTickSpacingFollowTheSpeed) {
    TTestMedium& medium = rig.AddMedium(25, 1, 10000);
    rig.Clock.SetPlaybackSpeed(50);
    rig.Clock.Play();
    rig.RunFor(3000);
    EXPECT_DOUBLE_EQ(medium.Fps, 12.5);
    EXPECT_EQ(medium.Dropped, 0);
    const auto& pending = rig.Timer.Pending();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(pending[0].DelayMs, 80u);
    // A frame is shown when its time has come, never ahead of it.
    EXPECT_EQ(medium.Fetched.back(), 37); // 3000 ms x 50 % = 1500 ms = frame 37.5

    rig.Clock.SetPlaybackSpeed(200);
    rig.Clock.Play();
    const int64_t start = rig.NowMs();
    std::vector<int64_t> tickTimes;
    for (int i = 0; i < 10; ++i) {
        rig.Pump();
        tickTimes.push_back(rig.NowMs() - start);
        rig.Timer.FireNext();
    }
    // Evenly every 20 ms, not frames in pairs every 40 ms.
    for (size_t i = 1; i < tickTimes.size(); ++i)
        EXPECT_EQ(tickTimes[i] - tickTimes[i - 1], 20) << "tick " << i;
}

// Long GOPs at a high rate: a seek decodes up to a GOP, far more than
// decoding on over the few frames a late tick left behind. After one stall
// has made both costs known, the clock skips instead of seeking at every
// tick, which would show about one frame in fifteen from then on.
TEST_F(ClockPlayback, AfterAStallACheapSkipWinsOverAGopLongSeek) {
    TTestMedium& medium = rig.AddMedium(50, 1, 100000, 0, 25);
    medium.Clip->Clock = &rig.Timer.MutableClock();
    medium.Clip->SkipCostMs = 2;
    medium.Clip->SeekCostMs = 300;
    medium.PaintCostsMs.assign(40, 0);
    medium.PaintCostsMs.push_back(200); // one stall of ten periods
    medium.PaintCostsMs.push_back(0);
    rig.Clock.Play();
    rig.RunFor(10000);
    const TTimerInfo& group = rig.Clock.Groups()[0];
    EXPECT_LE(medium.Clip->Seeks.size(), 2u);
    EXPECT_GE(static_cast<double>(medium.Fetched.size()), 0.4 * group.Frame);
}

TEST_F(ClockPlayback, SlowFetchesDropFramesButHoldTheNominalRate) {
    // Each fetch takes 50 ms of a 40 ms period.
    TTestMedium& medium = rig.AddMedium(25, 1, 10000, 0, 50);
    rig.Clock.Play();
    rig.RunFor(5000);
    const TTimerInfo& group = rig.Clock.Groups()[0];
    // Every tick overruns by 10 ms and drops one frame: half of the frames
    // are shown, yet the position keeps up with the clock.
    EXPECT_NEAR(group.Frame, 5000 / 40, 2);
    EXPECT_NEAR(static_cast<double>(medium.Fetched.size()), 5000 / 80, 2);
    EXPECT_NEAR(group.Dropped, 5000 / 80, 2);
    EXPECT_NEAR(group.Fps, 12.5, 1.0);
}

struct TOverloadCase {
    const char* name;
    // Of the 25 fps camera; the 30 fps one fetches in 5 ms, skips a frame in
    // 2 ms and seeks in 10 ms.
    int64_t fetchCostMs;
    int64_t skipCostMs; // per skipped frame
    int64_t seekCostMs; // decoding from the nearest key frame
};

void PrintTo(const TOverloadCase& value, std::ostream* out) {
    *out << value.name;
}

class ClockOverload : public ::testing::TestWithParam<TOverloadCase> {
protected:
    TPlaybackRig rig;
};

// One camera needs more than a frame period per frame beside one that keeps
// up: both must still show what the one clock says, and stay together.
TEST_P(ClockOverload, CamerasStayOnTheOneClock) {
    const TOverloadCase& load = GetParam();
    TTestMedium& slow = rig.AddMedium(25, 1, 100000, 0, load.fetchCostMs);
    TTestMedium& fast = rig.AddMedium(30, 1, 100000, 0, 5);
    for (TTestMedium* medium : {&slow, &fast})
        medium->Clip->Clock = &rig.Timer.MutableClock();
    slow.Clip->SkipCostMs = load.skipCostMs;
    slow.Clip->SeekCostMs = load.seekCostMs;
    fast.Clip->SkipCostMs = 2;
    fast.Clip->SeekCostMs = 10;
    rig.Clock.Play();
    const int64_t playMs = rig.NowMs(); // position 0 is due now
    int64_t longestTickMs = 0;
    int64_t worstBackStepMs = 0;
    int64_t previousTime = 0;
    std::vector<int64_t> trailMs; // wall clock minus position, per tick
    std::vector<int64_t> tickMs;
    for (int64_t endMs = rig.NowMs() + 60000; rig.NowMs() < endMs;) {
        if (rig.Host.Posted.empty() && !rig.Timer.FireNext())
            break;
        const uint32_t wParam = rig.Host.Posted.front();
        rig.Host.Posted.pop_front();
        const int64_t startMs = rig.NowMs();
        rig.Clock.HandleTimerMessage(wParam);
        longestTickMs = std::max(longestTickMs, rig.NowMs() - startMs);
        tickMs.push_back(rig.NowMs() - startMs);
        worstBackStepMs = std::max(worstBackStepMs, previousTime - rig.Clock.CurrentTime());
        previousTime = rig.Clock.CurrentTime();
        trailMs.push_back(rig.NowMs() - playMs - rig.Clock.PositionMs());
    }
    ASSERT_GT(trailMs.size(), 400u);

    // Each fetch shows a frame whose time has come, late by no more than the
    // other camera's tick it waited for and its own jump to it.
    const auto shownMs = [](const TTestMedium& medium, size_t i, int rate) {
        return static_cast<int64_t>(medium.Fetched[i]) * 1000 / rate;
    };
    const int64_t periodMs = 40;
    for (const auto& [medium, rate] : {std::pair{&slow, 25}, std::pair{&fast, 30}}) {
        for (size_t i = 0; i < medium->Fetched.size(); ++i) {
            const int64_t lagMs = medium->FetchedAtMs[i] - playMs - shownMs(*medium, i, rate);
            ASSERT_GE(lagMs, 0) << "a frame shown ahead of its time";
            ASSERT_LE(lagMs, 2 * longestTickMs) << "fetch " << i << " at rate " << rate;
        }
    }
    // The two cameras' pictures, compared whenever one changes.
    int64_t worstSkewMs = 0;
    for (size_t i = 0, j = 0; i < slow.Fetched.size(); ++i) {
        while (j + 1 < fast.Fetched.size() && fast.FetchedAtMs[j + 1] <= slow.FetchedAtMs[i])
            ++j;
        worstSkewMs = std::max(worstSkewMs, std::abs(shownMs(slow, i, 25) - shownMs(fast, j, 30)));
    }
    EXPECT_LE(worstSkewMs, periodMs + longestTickMs);
    EXPECT_LE(worstBackStepMs, periodMs);
    // Neither the ticks nor the position's trail behind the wall clock grow
    // over the minute (a spiral would make both grow).
    const size_t tenth = trailMs.size() / 10;
    const auto worst = [&](const std::vector<int64_t>& values, size_t from) {
        return *std::max_element(values.begin() + static_cast<ptrdiff_t>(from),
                                 values.begin() + static_cast<ptrdiff_t>(from + tenth));
    };
    EXPECT_LE(worst(trailMs, 9 * tenth), worst(trailMs, 0) + periodMs);
    EXPECT_LE(worst(tickMs, 9 * tenth), worst(tickMs, 0));
    // Every frame not shown is counted.
    const TTimerInfo& group = rig.Clock.Groups()[0];
    EXPECT_EQ(group.Dropped, group.Frame - static_cast<int32_t>(slow.Fetched.size()));
}

INSTANTIATE_TEST_SUITE_P(Loads, ClockOverload,
                         ::testing::Values(TOverloadCase{"SlowDecodesCheapSkips", 45, 4, 30},
                                           TOverloadCase{"SkipsCostADecode", 45, 40, 60},
                                           TOverloadCase{"AlmostTwoPeriodsPerFrame", 72, 60, 90}),
                         [](const ::testing::TestParamInfo<TOverloadCase>& info) { return info.param.name; });

TEST_F(ClockPlayback, AMediumWithAnOffsetKeepsItsFirstFrameUntilItsTime) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250, 2000);
    rig.Clock.Play();
    rig.RunFor(1960);
    EXPECT_TRUE(std::all_of(medium.Fetched.begin(), medium.Fetched.end(), [](int32_t f) { return f == 0; }));
    EXPECT_EQ(rig.Clock.PositionMs(), 1960);
    rig.RunFor(40);
    EXPECT_EQ(medium.Fetched.back(), 0); // frame 50 of the project is its frame 0
    rig.RunFor(400);
    EXPECT_EQ(medium.Fetched.back(), 10);
    EXPECT_EQ(rig.Clock.CurrentTime(), 2400);
    EXPECT_EQ(rig.Host.Slider.Position, 2400);
}

TEST_F(ClockPlayback, AGroupWhoseMediaEndedStopsTickingWhileOthersGoOn) {
    TTestMedium& shortClip = rig.AddMedium(25, 1, 5);
    TTestMedium& longClip = rig.AddMedium(30, 1, 300);
    rig.Clock.Play();
    rig.RunFor(1000);
    EXPECT_EQ(shortClip.Fetched.back(), 4);
    EXPECT_EQ(rig.Clock.Groups()[0].TimerId, 0u);
    EXPECT_FALSE(rig.Clock.Groups()[0].FrameShown);
    EXPECT_GE(longClip.Fetched.back(), 29);
    EXPECT_NE(rig.Clock.Groups()[1].TimerId, 0u);
    EXPECT_EQ(rig.Timer.OpenPeriods().size(), 1u); // still playing until Stop
}

TEST_F(ClockPlayback, ABadFrameCostsOneMediumOneTick) {
    TTestMedium& broken = rig.AddMedium(25, 1, 250);
    TTestMedium& fine = rig.AddMedium(25, 1, 250);
    broken.Clip->FailingFrame = 2;
    rig.Clock.Play();
    rig.RunFor(200);
    EXPECT_EQ(fine.Fetched, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(broken.Fetched, (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(rig.Clock.Groups()[0].Frame, 6);
}

TEST_F(ClockPlayback, InterleavedAudioIsDrainedOnlyWhenItIsNotPlayed) {
    const int32_t both = TAVFile::StreamVideo | TAVFile::StreamAudio;
    TTestMedium& silent = rig.AddMedium(25, 1, 250, 0, 0, both, TAVFile::FlagInterleaved);
    TTestMedium& heard = rig.AddMedium(25, 1, 250, 0, 0, both, TAVFile::FlagInterleaved);
    TTestMedium& separate = rig.AddMedium(25, 1, 250, 0, 0, both, 0);
    heard.AudioEnabled = true;
    rig.Clock.Play();
    rig.RunFor(200);
    EXPECT_EQ(silent.Clip->AudioSkips, 6);
    EXPECT_EQ(heard.Clip->AudioSkips, 0);
    EXPECT_EQ(separate.Clip->AudioSkips, 0);
}

TEST_F(ClockPlayback, EveryFrameStepCommitsTheMouseRegion) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250, 0, 130); // 130 ms per fetch: about 3 frames a tick
    rig.Clock.Play();
    rig.Pump();
    const int32_t commitsBefore = medium.Commits;
    const int32_t timeBefore = rig.Clock.CurrentTime();
    rig.Timer.FireNext();
    rig.Pump();
    const int32_t steps = (rig.Clock.CurrentTime() - timeBefore) / 40;
    EXPECT_GE(steps, 3);
    EXPECT_EQ(medium.Commits - commitsBefore, steps);
}

TEST_F(ClockPlayback, ATickQueuedBeforeStopDoesNotReachTheNextPlayback) {
    TTestMedium& medium = rig.AddMedium(25, 1, 250);
    rig.Clock.Play();
    rig.Pump();
    rig.Timer.FireNext(); // its message is queued, not yet handled
    ASSERT_EQ(rig.Host.Posted.size(), 1u);
    const uint32_t stale = rig.Host.Posted.front();
    rig.Host.Posted.clear();

    rig.Clock.Stop(true);
    rig.Clock.Play();
    ASSERT_EQ(rig.Host.Posted.size(), 1u);
    const uint32_t current = rig.Host.Posted.front();
    rig.Clock.HandleTimerMessage(stale);
    EXPECT_EQ(rig.Clock.Groups()[0].Frame, 0); // untouched by the stale message
    rig.Pump();
    EXPECT_EQ(rig.Clock.Groups()[0].Frame, 1);

    rig.Clock.HandleTimerMessage((current & ~TimerMessage::IndexMask) | 7); // no such group
    EXPECT_EQ(medium.Fetched, (std::vector<int32_t>{0, 0}));
}

TEST_F(ClockPlayback, TheScheduleSurvivesHoursAtHighSpeed) {
    rig.AddMedium(25, 1, 100000000);
    rig.Clock.SetPlaybackSpeed(500);
    rig.Clock.Play();
    rig.Pump();
    // 75 minutes at 500 %: elapsed x speed no longer fits 32 bits.
    rig.Timer.MutableClock().AdvanceMs(75 * 60 * 1000);
    rig.Timer.FireNext();
    rig.Pump();
    const auto pending = rig.Timer.Pending();
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_LE(pending[0].DelayMs, 8u); // the next frame is one short period away
    EXPECT_EQ(rig.Clock.Groups()[0].Frame, 75 * 60 * 25 * 5 + 1);
}

} // namespace
