// tests/sim_fixture.h -- a simulated game with the linked-in plug-in, for the fixtures of each
// test file. Every test also fails if the host saw a protocol error or an unknown native.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/journey_state.h"
#include "plugin/script.h"
#include "sim/script_module.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"
#include "sim/world_data.h"

// The destination menus' items, top to bottom, by station; "Close" follows the last.
inline const std::vector<int32_t> MenuOneStations{8, 12, 7, 4, 11, 3, 10, 6, 9, 5};
inline const std::vector<int32_t> MenuTwoStations{1, 0, 2};

// tests/data/fares.txt: [from][to] in cents, as the menus show the fares.
using FareGrid = std::array<std::array<int32_t, 13>, 13>;
inline const FareGrid& FaresInCents()
{
    static const FareGrid grid = [] {
        FareGrid g{};
        std::ifstream file(QV_TEST_DATA "/fares.txt");
        std::string line;
        size_t from = 0;
        while (std::getline(file, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            std::istringstream in(line.substr(line.find('|') + 1));
            for (int32_t& cents : g.at(from++))
                in >> cents;
        }
        return from == g.size() ? g : FareGrid{};
    }();
    return grid;
}

// A fare as its label reads: 865 -> "8.65".
inline std::string FareText(int32_t cents)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", cents / 100, cents % 100);
    return text;
}

// A stand-in for the plug-in's script that runs whatever a test hands it, on the script fibre,
// so that single routines can be called as the main loop would call them.
struct InlineScript final : ScriptModule {
    InlineScript() : ScriptModule(&Entry) {}
    static inline std::function<void()> body;
    static void Entry()
    {
        for (;;) {
            if (body) {
                std::function<void()> run = std::move(body);
                body = nullptr;
                run();
            }
            Host.scriptWait(0);
        }
    }
};

class SimTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (sim_) {
            sim_->Unload();
            CheckHostErrors();
        }
    }
    void CheckHostErrors()
    {
        for (const std::string& e : sim_->Errors())
            ADD_FAILURE() << "host error: " << e;
    }

    Sim& MakeSim(const SimConfig& config = {})
    {
        sim_.reset();
        sim_ = std::make_unique<Sim>(config);
        return *sim_;
    }
    Sim& sim() { return *sim_; }
    void Load() { ASSERT_TRUE(sim_->Load(plugin_)); }

    // Loads the inline script instead of the plug-in's main loop, with the plug-in's state as
    // at load.
    void LoadInline()
    {
        ASSERT_TRUE(sim_->Load(inline_));
        PluginStaticInit();
    }
    // Runs f on the script fibre, in the next frame; it may wait.
    void RunInScript(std::function<void()> f)
    {
        InlineScript::body = std::move(f);
        sim().RunFrame();
    }

    static Vec3 NearStation(size_t station, float east = 5.0f)
    {
        const Vec3 p = SimStationPosition(station);
        return Vec3{p.x + east, p.y, p.z};
    }
    static Vec3 FarFromStations() { return Vec3{0, 0, 0}; }

    // Stands at the station, takes the prompt and runs the frame in which the menu opens.
    void OpenMenuAt(size_t station, int32_t cash = 0)
    {
        if (!sim_)
            MakeSim();
        sim().SetCash(cash);
        // Menu tests buy tickets over and over: no train ever comes, so each dispatch gives up
        // after its 5 s and the prompt is offered again.
        sim().SetTrainExistsFromAttempt(0);
        sim().MovePlayerTo(NearStation(station));
        Load();
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 8100));
        sim().UsePrompt();
        sim().RunFrame();
        ASSERT_NE(Journey.ActiveMenu, 0);
        WaitOutGate();  // the script timer counts from load, which was a moment ago
    }

    // Waits for the prompt to be offered again (after a purchase, once the dispatch is over),
    // takes it, and lets the gate open.
    void Reopen()
    {
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 30000));
        sim().UsePrompt();
        sim().RunFrame();
        WaitOutGate();
    }

    // A key pressed in one frame and released in the next.
    void Tap(uint32_t key) { sim().TapKey(key); }

    // Lets the menu's 150 ms input gate open again.
    void WaitOutGate() { sim().RunFor(200); }

    // Trains run from their spawn point through the origin, then through the given stations,
    // and on for another 3000 units.
    void RouteTrainsThrough(size_t origin, const std::vector<int32_t>& stops)
    {
        sim().SetTrainPath([origin, stops](Vec3 spawn, bool) {
            std::vector<Vec3> path{spawn, SimStationPosition(origin)};
            for (int32_t s : stops)
                path.push_back(SimStationPosition(static_cast<size_t>(s)));
            const Vec3& a = path[path.size() - 2];
            const Vec3& b = path.back();
            const float dx = b.x - a.x, dy = b.y - a.y;
            const float n = std::sqrt(dx * dx + dy * dy);
            path.push_back(Vec3{b.x + dx / n * 3000.0f, b.y + dy / n * 3000.0f, b.z});
            return path;
        });
    }

    std::vector<int32_t> HaltStations() const
    {
        std::vector<int32_t> stations;
        for (const TrainHalt& h : sim_->Halts())
            stations.push_back(h.nearestStation);
        return stations;
    }

    std::vector<const DrawItem*> Drawn(DrawItem::Kind kind) const
    {
        std::vector<const DrawItem*> items;
        for (const DrawItem& d : sim_->FrameDraws()) {
            if (d.kind == kind)
                items.push_back(&d);
        }
        return items;
    }

    std::unique_ptr<Sim> sim_;
    StaticPlugin plugin_;
    InlineScript inline_;
};
