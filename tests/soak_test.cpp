// tests/soak_test.cpp -- a day of play: memory and the game's handles stay flat.
#include <gtest/gtest.h>

#include "alloc_counter.h"
#include "sim/soak.h"
#include "sim/static_plugin.h"

TEST(Soak, ADayOfPlayKeepsMemoryAndHandlesFlat)
{
    StaticPlugin plugin;
    const SoakResult r = RunSoak(plugin, 24, 7, SoakProbes{[] { return CurrentHeapCounts().Live(); }, nullptr});
    for (const std::string& e : r.errors)
        ADD_FAILURE() << "host error: " << e;
    ASSERT_GE(r.samples.size(), 24u);
    EXPECT_GT(r.rides, 10);
    EXPECT_GT(r.refusals, 5);
    EXPECT_GT(r.abandoned, 10);
    EXPECT_GT(r.cancels, 10);
    // From the first hour on (when every buffer has its working size) nothing grows.
    for (size_t i = 2; i < r.samples.size(); ++i) {
        EXPECT_LE(r.samples[i].liveHeapBlocks, r.samples[1].liveHeapBlocks + 8) << "hour " << i;
        EXPECT_LE(r.samples[i].prompts, 1u);
        EXPECT_LE(r.samples[i].trainsOwned, 1u);
        EXPECT_LE(r.samples[i].trainsInWorld, 2u) << "the next dispatch removes the train given up";
        EXPECT_EQ(r.samples[i].assetsHeld, 0u);
    }
}
