// data/stations.h -- the 13 stations: where each stands and the two track points beside it where
// a train for a trip from there is created. Read-only; a station's index is its number everywhere.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "host/host_api.h"

struct Station {
    int32_t Id;                                // equal to the index in StationTable
    PaddedVector3 Position;                    // reference point for "at the station"
    std::array<PaddedVector3, 2> SpawnPoints;  // [0] when TrainDirection is false, [1] when true
    const char* Name;                          // as stored; the menus spell their own names
};

constexpr size_t StationCount = 13;
extern const std::array<Station, StationCount> StationTable;
