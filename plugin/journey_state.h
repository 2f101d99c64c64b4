// plugin/journey_state.h -- the one record of the trip that the main loop, the menus and the
// journey share. All zero at load; only the script fibre touches it.
#pragma once

#include <cstdint>

#include "host/native_call.h"

struct JourneyState {
    int32_t PlayerPed;             // read at the start of each pass of the main loop
    PaddedVector3 SearchPosition;  // player's position at the last station search
    int32_t OriginIndex;           // station where the prompt was offered
    int32_t DestinationIndex;      // set by a successful purchase
    int32_t PromptHandle;
    bool PromptActive;             // the prompt exists and has not been removed
    int32_t ActiveMenu;            // 0 none, 1 DestinationMenuOne, 2 DestinationMenuTwo
    int32_t NextStopIndex;         // into RouteStops; equals its size once the last stop is done
    bool TrainDirection;           // which spawn point, and the creation's direction
    int32_t Train;                 // 0 = no journey
    int32_t PreviousTrain;         // last train given up; removed by the next dispatch
    float TrainSpeed;              // the speed last given to the train
    int32_t AbandonDeadline;       // game time before which a far train is kept
    PaddedVector3 PlayerPosition;  // at the last journey tick
    PaddedVector3 TrainPosition;   // at the last journey tick

    int32_t TicketOrigin;  // station of the last ticket bought or reused
    int32_t TicketExpiry;  // game time until which that ticket may be reused
    bool TicketHeld;       // a ticket has been bought since load
    int32_t MenuOneSelection;
    int32_t MenuTwoSelection;
    int32_t ReportedJunctionTrack;  // readings of the junction the host reports for the train
    int32_t ReportedJunctionIndex;
    int32_t ReportedTrainTrack;
};

extern JourneyState Journey;

// Squared distance between two points, asked of the game. Compared with squared lengths only.
float SquaredDistance(float x1, float y1, float z1, float x2, float y2, float z2);
float SquaredDistance(const PaddedVector3& a, const PaddedVector3& b);
// A random whole number from 0 to n inclusive.
int32_t RandomIntInclusive(int32_t n);
// Pushes a and b as two whole-number slots of a call whose nativeInit the caller has made.
void PushTwoInts(int32_t a, int32_t b);

// The game clock: signed 32-bit milliseconds. Deadlines are a reading plus a span; both the sum
// and the comparison wrap, so a clock passing 2^31 neither ends a wait early nor makes it endless.
int32_t GameTime();
inline int32_t GameTimeAfter(int32_t reading, int32_t milliseconds)
{
    return static_cast<int32_t>(static_cast<uint32_t>(reading) + static_cast<uint32_t>(milliseconds));
}
// a < b, for readings less than 2^31 ms apart; the same answer as a plain comparison elsewhere.
inline bool GameTimeBefore(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)) < 0;
}

// Squared reach of a station: the prompt is offered and kept within 20 units.
constexpr float StationReachSq = 400.0f;
