// menu/ticket.cpp -- reuse, payment or refusal. The refusal notice holds the script fibre for
// 1500 ms of game time; the menu is not run meanwhile and stays open afterwards.
#include "menu/ticket.h"

#include "data/fares.h"
#include "host/native_call.h"
#include "host/natives.h"
#include "menu/draw.h"
#include "plugin/journey_state.h"

namespace {
constexpr int32_t ReuseWindowMs = 300000;
constexpr int32_t RefusalNoticeMs = 1500;
constexpr int32_t RefusalNoticeRow = 4;
}  // namespace

int32_t BuyTicket(int32_t destination)
{
    const int32_t now = GameTime();
    // A ticket from this station within its window travels free, and opens a new window.
    if (Journey.TicketHeld && GameTimeBefore(now, Journey.TicketExpiry) &&
        Journey.TicketOrigin == Journey.OriginIndex) {
        Journey.DestinationIndex = destination;
        Journey.TicketExpiry = GameTimeAfter(GameTime(), ReuseWindowMs);
        return 1;
    }

    // The fare as the menu shows it, in whole cents; that is both what must be there and what
    // is taken.
    const int32_t fare = FareInCents(Journey.OriginIndex, destination);
    const int32_t cash = Invoke<int32_t>(NativePlayerCash);
    if (cash >= fare) {
        Journey.DestinationIndex = destination;
        Invoke<void>(NativeChargeCash, fare);
        Journey.TicketOrigin = Journey.OriginIndex;
        Journey.TicketHeld = true;
        Journey.TicketExpiry = GameTimeAfter(GameTime(), ReuseWindowMs);
        return 1;
    }

    const int32_t deadline = GameTimeAfter(GameTime(), RefusalNoticeMs);
    for (int32_t t = GameTime(); GameTimeBefore(t, deadline); t = GameTime()) {
        DrawMenuPanel();
        DrawMenuText("You don't have enough money.", RefusalNoticeRow);
        WaitForGame(0);
    }
    return 0;
}
