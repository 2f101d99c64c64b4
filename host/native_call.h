// host/native_call.h -- the one way to call a native: init, one push per argument, call, and the
// result copied out before anything else can touch the host's result slots. Allocation-free.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "host/host_api.h"
#include "host/recorder.h"
#include "host/recording_format.h"

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
inline bool Read<bool>(const uint64_t* slots)
{
    return Read<uint32_t>(slots) != 0;
}
template <>
inline float Read<float>(const uint64_t* slots)
{
    float v;
    std::memcpy(&v, slots, sizeof v);
    return v;
}
template <>
inline Opaque Read<Opaque>(const uint64_t* slots)
{
    return Opaque{slots[0]};
}
template <>
inline PaddedVector3 Read<PaddedVector3>(const uint64_t* slots)
{
    PaddedVector3 v;
    std::memcpy(&v, slots, sizeof v);
    return v;
}

}  // namespace slot

// What a session recording keeps of each argument and result, by type (see host/recorder.h).
namespace slot {

inline ArgNote NoteOf(int32_t v) { return {recording::IntArg, static_cast<uint32_t>(v), nullptr, nullptr}; }
inline ArgNote NoteOf(uint32_t v) { return {recording::IntArg, v, nullptr, nullptr}; }
inline ArgNote NoteOf(bool v) { return {recording::IntArg, v ? 1u : 0u, nullptr, nullptr}; }
inline ArgNote NoteOf(float v) { return {recording::FloatArg, From(v), nullptr, nullptr}; }
inline ArgNote NoteOf(const char* text) { return {recording::TextArg, 0, text, nullptr}; }
// An address: the variable's value going in; the recorder reads it again after the call.
inline ArgNote NoteOf(int32_t* out) { return {recording::OutArg, static_cast<uint32_t>(*out), nullptr, out}; }
inline ArgNote NoteOf(Opaque v) { return {recording::OpaqueArg, v.bits, nullptr, nullptr}; }
inline ArgNote NoteOf(SignWidened v)
{
    return {recording::WidenedArg, static_cast<uint32_t>(v.handle), nullptr, nullptr};
}

inline ResultNote ResultOf(int32_t v) { return {recording::IntResult, {static_cast<uint32_t>(v), 0, 0}}; }
inline ResultNote ResultOf(uint32_t v) { return {recording::IntResult, {v, 0, 0}}; }
inline ResultNote ResultOf(bool v) { return {recording::IntResult, {v ? 1u : 0u, 0, 0}}; }
inline ResultNote ResultOf(float v) { return {recording::FloatResult, {From(v), 0, 0}}; }
inline ResultNote ResultOf(Opaque v) { return {recording::OpaqueResult, {v.bits, 0, 0}}; }
inline ResultNote ResultOf(const PaddedVector3& v)
{
    return {recording::VectorResult, {From(v.x), From(v.y), From(v.z)}};
}

}  // namespace slot

// Invoke<int32_t>(NativeGameTime), Invoke<void>(NativePromptRemove, prompt), ...
template <typename R, typename... Args>
R Invoke(uint64_t hash, Args... args)
{
    Host.nativeInit(hash);
    (Host.nativePush64(slot::From(args)), ...);
    if (!SessionRecording) {
        const uint64_t* result = Host.nativeCall();
        if constexpr (!std::is_void_v<R>)
            return slot::Read<R>(result);
        else
            return;
    }
    // Noted before the call, so that an address argument is recorded with what it held going in.
    const ArgNote notes[sizeof...(Args) > 0 ? sizeof...(Args) : 1] = {slot::NoteOf(args)...};
    const uint64_t* result = Host.nativeCall();
    if constexpr (std::is_void_v<R>) {
        RecordCall(hash, notes, static_cast<int>(sizeof...(Args)), ResultNote{recording::NoResult, {0, 0, 0}});
    } else {
        const R value = slot::Read<R>(result);
        RecordCall(hash, notes, static_cast<int>(sizeof...(Args)), slot::ResultOf(value));
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
