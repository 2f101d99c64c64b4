// journey/planner.cpp -- turns (OriginIndex, DestinationIndex) into the trip's route state from
// the route table. The sequences are rewritten in place: a plan without junction settings keeps
// the previous trip's, which go on being applied.
#include "host/native_call.h"
#include "host/natives.h"
#include "journey/route.h"
#include "journey/route_table.h"
#include "plugin/journey_state.h"

BoundedSequence<JunctionSetting, MaxRouteEntries> RouteJunctions;
BoundedSequence<int32_t, MaxRouteEntries> RouteStops;

namespace {

constexpr int32_t Armadillo = 1;

bool Decide(Pick pick)
{
    // The coin is the lowest bit alone: the rest of the slot is not part of the answer, and a
    // reading of 2 is tails, not "non-zero, so yes".
    if (pick == Pick::CoinFlip)
        return (Invoke<uint32_t>(NativeCoinFlip) & 1u) != 0;
    return pick == Pick::Yes;
}

// One coin flip per flipped state, in list order.
void WriteJunctions(const PlannedJunctions& planned)
{
    RouteJunctions.resize(planned.count);
    for (size_t i = 0; i < planned.count; ++i) {
        const PlannedSetting& s = planned.items[i];
        RouteJunctions[i] = JunctionSetting{s.track, s.junction, Decide(s.state)};
    }
}

}  // namespace

void ClearRoute()
{
    RouteJunctions.clear();
    RouteStops.clear();
}

void PlanRoute()
{
    Journey.NextStopIndex = 0;
    const int32_t origin = Journey.OriginIndex;
    if (static_cast<uint32_t>(origin) > 12u)
        return;

    const RouteChoice choice = FindRoutes(origin, Journey.DestinationIndex);
    if (choice.count == 0) {
        // From Armadillo the junctions are set whatever the destination; the rest only for a
        // destination on its line.
        if (origin == Armadillo)
            WriteJunctions(ArmadilloJunctions());
        return;
    }

    // The draw comes before anything is written. A host answer outside 0..N-1 takes the first.
    int32_t alternative = 0;
    if (choice.count > 1) {
        alternative = RandomIntInclusive(choice.count - 1);
        if (alternative < 0 || alternative >= choice.count)
            alternative = 0;
    }
    const RouteRow& plan = choice.rows[alternative];

    Journey.TrainDirection = Decide(plan.direction);
    if (plan.junctions.count > 0)
        WriteJunctions(plan.junctions);
    RouteStops.resize(plan.stops.count);
    for (size_t i = 0; i < plan.stops.count; ++i)
        RouteStops[i] = plan.stops.items[i];
}
