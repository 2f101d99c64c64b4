// plugin/keyboard.h -- the latest event of each key, written by the script hook's key callback and
// asked about by the menu on the script fibre. The callback may come from any thread (a window
// thread, say) while the script runs, so each key's event is one atomic 64-bit word: a read sees
// one whole event or another, never half of each.
#pragma once

#include <atomic>
#include <cstdint>

// One key's latest event, unpacked from its word.
struct KeyEvent {
    uint32_t EventTick;      // tick count when the latest event arrived
    int32_t AltHeld;         // recorded, never asked about
    int32_t PreviouslyDown;  // recorded, never asked about
    int32_t Released;        // 1 for a release, 0 for a press
    int32_t Recorded;        // 1 once an event arrived; 0 while untouched or after a clear
};

constexpr uint32_t KeyCodeCount = 255;
// Bits 0 to 31: the tick; bit 32: recorded; 33: released; 34: Alt held; 35: was down before.
// Zero is "no event".
extern std::atomic<uint64_t> KeyboardState[KeyCodeCount];

void KeyboardHandler(uint32_t key, uint16_t repeats, uint8_t scanCode, int32_t isExtended, int32_t isWithAlt,
                     int32_t wasDownBefore, int32_t isUpNow);
bool KeyIsHeld(uint32_t key);
bool ConsumeKeyRelease(uint32_t key);
void ClearKeyboardState();
// The entry as it stands, for whoever wants to look at it whole (tests, a session recording).
KeyEvent ReadKeyEvent(uint32_t key);

// Where the script's queries take a key's word from: the table (LoadKeyWord) in play; a replay
// of a recorded session points it at the recorded words.
uint64_t LoadKeyWord(uint32_t key);
extern uint64_t (*ReadKeyWord)(uint32_t key);
