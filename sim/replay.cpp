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
#include "sim/observer.h"
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
        s += " -> (" + FloatText(call.vector[0]) + ", " + FloatText(call.vector[1]) + ", " + FloatText(call.vector[2]) +
             ")";
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

    uint64_t frame_ = 0;  // the clock, read or not yet, is the observer's: one flag for both

    // What a person watching would have seen, told as the live game tells it.
    Observer observer_;
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

    result_.timeline = observer_.Timeline();
    result_.menuFrame = observer_.FirstMenuFrame();
    result_.refusalFrame = observer_.FirstRefusalFrame();
    result_.trip = observer_.Trip();
    result_.origin = observer_.Origin();
    result_.destination = observer_.Destination();
    result_.fareCents = observer_.FareCents();
    result_.timeRead = observer_.TimeRead();
    result_.lastGameTime = observer_.GameTime();
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
                         (observer_.TimeRead() ? FormatGameTime(observer_.GameTime()) : std::string("not yet read")) +
                         ", call " + std::to_string(result_.calls + 1) + ": the recording has " + recorded +
                         "; the plug-in " + pluginDid;
    Stop();
}

void Player::ScriptWait(uint32_t ms)
{
    if (call_.open)
        Differ(RecordText(record_), "waited inside an open native call");
    const Record& r = Take(WaitTag, "called scriptWait(" + std::to_string(ms) + ")");
    if (r.waitMs != ms)
        Differ(RecordText(r), "called scriptWait(" + std::to_string(ms) + ")");
    observer_.EndFrame();
    ++frame_;
    result_.frames = frame_;
}

uint32_t Player::Tick() { return Take(TickTag, "read GetTickCount").tick; }

uint64_t Player::KeyWord(uint32_t key)
{
    const Record& r = Take(KeyTag, "read key " + std::to_string(key));
    if (r.key != key)
        Differ(RecordText(r), "read key " + std::to_string(key));
    observer_.KeyRead(key, r.word);
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
    observer_.Call(hash_, args_, argc_, slots_);
    return slots_;
}

}  // namespace

void (*ReplayHostInstalled)(HostApi& host) = nullptr;

ReplayResult ReplaySession(RecordingReader& reader)
{
    ReplayResult result;
    reader.Rewind();
    Player player(reader, result);
    player.Run();
    return result;
}
