// tests/journey_test.cpp -- the dispatch, the station stop, the departure ramp and the junction
// switching, each called as the main loop calls them, on the script fibre.
#include <fstream>
#include <map>

#include "host/natives.h"
#include "journey/route.h"
#include "plugin/settings.h"
#include "sim/native_call_sim.h"
#include "sim_fixture.h"

namespace {

std::vector<float> FloatArgs(const Sim& sim, uint64_t hash, size_t first = 0)
{
    std::vector<float> values;
    for (size_t i = first; i < sim.Log().size(); ++i) {
        const CallRecord& r = sim.Log()[i];
        if (r.hash == hash) {
            float f;
            const auto bits = static_cast<uint32_t>(r.args[1]);
            std::memcpy(&f, &bits, sizeof f);
            values.push_back(f);
        }
    }
    return values;
}

size_t IndexOf(const std::vector<std::string>& lines, const std::string& prefix, size_t from = 0)
{
    for (size_t i = from; i < lines.size(); ++i) {
        if (lines[i].rfind(prefix, 0) == 0)
            return i;
    }
    return lines.size();
}

}  // namespace

class TrainDispatch : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        LoadInline();
        sim().RunFrame();
        Journey.OriginIndex = 3;
        Journey.TrainDirection = true;
    }
    void Dispatch()
    {
        RunInScript([] { DispatchTrain(); });
    }
    // Runs frames until the dispatch has ended its transition.
    void Finish()
    {
        ASSERT_TRUE(sim().RunUntil([&] { return !sim().TransitionActive(); }, 60000));
    }
};

TEST_F(TrainDispatch, CreatesATrainInTheOrderTheGameNeeds)
{
    sim().PreloadAssets(true);
    SimPed inTheWay{0x300};
    inTheWay.inTheWay = true;
    sim().AddPed(inTheWay);
    sim().AddPed(SimPed{0x301});
    sim().ForceRandom(21);
    sim().ForceRandom(39);
    const size_t start = sim().Log().size();
    Dispatch();
    Finish();
    const std::vector<std::string> t = sim().Trace(start);

    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t[0], "TransitionBegin(1500)");
    EXPECT_EQ(sim().CountCalls(NativeAssetIsLoaded, start), 54u) << "27 loaded assets, asked twice each";
    EXPECT_EQ(sim().CountCalls(NativeAssetRequest, start), 0u);
    EXPECT_EQ(sim().CountCalls(NativePedIsInTheWay, start), 500u) << "every slot, the empty ones too";
    EXPECT_NE(IndexOf(t, "PedIsInTheWay(0) -> no"), t.size());

    const std::vector<std::string> clearing(t.begin() + static_cast<long>(IndexOf(t, "PedPrepare")),
                                            t.begin() + static_cast<long>(IndexOf(t, "PedRelease") + 1));
    EXPECT_EQ(clearing, (std::vector<std::string>{"PedPrepare(768, 1, 1)", "PedIsSettled(768) -> no",
                                                  "PedSetPair(768, 1, 1)", "PedByAddress(&768)",
                                                  "EntityExists(768) -> yes", "PedMoveTo(768, 2200, -6000, 0, 0, 1, 1)",
                                                  "PedSetPair(768, 0, 0)", "PedRelease(&768)"}));

    const Vec3 spawn = SimStations[3].spawnPoints[1];
    const std::string created = "CreateTrain(" + Hex(SimTrainConfigurations[21]) + ", " + FloatText(spawn.x) + ", " +
                                FloatText(spawn.y) + ", " + FloatText(spawn.z) + ", 1, 1, 1, 1)";
    const size_t creation = IndexOf(t, "CreateTrain(");
    ASSERT_LT(creation, t.size());
    EXPECT_EQ(t[creation].substr(0, created.size()), created);
    EXPECT_EQ(t[creation - 1], "RandomInt(0, 22) -> 21");
    EXPECT_EQ(t[creation - 2], "EntityExists(0) -> no");
    EXPECT_EQ(t[creation - 3], "BeforeTrainCreation()");
    EXPECT_EQ(t[creation - 4], "TrainSwitch(0)");
    const std::string train = std::to_string(Journey.Train);
    const std::vector<std::string> after(t.begin() + static_cast<long>(creation) + 1,
                                         t.begin() + static_cast<long>(creation) + 10);
    EXPECT_EQ(after[1], "EntityExists(" + train + ") -> yes");
    EXPECT_EQ(after[2], "TrainLastStopSetting(" + train + ", 0)");
    EXPECT_EQ(after[3], "TrainInitialSpeed(" + train + ", 14)");
    EXPECT_EQ(after[4], "TrainTravelSpeed(" + train + ", 14)");
    EXPECT_EQ(after[6], "RandomInt(10, 40) -> 39");
    EXPECT_EQ(after[7], "AfterTrainCreation(0, 39, 0)");
    EXPECT_EQ(sim().CountCalls(NativeAssetRelease, start), 27u);
    EXPECT_EQ(t.back(), "TransitionEnd(1500)");

    EXPECT_NE(Journey.Train, 0);
    EXPECT_EQ(Journey.TrainSpeed, 14.0f);
    EXPECT_EQ(Journey.AbandonDeadline, static_cast<int32_t>(sim().Log()[start + creation + 6].gameTime) + 25000);
    EXPECT_EQ(sim().TrainSwitchState(), 0) << "the switch stays off while the trip's train runs";
}

TEST_F(TrainDispatch, RemovesThePreviousTripsTrainFirst)
{
    sim().PreloadAssets(true);
    Dispatch();
    Finish();
    Journey.PreviousTrain = Journey.Train;
    Journey.Train = 0;
    const size_t start = sim().Log().size();
    Dispatch();
    Finish();
    EXPECT_EQ(sim().Trace(start, {NativeRemoveTrain}).size(), 1u);
    EXPECT_TRUE(sim().Trains()[0].removed);
    EXPECT_TRUE(sim().Trains()[1].exists);
}

TEST_F(TrainDispatch, GivesUpWhenTheAssetsDoNotLoadInFifteenSeconds)
{
    sim().SetAssetLoadFrames(-1);
    Journey.Train = 0;
    Journey.TrainSpeed = 3.0f;
    const size_t start = sim().Log().size();
    const int64_t began = sim().Now();
    Dispatch();
    Finish();
    EXPECT_GE(sim().Now() - began, 1600 + 15000);
    EXPECT_LE(sim().Now() - began, 1600 + 15000 + 2 * 16);
    EXPECT_EQ(sim().CountCalls(NativeAssetRelease, start), 27u) << "all of them, requested or not";
    EXPECT_EQ(sim().CountCalls(NativePedIsInTheWay, start), 0u);
    EXPECT_EQ(sim().CountCalls(NativeTrainSwitch, start), 0u);
    EXPECT_EQ(sim().CountCalls(NativeCreateTrain, start), 0u);
    EXPECT_EQ(Journey.TrainSpeed, 3.0f);
    EXPECT_EQ(sim().AssetsHeld(), 0u);
}

TEST_F(TrainDispatch, GivesUpWhenNoTrainExistsWithinFiveSeconds)
{
    sim().PreloadAssets(true);
    sim().SetTrainExistsFromAttempt(0);
    const size_t start = sim().Log().size();
    Dispatch();
    Finish();
    const std::vector<std::string> t = sim().Trace(start);
    EXPECT_EQ(Journey.Train, 0);
    EXPECT_GE(sim().CountCalls(NativeCreateTrain, start), 40u) << "a new attempt every 100 ms";
    // The five seconds run from the first attempt (the assets were loaded at once) to the one
    // that finds them over, which comes at most one retry later.
    int64_t first = -1;
    for (size_t i = start; i < sim().Log().size(); ++i)
        first = first < 0 && sim().Log()[i].hash == NativeCreateTrain ? sim().Log()[i].gameTime : first;
    EXPECT_GT(sim().Log().back().gameTime - first, 5000);
    EXPECT_LE(sim().Log().back().gameTime - first, 5000 + 100 + 16);
    EXPECT_EQ(t[t.size() - 2], "TrainSwitch(1)");
    EXPECT_EQ(t.back(), "TransitionEnd(1500)");
    EXPECT_EQ(sim().CountCalls(NativeTrainLastStopSetting, start), 0u);
}

TEST_F(TrainDispatch, KeepsATrainWhoseAttemptRanPastTheDeadline)
{
    sim().PreloadAssets(true);
    sim().SetTrainExistsFromAttempt(0);
    Dispatch();
    Finish();
    const int attempts = static_cast<int>(sim().CountCalls(NativeCreateTrain));

    // Again, with the last attempt - the one that found the deadline passed - succeeding.
    MakeSim();
    LoadInline();
    sim().RunFrame();
    Journey.OriginIndex = 3;
    sim().PreloadAssets(true);
    sim().SetTrainExistsFromAttempt(attempts);
    Dispatch();
    Finish();
    EXPECT_EQ(static_cast<int>(sim().CountCalls(NativeCreateTrain)), attempts);
    ASSERT_NE(Journey.Train, 0) << "the new train is kept, not left without an owner";
    EXPECT_TRUE(sim().LatestTrain() != nullptr && sim().LatestTrain()->handle == Journey.Train);
    EXPECT_EQ(sim().TrainSwitchState(), 0);
    EXPECT_EQ(sim().CountCalls(NativeTrainLastStopSetting), 1u);
}

TEST_F(TrainDispatch, AnExistingTrainIsNotCreatedAgain)
{
    sim().PreloadAssets(true);
    Dispatch();
    Finish();
    const size_t start = sim().Log().size();
    Dispatch();
    Finish();
    EXPECT_EQ(sim().CountCalls(NativeCreateTrain, start), 0u);
    EXPECT_EQ(sim().CountCalls(NativeTrainLastStopSetting, start), 1u) << "settings still applied";
}

class TrainAtRiggs : public SimTest {
protected:
    // A train dispatched at Riggs Station on a path through Flatneck Station, with the route
    // state as given.
    void Dispatched(const std::vector<int32_t>& stops, int32_t handleBase = 0x7000, const SimConfig& config = {})
    {
        MakeSim(config);
        sim().SetTrainHandleBase(handleBase);
        RouteTrainsThrough(3, stops);
        LoadInline();
        sim().RunFrame();
        sim().PreloadAssets(true);
        Journey.OriginIndex = 3;
        RouteStops.resize(stops.size());
        for (size_t i = 0; i < stops.size(); ++i)
            RouteStops[i] = stops[i];
        RunInScript([] { DispatchTrain(); });
        ASSERT_TRUE(sim().RunUntil([&] { return !sim().TransitionActive(); }, 60000));
    }
    void Stop(bool boarding)
    {
        RunInScript([boarding] { StationStop(boarding); });
    }
    bool Idle() const { return InlineScript::body == nullptr && sim_->Now() >= 0; }
};

TEST_F(TrainAtRiggs, TheBoardingStopApproachesBrakesStandsAndSetsOff)
{
    Dispatched({4}, -4000);
    const int32_t train = Journey.Train;
    ASSERT_LT(train, 0);
    sim().ForceRandom(12345);
    const size_t start = sim().Log().size();
    Stop(true);
    ASSERT_TRUE(sim().RunUntil([&] { return sim().CountCalls(NativeTrainAnnounce, start) == 2; }, 180000));

    // Approach: 0.2 less every 200 ms from the first step on; within 100 units 8.2 (twice in
    // that step), then the top speed as braking begins.
    const std::vector<float> travel = FloatArgs(sim(), NativeTrainTravelSpeed, start);
    size_t reached = 0;
    while (reached < travel.size() && travel[reached] != 8.2f)
        ++reached;
    ASSERT_GT(reached, 5u);
    ASSERT_LT(reached + 2, travel.size());
    for (size_t i = 0; i < reached; ++i)
        EXPECT_NEAR(travel[i], 14.0f - 0.2f * static_cast<float>(i + 1), 1e-4) << i;
    EXPECT_EQ(travel[reached + 1], 8.2f);
    EXPECT_EQ(travel[reached + 2], 14.0f);

    const std::vector<std::string> t = sim().Trace(start);
    const size_t stopped = IndexOf(t, "TrainAnnounce(");
    ASSERT_LT(stopped, t.size());
    EXPECT_EQ(t[stopped], "TrainAnnounce(" + std::to_string(train) + ", \"STOPPED\", 0, 0)")
        << "the handle widened with its sign";
    EXPECT_EQ(t[stopped - 1], "TrainImmediateSpeed(" + std::to_string(train) + ", 0)");
    EXPECT_EQ(t[stopped - 2], "RandomInt(10000, 13000) -> 12345");
    EXPECT_EQ(sim().CountCalls(NativeTrainLastStopSetting, start), 0u) << "a stop remains after boarding";
    EXPECT_EQ(Journey.NextStopIndex, 0) << "boarding does not count as a stop";

    const TrainHalt& halt = sim().Halts().at(0);
    EXPECT_GE(halt.leftAt - halt.stoppedAt, 12345);
    EXPECT_LE(halt.leftAt - halt.stoppedAt, 12345 + 100 + 2 * 16);
    EXPECT_EQ(halt.nearestStation, 3);

    // Braking began at the first distance below 100 units (10000 squared).
    std::vector<float> distances;
    for (size_t i = start; i < sim().Log().size() && sim().Log()[i].hash != NativeTrainImmediateSpeed; ++i) {
        if (sim().Log()[i].hash == NativeSquaredDistance)
            distances.push_back(std::stof(sim().Log()[i].resultText));
    }
    ASSERT_EQ(distances.size(), reached + 1);
    for (size_t i = 0; i < reached; ++i)
        EXPECT_GE(distances[i], 10000.0f);
    EXPECT_LT(distances.back(), 10000.0f);
    // Standing re-applies exactly 0; no negative speed is ever given.
    const std::vector<float> immediate = FloatArgs(sim(), NativeTrainImmediateSpeed, start);
    size_t zeros = 0;
    for (float v : immediate) {
        EXPECT_GE(v, 0.0f);
        zeros += v == 0.0f ? 1 : 0;
    }
    EXPECT_GT(zeros, 12000u / 16u) << "every frame of the halt";
    EXPECT_EQ(sim().NegativeSpeedsGiven(), 0);
}

// The braking can end on a small positive speed or be held at 0 on the way (with 16 ms frames
// it is held, with 33 ms it is not); either way the halt stands at exactly 0.0. With 20 ms
// frames every braking step is exactly 100 ms long.
TEST_F(TrainAtRiggs, EveryFrameOfTheHaltGivesExactlyZero)
{
    for (uint32_t frameMs : {16u, 20u, 33u}) {
        SCOPED_TRACE(std::to_string(frameMs) + " ms frames");
        SimConfig config;
        config.frameMs = frameMs;
        Dispatched({4}, 0x7000, config);
        const size_t start = sim().Log().size();
        Stop(true);
        ASSERT_TRUE(sim().RunUntil([&] { return sim().CountCalls(NativeTrainAnnounce, start) == 2; }, 180000));

        // From the halt to the frame it is sent on, every speed given is 0.0, and after the
        // halting step's 100 ms one is given in every frame.
        std::map<uint64_t, int> zeroCalls;
        int others = 0;
        uint64_t stoppedFrame = 0, leftFrame = 0;
        for (size_t i = start; i < sim().Log().size(); ++i) {
            const CallRecord& r = sim().Log()[i];
            if (r.hash == NativeTrainAnnounce)
                (stoppedFrame == 0 ? stoppedFrame : leftFrame) = r.frame;
            else if (r.hash == NativeTrainImmediateSpeed && stoppedFrame != 0 && leftFrame == 0)
                static_cast<uint32_t>(r.args[1]) == 0 ? ++zeroCalls[r.frame] : ++others;
        }
        EXPECT_EQ(others, 0);
        ASSERT_GT(zeroCalls.size(), 2u);
        if (frameMs == 20) {
            // Steps of exactly 100 ms: the braking from 8.2 halts after 397 of them.
            size_t braking = 0;
            for (size_t i = start; i < sim().Log().size() && sim().Log()[i].hash != NativeTrainAnnounce; ++i)
                braking += sim().Log()[i].hash == NativeTrainImmediateSpeed ? 1 : 0;
            EXPECT_EQ(braking, 397u + 1u) << "and the halt's own 0 before it is announced";
        }
        const uint64_t standing = std::next(zeroCalls.begin())->first;
        EXPECT_LE(standing - stoppedFrame, 100u / frameMs + 1u);
        for (uint64_t f = standing; f <= leftFrame; ++f)
            EXPECT_EQ(zeroCalls.count(f), 1u) << "frame " << f - stoppedFrame << " of the halt";
    }
}

TEST_F(TrainAtRiggs, ATrainThatNeverComesWithinAHundredUnitsIsGivenUpAfterSixtySeconds)
{
    // The line ends 100.5 units east of Riggs Station, on the train's side.
    MakeSim();
    const Vec3 riggs = SimStationPosition(3);
    sim().SetTrainPath([riggs](Vec3 spawn, bool) {
        return std::vector<Vec3>{spawn, Vec3{riggs.x + 100.5f, riggs.y, riggs.z}};
    });
    LoadInline();
    sim().RunFrame();
    sim().PreloadAssets(true);
    Journey.OriginIndex = 3;
    Journey.TrainDirection = true;
    RunInScript([] { DispatchTrain(); });
    ASSERT_TRUE(sim().RunUntil([&] { return !sim().TransitionActive(); }, 60000));
    const size_t start = sim().Log().size();
    const int64_t began = sim().Now() + sim().FrameMs();
    Stop(true);
    sim().RunFor(70000);
    EXPECT_EQ(sim().CountCalls(NativeTrainImmediateSpeed, start), 0u) << "never braked";
    EXPECT_EQ(sim().CountCalls(NativeTrainAnnounce, start), 0u);
    int64_t last = 0;
    for (size_t i = start; i < sim().Log().size(); ++i)
        last = sim().Log()[i].hash == NativeTrainTravelSpeed ? sim().Log()[i].gameTime : last;
    EXPECT_GT(last - began, 60000) << "the step that finds the 60 s over still gives the speed";
    EXPECT_LE(last - began, 60000 + 200 + 16);
}

// 13.95 + 0.05 is exactly 14.0 in single precision: that step gives 14 and goes on; the next
// overshoots and ends the ramp with 14 again.
TEST_F(TrainAtRiggs, ARampThatMeetsTheTopSpeedExactlyTakesOneStepMore)
{
    Dispatched({});
    Journey.TrainSpeed = 13.95f;
    const size_t start = sim().Log().size();
    RunInScript([] { DepartureRamp(); });
    sim().RunFor(1000);
    const std::string top = "TrainTravelSpeed(" + std::to_string(Journey.Train) + ", 14)";
    EXPECT_EQ(sim().Trace(start, {NativeTrainTravelSpeed}), (std::vector<std::string>{top, top}));
}

TEST_F(TrainAtRiggs, TheLastStopIsMarkedAndTheRampReachesTopSpeedIn280Steps)
{
    Dispatched({});  // no stop after boarding: the boarding halt is the last
    const size_t start = sim().Log().size();
    Stop(true);
    ASSERT_TRUE(sim().RunUntil([&] { return sim().CountCalls(NativeTrainAnnounce, start) == 2; }, 180000));
    EXPECT_EQ(sim().Trace(start, {NativeTrainLastStopSetting}),
              std::vector<std::string>{"TrainLastStopSetting(" + std::to_string(Journey.Train) + ", 1)"});
    size_t ramp = start;
    while (sim().Log()[ramp].hash != NativeTrainAnnounce ||
           sim().Log()[ramp].argsText.find("NEXT") == std::string::npos)
        ++ramp;
    sim().RunFor(80000);
    const std::vector<float> travel = FloatArgs(sim(), NativeTrainTravelSpeed, ramp);
    ASSERT_EQ(travel.size(), 280u);
    EXPECT_EQ(travel[0], 0.05f) << "the ramp starts from a halt of exactly 0";
    EXPECT_EQ(travel.back(), 14.0f);
    EXPECT_EQ(Journey.TrainSpeed, 14.0f);
}

TEST_F(TrainAtRiggs, ATopSpeedOfTwentyIsNotReachedWithinNinetySeconds)
{
    const std::string dir = testing::TempDir() + "quorvane_speed20";
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    std::ofstream(dir + "/Quorvane.ini") << "[SETTINGS]\nMAX_TRAIN_SPEED=20\n";
    SimConfig config;
    config.gameDir = dir;
    MakeSim(config);
    LoadInline();
    sim().RunFrame();
    ASSERT_EQ(MaxTrainSpeed, 20.0f);
    sim().PreloadAssets(true);
    Journey.OriginIndex = 3;
    RunInScript([] { DispatchTrain(); });
    ASSERT_TRUE(sim().RunUntil([&] { return !sim().TransitionActive(); }, 60000));
    Journey.TrainSpeed = 0.0f;
    const size_t start = sim().Log().size();
    const int64_t began = sim().Now();
    RunInScript([] { DepartureRamp(); });
    sim().RunFor(95000);
    const std::vector<float> travel = FloatArgs(sim(), NativeTrainTravelSpeed, start);
    ASSERT_FALSE(travel.empty());
    EXPECT_LT(travel.back(), 18.0f);
    EXPECT_GT(travel.back(), 17.0f);
    EXPECT_GE(sim().Log().back().gameTime - began, 89000);
}

class JunctionsOnTheWay : public TrainAtRiggs {
protected:
    void Apply()
    {
        RunInScript([] { ApplyJunctionSettings(); });
    }
};

TEST_F(JunctionsOnTheWay, NothingIsAskedBeforeAPlanWithSettings)
{
    Dispatched({4});
    const size_t start = sim().Log().size();
    Apply();
    EXPECT_EQ(sim().Log().size(), start);
}

TEST_F(JunctionsOnTheWay, EveryMatchingEntryIsAppliedToTheReportedJunction)
{
    Dispatched({4}, -4000);
    const Vec3 here = sim().TrainPosition(*sim().LatestTrain());
    sim().AddJunctionSpot(JunctionSpot{here, 50.0f, -3, 5, 2});
    RouteJunctions.resize(4);
    RouteJunctions[0] = JunctionSetting{2, 5, true};
    RouteJunctions[1] = JunctionSetting{1, 5, true};  // another track
    RouteJunctions[2] = JunctionSetting{2, 6, true};  // another junction
    RouteJunctions[3] = JunctionSetting{2, 5, false};
    const size_t start = sim().Log().size();
    Apply();
    Apply();
    const std::string train = std::to_string(Journey.Train);
    const std::vector<std::string> once = {
        "TrainJunction(" + train + ", &-3, &5)",
        "TrainTrack(" + train + ") -> 2",
        "SetJunction(-3, 5, 1)",
        "SetJunction(-3, 5, 0)",
    };
    std::vector<std::string> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    std::vector<std::string> trace = sim().Trace(start);
    // The readings are shown as the native left them; the first call found them still unset.
    trace[0] = "TrainJunction(" + train + ", &-3, &5)";
    EXPECT_EQ(trace, twice);
    EXPECT_EQ(Journey.ReportedJunctionTrack, -3);
    EXPECT_EQ(Journey.ReportedJunctionIndex, 5);
}
