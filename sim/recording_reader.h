// sim/recording_reader.h -- reads a session recording (.rec), the file the plug-in writes with
// RECORD_SESSION=1. Open checks the whole file first (signature, format version, every block's
// length and checksum, every record's fields), so a damaged, truncated or foreign file is one
// clear sentence before anything is replayed; then Next hands the records out in order. The file
// is read a block at a time, each block checked before the next is read, and only where each
// block lies is kept: Next reads its block again (and checks it again). Whatever its size, a
// file, refused or replayed, takes one block of memory and the hash and text tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/recording_format.h"

struct RecordedArg {
    recording::ArgKind kind = recording::IntArg;
    int32_t value = 0;  // whole numbers, widened handles, an address's value before the call
    uint64_t bits = 0;  // float bits, opaque values
    std::string text;
    int32_t after = 0;  // an address's value after the call
};

struct RecordedCall {
    uint64_t hash = 0;
    std::vector<RecordedArg> args;
    recording::ResultKind result = recording::NoResult;
    int32_t intResult = 0;
    uint64_t bits = 0;  // float or opaque result
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
    // replayed whole; ValidBlocks() then says how many blocks before the fault are sound. Only
    // a regular file no larger than the writer ever writes is read at all.
    bool Open(const std::string& path);
    // The same, for a recording in memory (kept in the reader).
    bool Load(const std::vector<uint8_t>& bytes);

    const std::string& Error() const { return error_; }
    const RecordingHeader& Header() const { return header_; }
    // Blocks that passed every check; after a failed Open, those before the fault.
    size_t ValidBlocks() const { return validBlocks_; }
    // The recording ends with a closing record (the plug-in was unloaded, or the size cap was
    // reached); without one the game stopped while recording.
    bool Closed() const { return closed_; }
    // The closing record's reason (recording::EndReason); 0 without one.
    uint32_t EndReason() const { return endReason_; }
    uint64_t RecordCount() const { return records_; }
    // What a replay of the sound blocks leaves out: the blocks from the fault on (as far as their
    // framing still reads) and every byte from the fault to the end of the file.
    struct Unread {
        size_t blocks = 0;
        uint64_t bytes = 0;
    };
    Unread UnreadAfterFault() const;

    // Records from the first after the header, within the valid blocks. False at the end, or
    // when the file no longer reads as it did (Error() then says so).
    void Rewind();
    bool Next(Record& record);

    // Where the bytes come from: the file, or memory.
    class Source {
    public:
        virtual ~Source() = default;
        virtual uint64_t Remaining() const = 0;
        // Exactly n bytes, or false.
        virtual bool Read(uint8_t* into, size_t n) = 0;
    };

private:
    using Block = std::vector<uint8_t>;  // a payload
    struct Where {
        uint64_t offset;  // of the payload in the file
        uint32_t length;
        uint32_t crc;
    };
    bool Check(Source& in);
    void CountUnread(Source& in, int faultFramed);
    bool Fail(const std::string& message);
    void Reset();
    // Reads block index into current_.
    bool Fetch(size_t index);

    std::vector<Where> blocks_;
    std::vector<uint8_t> memory_;  // Load's bytes
    std::ifstream file_;           // Open's file
    Block current_;
    size_t currentIndex_ = SIZE_MAX;
    size_t validBlocks_ = 0;
    std::string error_;
    RecordingHeader header_;
    size_t headerEnd_ = 0;  // in the first block
    bool closed_ = false;
    uint32_t endReason_ = 0;
    uint64_t records_ = 0;
    Unread unread_;

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
    bool DecodeHeader(const Block& block, std::string& why);
};
