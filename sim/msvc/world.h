// sim/msvc/world.h -- what the Microsoft-ABI stand-in hook (hook.cpp) and its world (world.cpp)
// share: the one record of their state, text out, errors and the garbage both sides scribble.
// Freestanding: no library, only the Windows declarations of win.h and our own headers.
#pragma once

#include "sim/call_slots.h"
#include "sim/msvc/runner_protocol.h"
#include "sim/msvc/win.h"

using i32 = int;
using u32 = unsigned int;
using i64 = long long;
using u64 = unsigned long long;

constexpr i64 FrameMs = 16;
constexpr i64 ClockStart = 0x7FFFFFFFLL - 300000;  // the clock wraps five minutes in
constexpr int MaxErrors = 12;
constexpr i32 Player = 0x2B1;       // the player's character
constexpr i32 PedInTheWay = 0x302;  // a character standing where the train is created

// ---- text out -------------------------------------------------------------------------------

struct Line {
    char text[200];
    int n;
    Line& operator<<(const char* s);
    Line& operator<<(i64 v);
    Line& Hex(u64 v);
};

void Print(const char* s);
bool Same(const char* a, const char* b);
bool StartsWith(const char* s, const char* prefix);
void CopyText(char* to, int capacity, const char* from);

// ---- the world's state ------------------------------------------------------------------------

struct V3 {
    float x, y, z;
};

// Junction spots along the line: where the host reports a junction for the train. The junction
// track is passed back sign-widened, so two of them are negative.
struct Spot {
    int leg;      // 0: Benedict Point to Armadillo, 1: Armadillo to MacFarlanes Ranch
    float along;  // fraction of the leg
    i32 junctionTrack, junctionIndex, trainTrack;
    int expected;  // the state the plan gives it (coin flips answer tails)
    int seen;      // bit 0: set to 0, bit 1: set to 1
};

struct KeySlotState {
    volatile i32 pending;  // key the thread waits to see acted on, 0 when seen
    volatile i32 rowBefore;
    volatile i32 holdFrames;  // the main thread holds the frames until the release is sent
    volatile i32 stop;
};

struct TextSlot {
    u64 token;
    char text[256];
};

struct Halt {
    i64 from, to;
    int station;
};

// Zeroed at load (Reset); nothing here has a constructor, as there is no runtime to run one.
struct World {
    // Script hook.
    void* mainFiber;
    void* scriptFiber;
    void (*scriptEntry)();
    HMODULE scriptModule;
    int registrations, unregistrations;
    i64 wakeAt;
    u64 wokeFrame;
    bool onScript;
    void (*volatile keyHandler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL);
    volatile i32 inHandler;
    int callsAfterUnregister;
    CallSlots call;
    u64 noise;
    u64 calls;
    // Clock and script.
    u64 frame;
    i64 now;
    i64 timerBase;
    HookPhase phase;
    i64 phaseSince;
    // Player, prompt, menu.
    bool playerExists;
    bool riding;
    V3 player;
    i32 prompt;
    bool promptUp;
    u64 promptUpFrame;
    bool promptUsed;
    bool promptLabelled;
    int prompts;
    TextSlot texts[64];
    int nextText;
    int greyPending;
    int frameSprites, frameTexts, highlightRow;
    bool menuDrawn;
    char rows[8][64];
    bool rowGrey[8];
    bool menuChecked, menuLooksRight;
    int cash, charged;
    // Train.
    int transitions;
    int assetRequests, assetReleases, assetOrderErrors;
    bool assetLoaded[27];
    u64 assetRequestFrame[27];
    int pedCleared;
    int draws;
    int creations;
    u32 configurations[4];
    bool spawnRight;
    i32 train;
    bool trainExists;
    bool trainGivenUp;
    V3 path[5];
    int pathPoints;
    float distance;
    float travelSpeed, immediateSpeed;
    i64 immediateAt;
    bool standing;
    Halt halts[6];
    int haltCount;
    int lastStopSetting;
    int switchState, switchOnes;
    int announcements;
    int negativeSpeeds;
    Spot spots[5];
    // Key thread.
    HANDLE keyThread;
    KeySlotState keys;
    int keyEvents;
    // What went wrong.
    char errors[MaxErrors][160];
    int errorCount;
};

extern World W;

void Error(Line& line);
u64 Noise();
void Go(HookPhase phase);

// ---- the world's side, in world.cpp --------------------------------------------------------------

void ResetWorld();        // after W is zeroed: the world as the trip begins
void Native();            // answers the call just closed in W.call
void AdvanceWorld();      // a frame of game time has passed, before the script runs
void AfterScriptFrame();  // the script has run its frame: what it drew
void CheckTrip(int& failures);
void Check(int& failures, bool ok, const char* what);
