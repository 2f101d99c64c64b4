// tests/keyboard_test.cpp -- held keys and taken releases, as the menu asks about them, including
// across the tick count's wrap.
#include "plugin/keyboard.h"
#include "sim_fixture.h"

class KeysRecorded : public SimTest {
protected:
    void SetUp() override
    {
        MakeSim();
        sim().MovePlayerTo(FarFromStations());
        Load();
    }
    // Delivers one key event through the registered handler at the given tick.
    void EventAt(uint32_t tick, uint32_t key, bool isUp)
    {
        sim().SetTick(tick - sim().FrameMs());
        sim().SendKeyEvent(key, isUp, isUp, false);
        sim().RunFrame();
        ASSERT_EQ(sim().Tick(), tick);
    }
};

TEST_F(KeysRecorded, APressIsHeldForJustUnderFiveSeconds)
{
    EventAt(200000, 38, false);
    sim().SetTick(200000 + 4999);
    EXPECT_TRUE(KeyIsHeld(38));
    sim().SetTick(200000 + 5000);
    EXPECT_FALSE(KeyIsHeld(38));
}

TEST_F(KeysRecorded, AReleaseIsTakenOnceWithinAHundredMilliseconds)
{
    EventAt(300000, 13, true);
    EXPECT_FALSE(KeyIsHeld(13));
    sim().SetTick(300000 + 99);
    EXPECT_TRUE(ConsumeKeyRelease(13));
    EXPECT_FALSE(ConsumeKeyRelease(13)) << "one release is reported once";

    EventAt(400000, 8, true);
    sim().SetTick(400000 + 100);
    EXPECT_FALSE(ConsumeKeyRelease(8));
    EXPECT_NE(ReadKeyEvent(8).Released, 0) << "a late release stays until the next event";
}

TEST_F(KeysRecorded, KeyCodesOf255AndAboveChangeNothing)
{
    EventAt(500000, 255, false);
    EventAt(500016, 0xFFFFFFFFu, false);
    EXPECT_FALSE(KeyIsHeld(255));
    EXPECT_FALSE(KeyIsHeld(static_cast<uint32_t>(-1)));
    EXPECT_FALSE(ConsumeKeyRelease(1000));
    for (uint32_t key = 0; key < KeyCodeCount; ++key)
        EXPECT_EQ(ReadKeyEvent(key).Recorded, 0);
}

TEST_F(KeysRecorded, AnUntouchedOrClearedKeyIsNeverHeld)
{
    sim().SetTick(10);
    EXPECT_FALSE(KeyIsHeld(40)) << "no event since load, even in the first 5 s of uptime";
    EventAt(20, 13, true);
    ASSERT_TRUE(ConsumeKeyRelease(13));
    EXPECT_FALSE(KeyIsHeld(13)) << "a cleared entry is not a press at tick 0";
}

TEST_F(KeysRecorded, TheTickCountWrappingChangesNothing)
{
    EventAt(0xFFFFF000u, 40, false);
    sim().SetTick(0x00000100u);  // 4352 ms later, across the wrap
    EXPECT_TRUE(KeyIsHeld(40));
    sim().SetTick(0xFFFFF000u + 5000u);
    EXPECT_FALSE(KeyIsHeld(40));
    EXPECT_FALSE(KeyIsHeld(38)) << "untouched keys do not count as held after the wrap";

    EventAt(0xFFFFFFF0u, 13, true);
    sim().SetTick(0x00000020u);
    EXPECT_TRUE(ConsumeKeyRelease(13));
}
