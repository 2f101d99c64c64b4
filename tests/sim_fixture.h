// tests/sim_fixture.h -- a simulated game with the linked-in plug-in, for the fixtures of each
// test file. Every test also fails if the host saw a protocol error or an unknown native.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "data/stations.h"
#include "plugin/journey_state.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

class SimTest : public testing::Test {
protected:
    void TearDown() override
    {
        if (sim_) {
            sim_->Unload();
            for (const std::string& e : sim_->Errors())
                ADD_FAILURE() << "host error: " << e;
        }
    }

    Sim& MakeSim(SimConfig config = {})
    {
        sim_.reset();
        sim_ = std::make_unique<Sim>(config);
        return *sim_;
    }
    Sim& sim() { return *sim_; }
    void Load() { ASSERT_TRUE(sim_->Load(plugin_)); }

    static Vec3 NearStation(size_t station, float east = 5.0f)
    {
        const PaddedVector3& p = StationTable[station].Position;
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
    void Tap(uint32_t key)
    {
        sim().PressKey(key);
        sim().RunFrame();
        sim().ReleaseKey(key);
        sim().RunFrame();
    }

    // Lets the menu's 150 ms input gate open again.
    void WaitOutGate() { sim().RunFor(200); }

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
};
