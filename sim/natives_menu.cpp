// sim/natives_menu.cpp -- how the simulated game answers the menu's natives: the drawing (which
// the observer captures), the pad, the script timer, sounds and the player's cash.
#include <cmath>
#include <cstring>

#include "sim/native_call_sim.h"
#include "sim/sim.h"

void Sim::PadHold(const char* control) { padHeld_[SimHashOfName(control)] = true; }

void Sim::PadRelease(const char* control)
{
    const uint32_t hash = SimHashOfName(control);
    padHeld_[hash] = false;
    padReleasedFrame_[hash] = frame_ + 1;
}

void Sim::UsingKeyboard(NativeCall& c)
{
    if (c.Int(0) != 0)
        c.Fail("asks about pad 0 only");
    c.ReturnInt(usingKeyboard_ ? 1 : 0);
}

void Sim::BlockPadControls(NativeCall& c)
{
    if (c.Int(0) != 0)
        c.Fail("blocks pad 0 only");
    padBlockedFrame_ = frame_;
}

void Sim::ScriptTimer(NativeCall& c) { c.ReturnInt(ScriptTimer()); }

void Sim::SetScriptTimer(NativeCall& c) { timerBase_ = now_ - c.Int(0); }

void Sim::ControlIsHeld(NativeCall& c)
{
    const int32_t pad = c.Int(0);
    const uint32_t control = c.Hash(1);
    auto it = padHeld_.find(control);
    c.ReturnInt(pad == 0 && it != padHeld_.end() && it->second ? 1 : 0);
}

void Sim::ControlJustReleased(NativeCall& c)
{
    const int32_t pad = c.Int(0);
    const uint32_t control = c.Hash(1);
    auto it = padReleasedFrame_.find(control);
    c.ReturnInt(pad == 0 && it != padReleasedFrame_.end() && it->second == frame_ ? 1 : 0);
}

void Sim::PlayFrontendSound(NativeCall& c)
{
    c.Text(0);
    c.Text(1);
    c.Int(2);
    c.Int(3);
    ++soundsPlayed_;
}

// What the drawing natives put on screen is the observer's to capture (sim/observer.cpp); the game
// checks only that each call is one it can draw.
void Sim::DrawSprite(NativeCall& c)
{
    c.Text(0);
    c.Text(1);
    for (int i = 2; i < 7; ++i)
        c.Float(i);
    for (int i = 7; i < 11; ++i)
        c.Int(i);
    if (c.Int(11) != 0)
        c.Fail("last argument must be 0");
}

void Sim::SetTextScale(NativeCall& c)
{
    c.Float(0);
    c.Float(1);
}

void Sim::SetTextColour(NativeCall& c)
{
    for (int i = 0; i < 4; ++i)
        c.Int(i);
}

void Sim::DisplayText(NativeCall& c)
{
    const char* text = HeldText(c.Raw(0));
    c.Float(1);
    c.Float(2);
    if (text == nullptr)
        c.Fail("displays a text the game does not hold");
}

void Sim::PlayerCash(NativeCall& c) { c.ReturnInt(cash_); }

void Sim::ChargeCash(NativeCall& c)
{
    const int32_t amount = c.Int(0);
    if (amount < 0)
        c.Fail("a negative charge");
    cash_ -= amount;
}
