// journey/dispatch.cpp -- puts the trip's train on the track beside the origin station, under a
// 1500 ms transition: assets loaded, characters cleared away, the previous trip's train removed,
// a random configuration created, speed and abandon deadline set, assets released. Blocks the
// script fibre until done or given up; every way out ends the transition.
#include "data/stations.h"
#include "data/trains.h"
#include "host/native_call.h"
#include "host/natives.h"
#include "journey/route.h"
#include "plugin/journey_state.h"
#include "plugin/settings.h"

namespace {

constexpr int32_t TransitionMs = 1500;
constexpr uint32_t TransitionSettleMs = 1600;
constexpr int32_t AssetDeadlineMs = 15000;
constexpr int32_t CreationDeadlineMs = 5000;
constexpr uint32_t CreationRetryMs = 100;
constexpr int32_t AbandonAfterMs = 25000;
constexpr int32_t PedCapacity = 500;
constexpr float PedDumpX = 2200.0f;  // far from every station
constexpr float PedDumpY = -6000.0f;

bool Exists(int32_t entity) { return Invoke<bool>(NativeEntityExists, entity); }

bool AssetLoaded(uint32_t asset) { return Invoke<bool>(NativeAssetIsLoaded, asset); }

// One deadline for all of them. False when it passed first.
bool LoadAssets(int32_t deadline)
{
    for (uint32_t asset : TrainListTwo) {
        if (!AssetLoaded(asset))
            Invoke<void>(NativeAssetRequest, asset, 1);
        while (!AssetLoaded(asset)) {
            if (GameTimeBefore(deadline, GameTime()))
                return false;
            WaitForGame(0);
        }
    }
    return true;
}

void ReleaseAssets()
{
    for (uint32_t asset : TrainListTwo)
        Invoke<void>(NativeAssetRelease, asset);
}

void EndDispatch() { Invoke<void>(NativeTransitionEnd, TransitionMs); }

}  // namespace

void ClearAwayPed(int32_t* slot)
{
    Invoke<void>(NativePedPrepare, *slot, 1, 1);
    if (!Invoke<bool>(NativePedIsSettled, *slot))
        Invoke<void>(NativePedSetPair, *slot, 1, 1);
    int32_t copy = *slot;  // the native may write through it; the slot keeps its handle
    Invoke<void>(NativePedByAddress, &copy);
    if (Exists(*slot)) {
        Invoke<void>(NativePedMoveTo, *slot, PedDumpX, PedDumpY, 0, 0, 1, 1);
        Invoke<void>(NativePedSetPair, *slot, 0, 0);
        Invoke<void>(NativePedRelease, slot);
    }
}

void DispatchTrain()
{
    Invoke<void>(NativeTransitionBegin, TransitionMs);
    WaitForGame(TransitionSettleMs);

    if (!LoadAssets(GameTimeAfter(GameTime(), AssetDeadlineMs))) {
        ReleaseAssets();
        EndDispatch();
        return;
    }
    const int32_t creationDeadline = GameTimeAfter(GameTime(), CreationDeadlineMs);

    // Slots the host leaves unfilled hold 0 and are asked about as well.
    int32_t peds[PedCapacity] = {};
    const int32_t count = Host.worldGetAllPeds(peds, PedCapacity);
    if (SessionRecording)
        RecordPeds(PedCapacity, count, peds);
    for (int32_t& slot : peds) {
        if (Invoke<bool>(NativePedIsInTheWay, slot))
            ClearAwayPed(&slot);
    }

    if (Exists(Journey.PreviousTrain))
        Invoke<void>(NativeRemoveTrain, &Journey.PreviousTrain);
    Invoke<void>(NativeTrainSwitch, 0);
    Invoke<void>(NativeBeforeTrainCreation);

    if (!Exists(Journey.Train)) {
        const Station& origin = StationTable[static_cast<size_t>(Journey.OriginIndex)];
        const PaddedVector3& spawn = origin.SpawnPoints[Journey.TrainDirection ? 1 : 0];
        const int32_t listSize = static_cast<int32_t>(TrainListOne.size());
        do {
            int32_t index = RandomIntInclusive(listSize - 1);
            if (index < 0 || index >= listSize)
                index = 0;  // an answer outside the list never indexes it
            Journey.Train = Invoke<int32_t>(NativeCreateTrain, TrainListOne[static_cast<size_t>(index)], spawn.x,
                                            spawn.y, spawn.z, Journey.TrainDirection, 1, 1, 1);
            // A train that exists is kept even when its attempt ran past the deadline; dropping
            // it would leave a train nobody owns.
            if (GameTimeBefore(creationDeadline, GameTime()) && !Exists(Journey.Train)) {
                ReleaseAssets();
                Journey.Train = 0;
                Invoke<void>(NativeTrainSwitch, 1);
                EndDispatch();
                return;
            }
            WaitForGame(CreationRetryMs);
        } while (!Exists(Journey.Train));
    }

    Invoke<void>(NativeTrainLastStopSetting, Journey.Train, 0);
    Invoke<void>(NativeTrainInitialSpeed, Journey.Train, MaxTrainSpeed);
    Invoke<void>(NativeTrainTravelSpeed, Journey.Train, MaxTrainSpeed);
    Journey.TrainSpeed = MaxTrainSpeed;
    Journey.AbandonDeadline = GameTimeAfter(GameTime(), AbandonAfterMs);
    const int32_t value = Invoke<int32_t>(NativeRandomInt, 10, 40);
    Invoke<void>(NativeAfterTrainCreation, 0, value, 0);
    ReleaseAssets();
    EndDispatch();
}
