#include "document/ui/about_text.h"
#include "document/ui/panel_layout.h"

#include <gtest/gtest.h>

namespace {

constexpr int Margin = 8;
const TPanelColumns Untouched{1, 2, 3, 4};

} // namespace

TEST(LayoutPanelsTest, BothPanelsShareTheWidthAroundTheMiddle) {
    const TPanelColumns columns = LayoutPanels(800, Margin, true, true, Untouched);
    EXPECT_EQ(columns.EventsLeft, 8);
    EXPECT_EQ(columns.EventsLeft + columns.EventsWidth, 396);
    EXPECT_EQ(columns.TitlesLeft, 404);
    EXPECT_EQ(columns.TitlesWidth, 388);
    EXPECT_EQ(columns.TitlesLeft + columns.TitlesWidth, 792);
}

TEST(LayoutPanelsTest, AnOddWidthSplitsWithoutLosingTheRightMargin) {
    const TPanelColumns columns = LayoutPanels(801, Margin, true, true, Untouched);
    EXPECT_EQ(columns.EventsWidth, 388);
    EXPECT_EQ(columns.TitlesLeft, 404);
    EXPECT_LE(columns.TitlesLeft + columns.TitlesWidth, 801 - Margin);
}

TEST(LayoutPanelsTest, ASinglePanelSpansTheWidthAndLeavesTheHiddenOneAlone) {
    const TPanelColumns eventsOnly = LayoutPanels(800, Margin, true, false, Untouched);
    EXPECT_EQ(eventsOnly.EventsLeft, 8);
    EXPECT_EQ(eventsOnly.EventsWidth, 784);
    EXPECT_EQ(eventsOnly.TitlesLeft, Untouched.TitlesLeft);
    EXPECT_EQ(eventsOnly.TitlesWidth, Untouched.TitlesWidth);

    const TPanelColumns titlesOnly = LayoutPanels(800, Margin, false, true, Untouched);
    EXPECT_EQ(titlesOnly.TitlesLeft, 8);
    EXPECT_EQ(titlesOnly.TitlesWidth, 784);
    EXPECT_EQ(titlesOnly.EventsWidth, Untouched.EventsWidth);
}

TEST(LayoutPanelsTest, ANarrowWindowGivesNoNegativeWidths) {
    const TPanelColumns both = LayoutPanels(10, Margin, true, true, Untouched);
    EXPECT_EQ(both.EventsWidth, 0);
    EXPECT_EQ(LayoutPanels(10, Margin, true, false, Untouched).EventsWidth, 0);
    EXPECT_EQ(LayoutPanels(10, Margin, false, true, Untouched).TitlesWidth, 0);
}

TEST(AboutTextTest, FirstLineCarriesTheBuildDateWithoutDayPadding) {
    EXPECT_EQ(AboutFirstLine("Jan 16 2008"), QStringLiteral("Scenemark (Compiled: Jan 16 2008)"));
    EXPECT_EQ(AboutFirstLine("Feb  3 2026"), QStringLiteral("Scenemark (Compiled: Feb 3 2026)"));
    EXPECT_TRUE(AboutText("Dec  9 2026").startsWith(QStringLiteral("Scenemark (Compiled: Dec 9 2026)\n")));
}
