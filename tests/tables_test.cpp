// tests/tables_test.cpp -- the plug-in's stations, fares and train lists against the copies in
// tests/data, through what it does: the positions it measures from, the points and trains it
// creates, the fares it shows and charges. The copies are written from the tables' source, never
// from the plug-in, so a mistyped entry there fails here instead of moving the expectation.
#include <map>

#include "data/fares.h"
#include "data/stations.h"
#include "host/natives.h"
#include "journey/route.h"
#include "sim/native_call_sim.h"
#include "sim/picture.h"
#include "sim_fixture.h"

namespace {

constexpr uint32_t Down = 40, Enter = 13;

// A point as the call log writes it: "x, y, z", each float in full.
std::string Point(Vec3 p) { return FloatText(p.x) + ", " + FloatText(p.y) + ", " + FloatText(p.z); }

// A route of tests/data/routes.txt that gives a trip from its origin in one direction, and the
// draws that make the planner choose it.
struct RouteChoice {
    int32_t to;           // a destination it serves
    int32_t alternative;  // -1 for a pair with one route
    int flips;            // coin flips the plan draws, the direction's included
};

// Every (origin, direction) that a planned trip can have, with a route that gives it; a
// direction of "flip" gives both.
std::map<std::pair<int32_t, bool>, RouteChoice> RouteDirections()
{
    std::map<std::pair<int32_t, bool>, RouteChoice> pairs;
    std::ifstream file(QV_TEST_DATA "/routes.txt");
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream in(line);
        std::string to, alternative, direction;
        int32_t from = 0;
        in >> from >> to >> alternative >> direction;
        RouteChoice choice{to == "any" ? 1 : std::stoi(to), -1, 0};
        if (alternative != "0/1")
            choice.alternative = std::stoi(alternative);
        for (size_t at = line.find("flip"); at != std::string::npos; at = line.find("flip", at + 1))
            ++choice.flips;
        if (direction != "1")
            pairs.insert({{from, false}, choice});
        if (direction != "0")
            pairs.insert({{from, true}, choice});
    }
    return pairs;
}

}  // namespace

TEST(TableCopies, AreCompleteAndConsistent)
{
    // What the fares' source says about itself: a zero diagonal, and pairs priced differently each
    // way (the menu shows each origin's own row), as many in the copy as in the table.
    int uneven = 0, unevenInTable = 0;
    for (size_t from = 0; from < 13; ++from) {
        EXPECT_EQ(FaresInCents()[from][from], 0);
        for (size_t to = from + 1; to < 13; ++to) {
            EXPECT_GT(FaresInCents()[from][to], 0);
            uneven += FaresInCents()[from][to] != FaresInCents()[to][from] ? 1 : 0;
            const int32_t a = static_cast<int32_t>(from), b = static_cast<int32_t>(to);
            unevenInTable += FareInCents(a, b) != FareInCents(b, a) ? 1 : 0;
        }
    }
    EXPECT_GT(uneven, 0);
    EXPECT_EQ(uneven, unevenInTable);
    // Every route's origin and direction: both directions everywhere but at MacFarlanes Ranch.
    EXPECT_EQ(RouteDirections().size(), 25u);
}

class StationSearch : public SimTest {};

TEST_F(StationSearch, MeasuresFromEveryListedPositionInOrder)
{
    MakeSim();
    sim().MovePlayerTo(FarFromStations());
    Load();
    sim().RunFor(100);
    const std::vector<std::string> measured = sim().Trace(0, {NativeSquaredDistance});
    ASSERT_EQ(measured.size(), SimStationCount);
    for (size_t i = 0; i < SimStationCount; ++i) {
        // The player may be either point of the measurement; the other is the station.
        const std::string station = Point(SimStationPosition(i));
        EXPECT_TRUE(measured[i].find("(" + station + ", ") != std::string::npos ||
                    measured[i].find(", " + station + ")") != std::string::npos)
            << measured[i] << "; listed: " << station;
    }
}

class PlannedAndDispatched : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        LoadInline();
        sim().RunFrame();
        sim().PreloadAssets(true);
    }
    // Runs one dispatch as the main loop would, with no train of an earlier trip in the way.
    void Dispatch()
    {
        Journey.Train = 0;
        RunInScript([] { DispatchTrain(); });
        ASSERT_TRUE(sim().RunUntil([&] { return !sim().TransitionActive(); }, 60000));
    }
};

TEST_F(PlannedAndDispatched, EveryTripsTrainIsCreatedAtTheListedSpawnPointForItsDirection)
{
    for (const auto& [pair, route] : RouteDirections()) {
        const auto [origin, direction] = pair;
        SCOPED_TRACE("from " + std::to_string(origin) + " to " + std::to_string(route.to) +
                     (direction ? ", direction 1" : ", direction 0"));
        Journey.OriginIndex = origin;
        Journey.DestinationIndex = route.to;
        if (route.alternative >= 0)
            sim().ForceRandom(route.alternative);
        for (int i = 0; i < route.flips; ++i)
            sim().ForceCoinFlip(direction);
        RunInScript([] { PlanRoute(); });
        ASSERT_EQ(Journey.TrainDirection, direction);
        const size_t start = sim().Log().size();
        Dispatch();
        const std::vector<std::string> created = sim().Trace(start, {NativeCreateTrain});
        ASSERT_FALSE(created.empty());
        const std::string listed = Point(SimStations[origin].spawnPoints[direction ? 1 : 0]);
        EXPECT_NE(created[0].find(", " + listed + (direction ? ", 1, " : ", 0, ")), std::string::npos)
            << created[0] << "; listed: " << listed;
    }
}

TEST_F(PlannedAndDispatched, EachDrawCreatesTheListedConfigurationAfterLoadingTheListedAssets)
{
    sim().PreloadAssets(false);
    Journey.OriginIndex = 3;
    for (uint32_t draw = 0; draw < 22; ++draw) {
        SCOPED_TRACE("draw " + std::to_string(draw));
        sim().ForceRandom(static_cast<int32_t>(draw));
        const size_t start = sim().Log().size();
        Dispatch();
        const std::vector<std::string> created = sim().Trace(start, {NativeCreateTrain});
        ASSERT_EQ(created.size(), 1u);
        EXPECT_EQ(created[0].rfind("CreateTrain(" + Hex(SimTrainConfigurations[draw]) + ", ", 0), 0u) << created[0];
        if (draw > 0)
            continue;
        // The assets: every one requested, and released, in the listed order.
        std::vector<std::string> requested, released;
        for (uint32_t asset : SimTrainAssets) {
            requested.push_back("AssetRequest(" + Hex(asset) + ", 1)");
            released.push_back("AssetRelease(" + Hex(asset) + ")");
        }
        EXPECT_EQ(sim().Trace(start, {NativeAssetRequest}), requested);
        EXPECT_EQ(sim().Trace(start, {NativeAssetRelease}), released);
    }
}

// Every origin's menu as it opens, then every trip it offers bought once: refused with one cent
// less than the fare shown, charged exactly the fare shown.
class EveryOfferedFare : public SimTest {
protected:
    // Lets the dispatch of a bought ticket give up (no train comes) and the ticket's five
    // minutes pass, without running every frame of them.
    void PassTheTicketsWindow()
    {
        sim().JumpClock(300000);
        for (int guard = 0; guard < 100 && sim().LivePrompt() == nullptr; ++guard) {
            sim().JumpClock(1000);
            sim().RunFrame();
        }
        ASSERT_NE(sim().LivePrompt(), nullptr);
    }
};

TEST_F(EveryOfferedFare, IsShownInTheMenusFirstFrameAndChargedToTheCent)
{
    int offered = 0;
    for (int32_t origin = 0; origin < 13; ++origin) {
        SCOPED_TRACE("at station " + std::to_string(origin));
        const std::vector<int32_t>& items = origin > 2 ? MenuOneStations : MenuTwoStations;
        MakeSim();
        sim().SetLogging(false);
        sim().SetTrainExistsFromAttempt(0);
        sim().MovePlayerTo(NearStation(static_cast<size_t>(origin)));
        Load();
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 1000));
        sim().UsePrompt();
        sim().RunFrame();

        // The frame in which the prompt is used draws the whole menu, item 0 highlighted.
        const auto sprites = Drawn(DrawItem::Sprite);
        ASSERT_EQ(sprites.size(), items.size() + 5);
        EXPECT_EQ(sprites[sprites.size() - 2]->y, 0.04f + 0.1336f);
        std::vector<std::string> expected{"Destination:"};
        for (int32_t station : items) {
            const int32_t cents = FaresInCents()[origin][station];
            const std::string name = SimStationName(station);
            expected.push_back(station == origin ? name : name + " - " + FareText(cents) + "$");
        }
        expected.push_back("Close");
        std::vector<std::string> shown;
        for (const DrawItem* t : Drawn(DrawItem::Text))
            shown.push_back(StripMarkup(t->text));
        EXPECT_EQ(shown, expected);

        WaitOutGate();
        for (size_t item = 0; item < items.size(); ++item) {
            const int32_t to = items[item];
            if (item > 0)
                Tap(Down), WaitOutGate();
            if (to == origin)
                continue;
            ++offered;
            SCOPED_TRACE("to station " + std::to_string(to));
            const int32_t cents = FaresInCents()[origin][to];
            sim().SetCash(cents - 1);
            Tap(Enter);
            sim().RunFor(1600);  // the refusal notice
            EXPECT_EQ(sim().Cash(), cents - 1);
            sim().SetCash(cents);
            Tap(Enter);
            EXPECT_EQ(sim().Cash(), 0);
            EXPECT_EQ(Journey.DestinationIndex, to);
            PassTheTicketsWindow();
            sim().UsePrompt();
            sim().RunFrame();
            WaitOutGate();
        }
    }
    EXPECT_EQ(offered, 96);
}

// What no behaviour reads, compared with the copies directly: the labels of the fare grid's
// diagonal and of the pairs between the two groups of stations (no menu offers them; their amounts
// are checked with FareInCents), the stored names and numbers, and the spawn points of directions
// that no route gives its origin.
TEST(ProductTablesUnreadEntries, MatchTheCopies)
{
    for (int32_t from = 0; from < 13; ++from) {
        for (int32_t to = 0; to < 13; ++to) {
            if (from != to && (from <= 2) == (to <= 2))
                continue;
            const std::string label = from == to ? "0.0" : FareText(FaresInCents()[from][to]);
            EXPECT_STREQ(FareLabels[from][to], label.c_str()) << from << " -> " << to;
        }
    }
    const auto used = RouteDirections();
    for (int32_t i = 0; i < 13; ++i) {
        const Station& station = StationTable[static_cast<size_t>(i)];
        EXPECT_EQ(station.Id, i);
        EXPECT_STREQ(station.Name, SimStations[i].storedName);
        for (bool direction : {false, true}) {
            if (used.count({i, direction}) != 0)
                continue;
            const PaddedVector3& p = station.SpawnPoints[direction ? 1 : 0];
            EXPECT_EQ(Point(Vec3{p.x, p.y, p.z}), Point(SimStations[i].spawnPoints[direction ? 1 : 0])) << i;
        }
    }
}
