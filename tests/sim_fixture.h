// tests/sim_fixture.h -- a simulated game with the linked-in plug-in, for the fixtures of each
// test file. Every test also fails if the host saw a protocol error or an unknown native.
#pragma once

#include <gtest/gtest.h>

#include <memory>

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

    std::unique_ptr<Sim> sim_;
    StaticPlugin plugin_;
};
