// sim/recording_reader.h -- reads a session recording (.rec), the file the plug-in writes with
// RECORD_SESSION=1. Open checks the whole file first (signature, format version, every block's
// length and checksum, every record's fields), so a damaged, truncated or foreign file is one
// clear sentence before anything is replayed; then Next hands the records out in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/recording_format.h"

struct RecordedArg {
    recording::ArgKind kind = recording::IntArg;
    int32_t value = 0;      // whole numbers, widened handles, an address's value before the call
    uint64_t bits = 0;      // float bits, opaque values
    std::string text;
    int32_t after = 0;      // an address's value after the call
};

struct RecordedCall {
    uint64_t hash = 0;
    std::vector<RecordedArg> args;
    recording::ResultKind result = recording::NoResult;
    int32_t intResult = 0;
    uint64_t bits = 0;       // float or opaque result
    float vector[3] = {};
};

struct Record {
    recording::Tag tag = recording::EndTag;
    RecordedCall call;
    uint32_t waitMs = 0;
    uint32_t tick = 0;
    uint32_t key = 0;
    uint64_t word = 0;
    int32_t pedsCapacity = 0;
    int32_t pedsCount = 0;
    std::vector<int32_t> peds;
    uint32_t endReason = 0;
};

struct RecordingHeader {
    uint32_t formatVersion = 0;
    std::string pluginVersion;
    std::vector<std::pair<std::string, uint32_t>> settings;
};

class RecordingReader {
public:
    // Reads and checks the file. False, with Error() set to one sentence, if it cannot be
    // replayed whole; ValidBlocks() then says how many blocks before the fault are sound.
    bool Open(const std::string& path);
    bool Load(std::vector<uint8_t> bytes);

    const std::string& Error() const { return error_; }
    const RecordingHeader& Header() const { return header_; }
    // Blocks that passed every check; after a failed Open, those before the fault.
    size_t ValidBlocks() const { return validBlocks_; }
    // The recording ends with a closing record (the plug-in was unloaded, or the size cap was
    // reached); without one the game stopped while recording.
    bool Closed() const { return closed_; }
    uint64_t RecordCount() const { return records_; }
    // What a replay of the sound blocks leaves out: the blocks from the fault on (as far as their
    // framing still reads) and every byte from the fault to the end of the file.
    struct Unread {
        size_t blocks = 0;
        uint64_t bytes = 0;
    };
    Unread UnreadAfterFault() const;

    // Records from the first after the header, within the valid blocks. False at the end.
    void Rewind();
    bool Next(Record& record);

private:
    struct Block {
        size_t begin, end;  // payload
    };
    bool Check();
    bool Fail(const std::string& message);

    std::vector<uint8_t> bytes_;
    std::vector<Block> blocks_;
    size_t validBlocks_ = 0;
    std::string error_;
    RecordingHeader header_;
    bool closed_ = false;
    uint64_t records_ = 0;

    // Decoding state, the same in the check and in the replay.
    struct Cursor {
        size_t block = 0;
        size_t at = 0;
        std::vector<uint64_t> hashes;
        std::vector<std::string> texts;
        uint32_t lastTick = 0;
    };
    Cursor cursor_;
    bool Decode(Cursor& c, const Block& block, Record& record, std::string& why) const;
};
