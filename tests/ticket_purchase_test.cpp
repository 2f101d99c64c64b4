// tests/ticket_purchase_test.cpp -- paying, reusing and being refused: exact cents, the notice,
// and the five-minute window.
#include "data/fares.h"
#include "host/natives.h"
#include "menu/ticket.h"
#include "sim_fixture.h"

namespace {
constexpr uint32_t Down = 40, Enter = 13;
}

class MenuOpenWithCash : public SimTest {
protected:
    // Opens the menu at origin and moves the selection to item.
    void ChooseItem(size_t origin, int32_t cash, int item)
    {
        OpenMenuAt(origin, cash);
        Select(item);
    }
    void Select(int item)
    {
        int32_t& selection = Journey.ActiveMenu == 1 ? Journey.MenuOneSelection : Journey.MenuTwoSelection;
        for (int guard = 0; selection != item && guard < 12; ++guard) {
            Tap(Down);
            WaitOutGate();
        }
        ASSERT_EQ(selection, item);
    }

    void Accept() { Tap(Enter); }
    size_t Charges() const { return sim_->CountCalls(NativeChargeCash); }
};

TEST_F(MenuOpenWithCash, TheFareShownIsTheFareChargedToTheCent)
{
    // Riggs Station to Saint Denis: with the fare as of this writing, 8.65, the stored float times
    // 100 is 864.99994.
    const int32_t fare = FaresInCents()[3][10];
    ChooseItem(3, fare, 6);
    Accept();
    EXPECT_EQ(sim().Cash(), 0);
    EXPECT_EQ(Journey.DestinationIndex, 10);
    EXPECT_EQ(sim().Trace(0, {NativeChargeCash}),
              (std::vector<std::string>{"ChargeCash(" + std::to_string(fare) + ")"}));
}

TEST_F(MenuOpenWithCash, OneCentShortIsRefused)
{
    const int32_t fare = FaresInCents()[3][10];
    ChooseItem(3, fare - 1, 6);
    Accept();
    EXPECT_EQ(Charges(), 0u);
    EXPECT_EQ(sim().Cash(), fare - 1);
}

TEST(FareInCents, RoundsTheStoredFareToTheCentShown)
{
    for (const auto& pair : {std::make_pair(0, 1), std::make_pair(3, 4), std::make_pair(3, 10), std::make_pair(4, 7),
                             std::make_pair(10, 12), std::make_pair(6, 12)})
        EXPECT_EQ(FareInCents(pair.first, pair.second), FaresInCents()[pair.first][pair.second])
            << pair.first << " to " << pair.second;
    EXPECT_EQ(FareInCents(12, 6), 585);
    // Every pair, offered or not, is the copy's fare to the cent.
    for (int32_t from = 0; from < 13; ++from) {
        for (int32_t to = 0; to < 13; ++to)
            EXPECT_EQ(FareInCents(from, to), FaresInCents()[from][to]) << from << " -> " << to;
    }
}

TEST_F(MenuOpenWithCash, MenuTwoChargesItsOwnFares)
{
    ChooseItem(0, 1000, 0);  // Benedict Point to Armadillo
    Accept();
    EXPECT_EQ(sim().Cash(), 1000 - FaresInCents()[0][1]);
    EXPECT_EQ(Journey.DestinationIndex, 1);
}

TEST_F(MenuOpenWithCash, TheRefusalNoticeHoldsForFifteenHundredMillisecondsThenTheMenuIsBack)
{
    ChooseItem(3, 100, 0);  // Annesburg, 9.85
    const int32_t destinationBefore = Journey.DestinationIndex;
    sim().PressKey(Enter);
    sim().RunFrame();
    sim().ReleaseKey(Enter);
    const int64_t refusedAt = sim().Now() + sim().FrameMs();

    int noticeFrames = 0;
    while (sim().Now() < refusedAt + 1500) {
        sim().RunFrame();
        const auto texts = Drawn(DrawItem::Text);
        const auto sprites = Drawn(DrawItem::Sprite);
        if (texts.size() == 1) {
            // The accepting frame has drawn the menu's sprites already; the notice follows.
            ++noticeFrames;
            EXPECT_EQ(texts[0]->text, std::string("<FONT FACE='$title' COLOR='#%04X'>You don't have "
                                                  "enough money.</FONT>"));
            EXPECT_EQ(texts[0]->y, 4 * 0.04f + 0.12f);
            EXPECT_TRUE(sprites.size() == 1 || noticeFrames == 1) << "only the panel behind the notice";
            EXPECT_EQ(sprites.back()->y, 0.36f);
        }
    }
    EXPECT_GE(noticeFrames, 1500 / 16 - 1);
    EXPECT_LE(noticeFrames, 1500 / 16 + 1);
    sim().RunFrames(2);
    EXPECT_EQ(Drawn(DrawItem::Text).size(), 12u) << "the menu again";
    EXPECT_EQ(Journey.ActiveMenu, 1);
    EXPECT_EQ(Journey.MenuOneSelection, 0) << "selection unchanged";
    EXPECT_EQ(Journey.DestinationIndex, destinationBefore);
    EXPECT_FALSE(Journey.TicketHeld);
}

TEST_F(MenuOpenWithCash, ATicketIsReusedWithinFiveMinutesAtTheSameStationOnly)
{
    ChooseItem(4, 10000, 3 + 2);  // Flatneck to Riggs Station: item 5, 1.75
    Accept();
    ASSERT_EQ(sim().Cash(), 10000 - 175);

    // The trip cannot run yet (no train), so the player is back at the prompt.
    Reopen();
    Select(2);  // Emerald Station, 4.45
    const size_t start = sim().Log().size();
    Accept();
    EXPECT_EQ(sim().Cash(), 10000 - 175) << "a dearer trip on the same ticket costs nothing";
    EXPECT_EQ(sim().CountCalls(NativePlayerCash, start), 0u) << "cash is not even read";
    EXPECT_EQ(Journey.DestinationIndex, 7);

    // Well inside the renewed window, but at another station: charged again.
    sim().MovePlayerTo(NearStation(5));
    sim().RunFor(200000);
    ASSERT_NE(sim().LivePrompt(), nullptr);
    Reopen();
    Select(8);  // Van Horn, 9.35
    Accept();
    EXPECT_EQ(sim().Cash(), 10000 - 175 - 935);
}

TEST_F(MenuOpenWithCash, TheWindowEndsAfterFiveMinutes)
{
    ChooseItem(11, 10000, 6);  // Rhodes to Saint Denis, 3.25
    Accept();
    ASSERT_EQ(sim().Cash(), 10000 - 325);
    sim().RunFor(300000);
    Reopen();
    Accept();
    EXPECT_EQ(sim().Cash(), 10000 - 650);
}

// BuyTicket called alone at exact game times, from Flatneck Station.
class TicketsAtFlatneck : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        LoadInline();
        sim().RunFrame();
        sim().SetCash(100000);
        Journey.OriginIndex = 4;
    }
    // Buys at game time t (a whole number of frames away); returns the cents charged.
    int32_t BuyAt(int64_t t, int32_t destination)
    {
        sim().RunFor(t - sim().Now() - sim().FrameMs());
        const int32_t before = sim().Cash();
        RunInScript([destination] { BuyTicket(destination); });
        EXPECT_EQ(sim().Now(), t);
        return before - sim().Cash();
    }
};

TEST_F(TicketsAtFlatneck, EachReuseRestartsTheFiveMinutes)
{
    const int32_t riggs = FaresInCents()[4][3];
    const int64_t bought = sim().Now() + 10 * sim().FrameMs();
    EXPECT_EQ(BuyAt(bought, 3), riggs);
    EXPECT_EQ(BuyAt(bought + 4 * 60000, 7), 0);
    EXPECT_EQ(BuyAt(bought + 8 * 60000, 12), 0) << "free only because the reuse restarted the window";
    EXPECT_EQ(BuyAt(bought + 8 * 60000 + 300000, 3), riggs) << "the last window is over at its very end";
    EXPECT_EQ(sim().CountCalls(NativeChargeCash), 2u);
}

class LoadedWithNegativeClock : public SimTest {};

TEST_F(LoadedWithNegativeClock, NoTicketIsReusedBeforeOneWasBought)
{
    SimConfig config;
    config.startGameTime = -100000;  // the game clock reads negative after 24.8 days
    MakeSim(config);
    // At load the ticket record says "station 0, expires at 0", and now is before 0.
    OpenMenuAt(0, 1000);  // Benedict Point: menu two on item 0, Armadillo 3.85
    Tap(Enter);
    EXPECT_EQ(sim().Cash(), 1000 - 385);
}

TEST_F(LoadedWithNegativeClock, TheWindowHoldsAcrossTheClocksWrap)
{
    SimConfig config;
    config.startGameTime = 2147483647LL - 100000;
    MakeSim(config);
    OpenMenuAt(7, 10000);  // Emerald Station, item 0: Annesburg 5.65
    Tap(Enter);
    ASSERT_EQ(sim().Cash(), 10000 - 565);
    // The window ends past 2^31: before the wrap the clock is positive, the expiry negative.
    ASSERT_GT(sim().GameClock(), 0);
    Reopen();
    Tap(Enter);
    EXPECT_EQ(sim().Cash(), 10000 - 565);
    sim().RunFor(150000);  // the clock now reads negative
    ASSERT_LT(sim().GameClock(), 0);
    Reopen();
    Tap(Enter);
    EXPECT_EQ(sim().Cash(), 10000 - 565) << "still inside the five minutes";
}
