// tests/simulator_test.cpp -- the simulated host itself: scriptWait's timing, the fibre being
// unwound at unload, and the protocol errors it reports. The scripts are the tests' own
// (InlineScript), not the plug-in's.
#include <gtest/gtest.h>

#include <vector>

#include "host/native_call.h"
#include "host/natives.h"
#include "sim/sim.h"
#include "sim_fixture.h"

namespace {

std::vector<int64_t> wakes;
int liveGuards = 0;
struct Guard {
    Guard() { ++liveGuards; }
    ~Guard() { --liveGuards; }
};

}  // namespace

TEST(SimulatedHook, ScriptWaitReturnsOnTheFirstFrameAtOrPastItsTime)
{
    wakes.clear();
    InlineScript::body = [] {
        Sim& sim = *Sim::Current();
        for (uint32_t ms : {0u, 0u, 1u, 16u, 17u, 1000u}) {
            Host.scriptWait(ms);
            wakes.push_back(sim.Now());
        }
        for (;;)
            Host.scriptWait(100000);
    };
    SimConfig config;
    config.frameMs = 16;
    InlineScript module;
    Sim sim(config);
    sim.Load(module);
    sim.RunFor(2000);
    // Started in frame 1 (16 ms): 0 -> next frame, 1 -> next, 16 -> next, 17 -> two frames.
    EXPECT_EQ(wakes, (std::vector<int64_t>{32, 48, 64, 80, 112, 1120}));
    EXPECT_TRUE(sim.Errors().empty());
}

TEST(SimulatedHook, UnloadingUnwindsTheParkedScript)
{
    liveGuards = 0;
    InlineScript::body = [] {
        Guard guard;
        for (;;)
            Host.scriptWait(0);
    };
    {
        InlineScript module;
        Sim sim;
        sim.Load(module);
        sim.RunFrames(1000);
        EXPECT_EQ(liveGuards, 1);
        sim.Unload();
        EXPECT_EQ(liveGuards, 0) << "the script's frames were destroyed";
        EXPECT_TRUE(sim.Errors().empty());
    }
}

TEST(SimulatedHook, ReportsUnknownNativesAndBrokenCalls)
{
    InlineScript::body = [] {
        Invoke<void>(0x0123456789ABCDEFu);
        Invoke<int32_t>(NativeGameTime, 5);                 // takes no argument
        Invoke<bool>(NativeEntityExists, SignWidened{-3});  // a whole number with its high half set
        Host.nativePush64(1);                               // a push outside any call
        for (;;)
            Host.scriptWait(1000);
    };
    InlineScript module;
    Sim sim;
    sim.Load(module);
    sim.RunFrames(2);
    ASSERT_EQ(sim.Errors().size(), 4u);
    EXPECT_NE(sim.Errors()[0].find("unknown native 0x123456789ABCDEF"), std::string::npos);
    EXPECT_NE(sim.Errors()[1].find("takes 0 arguments, got 1"), std::string::npos);
    EXPECT_NE(sim.Errors()[2].find("high bits set"), std::string::npos);
    EXPECT_NE(sim.Errors()[3].find("without nativeInit"), std::string::npos);
}

TEST(SimulatedHook, AScriptThatNeverYieldsIsStoppedAndReported)
{
    liveGuards = 0;
    InlineScript::body = [] {
        Guard guard;
        for (;;)
            Invoke<int32_t>(NativeGameTime);
    };
    InlineScript module;
    Sim sim;
    sim.Load(module);
    sim.RunFrame();
    ASSERT_EQ(sim.Errors().size(), 1u);
    EXPECT_NE(sim.Errors()[0].find("without yielding"), std::string::npos);
    EXPECT_EQ(liveGuards, 0) << "its frames were unwound";
    sim.RunFrames(10);
    EXPECT_EQ(sim.CountCalls(NativeGameTime), static_cast<size_t>(Sim::MaxCallsWithoutYield));
}

TEST(SimulatedHook, LogsEveryCallReadably)
{
    InlineScript::body = [] {
        Invoke<float>(NativeSquaredDistance, 0.0f, 0.0f, 0.0f, 3.0f, 4.0f, 0.0f);
        Invoke<uint32_t>(NativeHashOfName, "INPUT_FRONTEND_ACCEPT");
        for (;;)
            Host.scriptWait(1000);
    };
    InlineScript module;
    Sim sim;
    sim.Load(module);
    sim.RunFrame();
    EXPECT_EQ(sim.Trace(), (std::vector<std::string>{
                               "SquaredDistance(0, 0, 0, 3, 4, 0) -> 25",
                               "HashOfName(\"INPUT_FRONTEND_ACCEPT\") -> " +
                                   std::to_string(static_cast<int32_t>(SimHashOfName("INPUT_FRONTEND_ACCEPT"))),
                           }));
    EXPECT_EQ(sim.Log()[0].frame, 1u);
    EXPECT_EQ(sim.Log()[0].gameTime, 16);
}

TEST(SimulatedHook, ForcedRandomNumbersComeFirstThenTheSeededOnes)
{
    static std::vector<int32_t> drawn;
    drawn.clear();
    InlineScript::body = [] {
        for (int i = 0; i < 3; ++i)
            drawn.push_back(Invoke<int32_t>(NativeRandomInt, 10, 40));
        for (;;)
            Host.scriptWait(1000);
    };
    InlineScript module;
    Sim sim;
    sim.ForceRandom(39);
    sim.Load(module);
    sim.RunFrame();
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0], 39);
    EXPECT_GE(drawn[1], 10);
    EXPECT_LT(drawn[1], 40);
}
