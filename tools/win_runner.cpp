// tools/win_runner.cpp -- loads the stand-in script hook and then the real Quorvane.asi, as the
// game would, and runs one end-to-end scenario. Exit code 0 when every check passed, 1 when one
// failed, 2 for a usage error or an unknown scenario, 3 when the plug-in cannot be loaded at all.
//
//   quorvane-runner SCENARIO PATH\TO\Quorvane.asi
//   quorvane-runner spine-inert-without-hook PATH\TO\Quorvane.asi   (no hook loaded at all)
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/win_load_order.h"

namespace {

constexpr const char* InertScenario = "spine-inert-without-hook";

// "Windows error 2 (The system cannot find the file specified.)"
std::string WindowsError(DWORD code)
{
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                   sizeof text, nullptr);
    std::string message = "Windows error " + std::to_string(code);
    std::string detail(text, n);
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r' || detail.back() == ' '))
        detail.pop_back();
    return detail.empty() ? message : message + " (" + detail + ")";
}

// The DLL is mapped once without running its code, so that a missing or broken file is one line
// here instead of a failed check for every step of the scenario.
bool PluginLoads(const char* plugin)
{
    HMODULE probe = LoadLibraryExA(plugin, nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (probe == nullptr) {
        const DWORD code = GetLastError();
        std::fprintf(stderr, "quorvane-runner: cannot load %s: %s\n", plugin, WindowsError(code).c_str());
        return false;
    }
    FreeLibrary(probe);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quorvane-runner SCENARIO PLUGIN\n");
        return 2;
    }
    const char* scenario = argv[1];
    const char* plugin = argv[2];
    if (!PluginLoads(plugin))
        return 3;

    const int msvcFailures = RunMsvcScenario(scenario, plugin);
    if (msvcFailures >= 0)
        return msvcFailures == 0 ? 0 : 1;

    if (std::strcmp(scenario, InertScenario) == 0) {
        // Without a script hook in the process the plug-in must load, do nothing, and unload.
        HMODULE module = LoadLibraryA(plugin);
        std::printf("scenario %s\n  %s  the plug-in loads without a script hook\n", scenario, module ? "ok  " : "FAIL");
        const bool freed = module != nullptr && FreeLibrary(module);
        std::printf("  %s  and unloads again\n%s\n", freed ? "ok  " : "FAIL", module && freed ? "passed" : "FAILED");
        return module && freed ? 0 : 1;
    }

    HMODULE hook = LoadLibraryA("ScriptHookSim.dll");
    if (hook == nullptr) {
        std::fprintf(stderr, "cannot load ScriptHookSim.dll (error %lu)\n", GetLastError());
        return 2;
    }
    using NamesFn = const char* (*)();
    auto names = reinterpret_cast<NamesFn>(reinterpret_cast<void*>(GetProcAddress(hook, "SimScenarioNames")));
    if (names != nullptr) {
        std::string known = std::string("\n") + names();
        if (known.find("\n" + std::string(scenario) + "\n") == std::string::npos) {
            std::string list = known.substr(1) + InertScenario;
            for (const std::string& name : MsvcScenarioNames())
                list += "\n" + name;
            for (size_t at = list.find('\n'); at != std::string::npos; at = list.find('\n', at))
                list.replace(at, 1, ", ");
            std::fprintf(stderr, "quorvane-runner: unknown scenario '%s'; the scenarios are: %s\n", scenario,
                         list.c_str());
            return 2;
        }
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
