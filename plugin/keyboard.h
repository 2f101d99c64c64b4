// plugin/keyboard.h -- the latest event of each key, written by the script hook's key callback and
// asked about by the menu on the script fibre.
#pragma once

#include <cstdint>

struct KeyEvent {
    uint32_t EventTick;       // tick count when the latest event arrived
    int32_t AltHeld;          // recorded, never asked about
    int32_t PreviouslyDown;   // recorded, never asked about
    int32_t Released;         // non-zero for a release, 0 for a press
    int32_t Recorded;         // 1 once an event arrived; 0 while untouched or after a clear
};

constexpr uint32_t KeyCodeCount = 255;
extern KeyEvent KeyboardState[KeyCodeCount];

void KeyboardHandler(uint32_t key, uint16_t repeats, uint8_t scanCode, int32_t isExtended,
                     int32_t isWithAlt, int32_t wasDownBefore, int32_t isUpNow);
bool KeyIsHeld(uint32_t key);
bool ConsumeKeyRelease(uint32_t key);
void ClearKeyboardState();
