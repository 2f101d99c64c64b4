// journey/route_table.h -- every trip's plan, as fixed data: the direction the train is created
// in, the junction settings on the way, and the stops. Some pairs have alternative routes; some
// states are left to a coin flip when the plan is made.
#pragma once

#include <cstdint>
#include <initializer_list>

enum class Pick : uint8_t { No, Yes, CoinFlip };  // a direction or a switch state

struct PlannedSetting {
    int32_t track;
    int32_t junction;
    Pick state;
};

struct PlannedJunctions {
    PlannedSetting items[6];
    uint8_t count;  // 0: the plan sets none and leaves the previous trip's settings in force
};

struct PlannedStops {
    int8_t items[6];
    uint8_t count;
};

struct RouteRow {
    int8_t from;
    int8_t to;            // AnyDestination: the row serves every destination of its origin
    int8_t alternative;   // 0 .. alternatives - 1
    int8_t alternatives;  // 1 for a pair with a single route
    Pick direction;
    PlannedJunctions junctions;
    PlannedStops stops;
};

constexpr int8_t AnyDestination = -1;

// The rows of one (origin, destination) pair, alternatives in order; count 0 when the pair
// has no route.
struct RouteChoice {
    const RouteRow* rows;
    int count;
};
RouteChoice FindRoutes(int32_t origin, int32_t destination);

// The junction settings that every trip from Armadillo writes, whatever its destination.
const PlannedJunctions& ArmadilloJunctions();
