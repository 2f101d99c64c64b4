// data/trains.h -- the game's train configurations and the assets a train needs. The values are
// the game's own identifiers; nothing here interprets them.
#pragma once

#include <array>
#include <cstdint>

// One is picked at random for every creation attempt.
extern const std::array<uint32_t, 22> TrainListOne;
// Loaded before every trip, released after it.
extern const std::array<uint32_t, 27> TrainListTwo;
