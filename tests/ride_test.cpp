// tests/ride_test.cpp -- whole trips in the simulated world: a train comes, stops for boarding,
// halts at every planned stop in order, and is given up once the player has left it.
#include "host/natives.h"
#include "journey/route.h"
#include "sim_fixture.h"

class TicketBought : public SimTest {
protected:
    // Buys a ticket at origin for the menu item, with the route's alternative forced.
    void Ride(size_t origin, const std::vector<int32_t>& stops, int alternative = -1)
    {
        MakeSim();
        RouteTrainsThrough(origin, stops);
        sim().SetCash(100000);
        sim().MovePlayerTo(NearStation(origin));
        Load();
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 1000));
        sim().UsePrompt();
        sim().RunFor(200);
        if (alternative >= 0)
            sim().ForceRandom(alternative);
    }
};

TEST_F(TicketBought, RiggsToSaintDenisHaltsAtEveryStopInOrder)
{
    Ride(3, {4, 11, 10});
    // Menu one at Riggs: Saint Denis is item 6.
    for (int i = 0; i < 6; ++i)
        Tap(40), WaitOutGate();
    sim().BoardTrain();
    Tap(13);
    ASSERT_TRUE(sim().RunUntil(
        [&] { return Journey.NextStopIndex == 3 && !sim().Halts().empty() && sim().Halts().back().leftAt != 0; },
        30 * 60000));
    EXPECT_EQ(HaltStations(), (std::vector<int32_t>{3, 4, 11, 10}));
    for (const TrainHalt& h : sim().Halts()) {
        EXPECT_GE(h.leftAt - h.stoppedAt, 10000);
        EXPECT_LE(h.leftAt - h.stoppedAt, 13100);
    }
    EXPECT_EQ(sim().NegativeSpeedsGiven(), 0);

    sim().LeaveTrain();
    sim().RunFor(120000);
    ASSERT_NE(sim().LatestTrain(), nullptr);
    EXPECT_TRUE(sim().LatestTrain()->givenUp);
    EXPECT_EQ(Journey.Train, 0);
    EXPECT_EQ(Journey.PreviousTrain, sim().LatestTrain()->handle);
}
