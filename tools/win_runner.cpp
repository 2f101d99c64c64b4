// tools/win_runner.cpp -- loads the stand-in script hook and then the real Quorvane.asi, as the
// game would, and runs one end-to-end scenario. Exit code 0 when every check passed.
//
//   quorvane-runner SCENARIO PATH\TO\Quorvane.asi
//   quorvane-runner spine-inert-without-hook PATH\TO\Quorvane.asi   (no hook loaded at all)
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "tools/win_load_order.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvane-runner SCENARIO PLUGIN\n");
        return 2;
    }
    const char* scenario = argv[1];
    const char* plugin = argv[2];

    const int msvcFailures = RunMsvcScenario(scenario, plugin);
    if (msvcFailures >= 0)
        return msvcFailures == 0 ? 0 : 1;

    if (std::strcmp(scenario, "spine-inert-without-hook") == 0) {
        // Without a script hook in the process the plug-in must load, do nothing, and unload.
        HMODULE module = LoadLibraryA(plugin);
        std::printf("scenario %s\n  %s  the plug-in loads without a script hook\n", scenario,
                    module ? "ok  " : "FAIL");
        const bool freed = module != nullptr && FreeLibrary(module);
        std::printf("  %s  and unloads again\n%s\n", freed ? "ok  " : "FAIL",
                    module && freed ? "passed" : "FAILED");
        return module && freed ? 0 : 1;
    }

    HMODULE hook = LoadLibraryA("ScriptHookSim.dll");
    if (hook == nullptr) {
        std::fprintf(stderr, "cannot load ScriptHookSim.dll (error %lu)\n", GetLastError());
        return 2;
    }
    using RunFn = int (*)(const char*, const char*);
    auto run = reinterpret_cast<RunFn>(reinterpret_cast<void*>(GetProcAddress(hook, "SimRunScenario")));
    if (run == nullptr) {
        std::fprintf(stderr, "ScriptHookSim.dll has no SimRunScenario\n");
        return 2;
    }
    const int failures = run(scenario, plugin);
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}
