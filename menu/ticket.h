// menu/ticket.h -- settles the ticket for a chosen destination.
#pragma once

#include <cstdint>

// 1: bought, or reused within five minutes at the same station (DestinationIndex set);
// 0: refused for want of cash, after the notice has been shown for 1500 ms.
int32_t BuyTicket(int32_t destination);
