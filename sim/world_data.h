// sim/world_data.h -- what the simulated game itself knows of its railway: where the stations
// stand, the track points where trains can be created, and the train configurations and assets it
// has. Generated at build time from tests/data/stations.txt and tests/data/trains.txt, never taken
// from the plug-in's tables: a wrong entry there is then something this game does not have.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/sim.h"

struct SimStation {
    Vec3 position;
    Vec3 spawnPoints[2];     // [0] for a train created in direction 0, [1] for direction 1
    const char* storedName;  // as the plug-in's table stores it, misspellings included
};

// The sizes are the world's: a data file with a row more or less does not compile.
constexpr size_t SimStationCount = 13;
extern const SimStation SimStations[SimStationCount];
extern const uint32_t SimTrainConfigurations[22];
extern const uint32_t SimTrainAssets[27];

inline Vec3 SimStationPosition(size_t station) { return SimStations[station].position; }
