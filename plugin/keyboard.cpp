// plugin/keyboard.cpp -- key state without locks. The handler stores a whole event in one atomic
// word; the queries load it once and decide on that one copy, and a taken release is cleared with
// a compare-and-swap, so an event that arrives in between is kept rather than wiped. A session
// recording notes each word and tick the script reads, on the script's side: the handler's
// thread never touches the recording. All time
// arithmetic is on elapsed ticks (now - tick, unsigned), so the tick count's wrap every 49.7 days
// changes nothing. The handler calls nothing of the hook but GetTickCount.
#include "plugin/keyboard.h"

#include "host/host_api.h"
#include "host/native_call.h"
#include "host/recorder.h"

std::atomic<uint64_t> KeyboardState[KeyCodeCount];

namespace {
constexpr uint32_t HeldForMs = 5000;    // a press without repeats counts as held this long
constexpr uint32_t ReleaseForMs = 100;  // a release can be taken this long after it arrived

constexpr uint64_t RecordedBit = uint64_t{1} << 32;
constexpr uint64_t ReleasedBit = uint64_t{1} << 33;
constexpr uint64_t AltBit = uint64_t{1} << 34;
constexpr uint64_t WasDownBit = uint64_t{1} << 35;

uint32_t TickOf(uint64_t word) { return static_cast<uint32_t>(word); }
}  // namespace

void KeyboardHandler(uint32_t key, uint16_t, uint8_t, int32_t, int32_t isWithAlt, int32_t wasDownBefore,
                     int32_t isUpNow)
{
    if (key >= KeyCodeCount)
        return;
    uint64_t word = Host.tickCount() | RecordedBit;
    word |= isUpNow != 0 ? ReleasedBit : 0;
    word |= isWithAlt != 0 ? AltBit : 0;
    word |= wasDownBefore != 0 ? WasDownBit : 0;
    KeyboardState[key].store(word, std::memory_order_release);
}

uint64_t LoadKeyWord(uint32_t key) { return KeyboardState[key].load(std::memory_order_acquire); }

uint64_t (*ReadKeyWord)(uint32_t key) = &LoadKeyWord;

namespace {
// The one place the script reads a key's word, and so the one place a recording notes it.
uint64_t ScriptKeyWord(uint32_t key)
{
    const uint64_t word = ReadKeyWord(key);
    if (SessionRecording)
        RecordKeyWord(key, word);
    return word;
}
}  // namespace

bool KeyIsHeld(uint32_t key)
{
    if (key >= KeyCodeCount)
        return false;
    const uint64_t word = ScriptKeyWord(key);
    // An entry with no event (a tick of 0 is a real reading, so it cannot tell) is never held.
    if ((word & RecordedBit) == 0 || (word & ReleasedBit) != 0)
        return false;
    return ScriptTickCount() - TickOf(word) < HeldForMs;
}

bool ConsumeKeyRelease(uint32_t key)
{
    if (key >= KeyCodeCount)
        return false;
    uint64_t word = ScriptKeyWord(key);
    if ((word & ReleasedBit) == 0 || ScriptTickCount() - TickOf(word) >= ReleaseForMs)
        return false;
    // The release read is taken. It is cleared only if no newer event came in the meantime: a
    // newer one stays for the next frame. Either way the answer is the same, so what the menu
    // does never hangs on that race.
    KeyboardState[key].compare_exchange_strong(word, 0, std::memory_order_acq_rel);
    return true;
}

void ClearKeyboardState()
{
    for (std::atomic<uint64_t>& entry : KeyboardState)
        entry.store(0, std::memory_order_relaxed);
}

KeyEvent ReadKeyEvent(uint32_t key)
{
    if (key >= KeyCodeCount)
        return KeyEvent{};
    const uint64_t word = KeyboardState[key].load(std::memory_order_acquire);
    return KeyEvent{TickOf(word), (word & AltBit) != 0 ? 1 : 0, (word & WasDownBit) != 0 ? 1 : 0,
                    (word & ReleasedBit) != 0 ? 1 : 0, (word & RecordedBit) != 0 ? 1 : 0};
}
