// sim/natives_menu.cpp -- how the simulated game answers the menu's natives: drawing captured
// per frame, the pad, the script timer, sounds and the player's cash.
#include <cmath>
#include <cstring>

#include "sim/native_call_sim.h"
#include "sim/money.h"
#include "sim/sim.h"

namespace {
void CopyName(char (&to)[32], const char* from)
{
    std::strncpy(to, from, sizeof to - 1);
    to[sizeof to - 1] = '\0';
}
} // namespace

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

void Sim::DrawSprite(NativeCall& c)
{
    DrawItem item;
    item.kind = DrawItem::Sprite;
    CopyName(item.dictionary, c.Text(0));
    CopyName(item.texture, c.Text(1));
    item.x = c.Float(2);
    item.y = c.Float(3);
    item.width = c.Float(4);
    item.height = c.Float(5);
    item.rotation = c.Float(6);
    item.red = c.Int(7);
    item.green = c.Int(8);
    item.blue = c.Int(9);
    item.alpha = c.Int(10);
    if (c.Int(11) != 0)
        c.Fail("last argument must be 0");
    draws_.push_back(item);
}

// Scale and colour hold for the next text displayed, then fall back to the defaults.
void Sim::SetTextScale(NativeCall& c)
{
    nextTextScaleX_ = c.Float(0);
    nextTextScaleY_ = c.Float(1);
}

void Sim::SetTextColour(NativeCall& c)
{
    for (int i = 0; i < 4; ++i)
        nextTextColour_[i] = c.Int(i);
    nextTextColoured_ = true;
}

void Sim::DisplayText(NativeCall& c)
{
    const char* text = HeldText(c.Raw(0));
    DrawItem item;
    item.kind = DrawItem::Text;
    item.x = c.Float(1);
    item.y = c.Float(2);
    item.scaleX = nextTextScaleX_;
    item.scaleY = nextTextScaleY_;
    item.coloured = nextTextColoured_;
    if (nextTextColoured_) {
        item.red = nextTextColour_[0];
        item.green = nextTextColour_[1];
        item.blue = nextTextColour_[2];
        item.alpha = nextTextColour_[3];
    }
    nextTextScaleX_ = nextTextScaleY_ = 1.0f;
    nextTextColoured_ = false;
    if (text == nullptr) {
        c.Fail("displays a text the game does not hold");
        return;
    }
    std::strncpy(item.text, text, sizeof item.text - 1);
    draws_.push_back(item);
}

void Sim::PlayerCash(NativeCall& c) { c.ReturnInt(cash_); }

void Sim::ChargeCash(NativeCall& c)
{
    const int32_t amount = c.Int(0);
    if (amount < 0)
        c.Fail("a negative charge");
    cash_ -= amount;
    if (logging_)
        Note("cash charged " + MoneyText(amount) + ", " + MoneyText(cash_) + " left");
}
