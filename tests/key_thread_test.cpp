// tests/key_thread_test.cpp -- key events from a thread of the game's own (a window thread, say)
// while the script runs menu frames. Built into the ThreadSanitizer run too, where a torn or
// unsynchronised read of the key state is reported as a race; without it, the fields of each event
// are chosen so that half of one event and half of another never make a whole one.
#include <atomic>
#include <memory>
#include <thread>

#include "host/natives.h"
#include "plugin/keyboard.h"
#include "sim_fixture.h"

namespace {
constexpr uint32_t Down = 40, Enter = 13, Backspace = 8, ReleasedOnly = 65, PressedOnly = 66, BothKinds = 67;
}

class MenuWithAWindowThread : public SimTest {};

TEST_F(MenuWithAWindowThread, ReadsNeverMixTwoEventsAndOnlyWholeEventsCount)
{
    OpenMenuAt(3, 100000);
    const KeyboardHandlerFn handler = sim().RegisteredKeyboardHandler();
    ASSERT_NE(handler, nullptr);
    const size_t start = sim().Log().size();

    std::atomic<bool> stop{false};
    std::atomic<uint64_t> rounds{0};
    std::thread window([&] {
        for (uint32_t n = 0; !stop.load(std::memory_order_relaxed); ++n) {
            const int32_t up = static_cast<int32_t>(n & 1);
            handler(Down, 1, 0x50, 0, 0, 1 - up, up);    // the menu's key, down and up in turn
            handler(ReleasedOnly, 1, 0x1E, 0, 1, 1, 1);  // only ever released
            handler(PressedOnly, 1, 0x30, 0, 0, up, 0);  // only ever pressed
            handler(Enter, 1, 0x1C, 0, 0, up, 0);        // pressed, never released: no accept
            handler(Backspace, 1, 0x0E, 0, 0, up, 0);    // nor a cancel
            handler(255 + n % 300, 1, 0, 1, 1, 1, up);   // codes past the table
            // Pressed with Alt and not down before, released without Alt and down before: any
            // word that mixes the two shows as a wrong pair.
            handler(BothKinds, 1, 0x20, 0, 1 - up, up, up);
            rounds.fetch_add(1, std::memory_order_relaxed);
        }
    });
    // A failed assertion below returns early: the thread is stopped and joined either way.
    const auto stopAndJoin = [&](std::thread* t) {
        stop.store(true);
        t->join();
    };
    std::unique_ptr<std::thread, decltype(stopAndJoin)> stopWindow(&window, stopAndJoin);

    bool moved = false;
    bool bothKinds[2] = {false, false};
    bool seenOne = false;
    const int32_t first = Journey.MenuOneSelection;
    for (int frame = 0; frame < 2000; ++frame) {
        sim().RunFrame();
        EXPECT_FALSE(KeyIsHeld(ReleasedOnly)) << "a key that was only ever released is never held";
        EXPECT_FALSE(ConsumeKeyRelease(PressedOnly)) << "a key only ever pressed has no release";
        ASSERT_EQ(Journey.ActiveMenu, 1) << "pressing Enter or Backspace without a release does nothing";
        ASSERT_GE(Journey.MenuOneSelection, 0);
        ASSERT_LE(Journey.MenuOneSelection, 10);
        moved = moved || Journey.MenuOneSelection != first;
        for (int read = 0; read < 500; ++read) {
            const KeyEvent e = ReadKeyEvent(BothKinds);
            // Nothing clears this key: once an event is in, every read holds a whole one. A tick
            // without its flags is an event caught half written.
            if (e.Recorded == 0) {
                ASSERT_FALSE(seenOne) << "an event without its flags: a torn event";
                ASSERT_EQ(e.EventTick, 0u) << "a tick without its flags: a torn event";
                continue;
            }
            seenOne = true;
            ASSERT_NE(e.AltHeld, e.Released) << "a release with Alt or a press without it: a torn event";
            ASSERT_EQ(e.PreviouslyDown, e.Released) << "a torn event";
            bothKinds[e.Released] = true;
        }
    }
    stopWindow.reset();

    EXPECT_GT(rounds.load(), 0u);
    EXPECT_TRUE(moved) << "the Down presses from the other thread move the menu";
    EXPECT_TRUE(bothKinds[0] && bothKinds[1]) << "the reads saw presses and releases";
    EXPECT_EQ(sim().CountCalls(NativeChargeCash, start), 0u);
    EXPECT_EQ(ReadKeyEvent(ReleasedOnly).Released, 1);
    EXPECT_EQ(ReadKeyEvent(PressedOnly).Released, 0);
}
