// fuzz/recording_fuzz.cpp -- any bytes as a session recording: the reader either refuses them
// in one sentence or hands out records, and whatever it hands out is replayed against the
// plug-in. Fails on a crash, a sanitizer report, a refusal that is not one line, or a replay of
// the blocks a reader called sound that cannot even start.
#include <cstdio>
#include <vector>

#include "sim/recording_reader.h"
#include "sim/replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RecordingReader reader;
    const bool whole = reader.Load(std::vector<uint8_t>(data, data + size));
    if (!whole && (reader.Error().empty() || reader.Error().find('\n') != std::string::npos)) {
        std::fprintf(stderr, "a refusal that is not one sentence: [%s]\n", reader.Error().c_str());
        __builtin_trap();
    }
    if (whole || reader.ValidBlocks() > 0)
        ReplaySession(reader);
    return 0;
}
