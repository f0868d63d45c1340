// Replays a fuzz target's entry point over inputs generated here, with the
// normal compiler and without libFuzzer, so every test run covers the input
// families fuzzing explores: the seeds, every truncation of them and single
// byte changes at positions spread over them. The entry point aborts on a broken
// invariant; a refused input is a normal outcome.
#include "tests/fuzz/fuzz_support.h"

#include <gtest/gtest.h>

namespace {

TEST(FuzzReplay, SeedsProduceSomething) {
    const std::vector<std::string> seeds = FuzzSeeds();
    ASSERT_FALSE(seeds.empty());
    for (const std::string& seed : seeds)
        EXPECT_GT(FuzzOne(seed), 0u) << seed;
}

TEST(FuzzReplay, TruncationsAndByteChangesAreSafe) {
    std::size_t produced = 0;
    std::size_t replayed = 0;
    for (const std::string& seed : FuzzSeeds()) {
        // About 60 positions per seed keep a replay within seconds for the
        // readers that go through a file.
        const std::size_t stride = seed.size() / 60 + 1;
        for (std::size_t size = 0; size < seed.size(); size += stride) {
            produced += FuzzOne(std::string_view(seed).substr(0, size));
            ++replayed;
        }
        for (std::size_t offset = 0; offset < seed.size(); offset += stride) {
            for (const char value : {'\0', '\n', '(', ',', '.', '\'', '<', '-', '9', '\xFF'}) {
                std::string mutated = seed;
                mutated[offset] = value;
                produced += FuzzOne(mutated);
                ++replayed;
            }
        }
    }
    EXPECT_GT(produced, 0u) << "the mutations never reach the importer's core";
    EXPECT_GT(replayed, 0u);
}

} // namespace
