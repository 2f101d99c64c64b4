// host/recording_format.h -- the constants of a session recording (.rec), shared by the writer
// in the plug-in and the reader in the simulator. The layout is described in docs/recording.md;
// change both together and raise RecordingFormatVersion.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recording {

// "QVREC", CR LF, Ctrl-Z: a text transfer or a truncated copy shows at once.
constexpr char Magic[8] = {'Q', 'V', 'R', 'E', 'C', '\r', '\n', '\x1A'};
constexpr uint32_t FormatVersion = 1;

constexpr uint8_t BlockTag = 'B';
// A block's payload never exceeds the writer's buffer (WriterBufferBytes below); a reader
// refuses a larger length as damage.
constexpr uint32_t MaxBlockPayload = 128 * 1024;

// Records, each a tag byte and its fields.
enum Tag : uint8_t {
    HeaderTag = 'H',  // format version, plug-in version, the settings read
    CallTag = 'C',    // one native call: hash, arguments, result, values written back
    WaitTag = 'W',    // scriptWait returned
    TickTag = 'T',    // the script read GetTickCount
    KeyTag = 'K',     // the script read a key's state
    PedsTag = 'P',    // worldGetAllPeds answered
    EndTag = 'E',     // the recording ends here
};

// How an argument was pushed.
enum ArgKind : uint8_t {
    IntArg = 1,      // whole number, handle, hash or yes/no in the low half
    FloatArg = 2,    // single-precision bits in the low half
    TextArg = 3,     // address of a text: recorded as the text
    OutArg = 4,      // address of the plug-in's own 32-bit variable: its value before and after
    OpaqueArg = 5,   // a 64-bit value the game handed out, passed back whole
    WidenedArg = 6,  // a handle widened with its sign
};

// What the plug-in read of the result slots.
enum ResultKind : uint8_t {
    NoResult = 0,
    IntResult = 1,     // the first 4 bytes
    FloatResult = 2,   // the first 4 bytes, as a float
    OpaqueResult = 3,  // the first 8 bytes
    VectorResult = 4,  // x, y and z from the low halves of the first three slots
};

// Hashes and texts are defined once and then referred to by number: 0 inline (not kept),
// 1 defines the next number, 2 and up refer to number (code - 2).
constexpr uint32_t InlineCode = 0;
constexpr uint32_t DefineCode = 1;
constexpr uint32_t FirstReference = 2;

// The writer's limits. A reader refuses anything past them: a file that breaks one was not
// written by the plug-in, and holding to them bounds what a reader keeps in memory.
// Longer texts are cut to this many bytes in a recording (the plug-in's own are far shorter).
constexpr size_t MaxTextBytes = 1024;
constexpr int MaxArgs = 32;
// Hashes and texts given a number; later ones are written inline.
constexpr uint32_t MaxHashNumbers = 192;
constexpr uint32_t MaxTextNumbers = 768;
// Characters of a worldGetAllPeds answer kept, up to the last non-zero handle.
constexpr uint32_t MaxPeds = 4096;
// The header: the writer records 4 settings, and a version text and keys far shorter than these.
constexpr uint32_t MaxSettings = 8;
constexpr size_t MaxHeaderTextBytes = 64;
// The writer's buffer: a block's payload stays below it, and a recording ends before it grows
// past its size cap (host/recorder.h) with at least this much to spare.
constexpr size_t WriterBufferBytes = MaxBlockPayload;

enum EndReason : uint32_t {
    EndUnloaded = 1,  // the plug-in was unloaded
    EndSizeCap = 2,   // the recording reached its size cap; the plug-in went on without it
};

// CRC-32 (IEEE, reflected, as zip and PNG use) of each block's payload, eight bytes a step
// (slicing-by-8): the recording checksums every byte it writes, on the frame's time.
constexpr uint32_t CrcTableEntry(uint32_t n)
{
    for (int k = 0; k < 8; ++k)
        n = (n & 1u) != 0 ? 0xEDB88320u ^ (n >> 1) : n >> 1;
    return n;
}

struct CrcTables {
    uint32_t t[8][256];
    constexpr CrcTables() : t()
    {
        for (uint32_t i = 0; i < 256; ++i)
            t[0][i] = CrcTableEntry(i);
        for (uint32_t i = 0; i < 256; ++i) {
            for (int k = 1; k < 8; ++k)
                t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu];
        }
    }
};

inline uint32_t Crc32(const uint8_t* data, size_t length)
{
    static constexpr CrcTables tables;
    const auto& t = tables.t;
    uint32_t crc = 0xFFFFFFFFu;
    for (; length >= 8; data += 8, length -= 8) {
        const uint32_t low = crc ^ (static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                                    static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
        crc = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^ t[4][low >> 24] ^
              t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length > 0; ++data, --length)
        crc = t[0][(crc ^ *data) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

constexpr uint32_t ZigZag(int32_t v)
{
    return (static_cast<uint32_t>(v) << 1) ^ (0u - (static_cast<uint32_t>(v) >> 31));  // all ones for a negative v
}
constexpr int32_t UnZigZag(uint32_t v) { return static_cast<int32_t>((v >> 1) ^ (0u - (v & 1u))); }

}  // namespace recording
