// tests/menu_test.cpp -- the destination menus as the player sees and drives them: whole frames
// from the capture, navigation by keys and pad, accept, cancel and Close.
#include <cmath>
#include <string>

#include "host/natives.h"
#include "menu/input.h"
#include "sim_fixture.h"

namespace {

constexpr uint32_t Up = 38, Down = 40, Enter = 13, Backspace = 8;

std::string Line(const std::string& text) { return "<FONT FACE='$title' COLOR='#%04X'>" + text + "</FONT>"; }

}  // namespace

class MenuOneAtRiggs : public SimTest {
protected:
    void SetUp() override { OpenMenuAt(3); }

    // The selected item, read back from where the highlight was drawn.
    int Highlighted()
    {
        const auto sprites = Drawn(DrawItem::Sprite);
        for (const DrawItem* s : sprites) {
            if (s->width == 0.22f)
                return static_cast<int>(std::lround((s->y - 0.1336f) / 0.04f)) - 1;
        }
        return -100;
    }
};

TEST_F(MenuOneAtRiggs, DrawsFifteenSpritesThenTwelveLines)
{
    sim().RunFrame();
    const std::vector<DrawItem>& frame = sim().FrameDraws();
    ASSERT_EQ(frame.size(), 27u);
    for (size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(frame[i].kind, DrawItem::Sprite) << i;
        EXPECT_STREQ(frame[i].dictionary, "generic_textures");
        EXPECT_STREQ(frame[i].texture, "hud_menu_4a");
        EXPECT_EQ(frame[i].x, 0.168f);
        EXPECT_EQ(frame[i].rotation, 0.0f);
    }
    // Panel, title bar, 11 row bars, highlight frame and fill.
    EXPECT_EQ(frame[0].y, 0.36f);
    EXPECT_EQ(frame[0].height, 0.55f);
    EXPECT_EQ(frame[0].alpha, 250);
    EXPECT_EQ(frame[1].y, 0.1336f);
    EXPECT_EQ(frame[1].red, 80);
    EXPECT_EQ(frame[12].y, 11 * 0.04f + 0.1336f);
    EXPECT_EQ(frame[12].alpha, 140);
    EXPECT_EQ(frame[13].y, frame[2].y) << "item 0 highlighted on first opening";
    EXPECT_EQ(frame[13].width, 0.225f);
    EXPECT_EQ(frame[14].width, 0.22f);
    EXPECT_EQ(frame[14].height, 0.036f);

    // The rows in the menu's order, each fare from Riggs Station (3) as tests/data has it.
    const auto From3 = [](const char* name, size_t to) {
        return std::string(name) + " - " + FareText(FaresInCents()[3][to]) + "$";
    };
    const std::string expected[12] = {
        "Destination:",
        From3("Annesburg", 8),
        From3("Bacchus Station", 12),
        From3("Emerald Station", 7),
        From3("Flatneck Station", 4),
        From3("Rhodes", 11),
        "Riggs Station",
        From3("Saint Denis", 10),
        From3("Valentine", 6),
        From3("Van Horn", 9),
        From3("Wallace Station", 5),
        "Close",
    };
    for (int row = 0; row < 12; ++row) {
        const DrawItem& t = frame[15 + static_cast<size_t>(row)];
        ASSERT_EQ(t.kind, DrawItem::Text);
        EXPECT_EQ(t.text, Line(expected[row])) << row;
        EXPECT_EQ(t.x, 0.065f);
        EXPECT_EQ(t.y, static_cast<float>(row) * 0.04f + 0.12f);
        EXPECT_EQ(t.scaleX, 0.4f);
        EXPECT_EQ(t.coloured, row == 6) << "only the own station is grey: " << expected[row];
    }
    EXPECT_EQ(frame[15 + 6].red, 100);
    EXPECT_EQ(frame[15 + 6].alpha, 235);
}

TEST_F(MenuOneAtRiggs, KeysMoveOneStepPerPressAndWrapBothWays)
{
    Tap(Down);
    EXPECT_EQ(Journey.MenuOneSelection, 1);
    WaitOutGate();
    Tap(Up);
    WaitOutGate();
    Tap(Up);
    EXPECT_EQ(Journey.MenuOneSelection, 10) << "up from item 0 is Close";
    EXPECT_EQ(Highlighted(), 10);
    WaitOutGate();
    Tap(Down);
    EXPECT_EQ(Journey.MenuOneSelection, 0) << "down from Close is item 0";
    EXPECT_EQ(sim().SoundsPlayed(), 4) << "one sound per step";
}

TEST_F(MenuOneAtRiggs, TheGateIgnoresInputForOneHundredFiftyMilliseconds)
{
    Tap(Down);
    const size_t start = sim().Log().size();
    const int sounds = sim().SoundsPlayed();
    Tap(Down);  // 32 ms after the first step
    sim().PressKey(Enter);
    sim().RunFrame();
    sim().ReleaseKey(Enter);
    sim().RunFrame();
    EXPECT_EQ(Journey.MenuOneSelection, 1);
    EXPECT_EQ(sim().SoundsPlayed(), sounds);
    EXPECT_EQ(sim().CountCalls(NativeSetScriptTimer, start), 0u);
    EXPECT_EQ(sim().CountCalls(NativeHashOfName, start), 0u) << "nothing is read behind the gate";
}

TEST_F(MenuOneAtRiggs, AHeldKeyRepeatsEveryTenFramesAndUpWins)
{
    sim().PressKey(Down);
    sim().RunFor(1000);  // 62 frames of 16 ms
    sim().ReleaseKey(Down);
    sim().RunFrame();
    EXPECT_EQ(Journey.MenuOneSelection, 7) << "steps at 0, 160, ... 960 ms";

    WaitOutGate();
    sim().PressKey(Down);
    sim().PressKey(Up);
    sim().RunFrame();
    EXPECT_EQ(Journey.MenuOneSelection, 6);
}

TEST_F(MenuOneAtRiggs, TheOwnStationIsGreyAndCannotBeChosen)
{
    for (int i = 0; i < 5; ++i) {
        Tap(Down);
        WaitOutGate();
    }
    ASSERT_EQ(Journey.MenuOneSelection, 5) << "Riggs Station";
    const size_t start = sim().Log().size();
    sim().PressKey(Enter);
    sim().RunFrame();
    sim().ReleaseKey(Enter);
    sim().RunFrames(3);
    sim().PadRelease("INPUT_FRONTEND_ACCEPT");
    sim().PadRelease("INPUT_FRONTEND_CANCEL");
    sim().RunFrames(3);
    EXPECT_EQ(sim().CountCalls(NativeControlJustReleased, start), 0u) << "neither accept nor cancel is read";
    EXPECT_EQ(sim().CountCalls(NativePlayerCash, start), 0u);
    EXPECT_EQ(Journey.ActiveMenu, 1);
}

TEST_F(MenuOneAtRiggs, BackspaceCancelsAndThePromptComesBackAtOnce)
{
    const int64_t before = sim().Now();
    Tap(Backspace);
    EXPECT_EQ(sim().SoundsPlayed(), 1) << "one sound for the cancel";
    EXPECT_EQ(Journey.ActiveMenu, 0);
    EXPECT_NE(sim().LivePrompt(), nullptr) << "offered again while the player is in reach";
    EXPECT_LE(sim().Now() - before, 2 * 16);
    EXPECT_EQ(sim().StalePromptQueries(), 0) << "the removed prompt's handle is not asked about";

    sim().UsePrompt();
    sim().RunFrame();
    EXPECT_EQ(Journey.ActiveMenu, 1) << "and it opens the menu again";
}

TEST_F(MenuOneAtRiggs, AcceptingCloseOffersThePromptAgain)
{
    Tap(Up);
    WaitOutGate();
    Tap(Enter);
    EXPECT_EQ(sim().SoundsPlayed(), 2) << "one for the step, one for the accept";
    EXPECT_EQ(Journey.ActiveMenu, 0);
    EXPECT_NE(sim().LivePrompt(), nullptr);
    EXPECT_EQ(sim().CountCalls(NativePlayerCash), 0u);
    EXPECT_EQ(Journey.MenuOneSelection, 10) << "the selection is kept for the next opening";
}

TEST_F(MenuOneAtRiggs, ThePadDrivesItAndItsButtonsAreKeptFromTheGame)
{
    sim().SetUsingKeyboard(false);
    sim().PadHold("INPUT_FRONTEND_DOWN");
    sim().RunFrame();
    sim().PadRelease("INPUT_FRONTEND_DOWN");
    sim().RunFrame();
    EXPECT_EQ(Journey.MenuOneSelection, 1);
    EXPECT_TRUE(sim().PadBlockedThisFrame());
    WaitOutGate();
    sim().PadRelease("INPUT_FRONTEND_CANCEL");
    sim().RunFrame();
    EXPECT_EQ(Journey.ActiveMenu, 0);

    sim().SetUsingKeyboard(true);
    sim().UsePrompt();
    sim().RunFrame();
    EXPECT_FALSE(sim().PadBlockedThisFrame()) << "keyboard and mouse leave the game's controls free";
}

class MenuTwoAtBenedictPoint : public SimTest {
protected:
    void SetUp() override { OpenMenuAt(0); }
};

TEST_F(MenuTwoAtBenedictPoint, DrawsEightSpritesAndFiveLines)
{
    sim().RunFrame();
    EXPECT_EQ(Drawn(DrawItem::Sprite).size(), 8u);
    const auto texts = Drawn(DrawItem::Text);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[1]->text, Line("Armadillo - 3.85$"));
    EXPECT_EQ(texts[2]->text, Line("Benedict Point"));
    EXPECT_TRUE(texts[2]->coloured);
    EXPECT_EQ(texts[3]->text, Line("MacFarlanes Ranch - 6.50$"));
    EXPECT_FALSE(texts[3]->coloured) << "a normal line after a grey one is not grey";
    EXPECT_EQ(texts[4]->text, Line("Close"));
    EXPECT_EQ(texts[4]->y, 4 * 0.04f + 0.12f);
}

TEST_F(MenuTwoAtBenedictPoint, WrapsAtItsOwnLastItem)
{
    Tap(Up);
    EXPECT_EQ(Journey.MenuTwoSelection, 3);
    EXPECT_EQ(Journey.MenuOneSelection, 0) << "the two menus keep separate selections";
    for (int step = 0; step < 4; ++step)
        WaitOutGate(), Tap(Down);
    EXPECT_EQ(Journey.MenuTwoSelection, 3) << "around once, down onto Close from the last station";
}

// Both input routines called alone, with the script timer answering exactly what a test says.
class MenuInputAtTheGate : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        LoadInline();
        sim().RunFrame();
    }
    void TimerReads(int32_t ms)
    {
        sim().SetAnswerHook([ms](uint64_t hash, const uint64_t*, int, uint64_t* result) {
            if (hash == NativeScriptTimer)
                result[0] = static_cast<uint32_t>(ms);
        });
    }
};

TEST_F(MenuInputAtTheGate, NothingHappensAtOneHundredFiftyAndBothActAtOneHundredFiftyOne)
{
    sim().PadHold("INPUT_FRONTEND_DOWN");  // held for the whole test
    for (int32_t reading : {149, 150, 151}) {
        SCOPED_TRACE(reading);
        const bool open = reading > 150;
        const auto acted = [&](size_t start) {
            if (open)
                EXPECT_EQ(sim().Trace(start, {NativeSetScriptTimer, NativePlayFrontendSound}),
                          (std::vector<std::string>{"SetScriptTimer(0)",
                                                    "PlayFrontendSound(\"NAV_RIGHT\", \"HUD_SHOP_SOUNDSET\", 1, 0)"}));
            else
                EXPECT_EQ(sim().Log().size() - start, 1u) << "the timer is read, and nothing else";
        };
        TimerReads(reading);
        int32_t selection = 3;
        size_t start = sim().Log().size();
        RunInScript([&selection] { NavigateMenu(selection, 10); });
        EXPECT_EQ(selection, open ? 4 : 3);
        acted(start);

        sim().PadRelease("INPUT_FRONTEND_ACCEPT");
        int32_t input = -1;
        start = sim().Log().size();
        RunInScript([&input] { input = ReadAcceptOrCancel(); });
        EXPECT_EQ(input, open ? AcceptInput : NoInput);
        acted(start);
    }
    EXPECT_EQ(sim().SoundsPlayed(), 2);
}
