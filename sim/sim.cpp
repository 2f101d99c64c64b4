// sim/sim.cpp -- scheduler, clock, native dispatch and call log of the simulated host.
#include "sim/sim.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/profile_int.h"
#include "sim/fiber.h"
#include "sim/native_call_sim.h"
#include "sim/observer.h"

namespace {

// Atomic, like the tick below: a key handler called from another thread reaches the simulator
// through this pointer for its tick count while the script runs frames.
std::atomic<Sim*> current{nullptr};

// Thrown out of scriptWait to unwind a parked script when the plug-in is unloaded; only the
// fibre's own entry catches it.
struct ScriptUnwind {};

constexpr size_t ScriptStackBytes = 256 * 1024;

}  // namespace

Sim::Sim(SimConfig config) : config_(std::move(config)), mainFiber_(Fiber::ForCurrentThread()), rng_(config_.seed)
{
    now_ = config_.startGameTime;
    tick_ = config_.startTick;
    textRing_.reset(new char[TextSlots * TextSlotBytes]);
    textFrame_.assign(TextSlots, ~uint64_t{0});
    observer_ = std::make_unique<Observer>();
    timerBase_ = now_;
    current = this;
}

Sim::~Sim()
{
    // The plug-in's detach calls the hook functions, which must reach this simulator even when
    // another one has been made since.
    Sim* const previous = current.load();
    current = this;
    if (module_ != nullptr)
        Unload();
    StopScript();
    current = previous == this ? nullptr : previous;
}

Sim* Sim::Current() { return current; }

const char* Sim::NativeName(uint64_t hash)
{
    const int row = HostNativeRowOf(hash);
    return row < 0 ? nullptr : HostNatives[row].name;
}

void Sim::Error(const std::string& message) { errors_.push_back("[" + FormatGameTime(now_) + "] " + message); }

// ---- loading ----------------------------------------------------------------------------------

bool Sim::Load(PluginModule& module)
{
    current = this;
    module_ = &module;
    observer_->NewSession();
    if (!module.Load()) {
        module_ = nullptr;
        return false;
    }
    Note("plug-in loaded");
    return true;
}

void Sim::Unload()
{
    if (module_ == nullptr)
        return;
    current = this;
    module_->Unload();
    module_ = nullptr;
    StopScript();
    Note("plug-in unloaded");
}

// ---- scheduler ------------------------------------------------------------------------------

void Sim::FiberMain(void* self)
{
    Sim& sim = *static_cast<Sim*>(self);
    try {
        sim.scriptEntry_();
        sim.Error("the script returned; it must run for as long as it is loaded");
    } catch (const ScriptUnwind&) {
    }
    sim.scriptFinished_ = true;
    for (;;)
        sim.scriptFiber_->SwitchTo(*sim.mainFiber_);
}

void Sim::ResumeScript()
{
    if (!scriptFiber_)
        scriptFiber_ = Fiber::Create(ScriptStackBytes, &Sim::FiberMain, this);
    inScript_ = true;
    mainFiber_->SwitchTo(*scriptFiber_);
    inScript_ = false;
}

void Sim::StopScript()
{
    if (scriptFiber_ && !scriptFinished_) {
#ifndef _WIN32
        // Unwind the parked script so that its frames are destroyed properly. On Windows the
        // script's frames live in another module and the fibre is simply deleted, as the real
        // script hook does.
        unwinding_ = true;
        inScript_ = true;
        mainFiber_->SwitchTo(*scriptFiber_);
        inScript_ = false;
        unwinding_ = false;
#endif
    }
    scriptFiber_.reset();
    scriptFinished_ = false;
    unwinding_ = false;
    scriptEntry_ = nullptr;
}

void Sim::ScriptRegister(void* module, ScriptEntryFn entry)
{
    if (scriptEntry_ != nullptr)
        Error("scriptRegister called twice");
    if (module == nullptr || entry == nullptr)
        Error("scriptRegister with a null module or entry");
    scriptEntry_ = entry;
    wakeAt_ = now_;
    wokeFrame_ = frame_;
    Note("script registered");
}

void Sim::ScriptUnregister(void* module)
{
    if (module_ != nullptr && module != module_->Handle())
        Error("scriptUnregister with another module's handle");
    if (scriptEntry_ == nullptr)
        Error("scriptUnregister without a registered script");
    Note("script unregistered");
    StopScript();
}

void Sim::ScriptWait(uint32_t ms)
{
    if (!inScript_ || !scriptFiber_) {
        Error("scriptWait called outside the script");
        return;
    }
    if (unwinding_)
        throw ScriptUnwind{};
    observer_->EndFrame();
    TakeObservedEvents();
    callsSinceYield_ = 0;
    wakeAt_ = now_ + ms;
    wokeFrame_ = frame_;
    scriptFiber_->SwitchTo(*mainFiber_);
    if (unwinding_)
        throw ScriptUnwind{};
}

void Sim::KeyboardHandlerRegister(KeyboardHandlerFn handler)
{
    if (keyboardHandler_ != nullptr)
        Error("keyboardHandlerRegister called twice");
    keyboardHandler_ = handler;
    Note("key handler registered");
}

void Sim::KeyboardHandlerUnregister(KeyboardHandlerFn handler)
{
    if (handler != keyboardHandler_)
        Error("keyboardHandlerUnregister with a handler that is not registered");
    keyboardHandler_ = nullptr;
    Note("key handler unregistered");
}

void Sim::RunFrame()
{
    current = this;  // several simulators may exist; the hook talks to the one running
    ++frame_;
    observer_->NothingDrawn();
    now_ += config_.frameMs;
    tick_.fetch_add(config_.frameMs, std::memory_order_relaxed);
    AdvanceWorld();

    // Both buffers keep their capacity, so delivering keys allocates nothing once warm.
    deliveringKeys_.swap(pendingKeys_);
    for (const PendingKey& k : deliveringKeys_) {
        if (keyboardHandler_ != nullptr)
            keyboardHandler_(k.key, 1, 0, 0, k.alt ? 1 : 0, k.wasDown ? 1 : 0, k.isUp ? 1 : 0);
    }
    deliveringKeys_.clear();

    if (scriptEntry_ != nullptr && !scriptFinished_ && now_ >= wakeAt_ && frame_ > wokeFrame_)
        ResumeScript();
}

void Sim::RunFrames(int n)
{
    for (int i = 0; i < n; ++i)
        RunFrame();
}

void Sim::RunFor(int64_t gameMs)
{
    const int64_t end = now_ + gameMs;
    while (now_ < end)
        RunFrame();
}

bool Sim::RunUntil(const std::function<bool()>& condition, int64_t maxMs)
{
    const int64_t end = now_ + maxMs;
    while (now_ < end) {
        RunFrame();
        if (condition())
            return true;
    }
    return false;
}

// ---- world ------------------------------------------------------------------------------------

void Sim::AdvanceWorld()
{
    AdvanceTrains();
    if (!walking_)
        return;
    const float step = walkSpeed_ * static_cast<float>(config_.frameMs) / 1000.0f;
    const float dx = walkTarget_.x - playerPos_.x;
    const float dy = walkTarget_.y - playerPos_.y;
    const float dz = walkTarget_.z - playerPos_.z;
    const float left = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (left <= step) {
        playerPos_ = walkTarget_;
        walking_ = false;
        return;
    }
    playerPos_.x += dx / left * step;
    playerPos_.y += dy / left * step;
    playerPos_.z += dz / left * step;
}

void Sim::SetPlayerExists(bool exists)
{
    if (exists != playerExists_)
        Note(exists ? "player character appears" : "player character is gone");
    playerExists_ = exists;
}

void Sim::MovePlayerTo(Vec3 position)
{
    playerPos_ = position;
    walking_ = false;
}

void Sim::WalkPlayerTo(Vec3 target, float unitsPerSecond)
{
    walkTarget_ = target;
    walkSpeed_ = unitsPerSecond;
    walking_ = true;
}

void Sim::PressKey(uint32_t key)
{
    const bool wasDown = keyDown_[key];
    keyDown_[key] = true;
    SendKeyEvent(key, false, wasDown, false);
}

void Sim::ReleaseKey(uint32_t key)
{
    keyDown_[key] = false;
    SendKeyEvent(key, true, true, false);
}

void Sim::TapKey(uint32_t key)
{
    PressKey(key);
    RunFrame();
    ReleaseKey(key);
    RunFrame();
}

void Sim::SendKeyEvent(uint32_t key, bool isUp, bool wasDown, bool alt)
{
    pendingKeys_.push_back({key, isUp, wasDown, alt});
}

const SimPrompt* Sim::LivePrompt() const
{
    for (const auto& entry : prompts_) {
        if (entry.second.setUp)
            return &entry.second;
    }
    return nullptr;
}

size_t Sim::LivePromptCount() const { return prompts_.size(); }

void Sim::UsePrompt()
{
    for (auto& entry : prompts_) {
        if (entry.second.setUp) {
            entry.second.used = true;
            return;
        }
    }
    Error("scenario: no prompt on screen to use");
}

SimPrompt* Sim::FindPrompt(int32_t handle)
{
    auto it = prompts_.find(handle);
    return it == prompts_.end() ? nullptr : &it->second;
}

int32_t Sim::WorldGetAllPeds(int32_t* handles, int32_t capacity)
{
    if (handles == nullptr || capacity < 0) {
        Error("worldGetAllPeds with a bad array");
        return 0;
    }
    int32_t n = 0;
    if (playerExists_ && n < capacity)
        handles[n++] = playerHandle_;
    for (const SimPed& ped : peds_) {
        if (n == capacity)
            break;
        if (ped.exists)
            handles[n++] = ped.handle;
    }
    return n;
}

uint32_t Sim::ReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path)
{
    const std::string full = config_.gameDir + "/" + path;
    return ::ReadProfileInt(section, key, defaultValue, full.c_str());
}

// ---- the session recording's file, in the game's folder --------------------------------------

std::string Sim::GamePath(const char* path) const
{
    std::string local = config_.gameDir + "/" + path;
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    return local;
}

// The plug-in's own file functions, on the game's folder: what is tested here is what ships. The
// stand-in hook under Wine never gets here; the real DLL writes through Windows itself.
void* Sim::RecordingOpen(const char* path, const char* previousPath)
{
#ifdef QV_HOOK_BUILD
    (void)path, (void)previousPath;
    return nullptr;
#else
    void* file = PlatformRecordingOpen(GamePath(path).c_str(), GamePath(previousPath).c_str());
    if (file != nullptr)
        Note(std::string("the plug-in records the session to ") + path);
    return file;
#endif
}

bool Sim::RecordingWrite(void* file, const void* bytes, uint32_t count)
{
    if (recordingWritesLeft_ == 0)
        return false;  // as a write that failed and was cut back: nothing of it stays
    if (recordingWritesLeft_ > 0)
        --recordingWritesLeft_;
#ifdef QV_HOOK_BUILD
    (void)file, (void)bytes, (void)count;
    return false;
#else
    const bool ok = PlatformRecordingWrite(file, bytes, count);
    recordingBytes_ += ok ? count : 0;
    return ok;
#endif
}

void Sim::RecordingClose(void* file)
{
#ifdef QV_HOOK_BUILD
    (void)file;
#else
    PlatformRecordingClose(file);
#endif
}

// ---- native dispatch ------------------------------------------------------------------------

const Sim::Handler Sim::Handlers[HostNativeCount] = {
#define QV_SIM_HANDLER(name, hash, form, other, result) &Sim::name,
    QV_HOST_NATIVES(QV_SIM_HANDLER)
#undef QV_SIM_HANDLER
};

void Sim::NativeInit(uint64_t hash)
{
    if (call_.Init(hash) == CallSlots::InitWhileOpen)
        Error("nativeInit " + Hex(hash) + " while the call to " + Hex(call_.abandoned) + " is still open");
}

void Sim::NativePush64(uint64_t value)
{
    switch (call_.Push(value)) {
    case CallSlots::PushWithoutInit: Error("nativePush64 without nativeInit"); break;
    case CallSlots::PushPastMax: Error("too many arguments for " + Hex(call_.hash)); break;
    default: break;
    }
}

uint64_t* Sim::NativeCallNow()
{
    uint64_t* const result = call_.result;
    std::memset(result, 0, sizeof call_.result);
    if (call_.Call() == CallSlots::CallWithoutInit) {
        Error("nativeCall without nativeInit");
        return result;
    }
    if (!inScript_)
        Error("native " + Hex(call_.hash) + " called outside the script fibre");
#ifndef _WIN32
    if (++callsSinceYield_ > MaxCallsWithoutYield && inScript_ && !unwinding_) {
        Error("the script made " + std::to_string(MaxCallsWithoutYield) + " native calls without yielding; stopped");
        unwinding_ = true;
        throw ScriptUnwind{};
    }
#endif
    const int row = HostNativeRowOf(call_.hash);
    if (row < 0) {
        Error("unknown native " + Hex(call_.hash));
        return result;
    }
    const HostNative& native = HostNatives[row];
    NativeCall call(*this, native.name, call_.args, call_.argc, result, logging_);
    if (HostNativeForm(row, call_.argc) == nullptr) {
        std::string counts = std::to_string(HostKindsLength(native.forms[0]));
        if (native.forms[1] != nullptr)
            counts += " or " + std::to_string(HostKindsLength(native.forms[1]));
        call.Fail("takes " + counts + " arguments, got " + std::to_string(call_.argc));
    }
    (this->*Handlers[row])(call);
    if (answerHook_)
        answerHook_(call_.hash, call_.args, call_.argc, result);
    observer_->Call(call_.hash, call_.args, call_.argc, result);
    TakeObservedEvents();
    if (logging_) {
        log_.push_back(CallRecord{frame_, now_, call_.hash, native.name,
                                  std::vector<uint64_t>(call_.args, call_.args + call_.argc), call.ArgsText(),
                                  call.ResultText(), result[0], call.TakeTextArgs()});
    }
    return result;
}

const std::vector<DrawItem>& Sim::FrameDraws() const { return observer_->Draws(); }

void Sim::ObserveKeyRead(uint32_t key, uint64_t word) { observer_->KeyRead(key, word); }

void Sim::SetLogging(bool on)
{
    logging_ = on;
    observer_->SetTimeline(on);
}

void Sim::Note(const std::string& text) { events_.push_back(WorldEvent{now_, text, observer_->Frame(), true}); }

// The observer's new lines join the world's, in the order they happened.
void Sim::TakeObservedEvents()
{
    const std::vector<ObservedEvent>& timeline = observer_->Timeline();
    for (; observedTold_ < timeline.size(); ++observedTold_) {
        const ObservedEvent& e = timeline[observedTold_];
        events_.push_back(WorldEvent{e.gameTime, e.text, e.frame, e.timeRead});
    }
}

std::vector<std::string> Sim::Trace(size_t first, const std::vector<uint64_t>& only) const
{
    std::vector<std::string> lines;
    for (size_t i = first; i < log_.size(); ++i) {
        const CallRecord& r = log_[i];
        if (!only.empty() && std::find(only.begin(), only.end(), r.hash) == only.end())
            continue;
        std::string line = r.name + "(" + r.argsText + ")";
        if (!r.resultText.empty())
            line += " -> " + r.resultText;
        lines.push_back(std::move(line));
    }
    return lines;
}

size_t Sim::CountCalls(uint64_t hash, size_t first) const
{
    size_t n = 0;
    for (size_t i = first; i < log_.size(); ++i)
        n += log_[i].hash == hash ? 1 : 0;
    return n;
}

// ---- helpers --------------------------------------------------------------------------------

uint32_t SimHashOfName(const char* name)
{
    uint32_t hash = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        const unsigned char c = (*p >= 'A' && *p <= 'Z') ? static_cast<unsigned char>(*p + 32) : *p;
        hash += c;
        hash += hash << 10;
        hash ^= hash >> 6;
    }
    hash += hash << 3;
    hash ^= hash >> 11;
    hash += hash << 15;
    return hash;
}

std::string FormatGameTime(int64_t ms)
{
    const bool negative = ms < 0;
    const uint64_t a = static_cast<uint64_t>(negative ? -ms : ms);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64, negative ? "-" : "",
                  a / 3600000, a / 60000 % 60, a / 1000 % 60, a % 1000);
    return buf;
}

namespace {
Sim* Need() { return current; }
void HScriptRegister(void* m, ScriptEntryFn e)
{
    if (Sim* s = Need())
        s->ScriptRegister(m, e);
}
void HScriptUnregister(void* m)
{
    if (Sim* s = Need())
        s->ScriptUnregister(m);
}
void HScriptWait(uint32_t ms)
{
    if (Sim* s = Need())
        s->ScriptWait(ms);
}
void HKeyRegister(KeyboardHandlerFn h)
{
    if (Sim* s = Need())
        s->KeyboardHandlerRegister(h);
}
void HKeyUnregister(KeyboardHandlerFn h)
{
    if (Sim* s = Need())
        s->KeyboardHandlerUnregister(h);
}
void HNativeInit(uint64_t hash)
{
    if (Sim* s = Need())
        s->NativeInit(hash);
}
void HNativePush(uint64_t v)
{
    if (Sim* s = Need())
        s->NativePush64(v);
}
uint64_t* HNativeCall()
{
    static uint64_t empty[4];
    Sim* s = Need();
    return s ? s->NativeCallNow() : empty;
}
int32_t HGetAllPeds(int32_t* h, int32_t n)
{
    Sim* s = Need();
    return s ? s->WorldGetAllPeds(h, n) : 0;
}
uint32_t HTick()
{
    Sim* s = Need();
    return s ? s->Tick() : 0;
}
uint32_t HProfile(const char* sec, const char* key, int32_t def, const char* path)
{
    Sim* s = Need();
    return s ? s->ReadProfileInt(sec, key, def, path) : static_cast<uint32_t>(def);
}
void* HRecordingOpen(const char* path, const char* previous)
{
    Sim* s = Need();
    return s ? s->RecordingOpen(path, previous) : nullptr;
}
bool HRecordingWrite(void* file, const void* bytes, uint32_t count)
{
    Sim* s = Need();
    return s ? s->RecordingWrite(file, bytes, count) : false;
}
void HRecordingClose(void* file)
{
    if (Sim* s = Need())
        s->RecordingClose(file);
}
}  // namespace

HostApi SimHostApi()
{
    return HostApi{&HScriptRegister, &HScriptUnregister, &HScriptWait,     &HKeyRegister,   &HKeyUnregister,
                   &HNativeInit,     &HNativePush,       &HNativeCall,     &HGetAllPeds,    &HTick,
                   &HProfile,        &HRecordingOpen,    &HRecordingWrite, &HRecordingClose};
}
