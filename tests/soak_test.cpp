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
    EXPECT_EQ(SoakVisitKinds(r), r.visits) << "every visit counted once, as one kind";
    // The most in any frame is at least what any sample between visits saw; a dispatch holds the
    // train's assets for a while, which no sample between visits can see.
    for (const SoakSample& s : r.samples) {
        EXPECT_GE(r.most.liveHeapBlocks, s.liveHeapBlocks);
        EXPECT_GE(r.most.trainsInWorld, s.trainsInWorld);
        EXPECT_GE(r.most.trainsOwned, s.trainsOwned);
    }
    EXPECT_GT(r.most.assetsHeld, 0u);
    EXPECT_LE(r.most.trainsOwned, 1u);
    // From the first hour on (when every buffer has its working size) nothing grows.
    for (size_t i = 2; i < r.samples.size(); ++i) {
        EXPECT_LE(r.samples[i].liveHeapBlocks, r.samples[1].liveHeapBlocks + 8) << "hour " << i;
        EXPECT_LE(r.samples[i].prompts, 1u);
        EXPECT_LE(r.samples[i].trainsOwned, 1u);
        EXPECT_LE(r.samples[i].trainsInWorld, 2u) << "the next dispatch removes the train given up";
        EXPECT_EQ(r.samples[i].assetsHeld, 0u);
    }
}

namespace {

SoakSample Hour(double hours, uint64_t heapBlocks) { return SoakSample{hours, heapBlocks, 4000, 0, 1, 0, 0}; }

SoakResult Hours(std::vector<SoakSample> samples)
{
    SoakResult r;
    r.samples = std::move(samples);
    return r;
}

}  // namespace

TEST(SoakVerdict, AVerdictNeedsHourZeroHourOneAndOneMore)
{
    EXPECT_EQ(JudgeSoak(Hours({})).kind, SoakVerdict::TooShort);
    EXPECT_EQ(JudgeSoak(Hours({Hour(0, 100)})).kind, SoakVerdict::TooShort);
    const SoakVerdict two = JudgeSoak(Hours({Hour(0, 100), Hour(1.2, 150)}));
    EXPECT_EQ(two.kind, SoakVerdict::TooShort);
    EXPECT_NE(two.reason.find("too short"), std::string::npos) << two.reason;
    EXPECT_EQ(JudgeSoak(Hours({Hour(0, 100), Hour(1.2, 150), Hour(2.1, 150)})).kind, SoakVerdict::Flat);
}

TEST(SoakVerdict, AHostErrorFailsTheRunHoweverShort)
{
    SoakResult r = Hours({Hour(0, 100)});
    r.errors.push_back("unknown native");
    EXPECT_EQ(JudgeSoak(r).kind, SoakVerdict::Failed);
    r = Hours({Hour(0, 100), Hour(1, 150), Hour(2, 150), Hour(3, 150)});
    r.errors.push_back("unknown native");
    EXPECT_EQ(JudgeSoak(r).kind, SoakVerdict::Failed);
}

// Hour 0 is before the buffers have their working size; from hour 1 on the heap may wobble but
// not climb, and the game's handles never pile up.
TEST(SoakVerdict, GrowthFromHourOneOnIsCaughtAndSaysWhen)
{
    std::vector<SoakSample> steady{Hour(0, 20), Hour(1, 150), Hour(2, 155), Hour(3, 148), Hour(4, 152)};
    EXPECT_EQ(JudgeSoak(Hours(steady)).kind, SoakVerdict::Flat) << "warm-up and a wobble";

    std::vector<SoakSample> leaking = steady;
    leaking.push_back(Hour(5, 1150));
    const SoakVerdict grew = JudgeSoak(Hours(leaking));
    EXPECT_EQ(grew.kind, SoakVerdict::Grew);
    EXPECT_NE(grew.reason.find("hour 5.0"), std::string::npos) << grew.reason;

    const auto oneHourWith = [&](auto change) {
        std::vector<SoakSample> s = steady;
        change(s[3]);
        return JudgeSoak(Hours(s)).kind;
    };
    EXPECT_EQ(oneHourWith([](SoakSample& s) { s.prompts = 2; }), SoakVerdict::Grew);
    EXPECT_EQ(oneHourWith([](SoakSample& s) { s.trainsOwned = 2; }), SoakVerdict::Grew);
    EXPECT_EQ(oneHourWith([](SoakSample& s) { s.trainsInWorld = 3; }), SoakVerdict::Grew);
    EXPECT_EQ(oneHourWith([](SoakSample& s) { s.assetsHeld = 1; }), SoakVerdict::Grew);
    EXPECT_EQ(oneHourWith([](SoakSample& s) {
                  s.trainsInWorld = 2;
                  s.trainsOwned = 1;
                  s.prompts = 1;
              }),
              SoakVerdict::Flat)
        << "one train given up and the next one owned, one prompt up";
}
