// tests/trip_test.cpp -- the journey seen from the main loop: giving the train up, and every
// fault the game can throw at a trip, each ending back at scanning with the next trip working.
#include <algorithm>

#include "host/natives.h"
#include "journey/route.h"
#include "sim/native_call_sim.h"
#include "sim_fixture.h"

namespace {
constexpr uint32_t Down = 40, Enter = 13;
// Menu one at Riggs Station: Flatneck Station is item 3, 1.75.
constexpr int FlatneckItem = 3;
}  // namespace

class TripFromRiggs : public SimTest {
protected:
    void SetUpWorld(Vec3 pathEnd = Vec3{0, 0, 88})
    {
        MakeSim();
        sim().SetTrainPath([pathEnd](Vec3 spawn, bool) {
            return std::vector<Vec3>{spawn, SimStationPosition(3), SimStationPosition(4), pathEnd};
        });
        sim().SetCash(100000);
        sim().MovePlayerTo(NearStation(3));
        Load();
    }
    // Buys the ticket to Flatneck Station at the prompt.
    void Buy()
    {
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 10 * 60000));
        sim().UsePrompt();
        sim().RunFor(200);
        while (Journey.MenuOneSelection != FlatneckItem)
            Tap(Down), WaitOutGate();
        Tap(Enter);
    }
    size_t Announcements() const { return sim_->CountCalls(NativeTrainAnnounce); }
    bool BackToScanning(int64_t withinMs)
    {
        return sim().RunUntil([&] { return Journey.Train == 0 && sim().LivePrompt() != nullptr; }, withinMs);
    }
    // After a fault: the player is offered the prompt again and the next trip brings a train
    // that stops for boarding.
    void NextTripWorks()
    {
        const size_t trains = sim().Trains().size();
        const size_t halts = sim().Halts().size();
        Buy();
        ASSERT_TRUE(sim().RunUntil([&] { return sim().Halts().size() > halts; }, 5 * 60000));
        EXPECT_GT(sim().Trains().size(), trains);
        EXPECT_EQ(sim().Halts().back().nearestStation, 3);
    }
};

TEST_F(TripFromRiggs, AFarTrainIsKeptUntilItsDeadlineAndGivenUpAfter)
{
    SetUpWorld();
    Buy();
    ASSERT_TRUE(sim().RunUntil([&] { return Announcements() == 2; }, 5 * 60000));
    const int32_t train = Journey.Train;
    Journey.AbandonDeadline = sim().GameClock() + 10 * 60000;  // a deadline well ahead
    sim().RunFor(5 * 60000);
    EXPECT_EQ(Journey.Train, train) << "far, but its deadline has not passed";
    Journey.AbandonDeadline = sim().GameClock();
    ASSERT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 11000));
    EXPECT_EQ(Journey.PreviousTrain, train);
    EXPECT_TRUE(sim().Trains().back().givenUp);
    EXPECT_EQ(sim().TrainSwitchState(), 1) << "the game-wide switch is back on";
}

TEST_F(TripFromRiggs, ExactlyTwoHundredUnitsAwayIsNeverTooFar)
{
    SetUpWorld(Vec3{0, 0, 88});
    sim().BoardTrain();
    Buy();
    // Ride to the end of the line, where the train stands at (0, 0, 88).
    ASSERT_TRUE(sim().RunUntil(
        [&] {
            const SimTrain* t = sim().LatestTrain();
            return t != nullptr && sim().TrainPosition(*t).x == 0.0f && sim().TrainPosition(*t).y == 0.0f;
        },
        20 * 60000));
    sim().LeaveTrain();
    sim().MovePlayerTo(Vec3{200, 0, 88});
    sim().RunFor(60000);
    EXPECT_NE(Journey.Train, 0) << "a squared distance of exactly 40000 is not more than 40000";
    sim().MovePlayerTo(Vec3{200.5f, 0, 88});
    EXPECT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 10100));
}

TEST_F(TripFromRiggs, TheTickThatGivesUpStillSwitchesJunctionsWithHandleZero)
{
    SetUpWorld();
    Buy();
    ASSERT_TRUE(sim().RunUntil([&] { return Announcements() == 2; }, 5 * 60000));
    // A plan with settings, so that the tick asks for junction readings.
    RouteJunctions.resize(1);
    RouteJunctions[0] = JunctionSetting{0, 2, true};
    const size_t start = sim().Log().size();
    ASSERT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 5 * 60000));
    sim().RunFrame();
    const std::vector<std::string> t = sim().Trace(start, {NativeGiveUpEntity, NativeTrainJunction, NativeTrainSwitch});
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[t.size() - 3].rfind("GiveUpEntity(", 0), 0u);
    EXPECT_EQ(t[t.size() - 2], "TrainSwitch(1)");
    EXPECT_EQ(t.back().rfind("TrainJunction(0, ", 0), 0u);
}

TEST_F(TripFromRiggs, AHeldTrainAfterTheLastStopIsWaitedForThenSentOn)
{
    SetUpWorld();
    sim().BoardTrain();
    Buy();
    ASSERT_TRUE(sim().RunUntil([&] { return sim().Halts().size() == 2; }, 20 * 60000));
    sim().HoldTrain(150000);  // longer than the halt and the ramp after it
    const size_t start = sim().Log().size();
    sim().RunFor(240000);
    const size_t polls = sim().CountCalls(NativeTrainIsHeld, start);
    EXPECT_GE(polls, 500u) << "every 100 ms while held";
    bool rampFromHold = false;
    for (size_t i = start; i < sim().Log().size(); ++i) {
        const CallRecord& r = sim().Log()[i];
        rampFromHold = rampFromHold || (r.hash == NativeTrainTravelSpeed &&
                                        std::stof(r.argsText.substr(r.argsText.find(", ") + 2)) < 0.1f);
    }
    EXPECT_TRUE(rampFromHold) << "after the hold the ramp starts from 0.01";
    size_t released = start;
    for (size_t i = start; i < sim().Log().size(); ++i)
        released = sim().Log()[i].hash == NativeTrainIsHeld && sim().Log()[i].result != 0 ? i : released;
    const std::vector<std::string> after = sim().Trace(released, {NativeTrainTravelSpeed});
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after[0], "TrainTravelSpeed(" + std::to_string(Journey.Train) + ", " + FloatText(0.01f + 0.05f) + ")");
    EXPECT_EQ(Journey.TrainSpeed, 14.0f) << "and sends it on";
}

TEST_F(TripFromRiggs, ATickWithinTheApproachDistanceStartsTheStop)
{
    // The line ends 300 units short of Flatneck Station: inside the approach distance (390 units
    // at a top speed of 14), never within the 100 units of a halt.
    const Vec3 riggs = SimStationPosition(3), flatneck = SimStationPosition(4);
    const float dx = riggs.x - flatneck.x, dy = riggs.y - flatneck.y;
    const float f = 300.0f / std::sqrt(dx * dx + dy * dy);
    const Vec3 end{flatneck.x + dx * f, flatneck.y + dy * f, flatneck.z};
    MakeSim();
    sim().SetTrainPath([riggs, end](Vec3 spawn, bool) { return std::vector<Vec3>{spawn, riggs, end}; });
    sim().SetCash(100000);
    sim().MovePlayerTo(NearStation(3));
    Load();
    sim().BoardTrain();
    Buy();
    ASSERT_TRUE(sim().RunUntil([&] { return sim().Halts().size() == 1 && sim().Halts()[0].leftAt != 0; }, 5 * 60000));
    sim().RunFor(3 * 60000);  // the ramp, and the train standing at the end of the line
    const size_t start = sim().Log().size();
    sim().RunFor(70000);  // a full approach and the tick after it
    EXPECT_GT(sim().CountCalls(NativeTrainTravelSpeed, start), 100u) << "the stop's approach, every 200 ms";
    EXPECT_EQ(sim().Halts().size(), 1u);
}

class TripFault : public TripFromRiggs {};

TEST_F(TripFault, TheTrainVanishingInAnyPhaseEndsTheTripAndTheNextOneRuns)
{
    struct Phase {
        const char* name;
        std::function<bool(Sim&)> reached;
    };
    const std::vector<Phase> phases = {
        {"approach", [](Sim& s) { return !s.TransitionActive() && Journey.Train != 0; }},
        {"braking", [](Sim& s) { return s.LatestTrain() != nullptr && s.LatestTrain()->immediateUntil > 0; }},
        {"standing", [](Sim& s) { return s.Halts().size() == 1; }},
        {"ramp", [](Sim& s) { return s.Halts().size() == 1 && s.Halts()[0].leftAt != 0; }},
        // Only the journey ticks record the train's position.
        {"ticks",
         [](Sim& s) { return !s.Halts().empty() && s.Halts()[0].leftAt != 0 && Journey.TrainPosition.x != 0; }},
    };
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        SetUpWorld();
        sim().BoardTrain();
        Buy();
        ASSERT_TRUE(sim().RunUntil([&] { return phase.reached(sim()); }, 10 * 60000));
        ASSERT_EQ(sim().TrainSwitchState(), 0) << "the switch is off while the trip's train runs";
        const size_t vanished = sim().Log().size();
        sim().VanishTrain();
        sim().LeaveTrain();
        sim().MovePlayerTo(NearStation(3));
        const bool back = BackToScanning(10 * 60000);
        EXPECT_TRUE(back);
        EXPECT_EQ(sim().Trace(vanished, {NativeTrainSwitch}), std::vector<std::string>{"TrainSwitch(1)"})
            << "the trip that ended without its train switches the game back on, once";
        if (!back) {
            for (const WorldEvent& e : sim().Events())
                std::printf("%s %s\n", FormatGameTime(e.gameTime).c_str(), e.text.c_str());
            std::printf("train %d stops %zu next %d\n", Journey.Train, RouteStops.size(), Journey.NextStopIndex);
            for (const std::string& l : sim().Trace(sim().Log().size() - 30))
                std::printf("  %s\n", l.c_str());
        }
        NextTripWorks();
        EXPECT_EQ(sim().NegativeSpeedsGiven(), 0);
        CheckHostErrors();
    }
}

// Gone between its creation and the boarding stop: the stop finds no train and the trip ends
// there, without a journey tick that could give the train up.
TEST_F(TripFault, TheTrainVanishingBeforeBoardingSwitchesTheGameBackOnOnce)
{
    SetUpWorld();
    Sim* world = &sim();
    sim().SetAnswerHook([world](uint64_t hash, const uint64_t*, int, uint64_t*) {
        if (hash == NativeAfterTrainCreation)
            world->VanishTrain();
    });
    const size_t start = sim().Log().size();
    Buy();
    EXPECT_TRUE(BackToScanning(60000));
    EXPECT_EQ(sim().Trace(start, {NativeTrainSwitch}), (std::vector<std::string>{"TrainSwitch(0)", "TrainSwitch(1)"}));
    EXPECT_EQ(sim().CountCalls(NativeGiveUpEntity, start), 0u) << "nothing is left to give up";
    sim().SetAnswerHook(nullptr);
    NextTripWorks();
}

TEST_F(TripFault, AssetsThatNeverLoadEndTheDispatch)
{
    SetUpWorld();
    sim().SetAssetLoadFrames(-1);
    Buy();
    EXPECT_TRUE(BackToScanning(30000));
    EXPECT_TRUE(sim().Trains().empty());
    EXPECT_EQ(sim().AssetsHeld(), 0u);
    sim().SetAssetLoadFrames(3);
    NextTripWorks();
    EXPECT_EQ(sim().Cash(), 100000 - 175) << "the second try rides on the same ticket";
}

TEST_F(TripFault, ATrainThatIsNeverCreatedEndsTheDispatch)
{
    SetUpWorld();
    sim().SetTrainExistsFromAttempt(0);
    const size_t start = sim().Log().size();
    Buy();
    EXPECT_TRUE(BackToScanning(30000));
    EXPECT_EQ(sim().Trace(start, {NativeTrainSwitch}), (std::vector<std::string>{"TrainSwitch(0)", "TrainSwitch(1)"}))
        << "given up once: the boarding stop that follows adds nothing";
    EXPECT_FALSE(sim().TransitionActive());
    sim().SetTrainExistsFromAttempt(static_cast<int>(sim().Trains().size()) + 1);
    NextTripWorks();
}

TEST_F(TripFault, ThePlayerDyingMidTripGivesTheTrainUp)
{
    // The line ends far from the world's origin, where a character that is gone is reported.
    SetUpWorld(Vec3{1500, 1500, 88});
    sim().BoardTrain();
    Buy();
    ASSERT_TRUE(sim().RunUntil([&] { return Announcements() == 2; }, 5 * 60000));
    sim().RunFor(95000);
    sim().LeaveTrain();
    sim().SetPlayerExists(false);
    // At the next journey tick, which may wait for a stop in progress to finish.
    EXPECT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 5 * 60000));
    sim().RunFor(30000);
    EXPECT_EQ(sim().LivePrompt(), nullptr);

    sim().MovePlayerTo(NearStation(3));
    sim().SetPlayerExists(true);
    EXPECT_TRUE(BackToScanning(9000));
    NextTripWorks();
    EXPECT_TRUE(sim().Trains().front().removed) << "the next dispatch removes the train given up";
}
