// menu/menus.h -- the two destination menus, run once per frame while open.
#pragma once

#include <cstdint>

// 1: a ticket was bought (DestinationIndex set); -1: "Close" was accepted; 0: still open, or
// cancelled (then ActiveMenu is already 0).
int32_t DestinationMenuOne();
int32_t DestinationMenuTwo();
