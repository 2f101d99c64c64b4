// tests/observer_test.cpp -- the story a session tells: the live game and the replay of its
// recording print the same timeline, line for line; and the lines say where the player was, what
// the menu made of each key, what a refusal asked and had, and why the menu closed. Fares, cash
// and station names come from tests/data and the simulated world, never from the observer.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/observer.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"
#include "sim/visit.h"
#include "sim_fixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t Down = 40, Enter = 13, Backspace = 8;

std::string Money(int32_t cents) { return FareText(cents) + "$"; }

// The menu item of a destination, as the menu writes it.
std::string Item(int32_t from, int32_t to)
{
    return std::string(SimStationName(to)) + " - " +
           Money(FaresInCents()[static_cast<size_t>(from)][static_cast<size_t>(to)]);
}

std::vector<std::string> Lines(const std::vector<ObservedEvent>& timeline)
{
    std::vector<std::string> lines;
    lines.reserve(timeline.size());
    for (const ObservedEvent& e : timeline)
        lines.push_back(TimelineLine(e));
    return lines;
}

bool Has(const std::vector<ObservedEvent>& timeline, const std::string& text)
{
    for (const ObservedEvent& e : timeline) {
        if (e.text == text)
            return true;
    }
    return false;
}

// A scratch game folder whose Quorvane.ini turns recording on.
class Scratch {
public:
    Scratch()
        : dir_(fs::temp_directory_path() / ("quorvane_observer_" + std::to_string(getpid()) + "_" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name()))
    {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(dir_ / "Quorvane.ini", std::ios::binary) << "[SETTINGS]\r\nRECORD_SESSION=1\r\n";
    }
    ~Scratch() { fs::remove_all(dir_); }
    std::string Dir() const { return dir_.string(); }
    std::string Recording() const { return (dir_ / "Quorvane.rec").string(); }

private:
    fs::path dir_;
};

}  // namespace

// quorvane-sim's visits, each recorded and replayed: the replay tells exactly what the live game
// told, in the same frames, at the same game times.
TEST(LiveAndReplayedTimelines, AreTheSameLineForLine)
{
    struct Case {
        const char* what;
        VisitPlan plan;
    };
    std::vector<Case> cases;
    {
        Case trip{"a ride on line one with the keyboard", {}};
        trip.plan.from = 3, trip.plan.to = 10, trip.plan.cash = 2000;
        Case refusal{"a refusal on line two with the pad", {}};
        refusal.plan.from = 0, refusal.plan.to = 1, refusal.plan.cash = 300, refusal.plan.pad = true;
        Case bought{"a purchase without the ride", {}};
        bought.plan.from = 5, bought.plan.to = 8, bought.plan.cash = 5000, bought.plan.ride = false;
        cases = {trip, refusal, bought};
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Scratch scratch;
        SimConfig config;
        config.gameDir = scratch.Dir();
        StaticPlugin plugin;
        std::vector<std::string> live;
        {
            Sim sim(config);
            const VisitOutcome outcome = RunVisit(sim, plugin, c.plan);
            EXPECT_TRUE(outcome.problems.empty());
            EXPECT_TRUE(sim.Errors().empty());
            live = Lines(sim.Observed().Timeline());
        }
        RecordingReader reader;
        ASSERT_TRUE(reader.Open(scratch.Recording())) << reader.Error();
        const ReplayResult r = ReplaySession(reader);
        ASSERT_EQ(r.outcome, ReplayResult::Identical) << r.difference;
        const std::vector<std::string> replayed = Lines(r.timeline);
        EXPECT_GT(live.size(), 5u);
        EXPECT_EQ(replayed.size(), live.size());
        for (size_t i = 0; i < live.size() && i < replayed.size(); ++i)
            EXPECT_EQ(replayed[i], live[i]) << "line " << i;
    }
}

class Story : public SimTest {
protected:
    const std::vector<ObservedEvent>& Timeline() { return sim().Observed().Timeline(); }
    std::string Told()
    {
        std::string all;
        for (const ObservedEvent& e : Timeline())
            all += "  " + e.text + "\n";
        return all;
    }
};

// The menu opens on its first item; one step down is the second (tests/sim_fixture.h lists them).
TEST_F(Story, APurchaseNamesTheStationEachKeyAndWhyTheMenuClosed)
{
    const int32_t to = MenuOneStations[1];
    const int32_t fare = FaresInCents()[3][static_cast<size_t>(to)];
    OpenMenuAt(3, 2000);
    const std::string origin = SimStationName(3);
    Tap(Down);
    WaitOutGate();
    Tap(Enter);
    sim().RunFrames(5);
    for (const std::string& line :
         {"prompt \"Quorvane\" offered at " + origin, "menu one is open at " + origin,
          "key Down: moved to row 2, \"" + Item(3, to) + "\"", "key Enter: accepted \"" + Item(3, to) + "\"",
          "ticket bought to " + std::string(SimStationName(to)) + " for " + Money(fare) + ", " + Money(2000 - fare) +
              " left",
          std::string("menu closes: ticket bought")})
        EXPECT_TRUE(Has(Timeline(), line)) << line << "\nin\n" << Told();
    EXPECT_FALSE(Has(Timeline(), "key Down: ignored by the input gate"))
        << "the release of a press the menu acted on is no input of its own\n"
        << Told();
}

TEST_F(Story, ARefusalSaysTheFareAndTheCash)
{
    const int32_t to = MenuOneStations[1];
    const int32_t fare = FaresInCents()[3][static_cast<size_t>(to)];
    OpenMenuAt(3, fare - 1);
    Tap(Down);
    WaitOutGate();
    Tap(Enter);
    sim().RunFrames(5);
    EXPECT_TRUE(Has(Timeline(), "key Enter: accepted \"" + Item(3, to) + "\"")) << Told();
    EXPECT_TRUE(
        Has(Timeline(), "refused: \"You don't have enough money.\": fare " + Money(fare) + ", cash " + Money(fare - 1)))
        << Told();
    EXPECT_FALSE(Has(Timeline(), "menu closes: ticket bought")) << Told();
}

TEST_F(Story, TheMenuClosingSaysWhy)
{
    struct Case {
        const char* what;
        std::function<void(Sim&)> close;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"Backspace", [](Sim& s) { s.TapKey(Backspace); }, {"key Backspace: cancelled", "menu closes: cancelled"}},
        {"the pad's cancel",
         [](Sim& s) {
             s.SetUsingKeyboard(false);
             s.PadHold("INPUT_FRONTEND_CANCEL");
             s.RunFrame();
             s.PadRelease("INPUT_FRONTEND_CANCEL");
         },
         {"pad INPUT_FRONTEND_CANCEL: cancelled", "menu closes: cancelled"}},
        {"walking away", [](Sim& s) { s.MovePlayerTo(FarFromStations()); }, {"menu closes: the player walked away"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MakeSim();
        OpenMenuAt(5, 0);
        c.close(sim());
        sim().RunFrames(5);
        EXPECT_EQ(Journey.ActiveMenu, 0);
        for (const std::string& line : c.lines)
            EXPECT_TRUE(Has(Timeline(), line)) << line << "\nin\n" << Told();
        sim().Unload();
    }
}

// An Enter tapped while the gate is still shut after a move is gone by the time it opens.
TEST_F(Story, AKeyTheGateLetPassIsTold)
{
    OpenMenuAt(3, 5000);
    Tap(Down);
    Tap(Enter);  // two frames after the move: the gate opens 150 ms after it
    WaitOutGate();
    sim().RunFrames(5);
    EXPECT_TRUE(Has(Timeline(), "key Enter: ignored by the input gate")) << Told();
    EXPECT_NE(Journey.ActiveMenu, 0) << "nothing was bought";
    EXPECT_EQ(sim().Cash(), 5000);
}

TEST(MoneyText, WritesCentsAsTheMenuWritesAFare)
{
    struct Case {
        int32_t cents;
        const char* text;
    };
    for (const Case& c :
         {Case{865, "8.65$"}, Case{5, "0.05$"}, Case{0, "0.00$"}, Case{120000, "1200.00$"}, Case{-350, "-3.50$"}})
        EXPECT_EQ(MoneyText(c.cents), c.text) << c.cents;
}
