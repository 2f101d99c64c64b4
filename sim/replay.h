// sim/replay.h -- replays a recorded session with the plug-in linked into this program: a host
// that answers every native, wait, tick count, key read and character list from the recording,
// and checks call by call that the plug-in makes the same call with the same arguments. What the
// calls show (the prompt, the menu's rows, the purchase, halts, junctions, the train given up)
// becomes a timeline, and the menu frames and the train's trail are kept for pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/observer.h"
#include "host/host_api.h"
#include "sim/picture.h"
#include "sim/recording_reader.h"
#include "sim/sim.h"

// The replay's timeline is the observer's, line for line what the live game told.
using ReplayEvent = ObservedEvent;

struct ReplayResult {
    enum Outcome { Identical, Differs } outcome = Identical;
    // Where the plug-in and the recording part: frame, game time, call number, what the
    // recording has and what the plug-in did. Empty when identical.
    std::string difference;
    uint64_t calls = 0;  // native calls replayed
    uint64_t frames = 0;
    uint64_t records = 0;  // records consumed
    std::vector<ReplayEvent> timeline;
    // The first whole menu frame, and the first frame of a refusal notice, as drawn.
    std::vector<DrawItem> menuFrame;
    std::vector<DrawItem> refusalFrame;
    // The train as the plug-in saw it: its positions at every reading, where it halted, and the
    // junctions set for it.
    TripRecord trip;
    int32_t origin = -1, destination = -1;
    int32_t fareCents = 0;
    // The game clock as the plug-in last read it in the replay.
    bool timeRead = false;
    int64_t lastGameTime = 0;
};

// Runs the plug-in against the reader's recording from its first record to its last (or to the
// first difference). The reader must have opened the file; with a damaged file only its sound
// blocks are replayed.
ReplayResult ReplaySession(RecordingReader& reader);

// For tests: called with the replay's host functions installed, before the plug-in loads, so a
// test can stand in for a plug-in that pushes, waits or reads otherwise than it recorded.
extern void (*ReplayHostInstalled)(HostApi& host);
