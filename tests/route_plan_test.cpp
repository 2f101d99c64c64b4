// tests/route_plan_test.cpp -- every route of the table, planned and ridden. The expected plans
// come from tests/data/routes.txt, written from the route table's source independently of the
// plug-in's own table.
#include "expected_routes.h"
#include "host/natives.h"
#include "journey/route.h"
#include "sim_fixture.h"

namespace {

// The flips a plan draws come out true, false, true, ... in the order they are drawn.
struct Planned {
    std::vector<std::string> randomCalls;
};

}  // namespace

class PlannerAlone : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        LoadInline();
        sim().RunFrame();
    }

    // Fills the route state with entries no plan has, so that what a plan leaves is visible.
    static void Scribble()
    {
        RouteJunctions.resize(6);
        RouteStops.resize(6);
        for (size_t i = 0; i < 6; ++i) {
            RouteJunctions[i] = JunctionSetting{99, 98, true};
            RouteStops[i] = 97;
        }
        Journey.NextStopIndex = 5;
    }

    std::vector<std::string> Plan(int32_t origin, int32_t destination, int forcedAlternative, int flips)
    {
        Journey.OriginIndex = origin;
        Journey.DestinationIndex = destination;
        if (forcedAlternative >= 0)
            sim().ForceRandom(forcedAlternative);
        for (int i = 0; i < flips; ++i)
            sim().ForceCoinFlip(i % 2 == 0);
        const size_t start = sim().Log().size();
        RunInScript([] { PlanRoute(); });
        return sim().Trace(start);
    }
};

TEST(RouteTableData, HasEveryRouteOfTheSource) { EXPECT_EQ(Routes().size(), 127u); }

TEST_F(PlannerAlone, EveryRouteGivesItsPlanWithItsRandomCallsInOrder)
{
    for (const ExpectedRoute& r : Routes()) {
        const std::vector<int32_t> destinations =
            r.to >= 0 ? std::vector<int32_t>{r.to} : std::vector<int32_t>{0, 1, 2, 7, -4};
        for (int32_t destination : destinations) {
            SCOPED_TRACE(std::to_string(r.from) + " -> " + std::to_string(destination) + " alternative " +
                         std::to_string(r.alternative));
            int flips = r.direction == Flip ? 1 : 0;
            for (const ExpectedSetting& s : r.junctions)
                flips += s.state == Flip ? 1 : 0;
            Scribble();
            Journey.TrainDirection = r.direction == 0;  // the opposite of any fixed direction
            const std::vector<std::string> calls =
                Plan(r.from, destination, r.alternatives > 1 ? r.alternative : -1, flips);

            std::vector<std::string> expectedCalls;
            if (r.alternatives > 1)
                expectedCalls.push_back("RandomInt(0, " + std::to_string(r.alternatives) + ") -> " +
                                        std::to_string(r.alternative));
            for (int i = 0; i < flips; ++i)
                expectedCalls.push_back(std::string("CoinFlip() -> ") + (i % 2 == 0 ? "yes" : "no"));
            EXPECT_EQ(calls, expectedCalls);

            int flip = 0;
            const auto drawn = [&](int pick) { return pick == Flip ? (flip++ % 2 == 0) : pick == 1; };
            EXPECT_EQ(Journey.TrainDirection, drawn(r.direction));
            EXPECT_EQ(Journey.NextStopIndex, 0);
            if (r.hasJunctions) {
                ASSERT_EQ(RouteJunctions.size(), r.junctions.size());
                for (size_t i = 0; i < r.junctions.size(); ++i) {
                    EXPECT_EQ(RouteJunctions[i].TrackIndex, r.junctions[i].track) << i;
                    EXPECT_EQ(RouteJunctions[i].JunctionIndex, r.junctions[i].junction) << i;
                    EXPECT_EQ(RouteJunctions[i].SwitchState, drawn(r.junctions[i].state)) << i;
                }
            } else {
                ASSERT_EQ(RouteJunctions.size(), 6u) << "a plan without settings keeps the old ones";
                EXPECT_EQ(RouteJunctions[0].TrackIndex, 99);
            }
            EXPECT_EQ(std::vector<int32_t>(RouteStops.begin(), RouteStops.end()), r.stops);
        }
    }
}

TEST_F(PlannerAlone, ArmadilloToAnotherLineSetsOnlyTheJunctions)
{
    Scribble();
    Journey.TrainDirection = true;
    const std::vector<std::string> calls = Plan(1, 5, -1, 2);
    EXPECT_EQ(calls.size(), 2u) << "two fresh coin flips";
    ASSERT_EQ(RouteJunctions.size(), 5u);
    EXPECT_EQ(RouteJunctions[0].TrackIndex, 23);
    EXPECT_EQ(RouteJunctions[1].SwitchState, true);
    EXPECT_EQ(RouteJunctions[4].SwitchState, false);
    EXPECT_EQ(RouteStops.size(), 6u) << "stops left as they were";
    EXPECT_EQ(RouteStops[0], 97);
    EXPECT_TRUE(Journey.TrainDirection);
    EXPECT_EQ(Journey.NextStopIndex, 0);
}

// The coin is the lowest bit of the answer: 2 is tails and 3 heads, whatever the rest holds.
TEST_F(PlannerAlone, OnlyTheCoinsLowestBitCounts)
{
    const uint64_t answers[] = {2, 3, 0xFFFFFFFE, 0xDEADBEEF00000003, 0x100000001, 0xFFFFFFFF};
    size_t next = 0;
    sim().SetAnswerHook([&](uint64_t hash, const uint64_t*, int, uint64_t* result) {
        if (hash == NativeCoinFlip)
            result[0] = answers[next++];
    });
    // From Benedict Point: the direction, then (24, 6, flip) and (24, 1, flip), in that order.
    for (const bool firstTwice : {false, true}) {
        Plan(0, 2, -1, 0);
        EXPECT_EQ(Journey.TrainDirection, firstTwice) << "answered " << answers[next - 3];
        ASSERT_EQ(RouteJunctions.size(), 5u);
        EXPECT_EQ(RouteJunctions[1].SwitchState, true) << "answered " << answers[next - 2];
        EXPECT_EQ(RouteJunctions[4].SwitchState, firstTwice) << "answered " << answers[next - 1];
        EXPECT_EQ(std::vector<int32_t>(RouteStops.begin(), RouteStops.end()), (std::vector<int32_t>{1, 2}));
    }
    sim().SetAnswerHook(nullptr);
}

TEST_F(PlannerAlone, PairsWithoutARouteChangeOnlyTheNextStop)
{
    for (const auto& pair :
         std::vector<std::pair<int32_t, int32_t>>{{13, 4}, {-1, 4}, {3, 3}, {3, 1}, {12, -2}, {9, 13}}) {
        Scribble();
        Journey.TrainDirection = true;
        EXPECT_TRUE(Plan(pair.first, pair.second, -1, 0).empty()) << pair.first << " -> " << pair.second;
        EXPECT_EQ(Journey.NextStopIndex, 0);
        EXPECT_EQ(RouteStops.size(), 6u);
        EXPECT_EQ(RouteJunctions.size(), 6u);
        EXPECT_EQ(RouteJunctions[5].TrackIndex, 99);
        EXPECT_TRUE(Journey.TrainDirection);
    }
}

TEST_F(PlannerAlone, ShorterPlansLeaveNoTraceAndPlansWithoutSettingsKeepTheLast)
{
    Plan(8, 3, 1, 0);  // six settings, six stops
    ASSERT_EQ(RouteJunctions.size(), 6u);
    Plan(10, 8, -1, 0);  // three settings, two stops
    EXPECT_EQ(RouteJunctions.size(), 3u);
    EXPECT_EQ(RouteStops.size(), 2u);
    Plan(3, 4, -1, 0);  // none
    ASSERT_EQ(RouteJunctions.size(), 3u);
    EXPECT_EQ(RouteJunctions[0].TrackIndex, 0);
    EXPECT_EQ(RouteJunctions[0].JunctionIndex, 18);
    EXPECT_EQ(std::vector<int32_t>(RouteStops.begin(), RouteStops.end()), std::vector<int32_t>{4});
}

TEST_F(PlannerAlone, TheEmeraldRoutesEastSetEmeraldsJunctionFirstWhateverCameBefore)
{
    for (int previous : {0, 1}) {
        Plan(previous == 0 ? 3 : 8, previous == 0 ? 4 : 3, previous == 0 ? -1 : 1, 0);
        Plan(7, 9, -1, 0);
        ASSERT_EQ(RouteJunctions.size(), 5u);
        EXPECT_EQ(RouteJunctions[0].TrackIndex, 1);
        EXPECT_EQ(RouteJunctions[0].JunctionIndex, 1);
        EXPECT_FALSE(RouteJunctions[0].SwitchState);
    }
}

TEST_F(PlannerAlone, ADrawOutsideTheAlternativesTakesTheFirst)
{
    Plan(10, 5, 7, 0);
    EXPECT_EQ(std::vector<int32_t>(RouteStops.begin(), RouteStops.end()), (std::vector<int32_t>{9, 8, 12, 5}));
    Plan(10, 5, -1000, 0);
    EXPECT_EQ(RouteStops.size(), 4u);
}

// Every route ridden: the train halts for boarding, then at exactly the planned stops, in order.
class EveryRouteRidden : public SimTest {};

TEST_F(EveryRouteRidden, HaltsAtTheOriginThenAtEveryPlannedStop)
{
    for (const ExpectedRoute& r : Routes()) {
        const int destination = r.to >= 0 ? r.to : (r.from == 0 ? 2 : 1);
        SCOPED_TRACE(std::to_string(r.from) + " -> " + std::to_string(destination) + " alternative " +
                     std::to_string(r.alternative));
        MakeSim();
        RouteTrainsThrough(static_cast<size_t>(r.from), r.stops);
        sim().SetCash(100000);
        sim().MovePlayerTo(NearStation(static_cast<size_t>(r.from)));
        Load();
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 1000));
        sim().UsePrompt();
        sim().RunFor(200);
        const std::vector<int32_t>& items = r.from > 2 ? MenuOneStations : MenuTwoStations;
        int item = 0;
        while (items[static_cast<size_t>(item)] != destination)
            ++item;
        for (int i = 0; i < item; ++i)
            Tap(40), WaitOutGate();
        if (r.alternatives > 1)
            sim().ForceRandom(r.alternative);
        sim().BoardTrain();
        Tap(13);

        std::vector<int32_t> expected{r.from};
        expected.insert(expected.end(), r.stops.begin(), r.stops.end());
        ASSERT_TRUE(sim().RunUntil(
            [&] { return sim().Halts().size() == expected.size() && sim().Halts().back().leftAt != 0; }, 60 * 60000));
        EXPECT_EQ(HaltStations(), expected);
        EXPECT_EQ(sim().NegativeSpeedsGiven(), 0);
        CheckHostErrors();
    }
}
