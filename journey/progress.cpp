// journey/progress.cpp -- brings the train into a station, holds it there for 10 to 13 s and
// sends it on. Two speeds side by side: the travel speed, which the train keeps on its own, and
// the immediate speed, re-applied at every braking step and every frame of the halt.
//
//   approach  every 200 ms: travel speed down by 0.2 to 8.2   -> braking, within 100 units
//                                                             -> give up after 60 s
//   braking   every 100 ms: immediate speed trails a target
//             that falls 0.237 a second                       -> standing, below 0.01
//   standing  every frame: immediate speed 0                  -> ramp, once the halt is over
//   ramp      every 250 ms: travel speed up by 0.05           -> top speed, next stop near, or 90 s
#include "data/stations.h"
#include "host/native_call.h"
#include "host/natives.h"
#include "journey/route.h"
#include "plugin/journey_state.h"
#include "plugin/settings.h"

namespace {

constexpr int32_t StopGiveUpMs = 60000;
constexpr int32_t RampGiveUpMs = 90000;
constexpr uint32_t ApproachStepMs = 200;
constexpr uint32_t BrakingStepMs = 100;
constexpr uint32_t RampStepMs = 250;
constexpr float BrakingDistanceSq = 10000.0f;  // 100 units
constexpr float ApproachSpeed = 8.2f;
constexpr float ApproachDecrement = 0.2f;
constexpr float BrakingFactor = 0.0289f;
constexpr float HaltedBelow = 0.01f;
constexpr float RampIncrement = 0.05f;

PaddedVector3 TrainPositionNow() { return Invoke<PaddedVector3>(NativeEntityPosition, Journey.Train, 0, 0); }

void SetTravelSpeed(float speed) { Invoke<void>(NativeTrainTravelSpeed, Journey.Train, speed); }
void SetImmediateSpeed(float speed) { Invoke<void>(NativeTrainImmediateSpeed, Journey.Train, speed); }
void Announce(const char* text) { Invoke<void>(NativeTrainAnnounce, SignWidened{Journey.Train}, text, 0, 0); }

bool HasNextStop() { return static_cast<size_t>(Journey.NextStopIndex) < RouteStops.size(); }

const PaddedVector3& NextStopPosition()
{
    return StationTable[static_cast<size_t>(RouteStops[static_cast<size_t>(Journey.NextStopIndex)])].Position;
}

// True when the train came within 100 units; false when the give-up time passed first.
bool Approach(const PaddedVector3& station, int32_t giveUp)
{
    for (;;) {
        bool braking = false;
        if (SquaredDistance(station, TrainPositionNow()) < BrakingDistanceSq) {
            Journey.TrainSpeed = ApproachSpeed;
            SetTravelSpeed(ApproachSpeed);
            braking = true;
        }
        if (Journey.TrainSpeed > ApproachSpeed)
            Journey.TrainSpeed -= ApproachDecrement;
        SetTravelSpeed(Journey.TrainSpeed);
        if (GameTimeBefore(giveUp, GameTime()))
            return false;  // also in the step that has just reached the station
        ApplyJunctionSettings();
        WaitForGame(ApproachStepMs);
        if (braking)
            return true;
    }
}

// Slows the train to a halt; returns the game time at which the halt ends.
int32_t Brake(bool boarding)
{
    SetTravelSpeed(MaxTrainSpeed);
    float target = ApproachSpeed;
    const float step = Journey.TrainSpeed * BrakingFactor;
    int32_t nextSecond = GameTimeAfter(GameTime(), 1000);
    for (;;) {
        if (GameTimeBefore(nextSecond, GameTime())) {
            target -= step;  // keeps falling, below zero too, so the halt always comes
            nextSecond = GameTimeAfter(GameTime(), 1000);
        }
        if (Journey.TrainSpeed < HaltedBelow) {
            const int32_t now = GameTime();
            const int32_t haltEnd = GameTimeAfter(now, Invoke<int32_t>(NativeRandomInt, 10000, 13000));
            // Halted means 0: the decay below would carry the speed past zero toward a target
            // that is already negative, and the train would creep backwards all through the halt.
            Journey.TrainSpeed = 0.0f;
            SetImmediateSpeed(0.0f);
            if (!boarding)
                ++Journey.NextStopIndex;
            if (static_cast<size_t>(Journey.NextStopIndex) == RouteStops.size())
                Invoke<void>(NativeTrainLastStopSetting, Journey.Train, 1);
            Announce("STOPPED");
            SetImmediateSpeed(Journey.TrainSpeed);
            WaitForGame(BrakingStepMs);
            return haltEnd;
        }
        if (target < Journey.TrainSpeed) {
            Journey.TrainSpeed -= 0.1f * (Journey.TrainSpeed - target);
            if (Journey.TrainSpeed < 0.0f)
                Journey.TrainSpeed = 0.0f;  // never a negative speed; the next step halts
        }
        SetImmediateSpeed(Journey.TrainSpeed);
        WaitForGame(BrakingStepMs);
    }
}

void Stand(int32_t haltEnd)
{
    for (;;) {
        SetImmediateSpeed(Journey.TrainSpeed);
        if (GameTimeBefore(haltEnd, GameTime()))
            return;
        WaitForGame(0);
    }
}

}  // namespace

void StationStop(bool boarding)
{
    if (!Invoke<bool>(NativeEntityExists, Journey.Train)) {
        // The trip ends without its train. The dispatch switched the game-wide switch off for
        // it, so switch it back on, as giving a train up does; otherwise the game stays as if a
        // trip were under way. With Train already 0 the dispatch gave up and saw to the switch.
        if (Journey.Train != 0)
            Invoke<void>(NativeTrainSwitch, 1);
        Journey.Train = 0;
        return;
    }
    const int32_t giveUp = GameTimeAfter(GameTime(), StopGiveUpMs);
    if (!boarding && !HasNextStop())
        return;  // no stop left to serve
    const PaddedVector3& station =
        boarding ? StationTable[static_cast<size_t>(Journey.OriginIndex)].Position : NextStopPosition();
    if (!Approach(station, giveUp))
        return;
    Stand(Brake(boarding));
    Announce("NEXT_STATION");
    DepartureRamp();
}

void DepartureRamp()
{
    const int32_t giveUp = GameTimeAfter(GameTime(), RampGiveUpMs);
    for (;;) {
        if (GameTimeBefore(giveUp, GameTime()))
            return;
        if (HasNextStop() && SquaredDistance(NextStopPosition(), TrainPositionNow()) < ApproachDistanceSq)
            return;
        Journey.TrainSpeed += RampIncrement;
        if (Journey.TrainSpeed > MaxTrainSpeed) {
            SetTravelSpeed(MaxTrainSpeed);
            Journey.TrainSpeed = MaxTrainSpeed;
            return;
        }
        SetTravelSpeed(Journey.TrainSpeed);
        ApplyJunctionSettings();
        WaitForGame(RampStepMs);
    }
}
