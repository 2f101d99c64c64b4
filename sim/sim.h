// sim/sim.h -- the simulated host game: a script hook of our own (fibre scheduler, virtual clock,
// key events) and a small world that answers the plug-in's natives. Every native call is logged.
// Nothing here sleeps or reads the wall clock; game time moves only when a frame is run.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "host/host_api.h"
#include "host_natives.h"
#include "sim/call_slots.h"

class Fiber;
class Observer;

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct SimConfig {
    uint32_t frameMs = 16;        // game milliseconds per frame
    int64_t startGameTime = 0;    // the game clock starts here (it reads as a signed 32-bit value)
    uint32_t startTick = 100000;  // GetTickCount at the first frame
    uint32_t seed = 1;            // for the game's random numbers
    std::string gameDir = ".";    // where the plug-in's ".\Quorvane.ini" is looked for
};

// One native call as the plug-in made it.
struct CallRecord {
    uint64_t frame;
    int64_t gameTime;
    uint64_t hash;
    std::string name;
    std::vector<uint64_t> args;
    std::string argsText;                               // readable arguments, as the native took them
    std::string resultText;                             // readable result, empty when the native returns nothing
    uint64_t result;                                    // the first result slot, raw
    std::vector<std::pair<int, std::string>> textArgs;  // the texts it was given, by argument
};

// Something the world did that a person watching would notice.
struct WorldEvent {
    int64_t gameTime;
    std::string text;
    uint64_t frame = 0;    // the script's frame, as the observer counts them
    bool timeRead = true;  // false: told before the plug-in read the game clock
};

struct SimPrompt {
    int32_t handle = 0;
    uint32_t control = 0;
    std::string label;
    bool setUp = false;  // the setup step has run: the prompt is on screen
    bool used = false;   // the player has used it
    std::vector<std::pair<uint64_t, int32_t>> settings;
};

// One sprite or text line drawn in a frame, in the order drawn.
struct DrawItem {
    enum Kind { Sprite, Text } kind = Sprite;
    float x = 0, y = 0;
    // Sprites: centre, size, rotation, tint.
    float width = 0, height = 0, rotation = 0;
    int32_t red = 255, green = 255, blue = 255, alpha = 255;
    char dictionary[32] = {};
    char texture[32] = {};
    // Texts: top-left position, the scale and colour in force, the composed text.
    float scaleX = 1, scaleY = 1;
    bool coloured = false;  // a colour was set for this text; else the game's default
    char text[256] = {};
};

// A train of the simulated railway. It runs along a path of points at its current speed; see
// sim/natives_train.cpp for how the speed natives move it.
struct SimTrain {
    int32_t handle = 0;
    uint32_t configuration = 0;
    bool exists = false;
    bool givenUp = false;
    bool removed = false;
    bool direction = false;
    std::vector<Vec3> path;
    double distance = 0;         // along the path
    float speed = 0;             // units per second
    float travelSpeed = 0;       // what the train keeps to on its own
    int64_t immediateUntil = 0;  // an immediate speed holds until then
    int32_t lastStopSetting = -1;
    int64_t heldUntil = 0;  // the hold test answers yes until then
};

// A junction the host reports for a train while it is within radius of a point.
struct JunctionSpot {
    Vec3 at;
    float radius;
    int32_t junctionTrack;
    int32_t junctionIndex;
    int32_t trainTrack;
};

struct JunctionSwitch {
    int64_t gameTime;
    int32_t track, index;
    bool state;
    Vec3 trainAt;  // where the latest train was when the junction was set, for the trip map
};

struct TrainHalt {
    int64_t stoppedAt;
    int64_t leftAt;  // 0 while standing
    Vec3 position{};
    int32_t nearestStation;
};

struct SimPed {
    int32_t handle;
    bool exists = true;
    bool inTheWay = false;
    bool settled = false;
    Vec3 position{};
};

// What loads the plug-in into the simulated game: linked in on Linux, LoadLibrary on Windows.
class PluginModule {
public:
    virtual ~PluginModule() = default;
    virtual bool Load() = 0;    // static initialisation and the library entry's attach
    virtual void Unload() = 0;  // the library entry's detach
    virtual void* Handle() const = 0;
};

class NativeCall;

class Sim {
public:
    explicit Sim(SimConfig config = {});
    ~Sim();
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    // The one simulator the script hook functions talk to.
    static Sim* Current();
    // A native's name in the call log ("PromptBegin"), or null for a hash the game lacks.
    static const char* NativeName(uint64_t hash);
    // The station (0 to 12) whose reference point is nearest.
    static int32_t NearestStation(Vec3 p);

    // ---- loading --------------------------------------------------------------------------
    // The module must outlive the simulator, or be unloaded first: the destructor unloads it.
    bool Load(PluginModule& module);
    void Unload();
    bool ScriptRegistered() const { return scriptEntry_ != nullptr; }
    bool KeyboardHandlerRegistered() const { return keyboardHandler_ != nullptr; }
    // The handler as registered, for a test that calls it from a thread of its own, as a window
    // thread of the game would.
    KeyboardHandlerFn RegisteredKeyboardHandler() const { return keyboardHandler_; }

    // ---- time -----------------------------------------------------------------------------
    void RunFrame();
    void RunFrames(int n);
    void RunFor(int64_t gameMs);
    // Runs frames until the condition holds (checked after each frame) or maxMs of game time
    // have passed; true when it held.
    bool RunUntil(const std::function<bool()>& condition, int64_t maxMs);
    int64_t Now() const { return now_; }
    int32_t GameClock() const { return static_cast<int32_t>(static_cast<uint32_t>(now_)); }
    // GetTickCount; safe to read from any thread (a key handler on a window thread reads it).
    uint32_t Tick() const { return tick_.load(std::memory_order_relaxed); }
    uint64_t Frame() const { return frame_; }
    uint32_t FrameMs() const { return config_.frameMs; }

    // ---- the player -----------------------------------------------------------------------
    int32_t PlayerHandle() const { return playerHandle_; }
    void SetPlayerExists(bool exists);
    void SetPlayerCanInteract(bool can) { playerCanInteract_ = can; }
    void SetPlayerOccupied(bool occupied) { playerOccupied_ = occupied; }
    void MovePlayerTo(Vec3 position);
    // Walks in a straight line at unitsPerSecond of game time, a step every frame.
    void WalkPlayerTo(Vec3 target, float unitsPerSecond);
    bool PlayerWalking() const { return walking_; }
    Vec3 PlayerPosition() const { return playerPos_; }

    // ---- input ----------------------------------------------------------------------------
    // Delivered through the registered key handler at the start of the next frame.
    void PressKey(uint32_t key);
    void ReleaseKey(uint32_t key);
    void SendKeyEvent(uint32_t key, bool isUp, bool wasDown, bool alt);
    // A key pressed in one frame and released in the next (two frames run).
    void TapKey(uint32_t key);
    void SetTick(uint32_t tick) { tick_.store(tick, std::memory_order_relaxed); }
    // Moves the game clock forward at once, as a long loading screen would.
    void JumpClock(uint32_t ms) { now_ += ms; }

    // ---- prompts --------------------------------------------------------------------------
    const SimPrompt* LivePrompt() const;  // the one on screen, if any
    size_t LivePromptCount() const;
    void UsePrompt();  // the player uses the prompt on screen
    int StalePromptQueries() const { return stalePromptQueries_; }

    // ---- pad, cash, timer, drawing ------------------------------------------------------
    void SetUsingKeyboard(bool keyboard) { usingKeyboard_ = keyboard; }
    void PadHold(const char* control);     // held from the next frame on
    void PadRelease(const char* control);  // no longer held, and "just released" next frame
    bool PadBlockedThisFrame() const { return padBlockedFrame_ == frame_; }
    void SetCash(int32_t cents) { cash_ = cents; }
    int32_t Cash() const { return cash_; }
    int32_t ScriptTimer() const { return static_cast<int32_t>(now_ - timerBase_); }
    int SoundsPlayed() const { return soundsPlayed_; }
    // Everything drawn in the last frame that ran, in order.
    const std::vector<DrawItem>& FrameDraws() const;
    // What a person watching saw of the plug-in: frames, the menu, the story, the trip.
    const Observer& Observed() const { return *observer_; }
    // The plug-in read a key's word (the linked-in plug-in reports its reads here).
    void ObserveKeyRead(uint32_t key, uint64_t word);

    // ---- trains --------------------------------------------------------------------------
    // Frames from a request until an asset is loaded; -1: never.
    void SetAssetLoadFrames(int frames) { assetLoadFrames_ = frames; }
    void PreloadAssets(bool loaded) { assetsPreloaded_ = loaded; }
    // The creation attempt (1, 2, ...) from which a created train exists; 0: never.
    void SetTrainExistsFromAttempt(int attempt) { trainExistsFromAttempt_ = attempt; }
    // Handles of created trains count up from here; a negative base tests sign widening.
    void SetTrainHandleBase(int32_t base) { trainHandleBase_ = base; }
    // The path a train created at a spawn point runs along (the spawn point comes first).
    void SetTrainPath(std::function<std::vector<Vec3>(Vec3 spawn, bool direction)> path)
    {
        trainPath_ = std::move(path);
    }
    void AddJunctionSpot(JunctionSpot spot) { junctionSpots_.push_back(spot); }
    void AddPed(SimPed ped) { peds_.push_back(ped); }
    const std::vector<SimPed>& Peds() const { return peds_; }
    SimTrain* LatestTrain();
    const std::vector<SimTrain>& Trains() const { return trains_; }
    void VanishTrain();                    // the latest train stops existing
    void HoldTrain(int64_t ms);            // the latest train answers "held" for ms from now
    void BoardTrain() { riding_ = true; }  // the player rides the latest train
    void LeaveTrain() { riding_ = false; }
    Vec3 TrainPosition(const SimTrain& train) const;
    const std::vector<JunctionSwitch>& JunctionSwitches() const { return junctionSwitches_; }
    const std::vector<TrainHalt>& Halts() const { return halts_; }
    const std::vector<Vec3>& TrainTrail() const { return trail_; }
    int NegativeSpeedsGiven() const { return negativeSpeeds_; }
    int32_t TrainSwitchState() const { return trainSwitch_; }
    // Drops what the simulator has recorded so far (halts, trail, switches, events, trains that
    // are gone), for sessions long enough that the record itself would grow without end.
    void ForgetHistory();
    size_t TrainsInWorld() const;  // existing trains, given up or not
    size_t TrainsOwned() const;    // existing trains not given up
    bool TransitionActive() const { return transition_; }
    size_t AssetsHeld() const;  // requested or loaded and not released

    // ---- random numbers -------------------------------------------------------------------
    void ForceRandom(int32_t value) { forcedRandom_.push_back(value); }
    void ForceCoinFlip(bool value) { forcedFlips_.push_back(value); }

    // ---- record ---------------------------------------------------------------------------
    const std::vector<CallRecord>& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    // Off: no call log and no timeline, so a long session keeps its memory flat.
    void SetLogging(bool on);
    // "Name(args) -> result" lines from index first on, optionally only for some natives.
    std::vector<std::string> Trace(size_t first = 0, const std::vector<uint64_t>& only = {}) const;
    size_t CountCalls(uint64_t hash, size_t first = 0) const;
    const std::vector<std::string>& Errors() const { return errors_; }
    const std::vector<WorldEvent>& Events() const { return events_; }
    void Note(const std::string& text);

    // ---- the script hook's nine functions -------------------------------------------------
    void ScriptRegister(void* module, ScriptEntryFn entry);
    void ScriptUnregister(void* module);
    void ScriptWait(uint32_t ms);
    void KeyboardHandlerRegister(KeyboardHandlerFn handler);
    void KeyboardHandlerUnregister(KeyboardHandlerFn handler);
    void NativeInit(uint64_t hash);
    void NativePush64(uint64_t value);
    uint64_t* NativeCallNow();
    int32_t WorldGetAllPeds(int32_t* handles, int32_t capacity);
    uint32_t ReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path);

    // The plug-in's session recording, written into the game's folder; failures on demand.
    void* RecordingOpen(const char* path, const char* previousPath);
    bool RecordingWrite(void* file, const void* bytes, uint32_t count);
    void RecordingClose(void* file);
    // Writes fail once this many more have succeeded (-1: never).
    void FailRecordingWritesAfter(int writes) { recordingWritesLeft_ = writes; }
    uint64_t RecordingBytes() const { return recordingBytes_; }
    std::string GamePath(const char* path) const;

    void Error(const std::string& message);
    void Complaint() { ++complaints_; }
    // Calls that named a handle the game no longer knows (a removed prompt, say).
    int Complaints() const { return complaints_; }

    // Lets a test or the fuzzer rewrite any native's answer after the world has given it:
    // hook(hash, arguments, count, result slots).
    using AnswerHook = std::function<void(uint64_t, const uint64_t*, int, uint64_t*)>;
    void SetAnswerHook(AnswerHook hook) { answerHook_ = std::move(hook); }
    // The most native calls the script may make between two scriptWait calls; past it the
    // script is stopped and an error recorded, as a game would hang.
    static constexpr int MaxCallsWithoutYield = 20000;

private:
    friend class NativeCall;
    using Handler = void (Sim::*)(NativeCall&);
    // One handler for every row of the natives table, in the table's order.
    static const Handler Handlers[HostNativeCount];

    static void FiberMain(void* self);
    void ResumeScript();
    void StopScript();
    void AdvanceWorld();

    // Native handlers, one for each native of the table, named as its row.
#define QV_SIM_HANDLER(name, hash, form, other, result) void name(NativeCall& c);
    QV_HOST_NATIVES(QV_SIM_HANDLER)
#undef QV_SIM_HANDLER
    void PromptSetting(NativeCall& c);
    SimPrompt* FindPrompt(int32_t handle);
    const char* HeldText(uint64_t address);
    void AdvanceTrains();
    SimTrain* FindTrain(int32_t handle);
    SimPed* FindPed(int32_t handle);

    SimConfig config_;
    int64_t now_ = 0;
    std::atomic<uint32_t> tick_{0};
    uint64_t frame_ = 0;

    // Script hook state.
    PluginModule* module_ = nullptr;
    ScriptEntryFn scriptEntry_ = nullptr;
    KeyboardHandlerFn keyboardHandler_ = nullptr;
    std::unique_ptr<Fiber> mainFiber_;
    std::unique_ptr<Fiber> scriptFiber_;
    bool inScript_ = false;
    bool scriptFinished_ = false;
    bool unwinding_ = false;
    int64_t wakeAt_ = 0;
    uint64_t wokeFrame_ = 0;

    // The call being made.
    CallSlots call_{};

    // World.
    int32_t playerHandle_ = 0x1A2;
    bool playerExists_ = true;
    bool playerCanInteract_ = true;
    bool playerOccupied_ = false;
    Vec3 playerPos_;
    Vec3 walkTarget_;
    float walkSpeed_ = 0;
    bool walking_ = false;
    std::map<int32_t, SimPrompt> prompts_;
    int32_t nextPromptHandle_ = 0x51;
    int stalePromptQueries_ = 0;
    int complaints_ = 0;
    int callsSinceYield_ = 0;
    AnswerHook answerHook_;
    std::vector<SimPed> peds_;
    // Trains and what they need.
    struct AssetState {
        bool requested = false;
        bool loaded = false;
        uint64_t requestFrame = 0;
    };
    std::map<uint32_t, AssetState> assets_;
    int assetLoadFrames_ = 3;
    bool assetsPreloaded_ = false;
    int trainExistsFromAttempt_ = 1;
    int creationAttempts_ = 0;
    int32_t trainHandleBase_ = 0x7000;
    uint32_t trainsCreated_ = 0;
    std::function<std::vector<Vec3>(Vec3, bool)> trainPath_;
    std::vector<SimTrain> trains_;
    std::vector<JunctionSpot> junctionSpots_;
    std::vector<JunctionSwitch> junctionSwitches_;
    std::vector<TrainHalt> halts_;
    std::vector<Vec3> trail_;
    int64_t nextTrailSample_ = 0;
    bool riding_ = false;
    int negativeSpeeds_ = 0;
    int32_t trainSwitch_ = 1;
    bool transition_ = false;
    std::mt19937 rng_;
    std::deque<int32_t> forcedRandom_;
    std::deque<bool> forcedFlips_;
    // Texts the game composed, in a ring of fixed slots; each is valid until two frames after
    // the frame it was made in. Fixed storage keeps the host itself allocation-free per frame.
    static constexpr size_t TextSlots = 512;
    static constexpr size_t TextSlotBytes = 512;
    std::unique_ptr<char[]> textRing_;
    std::vector<uint64_t> textFrame_;
    size_t nextText_ = 0;
    // Pad, cash, timer, sounds and this frame's drawing.
    bool usingKeyboard_ = true;
    uint64_t padBlockedFrame_ = ~uint64_t{0};
    std::map<uint32_t, bool> padHeld_;
    std::map<uint32_t, uint64_t> padReleasedFrame_;
    int32_t cash_ = 0;
    int64_t timerBase_ = 0;
    int soundsPlayed_ = 0;
    std::unique_ptr<Observer> observer_;
    size_t observedTold_ = 0;  // the observer's timeline lines already in events_
    void TakeObservedEvents();
    struct PendingKey {
        uint32_t key;
        bool isUp, wasDown, alt;
    };
    std::vector<PendingKey> pendingKeys_;
    std::vector<PendingKey> deliveringKeys_;
    std::map<uint32_t, bool> keyDown_;

    int recordingWritesLeft_ = -1;
    uint64_t recordingBytes_ = 0;

    bool logging_ = true;
    std::vector<CallRecord> log_;
    std::vector<std::string> errors_;
    std::vector<WorldEvent> events_;
};

// The script hook's functions as plain functions over Sim::Current(), for a HostApi table or for
// the Windows stand-in hook's exports.
HostApi SimHostApi();

// Joaat, the game's hash of a name (lower-cased first).
uint32_t SimHashOfName(const char* name);

std::string FormatGameTime(int64_t ms);

// A station's name as the game shows it (index 0 to 12), or "?".
const char* SimStationName(int32_t station);
