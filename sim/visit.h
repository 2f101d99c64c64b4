// sim/visit.h -- one player's visit to a station in the simulated world, as quorvane-sim tells it:
// the player appears, walks to the station, takes the prompt, picks a destination in the menu and
// pays (or is refused), rides the train there, gets off and walks away until the train is given
// up. Pictures of the menu, the refusal notice and the trip are saved on the way when asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim.h"

struct VisitPlan {
    int from = 3;
    int to = -1;  // -1: only go to the station and see the prompt
    int32_t cash = 2000;
    bool pad = false;  // move and accept with the pad instead of the keyboard
    bool ride = true;
    float walkSpeed = 5.0f;
    float standOff = 4.0f;  // how far east of the station the player stops walking
    std::string pictures;   // folder for menu.svg, refusal.svg and trip.svg; "" for none
};

struct VisitOutcome {
    bool offered = false;  // the prompt came up
    bool bought = false;   // a ticket was bought or reused
    bool refused = false;
    bool arrived = false;  // the train halted at the destination
    int32_t farePaid = 0;
    std::vector<std::string> written;   // every picture file written, in order
    std::vector<std::string> problems;  // what went wrong, one line each (also files not written)
};

// The railway the simulated train runs on for a planned trip: its spawn point, the origin, every
// planned stop, and 3000 units on. The planner has run by the time the train is created.
std::vector<Vec3> TrackThroughPlannedStops(Vec3 spawn);

// Runs the visit in sim with the plug-in module, from loading it to unloading it.
VisitOutcome RunVisit(Sim& sim, PluginModule& plugin, const VisitPlan& plan);
