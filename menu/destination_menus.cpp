// menu/destination_menus.cpp -- the two destination menus: one routine over two item tables.
// Each call draws the whole menu for this frame, takes at most one step and one accept or
// cancel, and reports what happened.
#include <cstdio>

#include "data/fares.h"
#include "host/native_call.h"
#include "host/natives.h"
#include "menu/draw.h"
#include "menu/input.h"
#include "menu/menus.h"
#include "menu/ticket.h"
#include "plugin/journey_state.h"

namespace {

constexpr int32_t CloseItem = -1;

struct MenuItem {
    int32_t station;     // StationTable index, or CloseItem
    const char* prefix;  // before the fare: "Annesburg - "
    const char* name;    // grey, alone, at the player's own station
};

// Stations 3 to 12, alphabetical; the menus spell their own names.
// clang-format off
constexpr MenuItem MenuOneItems[] = {
    //  station  selectable prefix         at its own station
    {  8,        "Annesburg - ",           "Annesburg" },         // 0, row 1
    { 12,        "Bacchus Station - ",     "Bacchus Station" },   // 1
    {  7,        "Emerald Station - ",     "Emerald Station" },   // 2
    {  4,        "Flatneck Station - ",    "Flatneck Station" },  // 3
    { 11,        "Rhodes - ",              "Rhodes" },            // 4
    {  3,        "Riggs Station - ",       "Riggs Station" },     // 5
    { 10,        "Saint Denis - ",         "Saint Denis" },       // 6
    {  6,        "Valentine - ",           "Valentine" },         // 7
    {  9,        "Van Horn - ",            "Van Horn" },          // 8
    {  5,        "Wallace Station - ",     "Wallace Station" },   // 9
    { CloseItem, "Close",                  nullptr },             // 10, row 11
};
static_assert(sizeof MenuOneItems / sizeof MenuOneItems[0] == 11, "menu one: 10 stations and Close");

// Stations 0 to 2.
constexpr MenuItem MenuTwoItems[] = {
    {  1,        "Armadillo - ",           "Armadillo" },         // 0, row 1
    {  0,        "Benedict Point - ",      "Benedict Point" },    // 1
    {  2,        "MacFarlanes Ranch - ",   "MacFarlanes Ranch" }, // 2
    { CloseItem, "Close",                  nullptr },             // 3, row 4
};
static_assert(sizeof MenuTwoItems / sizeof MenuTwoItems[0] == 4, "menu two: 3 stations and Close");
// clang-format on

enum : int32_t { MenuClosed = -1, MenuStillOpen = 0 };

template <size_t N>
int32_t RunMenu(const MenuItem (&items)[N], int32_t& selection)
{
    constexpr int32_t lastIndex = static_cast<int32_t>(N) - 1;
    if (selection < 0 || selection > lastIndex)
        selection = 0;  // only NavigateMenu writes it, and it wraps; never index outside

    // With a pad, keep its buttons from also acting in the game this frame.
    if (Invoke<int32_t>(NativeUsingKeyboard, 0) == 0)
        Invoke<void>(NativeBlockPadControls, 0);

    DrawMenuPanel();
    DrawMenuSprite(MenuBarY(0), 0.225f, 0.041f, 80, 10, 10, 235);  // title bar
    NavigateMenu(selection, lastIndex);
    for (int32_t row = 1; row <= lastIndex + 1; ++row)
        DrawMenuSprite(MenuBarY(row), 0.225f, 0.041f, 30, 30, 30, 140);
    DrawSelectionHighlight(selection + 1);

    // The player's own station cannot be chosen: nothing is read while it is highlighted.
    const MenuItem& chosen = items[selection];
    if (chosen.station != Journey.OriginIndex && ReadAcceptOrCancel() == AcceptInput) {
        if (chosen.station == CloseItem)
            return MenuClosed;
        return BuyTicket(chosen.station);
    }

    DrawMenuText("Destination:", 0);
    char line[96];
    for (int32_t i = 0; i < lastIndex; ++i) {
        const MenuItem& item = items[i];
        if (item.station == Journey.OriginIndex) {
            DrawMenuTextGrey(item.name, i + 1);
        } else {
            std::snprintf(line, sizeof line, "%s%s$", item.prefix, FareLabels[Journey.OriginIndex][item.station]);
            DrawMenuText(line, i + 1);
        }
    }
    DrawMenuText("Close", lastIndex + 1);
    return MenuStillOpen;
}

}  // namespace

int32_t DestinationMenuOne() { return RunMenu(MenuOneItems, Journey.MenuOneSelection); }
int32_t DestinationMenuTwo() { return RunMenu(MenuTwoItems, Journey.MenuTwoSelection); }
