// bench/menu_frame_bench.cpp -- the cost of one frame with menu one open, against a floor: the
// same native calls with pre-built arguments, issued through the same simulated host by a
// script that does nothing else. Measured interleaved in one run; also counts allocations.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>

#include "alloc_counter.h"
#include "data/stations.h"
#include "host/native_call.h"
#include "host/natives.h"
#include "sim/script_module.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

namespace {

// One recorded call, ready to issue again: each argument is a fixed slot, a pre-built text, or
// the result of an earlier call in the same frame (a composed text).
struct ReplayArg {
    uint64_t slot = 0;
    int textIndex = -1;
    int resultOf = -1;
};
struct ReplayCall {
    uint64_t hash;
    std::vector<ReplayArg> args;
};

std::vector<ReplayCall> replayFrame;
std::vector<std::string> replayTexts;

void ReplayScript()
{
    std::vector<uint64_t> results(replayFrame.size());
    for (;;) {
        for (size_t i = 0; i < replayFrame.size(); ++i) {
            const ReplayCall& call = replayFrame[i];
            Host.nativeInit(call.hash);
            for (const ReplayArg& a : call.args) {
                uint64_t v = a.slot;
                if (a.textIndex >= 0)
                    v = reinterpret_cast<uintptr_t>(replayTexts[static_cast<size_t>(a.textIndex)].c_str());
                else if (a.resultOf >= 0)
                    v = results[static_cast<size_t>(a.resultOf)];
                Host.nativePush64(v);
            }
            results[i] = Host.nativeCall()[0];
        }
        Host.scriptWait(0);
    }
}

Vec3 AtRiggs()
{
    const PaddedVector3& p = StationTable[3].Position;
    return Vec3{p.x + 5, p.y, p.z};
}

// Records the calls of one ordinary frame of menu one, open at Riggs Station.
void Record(Sim& sim)
{
    sim.ClearLog();
    sim.RunFrame();
    const std::vector<CallRecord>& log = sim.Log();
    replayFrame.clear();
    replayTexts.clear();
    for (size_t i = 0; i < log.size(); ++i) {
        ReplayCall call{log[i].hash, {}};
        for (size_t a = 0; a < log[i].args.size(); ++a) {
            ReplayArg arg{log[i].args[a], -1, -1};
            for (const auto& text : log[i].textArgs) {
                if (static_cast<size_t>(text.first) == a) {
                    arg.textIndex = static_cast<int>(replayTexts.size());
                    replayTexts.push_back(text.second);
                }
            }
            for (size_t j = 0; j < i && arg.textIndex < 0; ++j) {
                if (log[j].hash == NativeComposeText && log[j].result == arg.slot)
                    arg.resultOf = static_cast<int>(j);
            }
            call.args.push_back(arg);
        }
        replayFrame.push_back(call);
    }
}

// With recording on, the plug-in writes the session to a Quorvane.rec in a folder of its own.
SimConfig PluginConfig(bool recording)
{
    SimConfig config;
    if (recording) {
        char pattern[] = "/tmp/quorvane_bench_XXXXXX";
        const char* dir = mkdtemp(pattern);
        config.gameDir = dir != nullptr ? dir : "/tmp";
        std::ofstream(config.gameDir + "/Quorvane.ini") << "[SETTINGS]\nRECORD_SESSION=1\n";
    }
    return config;
}

void MenuOneFrame(benchmark::State& state, bool recording)
{
    StaticPlugin module;
    Sim plugin(PluginConfig(recording));
    plugin.MovePlayerTo(AtRiggs());
    plugin.Load(module);
    plugin.RunUntil([&] { return plugin.LivePrompt() != nullptr; }, 1000);
    plugin.UsePrompt();
    plugin.RunFor(300);
    Record(plugin);
    plugin.SetLogging(false);

    ScriptModule replay(&ReplayScript);
    Sim floor;
    floor.SetLogging(false);
    floor.MovePlayerTo(AtRiggs());
    floor.Load(replay);
    floor.RunFrames(10);

    constexpr int FramesPerRound = 200;
    using Clock = std::chrono::steady_clock;
    Clock::duration pluginTime{}, floorTime{};
    uint64_t frames = 0, allocations = 0;
    for (auto _ : state) {
        const HeapCounts heapBefore = CurrentHeapCounts();
        const auto t0 = Clock::now();
        plugin.RunFrames(FramesPerRound);
        const auto t1 = Clock::now();
        allocations += CurrentHeapCounts().allocations - heapBefore.allocations;
        floor.RunFrames(FramesPerRound);
        const auto t2 = Clock::now();
        pluginTime += t1 - t0;
        floorTime += t2 - t1;
        frames += FramesPerRound;
    }
    if (!plugin.Errors().empty() || !floor.Errors().empty())
        state.SkipWithError("the host reported an error");
    const double pluginNs = std::chrono::duration<double, std::nano>(pluginTime).count() / static_cast<double>(frames);
    const double floorNs = std::chrono::duration<double, std::nano>(floorTime).count() / static_cast<double>(frames);
    state.counters["calls_per_frame"] = static_cast<double>(replayFrame.size());
    state.counters["plugin_ns_per_frame"] = pluginNs;
    state.counters["floor_ns_per_frame"] = floorNs;
    state.counters["ratio"] = pluginNs / floorNs;
    state.counters["allocs_per_frame"] = static_cast<double>(allocations) / static_cast<double>(frames);
    if (recording) {
        state.counters["recorded_bytes_per_frame"] =
            static_cast<double>(plugin.RecordingBytes()) / static_cast<double>(plugin.Frame());
        plugin.Unload();
        std::filesystem::remove_all(plugin.GamePath(""));
    }
}

void MenuOneFrameAgainstFloor(benchmark::State& state) { MenuOneFrame(state, false); }
// The same with the session being recorded: the recording's cost on the busiest frame there is.
void MenuOneFrameRecordingAgainstFloor(benchmark::State& state) { MenuOneFrame(state, true); }

}  // namespace

BENCHMARK(MenuOneFrameAgainstFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(MenuOneFrameRecordingAgainstFloor)->Unit(benchmark::kMillisecond);
