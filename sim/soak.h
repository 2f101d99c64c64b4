// sim/soak.h -- a long session of play: visits to random stations with every kind of outcome,
// and samples of memory and of the game's handles along the way.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/sim.h"

struct SoakSample {
    double gameHours;
    uint64_t liveHeapBlocks;
    uint64_t residentKiB;
    size_t prompts;        // prompts the game holds
    size_t trainsInWorld;  // trains that exist, given up or not
    size_t trainsOwned;    // trains the plug-in still holds
    size_t assetsHeld;
};

struct SoakResult {
    std::vector<SoakSample> samples;
    // Every visit ends as exactly one of these kinds, so they add up to visits.
    int visits = 0, scansOnly = 0, cancels = 0, closes = 0, refusals = 0, rides = 0, abandoned = 0, deaths = 0;
    int noPrompt = 0;  // the prompt never came (the player was not let near it in time)
    int noTrain = 0;   // accepted the own station or Close, or the train never stopped: nothing to ride
    // The most of each count in any frame, visits included (gameHours: when the heap peaked);
    // residentKiB only of the hourly samples, as reading it every frame would slow the run.
    SoakSample most{0, 0, 0, 0, 0, 0, 0};
    std::vector<std::string> errors;
};

// The visit kinds summed: equal to visits when every visit was counted once.
inline int SoakVisitKinds(const SoakResult& r)
{
    return r.scansOnly + r.cancels + r.closes + r.refusals + r.rides + r.abandoned + r.deaths + r.noPrompt + r.noTrain;
}

struct SoakProbes {
    std::function<uint64_t()> liveHeapBlocks;
    std::function<uint64_t()> residentKiB;
};

// Plays for the given game hours with the plug-in module, sampling once per game hour; onSample,
// when given, sees each sample as it is taken, with the result so far. gameDir is the game's
// folder, where the plug-in reads Quorvane.ini and may record.
SoakResult RunSoak(PluginModule& plugin, double hours, uint32_t seed, const SoakProbes& probes,
                   const std::function<void(const SoakSample&, const SoakResult&)>& onSample = nullptr,
                   const std::string& gameDir = ".");

// Samples a judgement needs: hour 0, hour 1 (when every buffer has its working size, the baseline)
// and at least one more to compare with it.
constexpr size_t SoakSamplesNeeded = 3;
// Live heap blocks a later hour may hold above hour 1 before it counts as growth.
constexpr uint64_t SoakHeapSlack = 64;

struct SoakVerdict {
    enum Kind { Flat, Grew, Failed, TooShort } kind;
    std::string reason;  // one line
};

// Flat when, from hour 1 on, the heap stays within the slack of hour 1 and, between visits, the
// game holds at most one prompt, one owned train, two trains in all and no train assets; Failed
// on any host error.
SoakVerdict JudgeSoak(const SoakResult& result);
