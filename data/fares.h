// data/fares.h -- what a trip costs, [origin][destination]: in dollars for the charge and as the
// text the menus show. Read-only.
#pragma once

#include <array>

#include "data/stations.h"

template <typename T>
using StationGrid = std::array<std::array<T, StationCount>, StationCount>;

extern const StationGrid<float> FareTable;         // dollars; 0 on the diagonal
extern const StationGrid<const char*> FareLabels;  // "3.85", "11.00"; "0.0" on the diagonal

// The fare in whole cents as shown: the dollar amount times 100, rounded to the nearest cent.
int32_t FareInCents(int32_t origin, int32_t destination);
