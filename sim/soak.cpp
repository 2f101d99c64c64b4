// sim/soak.cpp -- the soak session: a player who wanders from station to station and does
// everything a player does with the service, at game speed, for hours.
#include "sim/soak.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>

#include "sim/world_data.h"

namespace {

constexpr uint32_t Up = 38, Down = 40, Enter = 13, Backspace = 8;

Vec3 Near(size_t station, float east = 4.0f)
{
    const Vec3 p = SimStationPosition(station);
    return Vec3{p.x + east, p.y, p.z};
}

bool RefusalShowing(const Sim& sim)
{
    for (const DrawItem& d : sim.FrameDraws()) {
        if (d.kind == DrawItem::Text && std::strstr(d.text, "enough money") != nullptr)
            return true;
    }
    return false;
}

// Every frame of the session goes through these, so that the most of each count is seen in the
// frame it happens, not only between visits.
class Session {
public:
    Session(Sim& sim, uint32_t seed, const SoakProbes& probes, SoakResult& result)
        : sim_(sim), rng_(seed), probes_(probes), result_(result)
    {
    }

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    void Observe()
    {
        SoakSample& most = result_.most;
        const uint64_t heap = probes_.liveHeapBlocks ? probes_.liveHeapBlocks() : 0;
        if (heap > most.liveHeapBlocks) {
            most.liveHeapBlocks = heap;
            most.gameHours = static_cast<double>(sim_.Now()) / 3600000.0;
        }
        most.prompts = std::max(most.prompts, sim_.LivePromptCount());
        most.trainsInWorld = std::max(most.trainsInWorld, sim_.TrainsInWorld());
        most.trainsOwned = std::max(most.trainsOwned, sim_.TrainsOwned());
        most.assetsHeld = std::max(most.assetsHeld, sim_.AssetsHeld());
    }
    void Frame()
    {
        sim_.RunFrame();
        Observe();
    }
    void Run(int64_t ms)
    {
        sim_.RunUntil(
            [&] {
                Observe();
                return false;
            },
            ms);
    }
    bool Until(const std::function<bool()>& condition, int64_t ms)
    {
        return sim_.RunUntil(
            [&] {
                Observe();
                return condition();
            },
            ms);
    }

    void Tap(uint32_t key)
    {
        sim_.PressKey(key);
        Frame();
        sim_.ReleaseKey(key);
        Frame();
        Run(200);
    }

    bool OpenMenu()
    {
        if (!Until([&] { return sim_.LivePrompt() != nullptr; }, 60000))
            return false;
        sim_.UsePrompt();
        Run(300);
        return true;
    }

    // Moves the highlight a few items and accepts; true when the item was a destination
    // other than Close and the player's own station.
    void Browse()
    {
        for (int i = Pick(6); i > 0; --i)
            Tap(Pick(2) == 0 ? Up : Down);
    }

    void WalkAwayAndWait()
    {
        const Vec3 p = sim_.PlayerPosition();
        sim_.MovePlayerTo(Vec3{p.x + 400, p.y + 400, p.z});
        Until([&] { return sim_.TrainsOwned() == 0; }, 20 * 60000);
        Run(12000);
    }

    void Visit()
    {
        SoakResult& result = result_;
        ++result.visits;
        const size_t station = static_cast<size_t>(Pick(static_cast<int>(SimStationCount)));
        sim_.LeaveTrain();
        sim_.MovePlayerTo(Near(station));
        sim_.SetCash(Pick(4) == 0 ? Pick(300) : 5000);
        switch (Pick(7)) {
        case 0:  // stands a while, walks on
            ++result.scansOnly;
            Run(20000);
            break;
        case 1:  // opens the menu, looks, cancels
            if (OpenMenu()) {
                Browse();
                Tap(Backspace);
                ++result.cancels;
            } else {
                ++result.noPrompt;
            }
            break;
        case 2:  // opens the menu and accepts Close
            if (OpenMenu()) {
                Tap(Up);
                Tap(Enter);
                ++result.closes;
            } else {
                ++result.noPrompt;
            }
            break;
        case 3:  // dies at the station and comes back
            ++result.deaths;
            sim_.SetPlayerExists(false);
            Run(30000);
            sim_.SetPlayerExists(true);
            break;
        default: {  // buys something: refused, ridden, or left behind
            if (!OpenMenu()) {
                ++result.noPrompt;
                break;
            }
            Browse();
            sim_.PressKey(Enter);
            Frame();
            sim_.ReleaseKey(Enter);
            Frame();
            Frame();
            if (RefusalShowing(sim_)) {
                ++result.refusals;
                Run(2000);
                Tap(Backspace);
                break;
            }
            if (!Until([&] { return !sim_.Halts().empty(); }, 4 * 60000)) {
                ++result.noTrain;  // the own station or Close: nothing comes
                break;
            }
            if (Pick(2) == 0) {
                ++result.rides;
                sim_.BoardTrain();
                Until([&] { return sim_.Halts().size() >= 3 || sim_.TrainsOwned() == 0; }, 40 * 60000);
                sim_.LeaveTrain();
            } else {
                ++result.abandoned;
            }
            WalkAwayAndWait();
        }
        }
        sim_.ForgetHistory();
    }

private:
    Sim& sim_;
    std::mt19937 rng_;
    const SoakProbes& probes_;
    SoakResult& result_;
};

// The railway for any trip: the spawn point, the station beside it, then every other station in
// turn. The planned stops come up sooner or later; the soak cares that trains come and go.
std::vector<Vec3> AnyTrack(Vec3 spawn, bool)
{
    size_t origin = 0;
    float best = 1e30f;
    for (size_t i = 0; i < SimStationCount; ++i) {
        const Vec3 p = Near(i, 0);
        const float d = (p.x - spawn.x) * (p.x - spawn.x) + (p.y - spawn.y) * (p.y - spawn.y);
        if (d < best) {
            best = d;
            origin = i;
        }
    }
    std::vector<Vec3> path{spawn};
    for (size_t k = 0; k < SimStationCount; ++k)
        path.push_back(Near((origin + k) % SimStationCount, 0));
    return path;
}

}  // namespace

SoakResult RunSoak(PluginModule& plugin, double hours, uint32_t seed, const SoakProbes& probes,
                   const std::function<void(const SoakSample&, const SoakResult&)>& onSample,
                   const std::string& gameDir)
{
    SoakResult result;
    SimConfig config;
    config.seed = seed;
    config.frameMs = 33;
    config.gameDir = gameDir;
    Sim sim(config);
    sim.SetLogging(false);
    sim.SetTrainPath(&AnyTrack);
    sim.Load(plugin);
    Session session(sim, seed, probes, result);
    const int64_t end = sim.Now() + static_cast<int64_t>(hours * 3600000.0);
    int64_t nextSample = sim.Now();
    while (sim.Now() < end && sim.Errors().empty()) {
        if (sim.Now() >= nextSample) {
            result.samples.push_back(SoakSample{static_cast<double>(sim.Now()) / 3600000.0,
                                                probes.liveHeapBlocks ? probes.liveHeapBlocks() : 0,
                                                probes.residentKiB ? probes.residentKiB() : 0, sim.LivePromptCount(),
                                                sim.TrainsInWorld(), sim.TrainsOwned(), sim.AssetsHeld()});
            result.most.residentKiB = std::max(result.most.residentKiB, result.samples.back().residentKiB);
            if (onSample)
                onSample(result.samples.back(), result);
            nextSample += 3600000;
        }
        session.Visit();
    }
    sim.Unload();
    result.errors = sim.Errors();
    return result;
}

SoakVerdict JudgeSoak(const SoakResult& result)
{
    const std::vector<SoakSample>& samples = result.samples;
    if (!result.errors.empty())
        return {SoakVerdict::Failed, "failed: the host saw " + std::to_string(result.errors.size()) + " error(s)"};
    if (samples.size() < SoakSamplesNeeded) {
        return {SoakVerdict::TooShort, "too short to judge: " + std::to_string(samples.size()) + " hourly sample(s), " +
                                           std::to_string(SoakSamplesNeeded) +
                                           " needed; play longer (3 game hours or more)"};
    }
    const uint64_t baseline = samples[1].liveHeapBlocks;
    for (size_t i = 1; i < samples.size(); ++i) {
        const SoakSample& s = samples[i];
        char what[160] = {};
        if (s.liveHeapBlocks > baseline + SoakHeapSlack)
            std::snprintf(what, sizeof what, "heap blocks %llu at hour %.1f, against %llu at hour 1",
                          static_cast<unsigned long long>(s.liveHeapBlocks), s.gameHours,
                          static_cast<unsigned long long>(baseline));
        else if (s.prompts > 1)
            std::snprintf(what, sizeof what, "%zu prompts at hour %.1f", s.prompts, s.gameHours);
        else if (s.trainsOwned > 1)
            std::snprintf(what, sizeof what, "%zu owned trains at hour %.1f", s.trainsOwned, s.gameHours);
        else if (s.trainsInWorld > 2)
            std::snprintf(what, sizeof what, "%zu trains in the world at hour %.1f", s.trainsInWorld, s.gameHours);
        else if (s.assetsHeld > 0)
            std::snprintf(what, sizeof what, "%zu train assets held at hour %.1f", s.assetsHeld, s.gameHours);
        if (what[0] != 0)
            return {SoakVerdict::Grew, std::string("GREW: ") + what};
    }
    return {SoakVerdict::Flat, "flat: no growth"};
}
