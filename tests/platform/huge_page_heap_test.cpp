#include "platform/huge_page_heap.h"

#include <gtest/gtest.h>

TEST(HugePageHeapTest, TheTunableIsAddedOnceAndOtherTunablesStay) {
    EXPECT_EQ(TunablesWithHugePages(nullptr), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages(""), "glibc.malloc.hugetlb=1");
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3"), "glibc.malloc.check=3:glibc.malloc.hugetlb=1");
    // Set already, by us on the first start or by the user: no second
    // restart, and the user's choice (0 included) is kept.
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.hugetlb=1"), std::nullopt);
    EXPECT_EQ(TunablesWithHugePages("glibc.malloc.check=3:glibc.malloc.hugetlb=0"), std::nullopt);
}
