// tools/win_load_order.cpp -- the runner's scenarios with the clang-built, Microsoft-ABI stand-in
// hook (ScriptHookMsvc.dll): a whole trip, and the orders in which a game may load and free the
// hook and the plug-in. The hook plays its scripted world frame by frame; this side decides when
// each module is loaded and freed, and watches for access violations with a vectored exception
// handler, because a fault inside a DllMain is swallowed by the loader and the exit code says
// nothing.
#include "tools/win_load_order.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sim/msvc/runner_protocol.h"

namespace {

constexpr const char* HookName = "ScriptHookMsvc.dll";

volatile LONG accessViolations = 0;

LONG CALLBACK CountAccessViolations(EXCEPTION_POINTERS* info)
{
    if (info->ExceptionRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        InterlockedIncrement(&accessViolations);
    return EXCEPTION_CONTINUE_SEARCH;
}

class Checker {
public:
    bool Check(bool ok, const std::string& what)
    {
        std::printf("  %s  %s\n", ok ? "ok  " : "FAIL", what.c_str());
        failures_ += ok ? 0 : 1;
        return ok;
    }
    int failures_ = 0;
};

// One loaded copy of the hook and its controls.
struct Hook {
    HMODULE module = nullptr;
    int (*frames)(int, int) = nullptr;
    long long (*query)(int) = nullptr;
    int (*report)(int) = nullptr;
    void (*stopKeys)() = nullptr;

    bool Load(const char* path)
    {
        module = LoadLibraryA(path);
        if (module == nullptr)
            return false;
        frames = reinterpret_cast<int (*)(int, int)>(reinterpret_cast<void*>(GetProcAddress(module, "QvHookFrames")));
        query = reinterpret_cast<long long (*)(int)>(reinterpret_cast<void*>(GetProcAddress(module, "QvHookQuery")));
        report = reinterpret_cast<int (*)(int)>(reinterpret_cast<void*>(GetProcAddress(module, "QvHookReport")));
        stopKeys = reinterpret_cast<void (*)()>(reinterpret_cast<void*>(GetProcAddress(module, "QvHookStopKeys")));
        return frames && query && report && stopKeys;
    }
    // Frames until the world reaches the phase; at most about an hour of game time.
    bool RunUntil(HookPhase phase) { return frames(250000, phase) >= phase; }
};

// After the plug-in is gone: the hook runs on and nothing of the plug-in is reached again.
void CheckGone(Checker& c, Hook& hook)
{
    const long long callsBefore = hook.query(QueryCalls);
    hook.stopKeys();
    hook.frames(600, -1);
    c.Check(hook.query(QueryScriptRegistered) == 0 && hook.query(QueryKeyHandlerRegistered) == 0,
            "after FreeLibrary nothing of the plug-in is left registered");
    c.Check(hook.query(QueryUnregistrations) == 1, "its detach unregistered it once");
    c.Check(hook.query(QueryCalls) == callsBefore && hook.query(QueryCallsAfterUnregister) == 0,
            "no native is called after the detach, through 600 more frames");
}

int Finish(Checker& c, Hook& hook, bool wholeTrip)
{
    c.failures_ += hook.report(wholeTrip ? 1 : 0);
    c.Check(accessViolations == 0,
            "no access violation (vectored handler count " + std::to_string(static_cast<long>(accessViolations)) + ")");
    return c.failures_;
}

int Trip(const char* plugin)
{
    Checker c;
    Hook hook;
    if (!c.Check(hook.Load(HookName), "the Microsoft-ABI hook loads"))
        return c.failures_;
    HMODULE p = LoadLibraryA(plugin);
    if (!c.Check(p != nullptr, "the plug-in loads beside it"))
        return c.failures_;
    c.Check(hook.query(QueryRegistrations) == 1, "the plug-in registers its script once");
    c.Check(hook.RunUntil(Done), "the scripted trip runs to its end: prompt, menu, purchase, ride, give-up");
    c.Check(hook.query(QueryKeyEvents) > 0, "key events came from the hook's own thread");
    c.Check(FreeLibrary(p) != 0, "the plug-in is freed");
    CheckGone(c, hook);
    return Finish(c, hook, true);
}

// The game frees the hook first. The plug-in keeps a reference on it, so its own detach later
// still finds scriptUnregister mapped.
int HookFreedFirst(const char* plugin)
{
    Checker c;
    Hook hook;
    if (!c.Check(hook.Load(HookName), "the Microsoft-ABI hook loads"))
        return c.failures_;
    HMODULE p = LoadLibraryA(plugin);
    c.Check(p != nullptr && hook.query(QueryRegistrations) == 1, "the plug-in loads and registers");
    c.Check(hook.RunUntil(AtStation) && hook.frames(600, -1) >= AtStation, "the script runs: the prompt is up");
    c.Check(FreeLibrary(hook.module) != 0, "the game frees the hook");
    c.Check(GetModuleHandleA(HookName) == hook.module, "the hook stays mapped: the plug-in holds it");
    c.Check(FreeLibrary(p) != 0, "then the plug-in is freed");
    c.Check(hook.query(QueryUnregistrations) == 1, "its detach reached scriptUnregister");
    return Finish(c, hook, false);
}

// The plug-in loads first, with no hook in the process: it stays inert, and a hook loaded later
// never hears of it.
int PluginBeforeHook(const char* plugin)
{
    Checker c;
    HMODULE p = LoadLibraryA(plugin);
    c.Check(p != nullptr, "the plug-in loads with no hook in the process");
    Hook hook;
    if (!c.Check(hook.Load(HookName), "then the hook loads"))
        return c.failures_;
    hook.frames(3000, -1);
    c.Check(hook.query(QueryRegistrations) == 0 && hook.query(QueryCalls) == 0,
            "the plug-in neither registers nor calls anything");
    c.Check(FreeLibrary(p) != 0 && hook.query(QueryUnregistrations) == 0, "and unloads without unregistering");
    return Finish(c, hook, false);
}

// Two modules export the nine functions: the plug-in binds to the one loaded first.
int TwoHooks(const char* plugin)
{
    Checker c;
    Hook first, other;
    if (!c.Check(first.Load(HookName), "the Microsoft-ABI hook loads"))
        return c.failures_;
    char path[MAX_PATH], second[MAX_PATH];
    GetModuleFileNameA(first.module, path, MAX_PATH);
    const DWORD n = GetTempPathA(MAX_PATH, second);
    std::snprintf(second + n, MAX_PATH - n, "ScriptHookMsvcSecond.dll");
    c.Check(CopyFileA(path, second, FALSE) != 0, "a second copy of it, under another name");
    if (!c.Check(other.Load(second), "loads after it"))
        return c.failures_;
    HMODULE p = LoadLibraryA(plugin);
    c.Check(p != nullptr, "the plug-in loads");
    c.Check(first.query(QueryRegistrations) == 1 && other.query(QueryRegistrations) == 0,
            "it registers once, with the hook loaded first");
    c.Check(first.RunUntil(MenuOpen), "and runs there: the prompt is used and the menu opens");
    c.Check(other.query(QueryCalls) == 0, "the other hook is never called");
    c.Check(FreeLibrary(p) != 0, "the plug-in is freed");
    CheckGone(c, first);
    c.Check(other.query(QueryUnregistrations) == 0, "and the other hook hears nothing of the detach");
    other.stopKeys();
    const int failures = Finish(c, first, false) + other.report(0);
    FreeLibrary(other.module);
    DeleteFileA(second);
    return failures;
}

// Freed while the menu is open (the key thread still sending) or while the train runs.
int UnloadDuring(const char* plugin, HookPhase phase, const char* what)
{
    Checker c;
    Hook hook;
    if (!c.Check(hook.Load(HookName), "the Microsoft-ABI hook loads"))
        return c.failures_;
    HMODULE p = LoadLibraryA(plugin);
    c.Check(p != nullptr, "the plug-in loads");
    c.Check(hook.RunUntil(phase), what);
    hook.frames(phase == MenuOpen ? 5 : 2000, -1);
    c.Check(FreeLibrary(p) != 0, "the plug-in is freed there");
    CheckGone(c, hook);
    return Finish(c, hook, false);
}

struct Scenario {
    const char* name;
    int (*run)(const char*);
};

const Scenario Scenarios[] = {
    {"msvc-trip", &Trip},
    {"msvc-hook-freed-first", &HookFreedFirst},
    {"msvc-plugin-before-hook", &PluginBeforeHook},
    {"msvc-two-hooks", &TwoHooks},
    {"msvc-unload-in-menu", [](const char* p) { return UnloadDuring(p, MenuOpen, "the menu is open, keys arriving"); }},
    {"msvc-unload-in-trip", [](const char* p) { return UnloadDuring(p, Riding, "the player rides the train"); }},
};

}  // namespace

std::vector<std::string> MsvcScenarioNames()
{
    std::vector<std::string> names;
    for (const Scenario& s : Scenarios)
        names.emplace_back(s.name);
    return names;
}

int RunMsvcScenario(const char* name, const char* plugin)
{
    for (const Scenario& s : Scenarios) {
        if (std::strcmp(name, s.name) == 0) {
            AddVectoredExceptionHandler(1, &CountAccessViolations);
            std::printf("scenario %s\n", name);
            const int failures = s.run(plugin);
            std::printf("%s\n", failures == 0 ? "passed" : "FAILED");
            std::fflush(stdout);
            return failures;
        }
    }
    return -1;
}
