// sim/msvc/hook.cpp -- a second stand-in script hook, in the Microsoft ABI: built by clang and
// lld-link rather than MinGW, freestanding (Debian has no C or C++ library for that target), its
// nine functions declared with the Windows types and exported under the compiler's own mangling.
// This file is the hook itself: the exports, the script's fibre, the key thread and what the
// runner (tools/win_runner.cpp) drives frame by frame through the Qv* exports, deciding when the
// plug-in is loaded and freed. The world it plays, and its answer to each native, is world.cpp.
// Hostile where the interface leaves room: every result slot is scribbled before each call, and
// key events come from a thread of its own while the script runs, with garbage in the unused high
// bits of the handler's narrow arguments. Everything it sees wrong is a check that fails.
#include "sim/msvc/world.h"

extern "C" int _fltused = 0;  // the compiler's marker that floating point is in use

// No library, so the two routines the compiler may call on its own are ours. Byte loops through
// a volatile pointer, or the compiler would turn them back into calls of themselves.
extern "C" void* memset(void* to, int value, SIZE_T n)
{
    volatile unsigned char* p = static_cast<unsigned char*>(to);
    while (n-- > 0)
        *p++ = static_cast<unsigned char>(value);
    return to;
}
extern "C" void* memcpy(void* to, const void* from, SIZE_T n)
{
    volatile unsigned char* p = static_cast<unsigned char*>(to);
    const unsigned char* q = static_cast<const unsigned char*>(from);
    while (n-- > 0)
        *p++ = *q++;
    return to;
}

World W;

// ---- text out and errors ----------------------------------------------------------------------

Line& Line::operator<<(const char* s)
{
    while (*s != 0 && n < static_cast<int>(sizeof text) - 1)
        text[n++] = *s++;
    text[n] = 0;
    return *this;
}

Line& Line::operator<<(i64 v)
{
    char digits[24];
    int k = 0;
    const bool negative = v < 0;
    u64 u = negative ? 0 - static_cast<u64>(v) : static_cast<u64>(v);
    do {
        digits[k++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u != 0);
    if (negative)
        digits[k++] = '-';
    char out[24];
    for (int i = 0; i < k; ++i)
        out[i] = digits[k - 1 - i];
    out[k] = 0;
    return *this << out;
}

Line& Line::Hex(u64 v)
{
    char out[20] = {'0', 'x'};
    int k = 2;
    bool started = false;
    for (int shift = 60; shift >= 0; shift -= 4) {
        const u32 d = static_cast<u32>(v >> shift) & 15u;
        if (d != 0 || started || shift == 0) {
            out[k++] = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
            started = true;
        }
    }
    out[k] = 0;
    return *this << out;
}

void Print(const char* s)
{
    SIZE_T n = 0;
    while (s[n] != 0)
        ++n;
    DWORD written = 0;
    WriteFile(GetStdHandle(StdOutputHandle), s, static_cast<DWORD>(n), &written, nullptr);
}

bool Same(const char* a, const char* b)
{
    while (*a != 0 && *a == *b)
        ++a, ++b;
    return *a == *b;
}

bool StartsWith(const char* s, const char* prefix)
{
    while (*prefix != 0 && *s == *prefix)
        ++s, ++prefix;
    return *prefix == 0;
}

void CopyText(char* to, int capacity, const char* from)
{
    int i = 0;
    while (from[i] != 0 && i < capacity - 1) {
        to[i] = from[i];
        ++i;
    }
    to[i] = 0;
}

void Error(Line& line)
{
    if (W.errorCount < MaxErrors)
        CopyText(W.errors[W.errorCount], 160, line.text);
    ++W.errorCount;
}

u64 Noise()
{
    W.noise ^= W.noise << 13;
    W.noise ^= W.noise >> 7;
    W.noise ^= W.noise << 17;
    return W.noise;
}

void Go(HookPhase phase)
{
    if (W.phase < phase) {
        W.phase = phase;
        W.phaseSince = W.now;
    }
}

namespace {

void Fault(const char* what)
{
    Line l{};
    l << what;
    Error(l);
}

// ---- the key thread ---------------------------------------------------------------------------

using WideKeyHandler = void (*)(u64, u64, u64, u64, u64, u64, u64);

bool KeysGoOn() { return __atomic_load_n(&W.keys.stop, __ATOMIC_SEQ_CST) == 0; }
bool Paid() { return __atomic_load_n(&W.phase, __ATOMIC_SEQ_CST) >= Bought; }

// One event through the plug-in's handler, as a window thread would send it: the narrow
// arguments with garbage in the bits above their width.
void SendKey(u32 key, bool up)
{
    __atomic_add_fetch(&W.inHandler, 1, __ATOMIC_SEQ_CST);
    auto handler = W.keyHandler;
    if (handler != nullptr) {
        const u64 g = Noise();
        reinterpret_cast<WideKeyHandler>(handler)(
            (g & 0xFFFFFFFF00000000ull) | key, (g & 0xFFFFFFFFFFFF0000ull) | 1u, (g & 0xFFFFFFFFFFFFFF00ull) | 0x1Cu,
            (g & 0xFFFFFFFF00000000ull) | 0u, (g & 0xFFFFFFFF00000000ull) | 0u,
            (g & 0xFFFFFFFF00000000ull) | (up ? 1u : 0u), (g & 0xFFFFFFFF00000000ull) | (up ? 1u : 0u));
        ++W.keyEvents;
    }
    __atomic_sub_fetch(&W.inHandler, 1, __ATOMIC_SEQ_CST);
}

// Keys the menu does not use, sent while the thread waits, so that events keep arriving while
// the script reads the table.
void Chatter(u32 n)
{
    SendKey(81, (n & 1) != 0);        // Q
    SendKey(0x100u + n % 64, false);  // past the table
    Sleep(0);
}

DWORD WINAPI KeyThread(void*)
{
    constexpr u32 Down = 40, Enter = 13;
    u32 n = 0;
    for (int step = 0; step < 2 && KeysGoOn(); ++step) {
        __atomic_store_n(&W.keys.rowBefore, __atomic_load_n(&W.highlightRow, __ATOMIC_SEQ_CST), __ATOMIC_SEQ_CST);
        __atomic_store_n(&W.keys.pending, static_cast<i32>(Down), __ATOMIC_SEQ_CST);
        SendKey(Down, false);
        const DWORD start = GetTickCount();
        while (__atomic_load_n(&W.keys.pending, __ATOMIC_SEQ_CST) != 0 && KeysGoOn() && GetTickCount() - start < 5000)
            Chatter(n++);
        SendKey(Down, true);
        __atomic_store_n(&W.keys.holdFrames, 0, __ATOMIC_SEQ_CST);
    }
    // A release is taken only within 100 ms of its arrival, so it is sent again until it counts.
    for (int attempt = 0; attempt < 40 && KeysGoOn() && !Paid(); ++attempt) {
        SendKey(Enter, false);
        SendKey(Enter, true);
        const DWORD start = GetTickCount();
        while (!Paid() && KeysGoOn() && GetTickCount() - start < 250)
            Chatter(n++);
    }
    return 0;
}

void StartKeyThread()
{
    if (W.keyThread == nullptr)
        W.keyThread = CreateThread(nullptr, 0, &KeyThread, nullptr, 0, nullptr);
}

void StopKeyThread()
{
    if (W.keyThread == nullptr)
        return;
    __atomic_store_n(&W.keys.stop, 1, __ATOMIC_SEQ_CST);
    __atomic_store_n(&W.keys.holdFrames, 0, __ATOMIC_SEQ_CST);
    WaitForSingleObject(W.keyThread, Infinite);
    CloseHandle(W.keyThread);
    W.keyThread = nullptr;
}

// ---- frames ----------------------------------------------------------------------------------

void WINAPI ScriptFiber(void*)
{
    W.scriptEntry();
    Fault("the script returned");
    for (;;)
        SwitchToFiber(W.mainFiber);
}

void EnsureMainFiber()
{
    if (W.mainFiber != nullptr)
        return;
    if (IsThreadAFiber()) {
        void* fiber;
        asm volatile("movq %%gs:0x20, %0" : "=r"(fiber));  // the TEB's current fibre
        W.mainFiber = fiber;
    } else {
        W.mainFiber = ConvertThreadToFiber(nullptr);
    }
}

void RunFrame()
{
    ++W.frame;
    W.now += FrameMs;
    W.frameSprites = W.frameTexts = 0;
    W.menuDrawn = false;
    AdvanceWorld();
    if (W.scriptEntry != nullptr && W.now >= W.wakeAt && W.frame > W.wokeFrame) {
        if (W.scriptFiber == nullptr)
            W.scriptFiber = CreateFiber(256 * 1024, &ScriptFiber, nullptr);
        W.onScript = true;
        SwitchToFiber(W.scriptFiber);
        W.onScript = false;
    }
    if (!W.menuDrawn)
        return;
    if (W.phase == AtStation) {
        Go(MenuOpen);
        StartKeyThread();
    }
    AfterScriptFrame();
    // The key thread's Down press has moved the highlight: hold the frames until it lets go, so
    // that one press is one step.
    if (__atomic_load_n(&W.keys.pending, __ATOMIC_SEQ_CST) != 0 &&
        W.highlightRow != __atomic_load_n(&W.keys.rowBefore, __ATOMIC_SEQ_CST)) {
        __atomic_store_n(&W.keys.holdFrames, 1, __ATOMIC_SEQ_CST);
        __atomic_store_n(&W.keys.pending, 0, __ATOMIC_SEQ_CST);
    }
}

void Reset()
{
    memset(&W, 0, sizeof W);
    W.noise = 0x9E3779B97F4A7C15ull;
    W.now = ClockStart;
    W.timerBase = ClockStart;
    W.wakeAt = ClockStart;
    ResetWorld();
}

}  // namespace

// ---- the script hook's nine functions, as its header declares them ----------------------------

__declspec(dllexport) void scriptRegister(HMODULE module, void (*entry)())
{
    ++W.registrations;
    W.scriptModule = module;
    W.scriptEntry = entry;
    W.wakeAt = W.now;
    W.wokeFrame = W.frame;
}

__declspec(dllexport) void scriptUnregister(HMODULE module)
{
    ++W.unregistrations;
    if (module != W.scriptModule || W.scriptEntry == nullptr)
        Fault("scriptUnregister with a module that has no script here");
    if (W.onScript)
        Fault("scriptUnregister from inside the script");
    else if (W.scriptFiber != nullptr)
        DeleteFiber(W.scriptFiber);
    W.scriptFiber = nullptr;
    W.scriptEntry = nullptr;
}

__declspec(dllexport) void scriptWait(DWORD ms)
{
    if (!W.onScript) {
        Fault("scriptWait outside the script");
        return;
    }
    W.wakeAt = W.now + ms;
    W.wokeFrame = W.frame;
    SwitchToFiber(W.mainFiber);
}

__declspec(dllexport) void keyboardHandlerRegister(void (*handler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL))
{
    W.keyHandler = handler;
}

// The handler may be running on the key thread: once this returns it is never called again.
__declspec(dllexport) void keyboardHandlerUnregister(void (*handler)(DWORD, WORD, BYTE, BOOL, BOOL, BOOL, BOOL))
{
    if (handler != W.keyHandler)
        Fault("keyboardHandlerUnregister with a handler that is not registered");
    W.keyHandler = nullptr;
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
    while (__atomic_load_n(&W.inHandler, __ATOMIC_SEQ_CST) != 0)
        Sleep(0);
}

__declspec(dllexport) void nativeInit(UINT64 hash)
{
    if (W.call.Init(hash) == CallSlots::InitWhileOpen)
        Fault("nativeInit while another call is open");
    if (W.scriptEntry == nullptr)
        ++W.callsAfterUnregister;
    for (u64& slot : W.call.result)
        slot = Noise();  // the last call's answer is gone; whatever is read late is garbage
}

__declspec(dllexport) void nativePush64(UINT64 value)
{
    if (W.call.Push(value) != CallSlots::Fine)
        Fault("nativePush64 without nativeInit, or too many arguments");
}

__declspec(dllexport) UINT64* nativeCall()
{
    if (W.call.Call() == CallSlots::CallWithoutInit) {
        Fault("nativeCall without nativeInit");
        return W.call.result;
    }
    ++W.calls;
    Native();
    return W.call.result;
}

__declspec(dllexport) int worldGetAllPeds(int* handles, int capacity)
{
    if (handles == nullptr || capacity != 500) {
        Fault("worldGetAllPeds wants the 500-slot array");
        return 0;
    }
    const int peds[4] = {Player, 0x301, PedInTheWay, 0x303};
    for (int i = 0; i < 4; ++i)
        handles[i] = peds[i];
    return 4;
}

// ---- what the runner drives (sim/msvc/runner_protocol.h) -------------------------------------

// Runs up to n frames, stopping early once the world reaches phase `until` (or never, with -1).
// Returns the phase.
extern "C" __declspec(dllexport) int QvHookFrames(int n, int until)
{
    EnsureMainFiber();
    for (int i = 0; i < n && (until < 0 || W.phase < until); ++i) {
        const DWORD start = GetTickCount();
        while (__atomic_load_n(&W.keys.holdFrames, __ATOMIC_SEQ_CST) != 0 && GetTickCount() - start < 5000)
            Sleep(0);
        RunFrame();
    }
    return W.phase;
}

extern "C" __declspec(dllexport) long long QvHookQuery(int what)
{
    switch (what) {
    case QueryPhase: return W.phase;
    case QueryRegistrations: return W.registrations;
    case QueryUnregistrations: return W.unregistrations;
    case QueryScriptRegistered: return W.scriptEntry != nullptr ? 1 : 0;
    case QueryKeyHandlerRegistered: return W.keyHandler != nullptr ? 1 : 0;
    case QueryCallsAfterUnregister: return W.callsAfterUnregister;
    case QueryCalls: return static_cast<long long>(W.calls);
    case QueryErrors: return W.errorCount;
    case QueryKeyEvents: return W.keyEvents;
    default: return -1;
    }
}

extern "C" __declspec(dllexport) void QvHookStopKeys() { StopKeyThread(); }

// Prints the checks of the scripted trip (as far as it got) and every protocol error; returns
// the failure count.
extern "C" __declspec(dllexport) int QvHookReport(int wholeTrip)
{
    int failures = 0;
    if (wholeTrip != 0)
        CheckTrip(failures);
    for (int i = 0; i < W.errorCount && i < MaxErrors; ++i) {
        Print("  host error: ");
        Print(W.errors[i]);
        Print("\n");
    }
    Check(failures, W.errorCount == 0,
          "no protocol error: no high bits in narrow arguments, no unknown native, counts right");
    return failures;
}

extern "C" BOOL WINAPI _DllMainCRTStartup(HINSTANCE, DWORD reason, void*)
{
    if (reason == 1)
        Reset();
    return 1;
}
