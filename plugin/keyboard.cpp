// plugin/keyboard.cpp -- key state without locks: the handler writes whole 32-bit fields, the
// queries read them. All time arithmetic is on elapsed ticks (now - EventTick, unsigned), so the
// tick count's wrap every 49.7 days changes nothing.
#include "plugin/keyboard.h"

#include <cstring>

#include "host/host_api.h"

KeyEvent KeyboardState[KeyCodeCount];

namespace {
constexpr uint32_t HeldForMs = 5000;     // a press without repeats counts as held this long
constexpr uint32_t ReleaseForMs = 100;   // a release can be taken this long after it arrived
} // namespace

void KeyboardHandler(uint32_t key, uint16_t, uint8_t, int32_t, int32_t isWithAlt,
                     int32_t wasDownBefore, int32_t isUpNow)
{
    if (key >= KeyCodeCount)
        return;
    KeyEvent& entry = KeyboardState[key];
    entry.EventTick = Host.tickCount();
    entry.AltHeld = isWithAlt;
    entry.PreviouslyDown = wasDownBefore;
    entry.Released = isUpNow;
    entry.Recorded = 1;
}

bool KeyIsHeld(uint32_t key)
{
    if (key >= KeyCodeCount)
        return false;
    const KeyEvent& entry = KeyboardState[key];
    // An entry with no event (EventTick 0 is a real reading, so it cannot tell) is never held.
    if (entry.Recorded == 0 || entry.Released != 0)
        return false;
    return Host.tickCount() - entry.EventTick < HeldForMs;
}

bool ConsumeKeyRelease(uint32_t key)
{
    if (key >= KeyCodeCount)
        return false;
    KeyEvent& entry = KeyboardState[key];
    if (entry.Released == 0 || Host.tickCount() - entry.EventTick >= ReleaseForMs)
        return false;
    std::memset(&entry, 0, sizeof entry);
    return true;
}

void ClearKeyboardState()
{
    std::memset(KeyboardState, 0, sizeof KeyboardState);
}
