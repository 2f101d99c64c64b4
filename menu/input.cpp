// menu/input.cpp -- menu input from the keyboard (KeyboardState) and pad 0's front-end controls.
// One shared gate: after any move, accept or cancel all menu input is ignored until the game's
// script timer passes 150 ms again, so a held direction repeats about every 150 ms.
//
//   gate closed (timer <= 150)     -> nothing read, nothing played
//   up key or pad up held          -> selection - 1 (wraps to last), timer 0, sound
//   else down key or pad down held -> selection + 1 (wraps to 0),    timer 0, sound
//   Enter or pad accept released   -> accept, timer 0, sound
//   else Backspace or pad cancel   -> cancel, ActiveMenu 0, timer 0, sound
#include "menu/input.h"

#include "host/native_call.h"
#include "host/natives.h"
#include "plugin/journey_state.h"
#include "plugin/keyboard.h"
#include "plugin/settings.h"

namespace {

constexpr int32_t InputGateMs = 150;
constexpr int32_t Pad = 0;
constexpr uint32_t EnterKey = 13;
constexpr uint32_t BackspaceKey = 8;

bool GateOpen() { return Invoke<int32_t>(NativeScriptTimer) > InputGateMs; }

// Closes the gate and answers the action with the menu sound.
void Acknowledge()
{
    Invoke<void>(NativeSetScriptTimer, 0);
    Invoke<void>(NativePlayFrontendSound, "NAV_RIGHT", "HUD_SHOP_SOUNDSET", 1, 0);
}

uint32_t Control(const char* name) { return Invoke<uint32_t>(NativeHashOfName, name); }

bool PadHeld(const char* control) { return Invoke<int32_t>(NativeControlIsHeld, Pad, Control(control)) != 0; }

bool PadReleased(const char* control) { return Invoke<int32_t>(NativeControlJustReleased, Pad, Control(control)) != 0; }

}  // namespace

void NavigateMenu(int32_t& selection, int32_t lastIndex)
{
    if (!GateOpen())
        return;
    // The pad is read only when the key does not already answer.
    if (KeyIsHeld(static_cast<uint32_t>(MenuUpKey)) || PadHeld("INPUT_FRONTEND_UP")) {
        --selection;
        Acknowledge();
        if (selection < 0)
            selection = lastIndex;
        return;
    }
    if (KeyIsHeld(static_cast<uint32_t>(MenuDownKey)) || PadHeld("INPUT_FRONTEND_DOWN")) {
        ++selection;
        Acknowledge();
        if (selection > lastIndex)
            selection = 0;
    }
}

int32_t ReadAcceptOrCancel()
{
    if (!GateOpen())
        return NoInput;
    if (ConsumeKeyRelease(EnterKey) || PadReleased("INPUT_FRONTEND_ACCEPT")) {
        Acknowledge();
        return AcceptInput;
    }
    if (ConsumeKeyRelease(BackspaceKey) || PadReleased("INPUT_FRONTEND_CANCEL")) {
        Journey.ActiveMenu = 0;
        Acknowledge();
        return CancelInput;
    }
    return NoInput;
}
