#include "playback/media_set_logic.h"
#include "playback/time_convert.h"

#include "tests/model/qstring_printer.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

TEST(MediaMenuCaptions, CameraAndOffsetItemsNameTheFileAndTheValue) {
    EXPECT_EQ(CameraMenuCaption("clip.avi", -1), "clip.avi - none");
    EXPECT_EQ(CameraMenuCaption("clip.avi", 2), "clip.avi - Camera 2");
    EXPECT_EQ(CameraMenuCaption("clip.avi", 0), "clip.avi - Camera 0");
    EXPECT_EQ(OffsetMenuCaption("clip.avi", 0), "clip.avi - none");
    EXPECT_EQ(OffsetMenuCaption("clip.avi", -500), "clip.avi - -500");
}

TEST(IntegerEntry, AcceptsPlainSignedDecimalsOnly) {
    int32_t value = 7;
    EXPECT_TRUE(ParseInteger("-40", value));
    EXPECT_EQ(value, -40);
    EXPECT_TRUE(ParseInteger(" +2147483647 ", value));
    EXPECT_EQ(value, 2147483647);
    EXPECT_TRUE(ParseInteger("-2147483648", value));
    EXPECT_EQ(value, std::numeric_limits<int32_t>::min());
    value = 7;
    for (const char* text : {"12a", "", " ", "-", "+", "1 2", "0x10", "1e3", "2147483648", "--1", "1.0"}) {
        EXPECT_FALSE(ParseInteger(text, value)) << text;
        EXPECT_EQ(value, 7) << text;
    }
}

TEST(Reorder, SortsByLeftEdgeWithTheExchangeSortAndPacksARow) {
    // A, B, C in set order with left edges 300, 10, 10.
    const TReorderPlan plan = PlanReorder({{0, 300, 100, 80}, {1, 10, 200, 120}, {2, 10, 50, 60}});
    ASSERT_EQ(plan.Placements.size(), 3u);
    EXPECT_EQ(plan.Placements[0].Index, 1);
    EXPECT_EQ(plan.Placements[0].NewLeft, 0);
    EXPECT_EQ(plan.Placements[1].Index, 2);
    EXPECT_EQ(plan.Placements[1].NewLeft, 200);
    EXPECT_EQ(plan.Placements[2].Index, 0);
    EXPECT_EQ(plan.Placements[2].NewLeft, 250);
    EXPECT_EQ(plan.NextLeft, 350);
    EXPECT_EQ(plan.Bottom, 120);

    // Where the exchange sort and a stable sort part: 30, 20, 20, 10 gives
    // the two 20s in reverse set order.
    const TReorderPlan mixed = PlanReorder({{0, 30, 1, 1}, {1, 20, 1, 1}, {2, 20, 1, 1}, {3, 10, 1, 1}});
    std::vector<int32_t> order;
    for (const auto& placement : mixed.Placements)
        order.push_back(placement.Index);
    EXPECT_EQ(order, (std::vector<int32_t>{3, 2, 1, 0}));

    const TReorderPlan none = PlanReorder({});
    EXPECT_TRUE(none.Placements.empty());
    EXPECT_EQ(none.NextLeft, 0);
    EXPECT_EQ(none.Bottom, 0);
}

TEST(TimeConversion, RoundsHalfAwayFromZeroAndSaturates) {
    const TAVFile::TVideoFormat pal{720, 576, 25, 1};
    const TAVFile::TVideoFormat ntsc{720, 480, 30000, 1001};
    EXPECT_EQ(FramesFromMs(20, pal), 1); // exactly half a frame
    EXPECT_EQ(FramesFromMs(-20, pal), -1);
    EXPECT_EQ(FramesFromMs(19, pal), 0);
    EXPECT_EQ(MsFromFrames(1, ntsc), 33);
    EXPECT_EQ(MsFromFrames(3, ntsc), 100); // 100.1
    EXPECT_EQ(FramePeriodMs(ntsc), 33);
    EXPECT_EQ(FramePeriodMs(pal), 40);
    EXPECT_EQ(MsFromFrames(std::numeric_limits<int32_t>::max(), pal), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(MsFromFrames(std::numeric_limits<int32_t>::min(), pal), std::numeric_limits<int32_t>::min());
    // A broken header with rate 0 must not reach an undefined conversion.
    EXPECT_EQ(FramePeriodMs({1, 1, 0, 1}), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(MsFromFrames(0, {1, 1, 0, 0}), 0);
}

} // namespace
