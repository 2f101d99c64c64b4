// bench/ride_bench.cpp -- the simulator's speed on the longest ride, Van Horn to Wallace
// Station by alternative 1: six stops, from the purchase until the train is given up.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>

#include "data/stations.h"
#include "journey/route.h"
#include "plugin/journey_state.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

namespace {

Vec3 At(size_t station)
{
    const PaddedVector3& p = StationTable[station].Position;
    return Vec3{p.x, p.y, p.z};
}

void Tap(Sim& sim, uint32_t key)
{
    sim.TapKey(key);
    sim.RunFor(200);
}

// Returns the game milliseconds the ride took.
int64_t RideVanHornToWallace(bool logging)
{
    StaticPlugin plugin;
    Sim sim;
    sim.SetLogging(logging);
    sim.SetCash(10000);
    sim.SetTrainPath([](Vec3 spawn, bool) {
        return std::vector<Vec3>{spawn, At(9), At(10), At(7), At(6), At(4), At(3), At(5), Vec3{-3000, 1500, 95}};
    });
    sim.MovePlayerTo(Vec3{At(9).x + 5, At(9).y, At(9).z});
    sim.Load(plugin);
    sim.RunUntil([&] { return sim.LivePrompt() != nullptr; }, 1000);
    sim.UsePrompt();
    sim.RunFor(300);
    Tap(sim, 38);  // up from Annesburg to Close,
    Tap(sim, 38);  // and to Wallace Station
    sim.ForceRandom(1);
    const int64_t bought = sim.Now();
    sim.BoardTrain();
    Tap(sim, 13);
    sim.RunUntil([&] { return sim.Halts().size() == 7 && sim.Halts().back().leftAt != 0; }, 3 * 3600000);
    sim.LeaveTrain();
    sim.MovePlayerTo(Vec3{At(5).x + 300, At(5).y + 300, At(5).z});
    sim.RunUntil([&] { return Journey.Train == 0; }, 30 * 60000);
    if (sim.Halts().size() != 7 || Journey.Train != 0 || !sim.Errors().empty())
        return -1;
    return sim.Now() - bought;
}

void LongestRide(benchmark::State& state)
{
    const bool logging = state.range(0) != 0;
    int64_t gameMs = 0;
    double wallSeconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int64_t ride = RideVanHornToWallace(logging);
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (ride < 0) {
            state.SkipWithError("the ride did not halt at its six stops");
            return;
        }
        gameMs += ride;
    }
    state.counters["game_s_per_ride"] = static_cast<double>(gameMs) / 1000.0 / static_cast<double>(state.iterations());
    state.counters["game_per_wall"] = static_cast<double>(gameMs) / 1000.0 / wallSeconds;
}

}  // namespace

BENCHMARK(LongestRide)->Arg(0)->Arg(1)->ArgName("logging")->Unit(benchmark::kMillisecond);
