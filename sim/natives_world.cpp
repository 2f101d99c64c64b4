// sim/natives_world.cpp -- how the simulated game answers each native: the player, positions,
// the clock, random numbers, names, composed texts and the interaction prompt.
#include <cstdio>
#include <cstring>

#include "sim/sim.h"

#include "sim/native_call_sim.h"

void Sim::PlayerPed(NativeCall& c) { c.ReturnInt(playerHandle_); }

void Sim::EntityExists(NativeCall& c)
{
    const int32_t entity = c.Int(0);
    bool exists = entity != 0 && entity == playerHandle_ && playerExists_;
    if (const SimTrain* train = entity != 0 ? FindTrain(entity) : nullptr)
        exists = train->exists;
    if (const SimPed* ped = entity != 0 ? FindPed(entity) : nullptr)
        exists = ped->exists;
    c.ReturnBool(exists);
}

void Sim::PlayerCanInteract(NativeCall& c)
{
    const int32_t ped = c.Int(0);
    c.ReturnBool(ped == playerHandle_ && playerExists_ && playerCanInteract_);
}

void Sim::PlayerIsOccupied(NativeCall& c)
{
    const int32_t ped = c.Int(0);
    if (c.Int(1) != 1)
        c.Fail("second argument must be 1");
    c.ReturnBool(ped == playerHandle_ && playerOccupied_);
}

void Sim::EntityPosition(NativeCall& c)
{
    const int32_t entity = c.Int(0);
    const int32_t flag = c.Int(1);
    if ((flag != 0 && flag != 1) || c.Int(2) != 0)
        c.Fail("flag must be 0 or 1 and the last argument 0");
    const SimTrain* train = entity != 0 ? FindTrain(entity) : nullptr;
    if (entity == playerHandle_ && playerExists_)
        c.ReturnVector(playerPos_);
    else if (train != nullptr && train->exists)
        c.ReturnVector(TrainPosition(*train));
    else
        c.ReturnVector(Vec3{});  // what the game answers for an entity that is not there
}

void Sim::SquaredDistance(NativeCall& c)
{
    const float dx = c.Float(0) - c.Float(3);
    const float dy = c.Float(1) - c.Float(4);
    const float dz = c.Float(2) - c.Float(5);
    c.ReturnFloat(dx * dx + dy * dy + dz * dz);
}

void Sim::GameTime(NativeCall& c) { c.ReturnInt(GameClock()); }

void Sim::RandomInt(NativeCall& c)
{
    const int32_t low = c.Int(0);
    const int32_t limit = c.Int(1);
    int32_t value = low;
    if (!forcedRandom_.empty()) {
        value = forcedRandom_.front();
        forcedRandom_.pop_front();
    } else if (limit > low) {
        value = std::uniform_int_distribution<int32_t>(low, limit - 1)(rng_);
    }
    c.ReturnInt(value);
}

void Sim::CoinFlip(NativeCall& c)
{
    bool value = (rng_() & 1u) != 0;
    if (!forcedFlips_.empty()) {
        value = forcedFlips_.front();
        forcedFlips_.pop_front();
    }
    c.ReturnBool(value);
}

void Sim::HashOfName(NativeCall& c)
{
    const uint32_t hash = SimHashOfName(c.Text(0));
    c.ReturnInt(static_cast<int32_t>(hash));
}

// Texts are owned by the game and stay valid a little past the frame they were made in; the
// opaque value handed out is the address of the text.
void Sim::ComposeText(NativeCall& c)
{
    if (c.Count() < 3) {
        c.Fail("needs flags, a template and its arguments");
        return;
    }
    const int32_t flags = c.Int(0);
    const char* templateName = c.Text(1);
    const char* source = nullptr;
    if (std::strcmp(templateName, "LITERAL_STRING") == 0 && c.Count() == 3 && flags == 10) {
        source = c.Text(2);
    } else if (std::strcmp(templateName, "COLOR_STRING") == 0 && c.Count() == 4 && flags == 42) {
        c.Int(2);
        source = HeldText(c.Raw(3));
        if (source == nullptr) {
            c.Fail("COLOR_STRING of a text the game does not hold");
            return;
        }
    } else {
        c.Fail(std::string("unsupported template ") + templateName);
        return;
    }
    const size_t slot = nextText_++ % TextSlots;
    if (textFrame_[slot] != ~uint64_t{0} && textFrame_[slot] + 2 >= frame_)
        Error("more composed texts in two frames than the game holds");
    char* text = textRing_.get() + slot * TextSlotBytes;
    std::strncpy(text, source, TextSlotBytes - 1);
    text[TextSlotBytes - 1] = '\0';
    textFrame_[slot] = frame_;
    c.ReturnOpaque(reinterpret_cast<uint64_t>(text), "text", text);
}

const char* Sim::HeldText(uint64_t address)
{
    const auto base = reinterpret_cast<uint64_t>(textRing_.get());
    if (address < base || address >= base + TextSlots * TextSlotBytes)
        return nullptr;
    const uint64_t offset = address - base;
    const size_t slot = static_cast<size_t>(offset / TextSlotBytes);
    if (offset % TextSlotBytes != 0 || textFrame_[slot] == ~uint64_t{0} || textFrame_[slot] + 2 < frame_)
        return nullptr;
    return reinterpret_cast<const char*>(address);
}

void Sim::PromptBegin(NativeCall& c)
{
    const int32_t handle = nextPromptHandle_++;
    prompts_[handle].handle = handle;
    c.ReturnInt(handle);
}

void Sim::PromptSetControl(NativeCall& c)
{
    SimPrompt* prompt = FindPrompt(c.Int(0));
    const uint32_t control = c.Hash(1);
    if (prompt == nullptr)
        c.Complain();
    else
        prompt->control = control;
}

void Sim::PromptSetLabel(NativeCall& c)
{
    SimPrompt* prompt = FindPrompt(c.Int(0));
    const char* label = HeldText(c.Raw(1));
    if (label == nullptr)
        c.Fail("a label the game does not hold");
    else if (prompt == nullptr)
        c.Complain();
    else
        prompt->label = label;
}

// The four settings mean nothing to this game; each is kept with its hash, for the tests.
void Sim::PromptSetting(NativeCall& c)
{
    SimPrompt* prompt = FindPrompt(c.Int(0));
    const int32_t value = c.Int(1);
    if (prompt == nullptr)
        c.Complain();
    else
        prompt->settings.emplace_back(call_.hash, value);
}

void Sim::PromptSettingA(NativeCall& c) { PromptSetting(c); }
void Sim::PromptSettingB(NativeCall& c) { PromptSetting(c); }
void Sim::PromptSettingC(NativeCall& c) { PromptSetting(c); }
void Sim::PromptSettingD(NativeCall& c) { PromptSetting(c); }

void Sim::PromptFinishSetup(NativeCall& c)
{
    SimPrompt* prompt = FindPrompt(c.Int(0));
    if (prompt == nullptr) {
        c.Complain();
        return;
    }
    prompt->setUp = true;
}

void Sim::PromptWasUsed(NativeCall& c)
{
    SimPrompt* prompt = FindPrompt(c.Int(0));
    if (prompt == nullptr)
        ++stalePromptQueries_;
    c.ReturnBool(prompt != nullptr && prompt->used);
}

void Sim::PromptRemove(NativeCall& c)
{
    const int32_t handle = c.Int(0);
    auto it = prompts_.find(handle);
    if (it == prompts_.end()) {
        ++stalePromptQueries_;
        return;
    }
    prompts_.erase(it);
}
