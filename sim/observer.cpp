// sim/observer.cpp -- reads the plug-in's calls as a person watching the screen would: what each
// frame shows, and the story a maintainer needs from a session (where the player stood, what the
// menu made of each key, why it closed, what the train did).
#include "sim/observer.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "host/natives.h"
#include "sim/menu_layout.h"

namespace {

// A key's word as the plug-in keeps it: the event's tick in bits 0 to 31, then "an event
// arrived" and "it was a release".
constexpr uint64_t KeyEventBit = uint64_t{1} << 32;
constexpr uint64_t KeyReleaseBit = uint64_t{1} << 33;

// Windows' virtual key codes by the names on the keys; the menu's keys are settings, so any other
// is told by its number.
std::string KeyName(uint32_t key)
{
    switch (key) {
    case 8: return "Backspace";
    case 13: return "Enter";
    case 27: return "Escape";
    case 32: return "Space";
    case 37: return "Left";
    case 38: return "Up";
    case 39: return "Right";
    case 40: return "Down";
    default: return std::to_string(key);
    }
}

float FloatOf(uint64_t raw)
{
    const auto low = static_cast<uint32_t>(raw);
    float f;
    std::memcpy(&f, &low, sizeof f);
    return f;
}

int32_t IntOf(uint64_t raw) { return static_cast<int32_t>(static_cast<uint32_t>(raw)); }

// A bounded copy: every frame copies a few dozen texts, so whole runs at once.
void CopyInto(char* to, size_t size, const char* from)
{
    const size_t n = strnlen(from, size - 1);
    std::memcpy(to, from, n);
    to[n] = '\0';
}

// The text at an address the plug-in pushed, copied at most size - 1 bytes.
void CopyText(char* to, size_t size, uint64_t address)
{
    const char* from = reinterpret_cast<const char*>(address);
    if (from == nullptr)
        to[0] = '\0';
    else
        CopyInto(to, size, from);
}

// The text as the player reads it, into fixed storage: markup tags dropped.
void StripInto(char* to, size_t size, const char* from)
{
    size_t n = 0;
    while (*from != '\0' && n + 1 < size) {
        const size_t run = std::min(std::strcspn(from, "<"), size - 1 - n);
        std::memcpy(to + n, from, run);
        n += run;
        from += run;
        if (*from != '<')
            continue;
        const char* close = std::strchr(from, '>');
        if (close == nullptr)
            break;  // an unclosed tag hides the rest, as it would on screen
        from = close + 1;
    }
    to[n] = '\0';
}

std::string Quoted(const char* text) { return std::string("\"") + text + "\""; }

// The fare an item shows after its station: "Saint Denis - 8.65$" -> "8.65$".
std::string FareOfItem(const char* item)
{
    const char* dash = std::strstr(item, " - ");
    return dash != nullptr ? std::string(dash + 3) : std::string("?");
}

}  // namespace

std::string TimelineLine(const ObservedEvent& e)
{
    char frame[32];
    std::snprintf(frame, sizeof frame, "frame %7" PRIu64, e.frame);
    return std::string(frame) + "  " + (e.timeRead ? FormatGameTime(e.gameTime) : std::string("     --    ")) + "  " +
           e.text;
}

Observer::Observer() : composed_(ComposedSlots)
{
    drawing_.reserve(MaxDraws);
    shown_.reserve(MaxDraws);
}

void Observer::NewSession()
{
    frame_ = 0;
    timeRead_ = false;
    gameTime_ = 0;
    drawing_.clear();
    shown_.clear();
    menu_ = MenuView{};
    menuOpen_ = refusing_ = false;
    actedFrames_ = -1;
    lastRead_ = Read::Nothing;
    unansweredCount_ = 0;
    std::memset(lastWord_, 0, sizeof lastWord_);
    playerPed_ = train_ = 0;
    playerSeen_ = halted_ = false;
    junctions_.clear();
}

void Observer::ForgetHistory()
{
    timeline_.clear();
    trip_ = TripRecord{};
}

void Observer::Event(const std::string& text)
{
    if (timelineOn_)
        timeline_.push_back(ObservedEvent{frame_, timeRead_, gameTime_, text});
}

DrawItem* Observer::NewDraw(DrawItem::Kind kind)
{
    // A frame with more than its capacity is not a menu the harness knows; the rest is dropped
    // rather than touching the heap.
    if (drawing_.size() == MaxDraws)
        return nullptr;
    DrawItem& item = drawing_.emplace_back();
    item.kind = kind;
    return &item;
}

void Observer::Compose(uint64_t handle, const char* text)
{
    Composed& slot = composed_[nextComposed_++ % ComposedSlots];
    slot.handle = handle;
    CopyInto(slot.text, sizeof slot.text, text);
}

const char* Observer::ComposedText(uint64_t handle) const
{
    // Newest first: a host may hand the same handle out again for a later text.
    for (size_t i = 1; i <= ComposedSlots && i <= nextComposed_; ++i) {
        const Composed& slot = composed_[(nextComposed_ - i) % ComposedSlots];
        if (slot.handle == handle)
            return slot.text;
    }
    return nullptr;
}

const char* Observer::NameOfHash(uint32_t hash) const
{
    for (const HashedName& n : names_) {
        if (n.hash == hash && n.name[0] != '\0')
            return n.name;
    }
    return nullptr;
}

int32_t Observer::StationOfItem(const char* text)
{
    for (int32_t s = 0; s < 13; ++s) {
        const size_t n = std::strlen(SimStationName(s));
        if (std::strncmp(text, SimStationName(s), n) == 0 && std::strncmp(text + n, " - ", 3) == 0)
            return s;
    }
    return -1;
}

void Observer::Call(uint64_t hash, const uint64_t* args, int argc, const uint64_t* result)
{
    const auto arg = [&](int i) { return i < argc ? args[i] : 0; };
    switch (hash) {
    case NativeGameTime:
        gameTime_ = IntOf(result[0]);
        timeRead_ = true;
        break;
    case NativePlayerPed: playerPed_ = IntOf(result[0]); break;
    case NativeEntityPosition:
        if (argc == 3 && IntOf(arg(0)) == playerPed_ && playerPed_ != 0) {
            playerAt_ = Vec3{FloatOf(result[0]), FloatOf(result[1]), FloatOf(result[2])};
            playerSeen_ = true;
        } else if (argc == 3 && IntOf(arg(0)) == train_ && train_ != 0) {
            trip_.trail.push_back(Vec3{FloatOf(result[0]), FloatOf(result[1]), FloatOf(result[2])});
        }
        break;
    case NativeHashOfName:
        if (argc == 1) {
            HashedName& n = names_[nextName_++ % NameSlots];
            n.hash = static_cast<uint32_t>(result[0]);
            CopyText(n.name, sizeof n.name, arg(0));
        }
        break;
    case NativeComposeText:
        if (argc == 3) {
            Composed& slot = composed_[nextComposed_++ % ComposedSlots];
            slot.handle = result[0];
            CopyText(slot.text, sizeof slot.text, arg(2));
        } else if (argc == 4) {
            const char* source = ComposedText(arg(3));
            Compose(result[0], source != nullptr ? source : "");
        }
        break;
    case NativePromptSetLabel:
        if (const char* label = argc == 2 ? ComposedText(arg(1)) : nullptr)
            CopyInto(promptLabel_, sizeof promptLabel_, label);
        break;
    case NativePromptFinishSetup:
        // The prompt is offered again only once the menu is gone: a cancel shows here first.
        if (menuOpen_ && !refusing_) {
            promptBack_ = true;
            MenuClosed();
        }
        if (timelineOn_)
            Event("prompt " + Quoted(promptLabel_) + " offered" +
                  (playerSeen_ ? std::string(" at ") + SimStationName(Sim::NearestStation(playerAt_)) : ""));
        break;
    case NativePromptWasUsed:
        if (result[0] != 0)
            if (timelineOn_)
                Event("player uses the prompt");
        break;
    case NativePromptRemove:
        if (timelineOn_)
            Event("prompt " + Quoted(promptLabel_) + " withdrawn");
        break;
    case NativeControlIsHeld:
    case NativeControlJustReleased:
        if (argc == 2) {
            lastRead_ = Read::Pad;
            lastReadWhich_ = static_cast<uint32_t>(arg(1));
        }
        break;
    case NativeSetScriptTimer:
        // The menu answers the input it has just read by closing its gate.
        if (argc == 1 && IntOf(arg(0)) == 0 && lastRead_ != Read::Nothing && menuOpen_) {
            if (lastRead_ == Read::Key) {
                std::snprintf(acted_, sizeof acted_, "key %s", KeyName(lastReadWhich_).c_str());
            } else {
                const char* name = NameOfHash(lastReadWhich_);
                std::snprintf(acted_, sizeof acted_, "pad %s", name != nullptr ? name : "control");
            }
            actedFrames_ = 0;
            RememberAsked();
            purchased_ = refusedNow_ = transitionNow_ = false;
            for (int i = 0; i < unansweredCount_; ++i) {
                if (lastRead_ == Read::Key && unanswered_[i] == lastReadWhich_)
                    unanswered_[i] = unanswered_[--unansweredCount_];
            }
        }
        break;
    case NativeDrawSprite:
        if (argc == 12) {
            DrawItem* item = NewDraw(DrawItem::Sprite);
            if (item == nullptr)
                break;
            CopyText(item->dictionary, sizeof item->dictionary, arg(0));
            CopyText(item->texture, sizeof item->texture, arg(1));
            item->x = FloatOf(arg(2));
            item->y = FloatOf(arg(3));
            item->width = FloatOf(arg(4));
            item->height = FloatOf(arg(5));
            item->rotation = FloatOf(arg(6));
            item->red = IntOf(arg(7));
            item->green = IntOf(arg(8));
            item->blue = IntOf(arg(9));
            item->alpha = IntOf(arg(10));
        }
        break;
    case NativeSetTextScale:
        if (argc == 2) {
            nextScale_[0] = FloatOf(arg(0));
            nextScale_[1] = FloatOf(arg(1));
        }
        break;
    case NativeSetTextColour:
        if (argc == 4) {
            for (int i = 0; i < 4; ++i)
                nextColour_[i] = IntOf(arg(i));
            nextColoured_ = true;
        }
        break;
    case NativeDisplayText: {
        // Scale and colour hold for the next text displayed only.
        const char* text = argc == 3 ? ComposedText(arg(0)) : nullptr;
        if (text != nullptr) {
            if (DrawItem* item = NewDraw(DrawItem::Text)) {
                item->x = FloatOf(arg(1));
                item->y = FloatOf(arg(2));
                item->scaleX = nextScale_[0];
                item->scaleY = nextScale_[1];
                item->coloured = nextColoured_;
                if (nextColoured_) {
                    item->red = nextColour_[0];
                    item->green = nextColour_[1];
                    item->blue = nextColour_[2];
                    item->alpha = nextColour_[3];
                }
                CopyInto(item->text, sizeof item->text, text);
            }
        }
        nextScale_[0] = nextScale_[1] = 1;
        nextColoured_ = false;
        break;
    }
    case NativePlayerCash: cash_ = IntOf(result[0]); break;
    case NativeChargeCash:
        if (argc == 1) {
            const int32_t amount = IntOf(arg(0));
            const int32_t to = StationOfItem(actedFrames_ >= 0 ? asked_.item : menu_.Item(menu_.highlighted));
            if (to >= 0)
                destination_ = to;
            fareCents_ = amount;
            purchased_ = true;
            closeReason_ = Close::Bought;
            TellInputOutcome(false);
            if (timelineOn_)
                Event("ticket bought to " + std::string(SimStationName(to)) + " for " + MoneyText(amount) + ", " +
                      MoneyText(cash_ - amount) + " left");
        }
        break;
    case NativeTransitionBegin:
        transitionNow_ = true;
        TellInputOutcome(false);
        if (timelineOn_)
            Event("dispatch: the screen goes into a transition");
        break;
    case NativeTransitionEnd:
        if (timelineOn_)
            Event("dispatch over: the transition ends");
        break;
    case NativeCreateTrain:
        if (argc == 8) {
            train_ = IntOf(result[0]);
            halted_ = false;
            const Vec3 at{FloatOf(arg(1)), FloatOf(arg(2)), FloatOf(arg(3))};
            trip_.trail.clear();
            trip_.halts.clear();
            trip_.switches.clear();
            trip_.trail.push_back(at);
            char text[96];
            std::snprintf(text, sizeof text, "train 0x%08X created beside %s", static_cast<uint32_t>(arg(0)),
                          SimStationName(Sim::NearestStation(at)));
            if (timelineOn_)
                Event(text);
        }
        break;
    case NativeTrainImmediateSpeed:
        if (argc == 2 && FloatOf(arg(1)) == 0.0f && !halted_ && train_ != 0) {
            halted_ = true;
            const Vec3 at = trip_.trail.empty() ? Vec3{} : trip_.trail.back();
            const int32_t station = Sim::NearestStation(at);
            trip_.halts.push_back(TrainHalt{gameTime_, 0, at, station});
            if (timelineOn_)
                Event(std::string("train stops at ") + SimStationName(station));
        }
        break;
    case NativeTrainTravelSpeed:
        if (argc == 2 && halted_ && FloatOf(arg(1)) > 0.0f && !trip_.halts.empty()) {
            halted_ = false;
            TrainHalt& h = trip_.halts.back();
            h.leftAt = gameTime_;
            char text[64];
            // The game clock wraps as a 32-bit count; so does the plug-in's arithmetic on it.
            const int32_t halted =
                static_cast<int32_t>(static_cast<uint32_t>(h.leftAt) - static_cast<uint32_t>(h.stoppedAt));
            std::snprintf(text, sizeof text, "train leaves after a halt of %.1f s",
                          static_cast<double>(halted) / 1000.0);
            if (timelineOn_)
                Event(text);
        }
        break;
    case NativeSetJunction:
        if (argc == 3) {
            const int32_t track = IntOf(arg(0)), index = IntOf(arg(1)), state = IntOf(arg(2));
            // The plug-in sets a junction again on every step while the readings match; only a
            // change is told.
            JunctionState* known = nullptr;
            for (JunctionState& j : junctions_) {
                if (j.track == track && j.index == index)
                    known = &j;
            }
            if (known != nullptr && known->state == state)
                break;
            if (known != nullptr)
                known->state = state;
            else
                junctions_.push_back(JunctionState{track, index, state});
            const Vec3 at = !trip_.trail.empty() ? trip_.trail.back() : playerAt_;
            trip_.switches.push_back(JunctionSwitch{gameTime_, track, index, state != 0, at});
            char text[128];
            std::snprintf(text, sizeof text, "junction (%d, %d) set to %d near %s", track, index, state,
                          SimStationName(Sim::NearestStation(at)));
            if (timelineOn_)
                Event(text);
        }
        break;
    case NativeGiveUpEntity:
        if (timelineOn_)
            Event("the train is given up");
        break;
    default: break;
    }
}

void Observer::KeyRead(uint32_t key, uint64_t word)
{
    if (key >= KeySlots)
        return;
    const uint64_t before = lastWord_[key];
    lastWord_[key] = word;
    lastRead_ = Read::Key;
    lastReadWhich_ = key;
    // A release read with no press of that key read before it: the whole tap came and went while
    // the menu's gate was shut. Told at the frame's end unless the menu answers it. (Two taps of
    // one key inside one shut gate look like one: the word keeps only the latest event.)
    if (word != before && (word & KeyEventBit) != 0 && (word & KeyReleaseBit) != 0 && menuOpen_ &&
        ((before & KeyEventBit) == 0 || (before & KeyReleaseBit) != 0) && unansweredCount_ < MaxUnanswered)
        unanswered_[unansweredCount_++] = key;
}

// What the acted-on input did, told as soon as it shows (final: nothing more will show).
void Observer::TellInputOutcome(bool final)
{
    if (actedFrames_ < 0)
        return;
    enum { Accepted, Moved, Cancelled, NothingHappens } outcome;
    if (purchased_ || refusedNow_ || transitionNow_)
        outcome = Accepted;
    else if (menu_.IsMenu() && menu_.highlighted != asked_.highlighted)
        outcome = Moved;
    else if (promptBack_ || (!menu_.panel && !refusing_))
        outcome = Cancelled;
    else if (final)
        outcome = NothingHappens;
    else
        return;
    actedFrames_ = -1;
    if (outcome == Cancelled)
        closeReason_ = Close::Cancelled;
    if (!timelineOn_)
        return;
    const std::string asked = Quoted(asked_.item);
    switch (outcome) {
    case Accepted: Event(std::string(acted_) + ": accepted " + asked); break;
    case Moved:
        Event(std::string(acted_) + ": moved to row " + std::to_string(menu_.highlighted + 1) + ", " +
              Quoted(menu_.Item(menu_.highlighted)));
        break;
    case Cancelled: Event(std::string(acted_) + ": cancelled"); break;
    case NothingHappens: Event(std::string(acted_) + ": accepted " + asked + ", and nothing happens"); break;
    }
}

void Observer::ReadMenu()
{
    MenuView& v = menu_;
    v.panel = false;
    v.highlighted = -1;
    v.lineCount = 0;
    for (const DrawItem& d : drawing_) {
        if (d.kind == DrawItem::Sprite) {
            if (d.width == menu_layout::PanelWidth)
                v.panel = true;
            else if (d.width == menu_layout::HighlightFillWidth)
                v.highlighted = menu_layout::ItemOfBar(d.y);
        } else if (v.lineCount < MenuView::MaxLines) {
            StripInto(v.lines[v.lineCount++], MenuView::LineBytes, d.text);
        }
    }
}

// The item under the highlight, as the player had it before an input or a refusal.
void Observer::RememberAsked()
{
    asked_.highlighted = menu_.highlighted;
    CopyInto(asked_.item, sizeof asked_.item, menu_.Item(menu_.highlighted));
}

void Observer::MenuClosed()
{
    menuOpen_ = false;
    TellInputOutcome(false);
    const Close reason = closeReason_;
    closeReason_ = Close::Unknown;
    if (!timelineOn_)
        return;
    if (reason == Close::Bought)
        Event("menu closes: ticket bought");
    else if (reason == Close::Cancelled)
        Event("menu closes: cancelled");
    else
        Event(transitionNow_ ? "menu closes: the trip begins" : "menu closes: the player walked away");
}

void Observer::EndFrame()
{
    ReadMenu();
    if (menu_.IsNotice()) {
        if (!refusing_) {
            refusing_ = true;
            refusedNow_ = true;
            TellInputOutcome(false);
            if (timelineOn_)
                Event("refused: " + Quoted(menu_.lines[0]) + ": fare " + FareOfItem(asked_.item) + ", cash " +
                      MoneyText(cash_));
            if (firstRefusal_.empty())
                firstRefusal_ = drawing_;
        }
    } else if (menu_.IsMenu()) {
        refusing_ = false;
        if (!menuOpen_ && !promptBack_) {
            menuOpen_ = true;
            closeReason_ = Close::Unknown;
            int32_t at = -1;
            for (int i = 1; i < menu_.lineCount; ++i) {
                for (int32_t s = 0; s < 13; ++s) {
                    if (std::strcmp(menu_.lines[i], SimStationName(s)) == 0)
                        at = s;  // the player's own station is listed bare
                }
            }
            if (at < 0 && playerSeen_)
                at = Sim::NearestStation(playerAt_);
            origin_ = at;
            if (timelineOn_)
                Event(std::string("menu ") + (menu_.lineCount == 12 ? "one" : "two") + " is open at " +
                      SimStationName(at));
            if (firstMenu_.empty())
                firstMenu_ = drawing_;
        }
        if (actedFrames_ < 0)
            RememberAsked();
    } else if (!refusing_ && menuOpen_) {
        MenuClosed();
    }
    if (actedFrames_ >= 0)
        TellInputOutcome(++actedFrames_ >= 2);
    else if (!menu_.panel)
        purchased_ = transitionNow_ = false;

    // Key releases read this frame that the menu let pass.
    for (int i = 0; i < unansweredCount_; ++i)
        if (timelineOn_)
            Event("key " + KeyName(unanswered_[i]) + ": ignored by the input gate");
    unansweredCount_ = 0;
    lastRead_ = Read::Nothing;
    refusedNow_ = promptBack_ = false;

    drawing_.swap(shown_);
    drawing_.clear();
    ++frame_;
}
