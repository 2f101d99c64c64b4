// plugin/script.cpp -- ScriptEntry: the main loop on the script fibre. It scans for a station
// every 8 s, runs the prompt and the menu once per frame, and follows the train in 10 s ticks.
// Every routine it calls blocks it until done and waits with scriptWait itself.
#include "plugin/script.h"

#include "data/stations.h"
#include "host/native_call.h"
#include "host/natives.h"
#include "journey/route.h"
#include "menu/menus.h"
#include "plugin/journey_state.h"
#include "plugin/settings.h"

JourneyState Journey;

float SquaredDistance(float x1, float y1, float z1, float x2, float y2, float z2)
{
    return Invoke<float>(NativeSquaredDistance, x1, y1, z1, x2, y2, z2);
}

float SquaredDistance(const PaddedVector3& a, const PaddedVector3& b)
{
    return SquaredDistance(a.x, a.y, a.z, b.x, b.y, b.z);
}

int32_t GameTime() { return Invoke<int32_t>(NativeGameTime); }

int32_t RandomIntInclusive(int32_t n) { return Invoke<int32_t>(NativeRandomInt, 0, n + 1); }

void PushTwoInts(int32_t a, int32_t b)
{
    Host.nativePush64(slot::From(a));
    Host.nativePush64(slot::From(b));
}

namespace {

constexpr uint32_t PlayerPollMs = 1000;
constexpr uint32_t ScanIntervalMs = 8000;
constexpr uint32_t JourneyTickMs = 10000;
constexpr uint32_t HoldPollMs = 100;
constexpr float AbandonDistanceSq = 40000.0f;  // 200 units
constexpr float HeldTrainSpeed = 0.01f;

constexpr int32_t PlayerPositionFlag = 1;
constexpr int32_t TrainPositionFlag = 0;

enum MenuResult : int32_t { MenuClosed = -1, MenuStillOpen = 0, TicketBought = 1 };

PaddedVector3 EntityPosition(int32_t entity, int32_t flag)
{
    return Invoke<PaddedVector3>(NativeEntityPosition, entity, flag, 0);
}

// Both player tests: free to interact, and not occupied with something else.
bool PlayerCanUseStation(int32_t player)
{
    return Invoke<bool>(NativePlayerCanInteract, player) && !Invoke<bool>(NativePlayerIsOccupied, player, 1);
}

// Index of the first station within reach of the position, or -1.
int32_t FindStationInReach(const PaddedVector3& position)
{
    for (size_t i = 0; i < StationTable.size(); ++i) {
        if (SquaredDistance(position, StationTable[i].Position) < StationReachSq)
            return static_cast<int32_t>(i);
    }
    return -1;
}

void OfferPrompt()
{
    Journey.PromptHandle = Invoke<int32_t>(NativePromptBegin);
    const uint32_t control = Invoke<uint32_t>(NativeHashOfName, "INPUT_INTERACT_OPTION1");
    Invoke<void>(NativePromptSetControl, Journey.PromptHandle, control);
    const Opaque label = Invoke<Opaque>(NativeComposeText, 10, "LITERAL_STRING", "Quorvane");
    Invoke<void>(NativePromptSetLabel, Journey.PromptHandle, label);
    Invoke<void>(NativePromptSettingA, Journey.PromptHandle, 1);
    Invoke<void>(NativePromptSettingB, Journey.PromptHandle, 0);
    Invoke<void>(NativePromptFinishSetup, Journey.PromptHandle);
    Invoke<void>(NativePromptSettingC, Journey.PromptHandle, 1);
    Invoke<void>(NativePromptSettingD, Journey.PromptHandle, 1);
    Journey.PromptActive = true;
}

int32_t RunActiveMenu() { return Journey.ActiveMenu == 1 ? DestinationMenuOne() : DestinationMenuTwo(); }

// Still at the station after a frame: the player passes the test and stands within reach.
bool PlayerStillAtOrigin()
{
    const int32_t player = Invoke<int32_t>(NativePlayerPed);
    if (!Invoke<bool>(NativePlayerCanInteract, player))
        return false;
    const PaddedVector3 position = EntityPosition(player, PlayerPositionFlag);
    return SquaredDistance(position, StationTable[Journey.OriginIndex].Position) < StationReachSq;
}

// The frame loop while the prompt is offered or a menu is open:
//
//   prompt offered, used    -> prompt removed, the station's menu opens and runs this frame
//   menu returns -1 (Close) -> leave; the next pass offers the prompt again at once
//   menu returns 1 (ticket) -> leave into boarding
//   menu cancelled itself   -> leave, as Close does (ActiveMenu already 0)
//   player test fails, or player 20 units or more from the station -> leave
//
// Returns true when a ticket was bought.
bool RunPromptAndMenu()
{
    for (;;) {
        int32_t result = MenuStillOpen;
        if (Journey.PromptActive && Invoke<bool>(NativePromptWasUsed, Journey.PromptHandle)) {
            Invoke<void>(NativePromptRemove, Journey.PromptHandle);
            Journey.PromptActive = false;
            Journey.ActiveMenu = Journey.OriginIndex > 2 ? 1 : 2;
            result = RunActiveMenu();
        } else if (Journey.ActiveMenu != 0) {
            result = RunActiveMenu();
        }

        if (result == MenuClosed)
            return false;
        if (result == TicketBought) {
            Journey.ActiveMenu = 0;
            return true;
        }
        // Neither prompt nor menu: the menu was cancelled. Nothing is left to run on this frame
        // loop, so leave it and let the next pass offer a fresh prompt.
        if (!Journey.PromptActive && Journey.ActiveMenu == 0)
            return false;

        WaitForGame(0);
        if (!PlayerStillAtOrigin())
            return false;
    }
}

void CloseStationInteraction()
{
    if (Journey.PromptActive)
        Invoke<void>(NativePromptRemove, Journey.PromptHandle);
    Journey.PromptActive = false;
    Journey.ActiveMenu = 0;
}

void GiveUpTrain()
{
    Journey.PreviousTrain = Journey.Train;
    Invoke<void>(NativeGiveUpEntity, &Journey.Train, 0);
    Journey.Train = 0;
    Invoke<void>(NativeTrainSwitch, 1);
}

// Journey ticks, 10 s apart, until the train is given up or lost.
void FollowTrain()
{
    do {
        Journey.PlayerPosition = EntityPosition(Journey.PlayerPed, PlayerPositionFlag);
        Journey.TrainPosition = EntityPosition(Journey.Train, TrainPositionFlag);
        if (SquaredDistance(Journey.PlayerPosition, Journey.TrainPosition) > AbandonDistanceSq &&
            GameTimeBefore(Journey.AbandonDeadline, GameTime())) {
            GiveUpTrain();
        }

        // Past the end counts as done too, so a bad index can never read outside the stops.
        if (static_cast<size_t>(Journey.NextStopIndex) < RouteStops.size()) {
            const Station& next = StationTable[RouteStops[Journey.NextStopIndex]];
            if (SquaredDistance(next.Position, Journey.TrainPosition) < ApproachDistanceSq)
                StationStop(false);
        } else if (Invoke<bool>(NativeTrainIsHeld, Journey.Train)) {
            Journey.TrainSpeed = HeldTrainSpeed;
            while (Invoke<bool>(NativeTrainIsHeld, Journey.Train))
                WaitForGame(HoldPollMs);
            DepartureRamp();
        }

        ApplyJunctionSettings();
        WaitForGame(JourneyTickMs);
    } while (Journey.Train != 0);
}

void WaitForPlayer()
{
    int32_t player = Invoke<int32_t>(NativePlayerPed);
    while (!Invoke<bool>(NativeEntityExists, player)) {
        WaitForGame(PlayerPollMs);
        player = Invoke<int32_t>(NativePlayerPed);
    }
}

// One pass of the main loop. Returns false when the pass found nothing to do and the loop
// should wait for the next scan.
bool RunPass()
{
    Journey.PlayerPed = Invoke<int32_t>(NativePlayerPed);
    if (!PlayerCanUseStation(Journey.PlayerPed))
        return false;
    Journey.SearchPosition = EntityPosition(Journey.PlayerPed, PlayerPositionFlag);
    const int32_t found = FindStationInReach(Journey.SearchPosition);
    if (found < 0)
        return false;
    Journey.OriginIndex = found;

    OfferPrompt();
    const bool bought = RunPromptAndMenu();
    if (bought) {
        PlanRoute();
        DispatchTrain();
        StationStop(true);
    }
    CloseStationInteraction();

    if (Journey.Train != 0)
        FollowTrain();
    return true;
}

}  // namespace

void ScriptEntry()
{
    WaitForPlayer();
    for (;;) {
        if (!RunPass())
            WaitForGame(ScanIntervalMs);
    }
}
