#include "base/round_to_int.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct TRounding {
    double Value;
    int32_t Expected;
};

class RoundToIntTest : public ::testing::TestWithParam<TRounding> {};

TEST_P(RoundToIntTest, HalvesRoundAwayFromZero) {
    EXPECT_EQ(RoundToInt(GetParam().Value), GetParam().Expected) << GetParam().Value;
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, RoundToIntTest,
    ::testing::Values(TRounding{0.0, 0}, TRounding{-0.0, 0}, TRounding{0.5, 1}, TRounding{-0.5, -1},
                      TRounding{1.5, 2}, TRounding{-1.5, -2}, TRounding{2.5, 3}, TRounding{-2.5, -3},
                      TRounding{std::nextafter(0.5, 0.0), 0}, TRounding{std::nextafter(-0.5, 0.0), 0},
                      TRounding{1.4999999, 1}, TRounding{-1.4999999, -1}, TRounding{7.75, 8},
                      TRounding{-7.25, -7},
                      // 40 ms at 30000/1001 frames per second is 1.1988 frames.
                      TRounding{40 * 30000.0 / 1001 / 1000, 1}, TRounding{2147483646.5, 2147483647},
                      TRounding{-2147483647.5, std::numeric_limits<int32_t>::min()}));

} // namespace
