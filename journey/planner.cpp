// journey/planner.cpp -- turns (OriginIndex, DestinationIndex) into the trip's route state.
// The route table arrives with the journey work; until then every plan is empty.
#include "journey/route.h"
#include "plugin/journey_state.h"

BoundedSequence<JunctionSetting, MaxRouteEntries> RouteJunctions;
BoundedSequence<int32_t, MaxRouteEntries> RouteStops;

void ClearRoute()
{
    RouteJunctions.clear();
    RouteStops.clear();
}

void PlanRoute()
{
    Journey.NextStopIndex = 0;
}
