// menu/destination_menus.cpp -- the destination menus. Not drawn yet: an open menu stays open
// until the player walks away or fails the player tests.
#include "menu/menus.h"

int32_t DestinationMenuOne()
{
    return 0;
}

int32_t DestinationMenuTwo()
{
    return 0;
}
