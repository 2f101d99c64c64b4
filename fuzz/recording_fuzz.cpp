// fuzz/recording_fuzz.cpp -- any bytes as a session recording: the reader either refuses them
// in one sentence or hands out records, and whatever it hands out is replayed against the
// plug-in. Fails on a crash, a sanitizer report, a refusal that is not one line, or a replay of
// the blocks a reader called sound that cannot even start.
//
// A mutation almost never survives a block's checksum, so most inputs are first made sound in
// their framing (the signature, the version, each block's length cut to what is there, each
// checksum made good): their records then reach decoding and the replay. One input in four is
// loaded as it is, for the framing checks themselves.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "host/recording_format.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"

using namespace recording;

namespace {

void PutVarint(std::vector<uint8_t>& out, uint64_t v)
{
    for (; v >= 0x80; v >>= 7)
        out.push_back(static_cast<uint8_t>(v | 0x80));
    out.push_back(static_cast<uint8_t>(v));
}

// The input's blocks, each as long as it claims or as what is left, with its checksum.
std::vector<uint8_t> Repaired(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> out(Magic, Magic + sizeof Magic);
    out.push_back(static_cast<uint8_t>(FormatVersion));
    size_t at = sizeof Magic + 1;
    bool first = true;
    while (at + 1 < size) {
        ++at;  // whatever the block's tag was, it is 'B'
        uint64_t length = 0;
        for (int shift = 0; shift < 28 && at < size; shift += 7) {
            const uint8_t b = data[at++];
            length |= static_cast<uint64_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0)
                break;
        }
        length = std::min<uint64_t>({length, MaxBlockPayload, size - at});
        std::vector<uint8_t> payload(data + at, data + at + length);
        at += length + 4;  // past the old checksum, whatever it was
        if (first && payload.size() >= 2) {
            // A header of this version, so that the records behind it are reached.
            payload[0] = HeaderTag;
            payload[1] = static_cast<uint8_t>(FormatVersion);
        }
        first = false;
        out.push_back(BlockTag);
        PutVarint(out, payload.size());
        out.insert(out.end(), payload.begin(), payload.end());
        const uint32_t crc = Crc32(payload.data(), payload.size());
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RecordingReader reader;
    const bool asGiven = size % 4 == 3;
    const bool whole = reader.Load(asGiven ? std::vector<uint8_t>(data, data + size) : Repaired(data, size));
    if (!whole && (reader.Error().empty() || reader.Error().find('\n') != std::string::npos)) {
        std::fprintf(stderr, "a refusal that is not one sentence: [%s]\n", reader.Error().c_str());
        __builtin_trap();
    }
    if (whole || reader.ValidBlocks() > 0)
        ReplaySession(reader);
    return 0;
}
