// sim/win_hook.cpp -- the simulator as a stand-in script hook DLL: the nine functions under the
// names the real hook exports them by (see win_hook.def), and the scenario entry for the runner.
#include <windows.h>

#include <iostream>
#include <string>

#include "sim/scenarios.h"
#include "sim/sim.h"

namespace {

HostApi Api()
{
    static const HostApi api = SimHostApi();
    return api;
}

// The real plug-in, loaded the way the game loads it.
class LibraryPlugin final : public PluginModule {
public:
    explicit LibraryPlugin(const char* path) : path_(path) {}
    bool Load() override
    {
        module_ = LoadLibraryA(path_);
        return module_ != nullptr;
    }
    void Unload() override
    {
        if (module_ != nullptr)
            FreeLibrary(module_);
        module_ = nullptr;
    }
    void* Handle() const override { return module_; }

private:
    const char* path_;
    HMODULE module_ = nullptr;
};

}  // namespace

extern "C" {
void HookScriptRegister(HMODULE module, void (*entry)()) { Api().scriptRegister(module, entry); }
void HookScriptUnregister(HMODULE module) { Api().scriptUnregister(module); }
void HookScriptWait(DWORD ms) { Api().scriptWait(ms); }
void HookKeyboardHandlerRegister(KeyboardHandlerFn h) { Api().keyboardHandlerRegister(h); }
void HookKeyboardHandlerUnregister(KeyboardHandlerFn h) { Api().keyboardHandlerUnregister(h); }
void HookNativeInit(UINT64 hash) { Api().nativeInit(hash); }
void HookNativePush64(UINT64 value) { Api().nativePush64(value); }
UINT64* HookNativeCall() { return Api().nativeCall(); }
int HookWorldGetAllPeds(int* handles, int capacity) { return Api().worldGetAllPeds(handles, capacity); }

// The scenarios SimRunScenario knows, one name a line, for the runner's usage message.
const char* SimScenarioNames()
{
    static const std::string names = [] {
        std::string text;
        for (const std::string& n : ScenarioNames())
            text += n + "\n";
        return text;
    }();
    return names.c_str();
}

int SimRunScenario(const char* name, const char* pluginPath)
{
    LibraryPlugin plugin(pluginPath);
    const int failures = RunScenario(name, plugin, std::cout);
    std::cout.flush();
    return failures;
}
}
