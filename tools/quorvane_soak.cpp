// tools/quorvane-soak -- hours of simulated play with the plug-in, sampling memory and the
// game's handles every game hour. Exit code 1 if anything grew or the host saw an error.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "alloc_counter.h"
#include "sim/soak.h"
#include "sim/static_plugin.h"

int main(int argc, char** argv)
{
    CLI::App app{"A long session of simulated play, with memory and handles sampled."};
    double hours = 24;
    uint32_t seed = 1;
    app.add_option("--hours", hours, "game hours to play")->check(CLI::Range(0.1, 10000.0));
    app.add_option("--seed", seed, "seed of the player's choices and the game's numbers");
    CLI11_PARSE(app, argc, argv);

    StaticPlugin plugin;
    const SoakResult r = RunSoak(plugin, hours, seed,
                                 SoakProbes{[] { return CurrentHeapCounts().Live(); }, [] { return ResidentKiB(); }});
    std::printf("%-8s %12s %12s %8s %8s %8s %8s\n", "hour", "heap blocks", "resident KiB", "prompts",
                "trains", "owned", "assets");
    for (const SoakSample& s : r.samples)
        std::printf("%-8.1f %12llu %12llu %8zu %8zu %8zu %8zu\n", s.gameHours,
                    static_cast<unsigned long long>(s.liveHeapBlocks), static_cast<unsigned long long>(s.residentKiB),
                    s.prompts, s.trainsInWorld, s.trainsOwned, s.assetsHeld);
    std::printf("\n%d visits: %d scans only, %d menus cancelled, %d closed, %d refusals, %d rides, "
                "%d trains left behind, %d deaths\n",
                r.visits, r.scansOnly, r.cancels, r.closes, r.refusals, r.rides, r.abandoned, r.deaths);
    for (const std::string& e : r.errors)
        std::fprintf(stderr, "host error: %s\n", e.c_str());
    bool flat = r.samples.size() >= 2;
    for (size_t i = 1; i < r.samples.size(); ++i) {
        flat = flat && r.samples[i].liveHeapBlocks <= r.samples[1].liveHeapBlocks + 64 &&
               r.samples[i].prompts <= 1 && r.samples[i].trainsOwned <= 1 && r.samples[i].trainsInWorld <= 2;
    }
    std::printf("%s\n", flat && r.errors.empty() ? "flat: no growth" : "GREW or failed");
    return flat && r.errors.empty() ? 0 : 1;
}
