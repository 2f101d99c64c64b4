// tests/main_loop_test.cpp -- the script's states: waiting for the player, scanning, the prompt,
// the menu, and the ways back to scanning.
#include <algorithm>

#include "host/natives.h"
#include "sim_fixture.h"

namespace {

std::vector<int64_t> Times(const Sim& sim, uint64_t hash, size_t first = 0)
{
    std::vector<int64_t> times;
    for (size_t i = first; i < sim.Log().size(); ++i) {
        if (sim.Log()[i].hash == hash)
            times.push_back(sim.Log()[i].gameTime);
    }
    return times;
}

}  // namespace

class PlayerNotYetInWorld : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        sim().SetPlayerExists(false);
        sim().MovePlayerTo(NearStation(3));
        Load();
    }
};

TEST_F(PlayerNotYetInWorld, AsksAtOnceThenEverySecondAndNothingElse)
{
    sim().RunFor(3100);
    const std::vector<int64_t> asks = Times(sim(), NativeEntityExists);
    ASSERT_EQ(asks.size(), 4u);
    EXPECT_EQ(asks[0], sim().FrameMs()) << "the first test comes in the script's first frame";
    for (size_t i = 1; i < asks.size(); ++i)
        EXPECT_EQ(asks[i] - asks[i - 1], 1008) << "1000 ms, rounded up to whole 16 ms frames";
    EXPECT_EQ(sim().Log().size(), 2 * asks.size()) << "only the character and its existence";
}

TEST_F(PlayerNotYetInWorld, ScansAndOffersThePromptOnceTheCharacterExists)
{
    sim().RunFor(2000);
    sim().SetPlayerExists(true);
    EXPECT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 1100));
    EXPECT_EQ(Journey.OriginIndex, 3);
}

class PlayerAwayFromStations : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        sim().MovePlayerTo(FarFromStations());
        Load();
        sim().RunFor(100);
    }
};

TEST_F(PlayerAwayFromStations, SearchesAllThirteenStationsEveryEightSeconds)
{
    const size_t start = sim().Log().size();
    sim().RunFor(24100);
    const std::vector<int64_t> scans = Times(sim(), NativePlayerCanInteract, start);
    ASSERT_EQ(scans.size(), 3u);
    EXPECT_EQ(scans[1] - scans[0], 8000);
    EXPECT_EQ(scans[2] - scans[1], 8000);
    EXPECT_EQ(sim().CountCalls(NativeSquaredDistance, start), 3 * SimStationCount);
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 0u);
}

TEST_F(PlayerAwayFromStations, StopsAtTheFirstStationInReach)
{
    sim().MovePlayerTo(NearStation(5, 19.9f));
    const size_t start = sim().Log().size();
    ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 8100));
    EXPECT_EQ(sim().CountCalls(NativeSquaredDistance, start), 6u) << "stations 0 to 5, then stop";
    EXPECT_EQ(Journey.OriginIndex, 5);
}

TEST_F(PlayerAwayFromStations, TwentyUnitsAwayIsOutOfReach)
{
    sim().MovePlayerTo(NearStation(5, 20.05f));
    sim().RunFor(16100);
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 0u);
    // Exactly 20 units east of Wallace Station: the float sums are exact, the square is 400.0.
    sim().MovePlayerTo(NearStation(5, 20.0f));
    sim().RunFor(16100);
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 0u) << "a squared distance of 400 is not below 400";
}

TEST_F(PlayerAwayFromStations, EitherPlayerTestKeepsThePromptAway)
{
    sim().MovePlayerTo(NearStation(8));
    sim().SetPlayerCanInteract(false);
    const size_t start = sim().Log().size();
    sim().RunFor(8100);
    sim().SetPlayerCanInteract(true);
    sim().SetPlayerOccupied(true);
    sim().RunFor(8000);
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 0u);
    EXPECT_EQ(sim().CountCalls(NativeEntityPosition, start), 0u) << "no search without both tests";

    sim().SetPlayerOccupied(false);
    EXPECT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 8100));
}

class PromptOffered : public SimTest {
protected:
    void Offer(size_t station)
    {
        MakeSim();
        sim().MovePlayerTo(NearStation(station));
        Load();
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 100));
    }
};

TEST_F(PromptOffered, LeavesWithTheFailedPlayerTestAndScansAgainAfterEightSeconds)
{
    Offer(3);
    sim().SetPlayerCanInteract(false);
    sim().RunFrame();
    EXPECT_EQ(sim().LivePrompt(), nullptr);
    EXPECT_FALSE(Journey.PromptActive);

    sim().SetPlayerCanInteract(true);
    const int64_t left = sim().Now();
    ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 9000));
    EXPECT_GE(sim().Now() - left, 8000) << "the failed test sends the loop back to its 8 s wait";
    EXPECT_EQ(sim().StalePromptQueries(), 0);
}

TEST_F(PromptOffered, UsingItOpensMenuOneAtStationsThreeToTwelve)
{
    Offer(3);
    sim().UsePrompt();
    sim().RunFrame();
    EXPECT_EQ(sim().LivePromptCount(), 0u) << "the prompt is removed when the menu opens";
    EXPECT_EQ(Journey.ActiveMenu, 1);
    EXPECT_FALSE(Journey.PromptActive);
}

TEST_F(PromptOffered, UsingItOpensMenuTwoAtStationsZeroToTwo)
{
    Offer(2);
    sim().UsePrompt();
    sim().RunFrame();
    EXPECT_EQ(Journey.ActiveMenu, 2);
}

TEST_F(PromptOffered, WalkingAwayWithTheMenuOpenClosesItAndTheNextVisitOffersAgain)
{
    Offer(10);
    sim().UsePrompt();
    sim().RunFrame();
    ASSERT_EQ(Journey.ActiveMenu, 1);

    sim().MovePlayerTo(NearStation(10, 19.9f));
    sim().RunFrames(5);
    EXPECT_EQ(Journey.ActiveMenu, 1) << "still within reach";

    sim().MovePlayerTo(NearStation(10, 20.1f));
    sim().RunFrame();
    EXPECT_EQ(Journey.ActiveMenu, 0) << "a ticket bought now would start a train where the player is not";
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 1u);

    sim().MovePlayerTo(NearStation(10));
    EXPECT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 8100));
}

TEST_F(PromptOffered, ACancelledMenuGivesThePromptBackAtOnce)
{
    Offer(6);
    sim().UsePrompt();
    sim().RunFrame();
    ASSERT_EQ(Journey.ActiveMenu, 1);

    // A cancel is the menu clearing ActiveMenu during its frame.
    Journey.ActiveMenu = 0;
    const size_t start = sim().Log().size();
    sim().RunFrame();
    EXPECT_NE(sim().LivePrompt(), nullptr) << "offered again in the same frame";
    EXPECT_EQ(sim().CountCalls(NativePromptBegin, start), 1u);
    EXPECT_EQ(sim().StalePromptQueries(), 0) << "the removed prompt is never asked about";
}

TEST_F(PromptOffered, TheCharacterVanishingEndsThePromptWithoutAQuestionToTheGone)
{
    Offer(0);
    sim().SetPlayerExists(false);
    sim().RunFrame();
    EXPECT_EQ(sim().LivePrompt(), nullptr);
    sim().RunFor(20000);
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 1u);
    sim().SetPlayerExists(true);
    EXPECT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 8100));
}
