// host/recorder.cpp -- writes the session recording. Records go into one fixed buffer that is
// written out as a block (length, records, CRC-32) when it fills, at a wait once a couple of
// seconds have passed since the last block, and at unload; each block is a single write, so a
// game that crashes leaves a file readable up to its last block. Never allocates: the buffer and
// the two dictionaries (hashes, texts) are static. A failed write ends the recording quietly,
// the file cut back to its last whole block; the plug-in goes on as if it had never been asked to
// record.
#include "host/recorder.h"

#include <cstring>

#include "host/host_api.h"
#include "host/recording_format.h"
#include "quorvane_version.h"

bool SessionRecording = false;

namespace {

using namespace recording;

constexpr size_t BufferBytes = WriterBufferBytes;
// Room for the block's tag and length in front of the payload, written right-aligned at flush
// so that the whole block leaves in one write.
constexpr size_t HeadRoom = 6;
// A new record first sends the block out once the payload has reached this; the largest record
// (32 arguments of full-length texts) still fits behind it.
constexpr size_t FlushAbove = 64 * 1024;
// The end of a block's life on a wait: older records go out even if the buffer is not full.
constexpr uint32_t FlushEveryMs = 2000;
// What the cap keeps free for the block in progress and the closing record.
constexpr uint64_t CapReserve = BufferBytes;
// The largest record: a call of 32 full-length new texts and 32 values written back; and the key
// and tick records, which may pile up behind a block that is due (see KeyReadingRoom).
constexpr size_t MaxCallRecord = 1 + 1 + 8 + 1 + 32 * (1 + 2 + 2 + 1024) + 1 + 12 + 32 * 5;
constexpr size_t MaxKeyReadingRecord = 1 + 5 + 10;
static_assert(HeadRoom + FlushAbove + MaxCallRecord + 1000 * (MaxKeyReadingRecord + 6) + 4 <= BufferBytes,
              "a due block leaves room for a thousand key readings behind the largest record");

uint8_t Buffer[BufferBytes];
size_t Used = HeadRoom;
void* File = nullptr;
uint64_t Written = 0;
uint32_t LastFlushTick = 0;
uint32_t LastTick = 0;

// Hashes by number, in an open-addressed table; numbers are given in order of first use.
constexpr uint32_t HashSlots = 256;
constexpr uint32_t HashNumbers = MaxHashNumbers;
struct HashSlot {
    uint64_t hash;
    uint32_t number;
    bool used;
};
HashSlot Hashes[HashSlots];
uint32_t HashCount = 0;

// Texts by number, their bytes kept in a pool.
constexpr uint32_t TextSlots = 1024;
constexpr uint32_t TextNumbers = MaxTextNumbers;
constexpr size_t TextPoolBytes = 64 * 1024;
struct TextSlot {
    uint32_t offset;
    uint32_t length;
    uint32_t fingerprint;
    uint32_t number;
    bool used;
};
TextSlot Texts[TextSlots];
uint32_t TextCount = 0;
char TextPool[TextPoolBytes];
size_t PoolUsed = 0;

// Writes at a cursor of its own, kept in a register while a record is built; the buffer's fill
// is stored once at the end (a byte store through the buffer could otherwise alias it).
struct Out {
    uint8_t* p = Buffer + Used;
    ~Out() { Used = static_cast<size_t>(p - Buffer); }

    void Byte(uint8_t b) { *p++ = b; }
    void Varint(uint64_t v)
    {
        while (v >= 0x80) {
            *p++ = static_cast<uint8_t>(v | 0x80);
            v >>= 7;
        }
        *p++ = static_cast<uint8_t>(v);
    }
    void Fixed32(uint32_t v)
    {
        std::memcpy(p, &v, 4);  // little-endian on every target we build
        p += 4;
    }
    void Fixed64(uint64_t v)
    {
        std::memcpy(p, &v, 8);
        p += 8;
    }
    void Bytes(const void* data, size_t n)
    {
        std::memcpy(p, data, n);
        p += n;
    }
    void Text(const char* text)
    {
        const size_t length = std::strlen(text);
        Varint(length);
        Bytes(text, length);
    }
    void HashCode(uint64_t hash);
    void TextCode(const char* text);
};

void Close()
{
    SessionRecording = false;
    if (File != nullptr)
        Host.recordingClose(File);
    File = nullptr;
    Used = HeadRoom;
}

// Sends the buffered records out as one block. False (and the recording over) if the write failed.
bool Flush()
{
    if (Used == HeadRoom)
        return true;
    const size_t payload = Used - HeadRoom;
    {
        Out out;
        out.Fixed32(Crc32(Buffer + HeadRoom, payload));
    }
    uint8_t head[HeadRoom];
    size_t n = 0;
    head[n++] = BlockTag;
    for (uint64_t v = payload;; v >>= 7) {
        head[n++] = static_cast<uint8_t>(v >= 0x80 ? (v | 0x80) : v);
        if (v < 0x80)
            break;
    }
    uint8_t* start = Buffer + HeadRoom - n;
    std::memcpy(start, head, n);
    const size_t total = n + payload + 4;
    if (!Host.recordingWrite(File, start, static_cast<uint32_t>(total))) {
        Close();
        return false;
    }
    Written += total;
    Used = HeadRoom;
    LastFlushTick = Host.tickCount();
    return true;
}

void End(EndReason reason)
{
    {
        Out out;
        out.Byte(EndTag);
        out.Varint(reason);
    }
    Flush();
    Close();
}

// Called before every record but a key reading's: sends the block out if it is full, and ends
// the recording at its size cap. False when there is no recording to write to.
bool Room()
{
    if (!SessionRecording)
        return false;
    const size_t payload = Used - HeadRoom;
    if (Written + payload + CapReserve > RecordingSizeCap) {
        End(EndSizeCap);
        return false;
    }
    if (payload >= FlushAbove)
        return Flush();
    return true;
}

// A key's word and the tick it is compared with are read one after the other, and a write in
// between (a slow disk) could make a release miss its window only because the session is
// recorded: these records never send a block out, nor end the recording at its cap. They take
// the room kept behind the largest record instead; only a script that read keys thousands of
// times without a native call or a wait could fill it, and that recording stops where it is
// (its last whole block) rather than write at the wrong moment.
bool KeyReadingRoom()
{
    if (!SessionRecording)
        return false;
    if (Used + MaxKeyReadingRecord + sizeof(uint32_t) > BufferBytes) {
        Close();
        return false;
    }
    return true;
}

// 0 inline, 1 define, 2 + n for number n.
void Out::HashCode(uint64_t hash)
{
    uint32_t slot = static_cast<uint32_t>((hash * 0x9E3779B97F4A7C15ull) >> 56) % HashSlots;
    while (Hashes[slot].used && Hashes[slot].hash != hash)
        slot = (slot + 1) % HashSlots;
    if (Hashes[slot].used) {
        Varint(FirstReference + Hashes[slot].number);
        return;
    }
    if (HashCount < HashNumbers) {
        Hashes[slot] = HashSlot{hash, HashCount++, true};
        Varint(DefineCode);
    } else {
        Varint(InlineCode);
    }
    Fixed64(hash);
}

// A cheap fingerprint: the length and three 8-byte windows (start, middle, end); equal texts are
// then confirmed byte for byte.
uint32_t Fingerprint(const char* text, size_t length)
{
    uint64_t words[3] = {0, 0, 0};
    const size_t take = length < 8 ? length : 8;
    std::memcpy(&words[0], text, take);
    std::memcpy(&words[1], text + length / 2 - (length / 2 < take ? length / 2 : take / 2), take);
    std::memcpy(&words[2], text + length - take, take);
    uint64_t h = length * 0x9E3779B97F4A7C15ull;
    for (uint64_t w : words)
        h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    return static_cast<uint32_t>(h >> 32);
}

// Texts by the address they were last seen at: the plug-in passes the same literals every frame,
// so most lookups end here, once the bytes are found unchanged.
struct SeenAt {
    const char* address;
    uint32_t slot;
};
constexpr uint32_t SeenSlots = 64;
SeenAt LastSeen[SeenSlots];

void Out::TextCode(const char* text)
{
    SeenAt& seen = LastSeen[(reinterpret_cast<uintptr_t>(text) >> 3) % SeenSlots];
    if (seen.address == text) {
        const TextSlot& t = Texts[seen.slot];
        // strncmp stops at the text's end, so a shorter text now at the address is never read past.
        if (std::strncmp(TextPool + t.offset, text, t.length) == 0 &&
            (t.length == MaxTextBytes || text[t.length] == 0)) {
            Varint(FirstReference + t.number);
            return;
        }
    }
    size_t length = std::strlen(text);
    if (length > MaxTextBytes)
        length = MaxTextBytes;
    const uint32_t fingerprint = Fingerprint(text, length);
    uint32_t slot = fingerprint % TextSlots;
    while (Texts[slot].used) {
        const TextSlot& t = Texts[slot];
        if (t.fingerprint == fingerprint && t.length == length && std::memcmp(TextPool + t.offset, text, length) == 0) {
            seen = SeenAt{text, slot};
            Varint(FirstReference + t.number);
            return;
        }
        slot = (slot + 1) % TextSlots;
    }
    if (TextCount < TextNumbers && PoolUsed + length <= TextPoolBytes) {
        std::memcpy(TextPool + PoolUsed, text, length);
        Texts[slot] =
            TextSlot{static_cast<uint32_t>(PoolUsed), static_cast<uint32_t>(length), fingerprint, TextCount++, true};
        PoolUsed += length;
        seen = SeenAt{text, slot};
        Varint(DefineCode);
    } else {
        Varint(InlineCode);
    }
    Varint(length);
    Bytes(text, length);
}

}  // namespace

uint64_t RecordingSizeCap = DefaultRecordingSizeCap;

void StartSessionRecording(const RecordedSettings& settings)
{
    if (SessionRecording || Host.recordingOpen == nullptr)
        return;
    File = Host.recordingOpen(RecordingPath, PreviousRecordingPath);
    if (File == nullptr)
        return;
    Used = HeadRoom;
    Written = 0;
    LastTick = 0;
    HashCount = 0;
    TextCount = 0;
    PoolUsed = 0;
    std::memset(Hashes, 0, sizeof Hashes);
    std::memset(Texts, 0, sizeof Texts);
    std::memset(LastSeen, 0, sizeof LastSeen);

    uint8_t start[sizeof Magic + 1];
    std::memcpy(start, Magic, sizeof Magic);
    static_assert(FormatVersion < 0x80, "the version after the magic is a one-byte varint");
    start[sizeof Magic] = static_cast<uint8_t>(FormatVersion);
    if (!Host.recordingWrite(File, start, sizeof start)) {
        Close();
        return;
    }
    Written = sizeof start;
    SessionRecording = true;

    {
        Out out;
        out.Byte(HeaderTag);
        out.Varint(FormatVersion);
        out.Text(QuorvaneVersionText);
        const struct {
            const char* key;
            uint32_t value;
        } read[] = {
            {"MAX_TRAIN_SPEED", settings.maxTrainSpeed},
            {"MENU_UP_KEY", settings.menuUpKey},
            {"MENU_DOWN_KEY", settings.menuDownKey},
            {"RECORD_SESSION", settings.recordSession},
        };
        out.Varint(sizeof read / sizeof read[0]);
        for (const auto& r : read) {
            out.Text(r.key);
            out.Varint(r.value);
        }
    }
    // Out at once: even a session that ends in its first second names its version and settings.
    Flush();
}

void StopSessionRecording()
{
    if (SessionRecording)
        End(EndUnloaded);
}

void RecordCall(uint64_t hash, const ArgNote* args, int count, const ResultNote& result)
{
    if (!Room())
        return;
    if (count < 0 || count > MaxArgs) {
        Close();  // cannot happen with the plug-in's calls; a recording that cannot say it stops
        return;
    }
    Out out;
    out.Byte(CallTag);
    out.HashCode(hash);
    out.Varint(static_cast<uint64_t>(count));
    for (int i = 0; i < count; ++i) {
        const ArgNote& a = args[i];
        out.Byte(a.kind);
        switch (a.kind) {
        case TextArg: out.TextCode(a.text != nullptr ? a.text : ""); break;
        case FloatArg: out.Fixed32(static_cast<uint32_t>(a.value)); break;
        case OpaqueArg: out.Fixed64(a.value); break;
        default:  // whole numbers, widened handles, an address's value before
            out.Varint(ZigZag(static_cast<int32_t>(a.value)));
            break;
        }
    }
    out.Byte(result.kind);
    switch (result.kind) {
    case IntResult: out.Varint(ZigZag(static_cast<int32_t>(result.value[0]))); break;
    case FloatResult: out.Fixed32(static_cast<uint32_t>(result.value[0])); break;
    case OpaqueResult: out.Fixed64(result.value[0]); break;
    case VectorResult:
        for (uint64_t v : result.value)
            out.Fixed32(static_cast<uint32_t>(v));
        break;
    default: break;
    }
    for (int i = 0; i < count; ++i) {
        if (args[i].kind == OutArg)
            out.Varint(ZigZag(*args[i].out));
    }
}

void RecordWait(uint32_t milliseconds)
{
    if (!Room())
        return;
    {
        Out out;
        out.Byte(WaitTag);
        out.Varint(milliseconds);
    }
    if (Host.tickCount() - LastFlushTick >= FlushEveryMs)
        Flush();
}

void RecordTick(uint32_t tick)
{
    if (!KeyReadingRoom())
        return;
    Out out;
    out.Byte(TickTag);
    out.Varint(ZigZag(static_cast<int32_t>(tick - LastTick)));
    LastTick = tick;
}

void RecordKeyWord(uint32_t key, uint64_t word)
{
    if (!KeyReadingRoom())
        return;
    Out out;
    out.Byte(KeyTag);
    out.Varint(key);
    out.Varint(word);
}

void RecordPeds(int32_t capacity, int32_t count, const int32_t* handles)
{
    if (!Room())
        return;
    // Only up to the last handle written; the rest are the zeros the plug-in put there.
    size_t filled = 0;
    for (size_t i = 0; i < static_cast<size_t>(capacity > 0 ? capacity : 0) && i < MaxPeds; ++i) {
        if (handles[i] != 0)
            filled = i + 1;
    }
    Out out;
    out.Byte(PedsTag);
    out.Varint(static_cast<uint64_t>(capacity));
    out.Varint(ZigZag(count));
    out.Varint(filled);
    for (size_t i = 0; i < filled; ++i)
        out.Varint(ZigZag(handles[i]));
}
