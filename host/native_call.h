// host/native_call.h -- the one way to call a native: init, one push per argument, call, and the
// result copied out before anything else can touch the host's result slots. Allocation-free.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "host/host_api.h"
#include "host/recorder.h"

// Every vector a native returns, and every position the plug-in keeps.
struct PaddedVector3 {
    float x;
    uint32_t padX;
    float y;
    uint32_t padY;
    float z;
    uint32_t padZ;
};
static_assert(sizeof(PaddedVector3) == 24, "natives hand back vectors as three padded floats");

// A value the game handed out (a composed text, say) that must go back whole, all 64 bits.
struct Opaque {
    uint64_t bits;
};

// A handle that a few natives want widened with its sign rather than with zeros.
struct SignWidened {
    int32_t handle;
};

namespace slot {

inline uint64_t From(int32_t v) { return static_cast<uint32_t>(v); }
inline uint64_t From(uint32_t v) { return v; }
inline uint64_t From(bool v) { return v ? 1u : 0u; }
inline uint64_t From(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}
inline uint64_t From(const char* text) { return reinterpret_cast<uintptr_t>(text); }
inline uint64_t From(int32_t* out) { return reinterpret_cast<uintptr_t>(out); }
inline uint64_t From(Opaque v) { return v.bits; }
inline uint64_t From(SignWidened v) { return static_cast<uint64_t>(static_cast<int64_t>(v.handle)); }
// Anything else (a double, a long, a char*) is a mistake at the call site, not a conversion.
template <typename T>
uint64_t From(T) = delete;

template <typename R>
R Read(const uint64_t* slots);

template <>
inline int32_t Read<int32_t>(const uint64_t* slots)
{
    int32_t v;
    std::memcpy(&v, slots, sizeof v);
    return v;
}
template <>
inline uint32_t Read<uint32_t>(const uint64_t* slots)
{
    uint32_t v;
    std::memcpy(&v, slots, sizeof v);
    return v;
}
template <>
inline bool Read<bool>(const uint64_t* slots) { return Read<uint32_t>(slots) != 0; }
template <>
inline float Read<float>(const uint64_t* slots)
{
    float v;
    std::memcpy(&v, slots, sizeof v);
    return v;
}
template <>
inline Opaque Read<Opaque>(const uint64_t* slots) { return Opaque{slots[0]}; }
template <>
inline PaddedVector3 Read<PaddedVector3>(const uint64_t* slots)
{
    PaddedVector3 v;
    std::memcpy(&v, slots, sizeof v);
    return v;
}

} // namespace slot

// What a session recording keeps of each argument and result, by type (see host/recorder.h).
namespace slot {

inline void Note(int32_t v) { RecordIntArg(v); }
inline void Note(uint32_t v) { RecordIntArg(static_cast<int32_t>(v)); }
inline void Note(bool v) { RecordIntArg(v ? 1 : 0); }
inline void Note(float v) { RecordFloatArg(v); }
inline void Note(const char* text) { RecordTextArg(text); }
inline void Note(int32_t* out) { RecordOutArg(*out); }
inline void Note(Opaque v) { RecordOpaqueArg(v.bits); }
inline void Note(SignWidened v) { RecordWidenedArg(v.handle); }

// After the call: what the native left in each of the plug-in's variables it was given.
template <typename T>
void NoteAfter(T) {}
inline void NoteAfter(int32_t* out) { RecordOutAfter(*out); }

inline void NoteResult(int32_t v) { RecordIntResult(v); }
inline void NoteResult(uint32_t v) { RecordIntResult(static_cast<int32_t>(v)); }
inline void NoteResult(bool v) { RecordIntResult(v ? 1 : 0); }
inline void NoteResult(float v) { RecordFloatResult(v); }
inline void NoteResult(Opaque v) { RecordOpaqueResult(v.bits); }
inline void NoteResult(const PaddedVector3& v) { RecordVectorResult(v.x, v.y, v.z); }

} // namespace slot

// Invoke<int32_t>(NativeGameTime), Invoke<void>(NativePromptRemove, prompt), ...
template <typename R, typename... Args>
R Invoke(uint64_t hash, Args... args)
{
    Host.nativeInit(hash);
    (Host.nativePush64(slot::From(args)), ...);
    const bool recording = SessionRecording;
    if (recording) {
        // Before the call, so that an address argument is recorded with what it held going in.
        RecordCallBegin(hash, static_cast<int>(sizeof...(Args)));
        (slot::Note(args), ...);
    }
    const uint64_t* result = Host.nativeCall();
    if constexpr (std::is_void_v<R>) {
        if (recording) {
            RecordNoResult();
            (slot::NoteAfter(args), ...);
        }
    } else {
        const R value = slot::Read<R>(result);
        if (recording) {
            slot::NoteResult(value);
            (slot::NoteAfter(args), ...);
        }
        return value;
    }
}

// Counts the returns from scriptWait: anything handed to the game for the frame being drawn
// (a text copy, say) may be reused once this has moved on.
extern uint32_t WaitGeneration;

// The only way the plug-in yields to the game.
inline void WaitForGame(uint32_t milliseconds)
{
    Host.scriptWait(milliseconds);
    ++WaitGeneration;
    if (SessionRecording)
        RecordWait(milliseconds);
}

// GetTickCount as the script reads it (the key handler reads it directly, on its own thread).
inline uint32_t ScriptTickCount()
{
    const uint32_t tick = Host.tickCount();
    if (SessionRecording)
        RecordTick(tick);
    return tick;
}

