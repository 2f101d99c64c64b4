// tests/menu_memory_test.cpp -- an open menu touches the heap neither in the plug-in nor in the
// simulated host, however long it stays open.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "alloc_counter.h"
#include "scratch_dir.h"
#include "sim_fixture.h"

class MenuOpenForLong : public SimTest {
protected:
    void SetUp() override
    {
        OpenMenuAt(3, 0);
        sim().SetLogging(false);
        sim().RunFrames(10);  // warm: every buffer at its working size
    }
    // Steps down and back, taps Enter on a station the player cannot afford, and waits out
    // the notice: every path of a menu frame.
    void Browse()
    {
        Tap(40);
        WaitOutGate();
        Tap(13);
        sim().RunFor(1700);
        Tap(38);
        WaitOutGate();
    }
};

TEST_F(MenuOpenForLong, FramesMakeNoAllocationOnceWarm)
{
    Browse();
    const HeapCounts before = CurrentHeapCounts();
    sim().RunFrames(1000);
    Browse();
    const HeapCounts after = CurrentHeapCounts();
    EXPECT_EQ(after.allocations - before.allocations, 0u);
    EXPECT_EQ(Journey.ActiveMenu, 1);
}

TEST_F(MenuOpenForLong, AMillionFramesKeepMemoryFlat)
{
    Browse();
    const HeapCounts before = CurrentHeapCounts();
    const uint64_t residentBefore = ResidentKiB();
    const uint64_t startFrame = sim().Frame();
    while (sim().Frame() - startFrame < 1000000) {
        sim().RunFrames(5000);
        Browse();
    }
    const HeapCounts after = CurrentHeapCounts();
    const uint64_t residentAfter = ResidentKiB();
    std::printf("[ soak     ] %llu menu frames: %llu allocations, live blocks %llu -> %llu, "
                "resident %llu -> %llu KiB\n",
                static_cast<unsigned long long>(sim().Frame() - startFrame),
                static_cast<unsigned long long>(after.allocations - before.allocations),
                static_cast<unsigned long long>(before.Live()), static_cast<unsigned long long>(after.Live()),
                static_cast<unsigned long long>(residentBefore), static_cast<unsigned long long>(residentAfter));
    EXPECT_EQ(after.allocations, before.allocations);
    EXPECT_EQ(after.Live(), before.Live());
    EXPECT_EQ(Journey.ActiveMenu, 1);
    EXPECT_EQ(sim().Cash(), 0);
}

// The same with the session being recorded: records go into a static buffer and out in blocks.
class MenuOpenWhileRecording : public MenuOpenForLong {
protected:
    void SetUp() override
    {
        dir_ = scratch_.Path();
        std::ofstream(dir_ / "Quorvane.ini") << "[SETTINGS]\nRECORD_SESSION=1\n";
        SimConfig config;
        config.gameDir = dir_.string();
        MakeSim(config);
        MenuOpenForLong::SetUp();
    }
    void TearDown() override { MenuOpenForLong::TearDown(); }
    ScratchDir scratch_;
    std::filesystem::path dir_;
};

TEST_F(MenuOpenWhileRecording, FramesMakeNoAllocationOnceWarm)
{
    Browse();
    const HeapCounts before = CurrentHeapCounts();
    const uint64_t written = sim().RecordingBytes();
    sim().RunFrames(20000);
    Browse();
    const HeapCounts after = CurrentHeapCounts();
    EXPECT_EQ(after.allocations - before.allocations, 0u);
    EXPECT_GT(sim().RecordingBytes(), written + 1000000) << "the frames were recorded, and written out";
}
