// bench/sim_speed_bench.cpp -- how fast the simulated game runs the plug-in: game seconds per
// wall second, for the 8 s idle scan and for the per-frame prompt loop.
#include <benchmark/benchmark.h>

#include "data/stations.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

namespace {

constexpr int64_t GameMsPerIteration = 60000;

void Run(benchmark::State& state, bool atStation, bool logging)
{
    SimConfig config;
    config.frameMs = static_cast<uint32_t>(state.range(0));
    StaticPlugin plugin;
    Sim sim(config);
    sim.SetLogging(logging);
    const PaddedVector3& riggs = StationTable[3].Position;
    sim.MovePlayerTo(atStation ? Vec3{riggs.x + 5, riggs.y, riggs.z} : Vec3{0, 0, 0});
    sim.Load(plugin);
    sim.RunFor(10000);
    if (atStation && sim.LivePrompt() == nullptr)
        state.SkipWithError("no prompt offered");
    for (auto _ : state) {
        sim.RunFor(GameMsPerIteration);
        if (logging)
            sim.ClearLog();
    }
    const double gameSeconds = static_cast<double>(state.iterations()) * GameMsPerIteration / 1000.0;
    state.counters["game_s_per_wall_s"] = benchmark::Counter(gameSeconds, benchmark::Counter::kIsRate);
    state.counters["frame_ms"] = static_cast<double>(config.frameMs);
}

void IdleScan(benchmark::State& state) { Run(state, false, false); }
void PromptFrameLoop(benchmark::State& state) { Run(state, true, false); }
void PromptFrameLoopLogged(benchmark::State& state) { Run(state, true, true); }

}  // namespace

BENCHMARK(IdleScan)->Arg(16)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK(PromptFrameLoop)->Arg(16)->Arg(33)->Unit(benchmark::kMillisecond);
BENCHMARK(PromptFrameLoopLogged)->Arg(16)->Unit(benchmark::kMillisecond);
