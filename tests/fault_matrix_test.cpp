// tests/fault_matrix_test.cpp -- one scenario per fault and the state it strikes in. Each ends
// in a defined state and then serves the next trip: the prompt, a purchase, a train that stops
// for boarding.
#include <algorithm>
#include <cctype>
#include <fstream>

#include "host/natives.h"
#include "journey/route.h"
#include "plugin/settings.h"
#include "sim_fixture.h"

namespace {
constexpr uint32_t Down = 40, Enter = 13;
}

class FaultAtRiggs : public SimTest {
protected:
    void World(const SimConfig& config = {})
    {
        MakeSim(config);
        RouteTrainsThrough(3, {4});
        sim().SetCash(100000);
        sim().MovePlayerTo(NearStation(3));
        Load();
    }
    bool PromptWithin(int64_t ms)
    {
        return sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, ms);
    }
    void OpenMenu()
    {
        ASSERT_TRUE(PromptWithin(10 * 60000));
        sim().UsePrompt();
        sim().RunFor(200);
        ASSERT_EQ(Journey.ActiveMenu, 1);
    }
    // Selects Flatneck Station with the keys, or with the pad when the keys cannot.
    void SelectFlatneck(bool pad = false)
    {
        for (int guard = 0; Journey.MenuOneSelection != 3 && guard < 12; ++guard) {
            if (pad) {
                sim().PadHold("INPUT_FRONTEND_DOWN");
                sim().RunFrame();
                sim().PadRelease("INPUT_FRONTEND_DOWN");
            } else {
                Tap(Down);
            }
            WaitOutGate();
        }
        ASSERT_EQ(Journey.MenuOneSelection, 3);
    }
    void ServesTheNextTrip(bool pad = false)
    {
        const size_t halts = sim().Halts().size();
        OpenMenu();
        SelectFlatneck(pad);
        if (pad) {
            sim().PadRelease("INPUT_FRONTEND_ACCEPT");
            sim().RunFrame();
        } else {
            Tap(Enter);
        }
        ASSERT_TRUE(sim().RunUntil([&] { return sim().Halts().size() > halts; }, 5 * 60000))
            << "a train stops for boarding";
        EXPECT_EQ(sim().Halts().back().nearestStation, 3);
    }
};

TEST_F(FaultAtRiggs, ThePlayerFailingTheTestsWithTheMenuOpenClosesIt)
{
    World();
    OpenMenu();
    sim().SetPlayerCanInteract(false);
    sim().RunFrame();
    EXPECT_EQ(Journey.ActiveMenu, 0);
    EXPECT_TRUE(sim().FrameDraws().empty()) << "the menu is not drawn in the frame that closes it";
    sim().RunFrames(3);
    EXPECT_TRUE(sim().FrameDraws().empty()) << "nor after";
    sim().SetPlayerCanInteract(true);
    ServesTheNextTrip();
}

TEST_F(FaultAtRiggs, ThePlayerVanishingDuringTheRefusalNoticeEndsTheMenuAfterIt)
{
    World();
    sim().SetCash(0);
    OpenMenu();
    SelectFlatneck();
    sim().PressKey(Enter);
    sim().RunFrame();
    sim().ReleaseKey(Enter);
    sim().RunFrames(5);
    sim().SetPlayerExists(false);
    sim().RunFor(1600);
    EXPECT_EQ(Journey.ActiveMenu, 0) << "the notice runs out, then the failed test closes the menu";
    sim().RunFor(20000);
    sim().SetPlayerExists(true);
    sim().SetCash(1000);
    ServesTheNextTrip();
}

TEST_F(FaultAtRiggs, CashGrowingDuringTheRefusalNoticeBuysTheNextTime)
{
    World();
    sim().SetCash(100);
    OpenMenu();
    SelectFlatneck();
    sim().PressKey(Enter);
    sim().RunFrame();
    sim().ReleaseKey(Enter);
    sim().RunFrames(10);
    sim().SetCash(2000);  // the player picks money up while the notice shows
    sim().RunFor(1600);
    EXPECT_EQ(Journey.ActiveMenu, 1);
    EXPECT_EQ(sim().Cash(), 2000) << "the refused accept charged nothing";
    Tap(Enter);
    EXPECT_EQ(sim().Cash(), 2000 - 175);
}

TEST_F(FaultAtRiggs, ThePlayerVanishingDuringTheDispatchEndsTheTripLater)
{
    World();
    OpenMenu();
    SelectFlatneck();
    Tap(Enter);
    ASSERT_TRUE(sim().TransitionActive());
    sim().SetPlayerExists(false);
    EXPECT_TRUE(sim().RunUntil([&] { return Journey.Train == 0 && !sim().Trains().empty(); }, 10 * 60000));
    EXPECT_TRUE(sim().Trains().back().givenUp);
    sim().RunFor(20000);
    EXPECT_EQ(sim().LivePrompt(), nullptr);
    sim().SetPlayerExists(true);
    ServesTheNextTrip();
}

TEST_F(FaultAtRiggs, ACancelFromThePadOffersThePromptAgain)
{
    World();
    OpenMenu();
    sim().SetUsingKeyboard(false);
    sim().PadRelease("INPUT_FRONTEND_CANCEL");
    sim().RunFrame();
    EXPECT_EQ(Journey.ActiveMenu, 0);
    EXPECT_NE(sim().LivePrompt(), nullptr);
    ServesTheNextTrip(true);
}

TEST_F(FaultAtRiggs, APlayerHandleOfZeroWaitsWithoutEnd)
{
    MakeSim();
    sim().SetAnswerHook([](uint64_t hash, const uint64_t*, int, uint64_t* result) {
        if (hash == NativePlayerPed)
            result[0] = 0;
    });
    RouteTrainsThrough(3, {4});
    sim().SetCash(1000);
    sim().MovePlayerTo(NearStation(3));
    Load();
    sim().RunFor(30000);
    EXPECT_EQ(sim().CountCalls(NativeEntityExists), 30u) << "one question a second, nothing else";
    EXPECT_EQ(sim().CountCalls(NativePromptBegin), 0u);
    sim().SetAnswerHook(nullptr);
    ServesTheNextTrip();
}

TEST_F(FaultAtRiggs, APromptHandleOfZeroIsHarmless)
{
    World();
    sim().RunFor(100);
    sim().SetAnswerHook([](uint64_t hash, const uint64_t*, int, uint64_t* result) {
        if (hash == NativePromptBegin)
            result[0] = 0;
    });
    sim().MovePlayerTo(NearStation(3, 40));
    sim().RunFor(9000);
    sim().MovePlayerTo(NearStation(3));
    sim().RunFor(9000);
    EXPECT_EQ(sim().LivePrompt(), nullptr) << "the game made no prompt";
    EXPECT_GT(sim().Complaints(), 0) << "the plug-in used the handle it was given";
    sim().SetAnswerHook(nullptr);
    sim().MovePlayerTo(NearStation(3, 40));
    sim().RunFor(9000);
    sim().MovePlayerTo(NearStation(3));
    ServesTheNextTrip();
}

TEST_F(FaultAtRiggs, ATrainHandleOfZeroCountsAsNoTrain)
{
    World();
    sim().SetAnswerHook([](uint64_t hash, const uint64_t*, int, uint64_t* result) {
        if (hash == NativeCreateTrain)
            result[0] = 0;
    });
    OpenMenu();
    SelectFlatneck();
    Tap(Enter);
    EXPECT_TRUE(sim().RunUntil([&] { return !sim().TransitionActive(); }, 60000));
    EXPECT_EQ(Journey.Train, 0);
    EXPECT_EQ(sim().TrainSwitchState(), 1);
    sim().SetAnswerHook(nullptr);
    ServesTheNextTrip();
}

TEST_F(FaultAtRiggs, AWholeTripAcrossTheGameClocksWrap)
{
    SimConfig config;
    config.startGameTime = 2147483647LL - 60000;  // the clock passes 2^31 a minute in
    World(config);
    sim().BoardTrain();
    OpenMenu();
    SelectFlatneck();
    Tap(Enter);
    ASSERT_TRUE(sim().RunUntil([&] { return sim().Halts().size() == 2 && sim().Halts()[1].leftAt != 0; }, 20 * 60000));
    EXPECT_LT(sim().GameClock(), 0);
    for (const TrainHalt& h : sim().Halts()) {
        EXPECT_GE(h.leftAt - h.stoppedAt, 10000);
        EXPECT_LE(h.leftAt - h.stoppedAt, 13200);
    }
    sim().LeaveTrain();
    sim().MovePlayerTo(NearStation(3));
    EXPECT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 5 * 60000));
    ServesTheNextTrip();
}

// A speed of 0, written so or read so from text that is not a number, would charge for a train
// that never moves; it falls back to the default, and the train comes to the platform at it.
class OddSpeed : public FaultAtRiggs {
protected:
    void LoadWithSpeed(const char* value)
    {
        const std::string dir = testing::TempDir() + "quorvane_speed_" + value;
        ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
        std::ofstream(dir + "/Quorvane.ini") << "[SETTINGS]\nMAX_TRAIN_SPEED=" << value << "\n";
        SimConfig config;
        config.gameDir = dir;
        World(config);
    }
    void BuysATrainThatComesAt(const char* value, float speed)
    {
        LoadWithSpeed(value);
        OpenMenu();
        SelectFlatneck();
        Tap(Enter);
        float fastest = 0;
        ASSERT_TRUE(sim().RunUntil(
            [&] {
                for (const SimTrain& t : sim().Trains())
                    fastest = std::max(fastest, t.travelSpeed);
                return !sim().Halts().empty();
            },
            5 * 60000))
            << value << ": the train stops for boarding";
        EXPECT_EQ(fastest, speed) << value;
        EXPECT_EQ(sim().Halts().front().nearestStation, 3);
    }
};

TEST_F(OddSpeed, ASpeedOfZeroBringsATrainAtTheDefaultSpeed) { BuysATrainThatComesAt("0", 14.0f); }
TEST_F(OddSpeed, ASpeedThatIsNotANumberBringsATrainAtTheDefaultSpeed) { BuysATrainThatComesAt("fast", 14.0f); }

TEST_F(OddSpeed, AHugeSpeedIsTakenAsItComes)
{
    LoadWithSpeed("99999999999");
    ASSERT_EQ(MaxTrainSpeed, 1215752191.0f) << "wrapped as Windows wraps it, and positive";
    OpenMenu();
    SelectFlatneck();
    Tap(Enter);
    // The train shoots to the end of its line in a frame; no stop can catch it.
    EXPECT_TRUE(sim().RunUntil([&] { return Journey.Train == 0 && !sim().Trains().empty(); }, 10 * 60000));
    EXPECT_TRUE(sim().Halts().empty());
    EXPECT_TRUE(PromptWithin(20000));
}

// Every settings key missing, empty, negative, huge or not a number: the settings come out as
// stated and a trip is still served, by the pad where the key cannot move the menu.
class BadSettings : public FaultAtRiggs, public testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(BadSettings, StillServeATrip)
{
    const std::string dir = testing::TempDir() + "quorvane_bad_" +
                            std::to_string(std::hash<std::string>{}(std::string(GetParam().first) + GetParam().second));
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    {
        std::ofstream ini(dir + "/Quorvane.ini");
        ini << "[SETTINGS]\n";
        if (GetParam().second != nullptr && std::string(GetParam().second) != "<missing>")
            ini << GetParam().first << "=" << GetParam().second << "\n";
    }
    SimConfig config;
    config.gameDir = dir;
    World(config);
    EXPECT_GE(MaxTrainSpeed, 0.0f);
    EXPECT_LT(MaxTrainSpeed, 2147483648.0f);
    const bool keysWork = MenuDownKey == 40;
    ServesTheNextTrip(!keysWork);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKey, BadSettings,
    testing::Values(std::make_pair("MAX_TRAIN_SPEED", "<missing>"), std::make_pair("MAX_TRAIN_SPEED", ""),
                    std::make_pair("MAX_TRAIN_SPEED", "-14"), std::make_pair("MENU_UP_KEY", ""),
                    std::make_pair("MENU_UP_KEY", "-38"), std::make_pair("MENU_UP_KEY", "99999999999"),
                    std::make_pair("MENU_UP_KEY", "up"), std::make_pair("MENU_DOWN_KEY", "<missing>"),
                    std::make_pair("MENU_DOWN_KEY", ""), std::make_pair("MENU_DOWN_KEY", "-40"),
                    std::make_pair("MENU_DOWN_KEY", "99999999999"), std::make_pair("MENU_DOWN_KEY", "down"),
                    std::make_pair("MENU_DOWN_KEY", "300")),
    [](const testing::TestParamInfo<std::pair<const char*, const char*>>& param) {
        std::string name = std::string(param.param.first) + "_";
        const std::string value = param.param.second;
        if (value.empty())
            return name + "empty";
        for (char c : value)
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : (c == '-' ? 'n' : '_');
        return name;
    });
