// sim/replay.cpp -- the replay host. The plug-in's script runs straight on this thread: every
// host call takes the next record and must match it; a wait counts a frame and returns at once.
// At the end of the recording, or at the first difference, a private exception unwinds the
// script (it never returns by itself) back to ReplaySession.
#include "sim/replay.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "host/host_api.h"
#include "host/natives.h"
#include "host_natives.h"
#include "plugin/keyboard.h"
#include "plugin/script.h"
#include "sim/call_slots.h"
#include "sim/native_call_sim.h"
#include "sim/money.h"
#include "sim/picture.h"

using namespace recording;

namespace {

struct ReplayStop {};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string NameOf(uint64_t hash)
{
    const char* name = Sim::NativeName(hash);
    return name != nullptr ? name : Hex(hash);
}

float FloatOf(uint64_t bits)
{
    const auto low = static_cast<uint32_t>(bits);
    float f;
    std::memcpy(&f, &low, sizeof f);
    return f;
}

// The text at a pushed address, as far as a recording keeps it.
std::string TextAt(uint64_t address)
{
    const char* p = reinterpret_cast<const char*>(address);
    if (p == nullptr)
        return {};
    size_t n = 0;
    while (n < MaxTextBytes && p[n] != 0)
        ++n;
    return std::string(p, n);
}

std::string RecordedArgText(const RecordedArg& a)
{
    switch (a.kind) {
    case IntArg:
    case WidenedArg: return std::to_string(a.value);
    case FloatArg: return FloatText(FloatOf(a.bits));
    case TextArg: return Quoted(a.text);
    case OutArg: return "&" + std::to_string(a.value);
    case OpaqueArg: return Hex(a.bits);
    }
    return "?";
}

std::string RecordedCallText(const RecordedCall& call)
{
    std::string s = NameOf(call.hash) + "(";
    for (size_t i = 0; i < call.args.size(); ++i)
        s += (i > 0 ? ", " : "") + RecordedArgText(call.args[i]);
    s += ")";
    switch (call.result) {
    case NoResult: break;
    case IntResult: s += " -> " + std::to_string(call.intResult); break;
    case FloatResult: s += " -> " + FloatText(FloatOf(call.bits)); break;
    case OpaqueResult: s += " -> " + Hex(call.bits); break;
    case VectorResult:
        s += " -> (" + FloatText(call.vector[0]) + ", " + FloatText(call.vector[1]) + ", " +
             FloatText(call.vector[2]) + ")";
        break;
    }
    return s;
}

std::string RecordText(const Record& r)
{
    switch (r.tag) {
    case CallTag: return RecordedCallText(r.call);
    case WaitTag: return "scriptWait(" + std::to_string(r.waitMs) + ")";
    case TickTag: return "GetTickCount() -> " + std::to_string(r.tick);
    case KeyTag: return "a read of key " + std::to_string(r.key);
    case PedsTag: return "worldGetAllPeds(" + std::to_string(r.pedsCapacity) + ")";
    case EndTag: return "its end";
    case HeaderTag: break;
    }
    return "a record of kind " + std::to_string(static_cast<int>(r.tag));
}

// What each native takes, by position, from the hosts' table (I whole number, F float, T text,
// A address of the plug-in's variable, O opaque value, W widened handle). A recording is
// untrusted input: an argument is read as a text or an address only where the native takes one.
const char* Signature(uint64_t hash, size_t argc)
{
    const int row = HostNativeRowOf(hash);
    return row < 0 || argc > MaxArgs ? nullptr : HostNativeForm(row, static_cast<int>(argc));
}

static_assert(CallSlots::MaxArgs == MaxArgs, "a recording keeps as many arguments as a call can have");

ArgKind KindOf(char letter)
{
    switch (letter) {
    case 'F': return FloatArg;
    case 'T': return TextArg;
    case 'A': return OutArg;
    case 'O': return OpaqueArg;
    case 'W': return WidenedArg;
    default: return IntArg;
    }
}

class Player {
public:
    Player(RecordingReader& reader, ReplayResult& result) : reader_(reader), result_(result) {}

    void Run();

    // The host's functions.
    void ScriptRegister(ScriptEntryFn entry) { entry_ = entry; }
    void ScriptUnregister() { entry_ = nullptr; }
    void ScriptWait(uint32_t ms);
    void NativeInit(uint64_t hash);
    void NativePush(uint64_t value);
    uint64_t* NativeCall();
    int32_t GetAllPeds(int32_t* handles, int32_t capacity);
    uint32_t Tick();
    uint64_t KeyWord(uint32_t key);
    uint32_t Setting(const char* key, int32_t defaultValue) const;

private:
    const Record& Take(Tag tag, const std::string& pluginDid);
    [[noreturn]] void Differ(const std::string& recorded, const std::string& pluginDid);
    [[noreturn]] void Stop() { throw ReplayStop{}; }
    std::string PluginCallText() const;
    bool ArgMatches(const RecordedArg& a, uint64_t raw) const;
    void Event(const std::string& text) { result_.timeline.push_back({frame_, timeRead_, gameTime_, text}); }
    void Observe(const RecordedCall& call);
    void EndFrame();

    RecordingReader& reader_;
    ReplayResult& result_;
    Record record_;
    ScriptEntryFn entry_ = nullptr;
    bool inScript_ = false;

    CallSlots call_{};
    // The call's parts, by the names the comparison reads them under.
    const uint64_t& hash_ = call_.hash;
    const uint64_t (&args_)[CallSlots::MaxArgs] = call_.args;
    const int& argc_ = call_.argc;
    const bool& tooMany_ = call_.overflowed;  // a push past the last slot
    uint64_t (&slots_)[4] = call_.result;

    uint64_t frame_ = 0;
    bool timeRead_ = false;
    int32_t gameTime_ = 0;

    // What the timeline follows.
    std::unordered_map<uint64_t, std::string> composed_;
    std::vector<DrawItem> draws_;
    float nextScale_[2] = {1, 1};
    bool nextGrey_ = false;
    int highlight_ = -1;
    int lastHighlight_ = -1;
    std::vector<std::string> rows_;
    bool menuOpen_ = false;
    bool refusing_ = false;
    int32_t prompt_ = 0;
    int32_t cash_ = 0;
    int32_t train_ = 0;
    bool halted_ = false;
    std::map<std::pair<int32_t, int32_t>, int32_t> junctions_;
};

Player* active = nullptr;

void Player::Run()
{
    active = this;
    const HostApi saved = Host;
    Host = HostApi{
        [](void*, ScriptEntryFn e) { active->ScriptRegister(e); },
        [](void*) { active->ScriptUnregister(); },
        [](uint32_t ms) { active->ScriptWait(ms); },
        [](KeyboardHandlerFn) {},
        [](KeyboardHandlerFn) {},
        [](uint64_t h) { active->NativeInit(h); },
        [](uint64_t v) { active->NativePush(v); },
        []() { return active->NativeCall(); },
        [](int32_t* h, int32_t n) { return active->GetAllPeds(h, n); },
        []() { return active->Tick(); },
        [](const char*, const char* key, int32_t d, const char*) { return active->Setting(key, d); },
        [](const char*, const char*) -> void* { return nullptr; },
        [](void*, const void*, uint32_t) { return false; },
        [](void*) {},
    };
    ReadKeyWord = [](uint32_t key) { return active->KeyWord(key); };
    if (ReplayHostInstalled != nullptr)
        ReplayHostInstalled(Host);

    static char module = 0;
    PluginStaticInit();
    LibraryEntry(&module, 1, nullptr);
    if (entry_ != nullptr) {
        inScript_ = true;
        try {
            entry_();
            Differ("more records", "returned from its script");
        } catch (const ReplayStop&) {
        }
        inScript_ = false;
    }
    LibraryEntry(&module, 0, nullptr);

    ReadKeyWord = &LoadKeyWord;
    Host = saved;
    active = nullptr;
}

uint32_t Player::Setting(const char* key, int32_t defaultValue) const
{
    // The replay itself records nothing.
    if (std::strcmp(key, "RECORD_SESSION") == 0)
        return 0;
    for (const auto& s : reader_.Header().settings) {
        if (s.first == key)
            return s.second;
    }
    return static_cast<uint32_t>(defaultValue);
}

const Record& Player::Take(Tag tag, const std::string& pluginDid)
{
    if (!reader_.Next(record_) || record_.tag == EndTag)
        Stop();  // the session ends here; the plug-in matched it to the last record
    ++result_.records;
    if (record_.tag != tag)
        Differ(RecordText(record_), pluginDid);
    return record_;
}

void Player::Differ(const std::string& recorded, const std::string& pluginDid)
{
    result_.outcome = ReplayResult::Differs;
    result_.difference = "frame " + std::to_string(frame_) + ", game time " +
                         (timeRead_ ? FormatGameTime(gameTime_) : std::string("not yet read")) + ", call " +
                         std::to_string(result_.calls + 1) + ": the recording has " + recorded + "; the plug-in " +
                         pluginDid;
    Stop();
}

void Player::ScriptWait(uint32_t ms)
{
    if (call_.open)
        Differ(RecordText(record_), "waited inside an open native call");
    const Record& r = Take(WaitTag, "called scriptWait(" + std::to_string(ms) + ")");
    if (r.waitMs != ms)
        Differ(RecordText(r), "called scriptWait(" + std::to_string(ms) + ")");
    EndFrame();
    ++frame_;
    result_.frames = frame_;
}

uint32_t Player::Tick()
{
    return Take(TickTag, "read GetTickCount").tick;
}

uint64_t Player::KeyWord(uint32_t key)
{
    const Record& r = Take(KeyTag, "read key " + std::to_string(key));
    if (r.key != key)
        Differ(RecordText(r), "read key " + std::to_string(key));
    return r.word;
}

int32_t Player::GetAllPeds(int32_t* handles, int32_t capacity)
{
    const Record& r = Take(PedsTag, "called worldGetAllPeds(" + std::to_string(capacity) + ")");
    if (r.pedsCapacity != capacity || handles == nullptr)
        Differ(RecordText(r), "called worldGetAllPeds(" + std::to_string(capacity) + ")");
    for (size_t i = 0; i < r.peds.size(); ++i)
        handles[i] = r.peds[i];
    return r.pedsCount;
}

void Player::NativeInit(uint64_t hash)
{
    if (call_.Init(hash) == CallSlots::InitWhileOpen)
        Differ("one call at a time", "began " + NameOf(hash) + " inside the open call to " + NameOf(call_.abandoned));
}

void Player::NativePush(uint64_t value)
{
    if (call_.Push(value) == CallSlots::PushWithoutInit)
        Differ("one call at a time", "pushed an argument with no call open");
}

bool Player::ArgMatches(const RecordedArg& a, uint64_t raw) const
{
    switch (a.kind) {
    case IntArg: return raw == static_cast<uint32_t>(a.value);
    case WidenedArg: return raw == static_cast<uint64_t>(static_cast<int64_t>(a.value));
    case FloatArg: return raw == (a.bits & 0xFFFFFFFFu);
    case OpaqueArg: return raw == a.bits;
    case TextArg: return raw != 0 && TextAt(raw) == a.text;
    case OutArg: return raw != 0 && *reinterpret_cast<const int32_t*>(raw) == a.value;
    }
    return false;
}

// The plug-in's call, each argument read as the native it called takes it: a text as the text,
// an address as the value it holds. The plug-in's own pushes are followed, never the recording's.
std::string Player::PluginCallText() const
{
    const char* signature = Signature(hash_, static_cast<size_t>(argc_));
    if (signature != nullptr && std::strlen(signature) != static_cast<size_t>(argc_))
        signature = nullptr;
    std::string s = "called " + NameOf(hash_) + "(";
    for (int i = 0; i < argc_; ++i) {
        const uint64_t raw = args_[i];
        std::string text = Hex(raw);
        if (signature != nullptr) {
            switch (KindOf(signature[i])) {
            case IntArg: text = (raw >> 32) == 0 ? std::to_string(static_cast<int32_t>(raw)) : Hex(raw); break;
            case WidenedArg: text = std::to_string(static_cast<int64_t>(raw)); break;
            case FloatArg: text = (raw >> 32) == 0 ? FloatText(FloatOf(raw)) : Hex(raw); break;
            case TextArg: text = raw != 0 ? Quoted(TextAt(raw)) : "null"; break;
            case OutArg: text = raw != 0 ? "&" + std::to_string(*reinterpret_cast<const int32_t*>(raw)) : "null"; break;
            case OpaqueArg: break;
            }
        }
        s += (i > 0 ? ", " : "") + text;
    }
    return s + (tooMany_ ? ", ...)" : ")");
}

uint64_t* Player::NativeCall()
{
    if (call_.Call() == CallSlots::CallWithoutInit)
        Differ("one call at a time", "called nativeCall with no call begun");
    const Record& r = Take(CallTag, PluginCallText());
    const RecordedCall& call = r.call;
    bool same = call.hash == hash_ && !tooMany_ && call.args.size() == static_cast<size_t>(argc_);
    if (same) {
        // Only now are the plug-in's pushes known to be the native's arguments; a recorded call
        // whose kinds do not fit the native is not followed into any address.
        const char* signature = Signature(call.hash, call.args.size());
        if (signature == nullptr || std::strlen(signature) != call.args.size())
            Differ(RecordedCallText(call), "called a native this replay does not know");
        for (size_t i = 0; i < call.args.size(); ++i) {
            if (call.args[i].kind != KindOf(signature[i]))
                Differ(RecordedCallText(call) + " (argument " + std::to_string(i) + " of the wrong kind)",
                       PluginCallText());
        }
    }
    for (size_t i = 0; same && i < call.args.size(); ++i)
        same = ArgMatches(call.args[i], args_[i]);
    if (!same)
        Differ(RecordedCallText(call), PluginCallText());

    std::memset(slots_, 0, sizeof slots_);
    switch (call.result) {
    case NoResult: break;
    case IntResult: slots_[0] = static_cast<uint32_t>(call.intResult); break;
    case FloatResult: slots_[0] = call.bits & 0xFFFFFFFFu; break;
    case OpaqueResult: slots_[0] = call.bits; break;
    case VectorResult:
        for (int i = 0; i < 3; ++i) {
            uint32_t bits;
            std::memcpy(&bits, &call.vector[i], sizeof bits);
            slots_[i] = bits;
        }
        break;
    }
    for (size_t i = 0; i < call.args.size(); ++i) {
        if (call.args[i].kind == OutArg)
            *reinterpret_cast<int32_t*>(args_[i]) = call.args[i].after;
    }
    ++result_.calls;
    Observe(call);
    return slots_;
}

// ---- the timeline -------------------------------------------------------------------------------

void Player::Observe(const RecordedCall& call)
{
    const auto arg = [&](size_t i) -> const RecordedArg& { return call.args[i]; };
    const auto argCount = call.args.size();
    switch (call.hash) {
    case NativeGameTime:
        timeRead_ = true;
        gameTime_ = call.intResult;
        break;
    case NativePromptBegin:
        prompt_ = call.intResult;
        break;
    case NativePromptFinishSetup:
        Event("prompt \"Quorvane\" offered");
        break;
    case NativePromptWasUsed:
        if (call.intResult != 0)
            Event("player uses the prompt");
        break;
    case NativePromptRemove:
        Event("prompt \"Quorvane\" withdrawn");
        break;
    case NativeComposeText:
        if (argCount >= 3 && arg(2).kind == TextArg)
            composed_[call.bits] = arg(2).text;
        else if (argCount >= 4 && arg(3).kind == OpaqueArg)
            composed_[call.bits] = composed_[arg(3).bits];
        break;
    case NativeDrawSprite:
        if (argCount == 12) {
            DrawItem item;
            item.kind = DrawItem::Sprite;
            std::snprintf(item.dictionary, sizeof item.dictionary, "%s", arg(0).text.c_str());
            std::snprintf(item.texture, sizeof item.texture, "%s", arg(1).text.c_str());
            item.x = FloatOf(arg(2).bits);
            item.y = FloatOf(arg(3).bits);
            item.width = FloatOf(arg(4).bits);
            item.height = FloatOf(arg(5).bits);
            item.rotation = FloatOf(arg(6).bits);
            item.red = arg(7).value;
            item.green = arg(8).value;
            item.blue = arg(9).value;
            item.alpha = arg(10).value;
            if (item.width == 0.22f)
                highlight_ = static_cast<int>(std::lround((item.y - 0.1336f) / 0.04f)) - 1;
            draws_.push_back(item);
        }
        break;
    case NativeSetTextScale:
        if (argCount == 2) {
            nextScale_[0] = FloatOf(arg(0).bits);
            nextScale_[1] = FloatOf(arg(1).bits);
        }
        break;
    case NativeSetTextColour:
        nextGrey_ = true;
        break;
    case NativeDisplayText:
        if (argCount == 3) {
            DrawItem item;
            item.kind = DrawItem::Text;
            item.x = FloatOf(arg(1).bits);
            item.y = FloatOf(arg(2).bits);
            item.scaleX = nextScale_[0];
            item.scaleY = nextScale_[1];
            item.coloured = nextGrey_;
            if (nextGrey_)
                item.red = item.green = item.blue = 100, item.alpha = 235;
            std::snprintf(item.text, sizeof item.text, "%s", composed_[arg(0).bits].c_str());
            draws_.push_back(item);
        }
        nextScale_[0] = nextScale_[1] = 1;
        nextGrey_ = false;
        break;
    case NativePlayerCash:
        cash_ = call.intResult;
        break;
    case NativeChargeCash:
        if (argCount == 1) {
            result_.fareCents = arg(0).value;
            Event("cash charged " + MoneyText(static_cast<int32_t>(arg(0).value)) + ", " +
                  MoneyText(static_cast<int32_t>(cash_ - arg(0).value)) + " left");
            if (lastHighlight_ >= 0 && static_cast<size_t>(lastHighlight_) + 1 < rows_.size()) {
                const std::string row = rows_[static_cast<size_t>(lastHighlight_) + 1];
                for (int32_t s = 0; s < 13; ++s) {
                    if (row.rfind(std::string(SimStationName(s)) + " - ", 0) == 0)
                        result_.destination = s;
                }
            }
        }
        break;
    case NativeTransitionBegin:
        Event("dispatch: the screen goes into a transition");
        break;
    case NativeTransitionEnd:
        Event("dispatch over: the transition ends");
        break;
    case NativeCreateTrain:
        if (argCount == 8) {
            train_ = call.intResult;
            halted_ = false;
            const Vec3 at{FloatOf(arg(1).bits), FloatOf(arg(2).bits), FloatOf(arg(3).bits)};
            result_.trip.trail.clear();
            result_.trip.trail.push_back(at);
            Event("train " + Hex(static_cast<uint32_t>(arg(0).value)) + " created beside " +
                  SimStationName(Sim::NearestStation(at)));
        }
        break;
    case NativeEntityPosition:
        if (argCount == 3 && arg(0).value == train_ && train_ != 0 && call.result == VectorResult)
            result_.trip.trail.push_back(Vec3{call.vector[0], call.vector[1], call.vector[2]});
        break;
    case NativeTrainImmediateSpeed:
        if (argCount == 2 && FloatOf(arg(1).bits) == 0.0f && !halted_) {
            halted_ = true;
            const Vec3 at = result_.trip.trail.empty() ? Vec3{} : result_.trip.trail.back();
            const int32_t station = Sim::NearestStation(at);
            result_.trip.halts.push_back(TrainHalt{gameTime_, 0, at, station});
            Event(std::string("train stops at ") + SimStationName(station));
        }
        break;
    case NativeTrainTravelSpeed:
        if (argCount == 2 && halted_ && FloatOf(arg(1).bits) > 0.0f) {
            halted_ = false;
            TrainHalt& h = result_.trip.halts.back();
            h.leftAt = gameTime_;
            char text[64];
            // The game clock wraps as a 32-bit count; so does the plug-in's arithmetic on it.
            const int32_t halted = static_cast<int32_t>(static_cast<uint32_t>(h.leftAt) - static_cast<uint32_t>(h.stoppedAt));
            std::snprintf(text, sizeof text, "train leaves after a halt of %.1f s", static_cast<double>(halted) / 1000.0);
            Event(text);
        }
        break;
    case NativeSetJunction:
        if (argCount == 3) {
            const std::pair<int32_t, int32_t> junction{arg(0).value, arg(1).value};
            const auto seen = junctions_.find(junction);
            if (seen == junctions_.end() || seen->second != arg(2).value) {
                junctions_[junction] = arg(2).value;
                result_.trip.switches.push_back(JunctionSwitch{gameTime_, junction.first, junction.second, arg(2).value != 0,
                                                                result_.trip.trail.empty() ? Vec3{} : result_.trip.trail.back()});
                Event("junction (" + std::to_string(junction.first) + ", " + std::to_string(junction.second) +
                      ") set to " + std::to_string(arg(2).value));
            }
        }
        break;
    case NativeGiveUpEntity:
        Event("the train is given up");
        break;
    default:
        break;
    }
}

// A frame is over: what it drew says whether a menu or the refusal notice was on screen.
void Player::EndFrame()
{
    std::vector<std::string> texts;
    bool panel = false;
    for (const DrawItem& d : draws_) {
        if (d.kind == DrawItem::Text)
            texts.push_back(StripMarkup(d.text));
        else if (d.width == 0.255f)
            panel = true;
    }
    if (panel && texts.size() == 1 && texts[0] == "You don't have enough money.") {
        if (!refusing_)
            Event("refused: " + Quoted(texts[0]));
        refusing_ = true;
        if (result_.refusalFrame.empty())
            result_.refusalFrame = draws_;
    } else if (panel && texts.size() >= 5) {
        refusing_ = false;
        if (!menuOpen_) {
            Event(std::string("menu ") + (texts.size() == 12 ? "one" : "two") + " is open");
            lastHighlight_ = highlight_;
            for (size_t i = 1; i < texts.size(); ++i) {
                for (int32_t s = 0; s < 13; ++s) {
                    if (texts[i] == SimStationName(s))
                        result_.origin = s;  // the player's own station is listed bare
                }
            }
        }
        menuOpen_ = true;
        rows_ = texts;
        if (highlight_ != lastHighlight_ && highlight_ >= 0 && static_cast<size_t>(highlight_) + 1 < texts.size())
            Event("selection on " + Quoted(texts[static_cast<size_t>(highlight_) + 1]));
        lastHighlight_ = highlight_;
        if (result_.menuFrame.empty())
            result_.menuFrame = draws_;
    } else if (!panel && !refusing_) {
        menuOpen_ = false;
    }
    draws_.clear();
    composed_.clear();
}

} // namespace

void (*ReplayHostInstalled)(HostApi& host) = nullptr;

ReplayResult ReplaySession(RecordingReader& reader)
{
    ReplayResult result;
    reader.Rewind();
    Player player(reader, result);
    player.Run();
    return result;
}
