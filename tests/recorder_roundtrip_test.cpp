// tests/recorder_roundtrip_test.cpp -- the recorder (host/recorder.cpp) writes, through the file
// functions that ship, and the reader (sim/recording_reader.cpp) reads back, at the edges of the
// format: varints at each length, zigzag at the ends of the 32-bit range, texts at and past
// their cut and changing under one address, a block exactly at its threshold, and a write that
// fails at the first, a middle and the last block. Expected values are the tables', not the
// writer's.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_api.h"
#include "host/recorder.h"
#include "scratch_dir.h"
#include "sim/recording_reader.h"

namespace fs = std::filesystem;
using namespace recording;

namespace {

uint32_t Now = 0;
uint32_t FakeTick() { return Now; }

// Every write's size, and the write (counted from 1) that fails, leaving the file as it was.
std::vector<uint32_t> Writes;
size_t FailingWrite = 0;
bool CountedWrite(void* file, const void* bytes, uint32_t count)
{
    Writes.push_back(count);
    if (Writes.size() == FailingWrite)
        return false;
    return PlatformRecordingWrite(file, bytes, count);
}

ArgNote Int(int32_t v) { return ArgNote{IntArg, static_cast<uint32_t>(v), nullptr, nullptr}; }
ArgNote Text(const char* t) { return ArgNote{TextArg, 0, t, nullptr}; }
ResultNote NoAnswer() { return ResultNote{NoResult, {0, 0, 0}}; }

}  // namespace

class RecorderRoundTrip : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Host;
        Host.tickCount = &FakeTick;
        Host.recordingOpen = &PlatformRecordingOpen;
        Host.recordingWrite = &CountedWrite;
        Host.recordingClose = &PlatformRecordingClose;
        Now = 0;
        Writes.clear();
        FailingWrite = 0;
        previous_ = fs::current_path();
        fs::current_path(scratch_.Path());  // the recorder writes .\Quorvane.rec
    }
    void TearDown() override
    {
        StopSessionRecording();
        fs::current_path(previous_);
        Host = saved_;
    }
    void Start()
    {
        fs::remove(scratch_.Path() / "Quorvane.rec");
        fs::remove(scratch_.Path() / "Quorvane.old.rec");
        Writes.clear();
        StartSessionRecording(RecordedSettings{14, 38, 40, 1});
        ASSERT_TRUE(SessionRecording);
    }
    // Closes the recording and reads it back whole.
    std::vector<Record> ReadBack(RecordingReader& reader)
    {
        StopSessionRecording();
        EXPECT_TRUE(reader.Open("Quorvane.rec")) << reader.Error();
        std::vector<Record> records;
        for (Record r; reader.Next(r);)
            records.push_back(r);
        EXPECT_TRUE(reader.Closed());
        if (!records.empty() && records.back().tag == EndTag) {
            EXPECT_EQ(records.back().endReason, EndUnloaded);
            records.pop_back();
        } else {
            ADD_FAILURE() << "the recording does not end with its end record";
        }
        return records;
    }
    std::string Bytes() const
    {
        std::ifstream in(scratch_.Path() / "Quorvane.rec", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    ScratchDir scratch_;
    fs::path previous_;
    HostApi saved_{};
};

TEST_F(RecorderRoundTrip, NumbersAtEveryVarintLengthAndTheEndsOfTheRange)
{
    // Ticks whose differences zigzag to 0x7F, 0x80, 0x3FFF, 0x4000, and the 32-bit extremes.
    const struct {
        uint32_t tick;
        int64_t step;  // from the tick before (the first from 0)
    } ticks[] = {
        {0xFFFFFFC0u, -64},       {0x00000000u, 64},        {0xFFFFE000u, -8192}, {0x00000000u, 8192},
        {0x80000000u, INT32_MIN}, {0xFFFFFFFFu, INT32_MAX}, {0xFFFFFFFFu, 0},
    };
    const uint64_t words[] = {0x7F, 0x80, 0x3FFF, 0x4000, UINT64_MAX, uint64_t{1} << 63, 0};
    const uint32_t keys[] = {0x7F, 0x80, 0x3FFF, 0x4000, 0xFFFFFFFFu, 0, 1};
    const int32_t ints[] = {INT32_MIN, INT32_MAX, -1, 0, -64, 64, 8191, -8193};
    Start();
    for (size_t i = 0; i < std::size(ticks); ++i) {
        RecordTick(ticks[i].tick);
        RecordKeyWord(keys[i], words[i]);
    }
    int32_t out = INT32_MIN;
    for (int32_t v : ints) {
        const ArgNote args[] = {Int(v), ArgNote{WidenedArg, static_cast<uint32_t>(v), nullptr, nullptr},
                                ArgNote{OutArg, static_cast<uint32_t>(v), nullptr, &out},
                                ArgNote{FloatArg, 0xFFFFFFFFu, nullptr, nullptr},
                                ArgNote{OpaqueArg, UINT64_MAX, nullptr, nullptr}};
        out = v == INT32_MIN ? INT32_MAX : INT32_MIN;
        RecordCall(0xFFFFFFFFFFFFFFFFull, args, 5, ResultNote{IntResult, {static_cast<uint32_t>(v), 0, 0}});
    }
    RecordWait(0xFFFFFFFFu);

    RecordingReader reader;
    const std::vector<Record> records = ReadBack(reader);
    ASSERT_EQ(records.size(), 2 * std::size(ticks) + std::size(ints) + 1);
    for (size_t i = 0; i < std::size(ticks); ++i) {
        EXPECT_EQ(records[2 * i].tag, TickTag);
        EXPECT_EQ(records[2 * i].tick, ticks[i].tick) << "step " << ticks[i].step;
        EXPECT_EQ(records[2 * i + 1].key, keys[i]);
        EXPECT_EQ(records[2 * i + 1].word, words[i]);
    }
    for (size_t i = 0; i < std::size(ints); ++i) {
        const Record& r = records[2 * std::size(ticks) + i];
        const int32_t v = ints[i];
        ASSERT_EQ(r.tag, CallTag);
        EXPECT_EQ(r.call.hash, 0xFFFFFFFFFFFFFFFFull);
        ASSERT_EQ(r.call.args.size(), 5u);
        EXPECT_EQ(r.call.args[0].value, v);
        EXPECT_EQ(r.call.args[1].value, v);
        EXPECT_EQ(r.call.args[2].value, v);
        EXPECT_EQ(r.call.args[2].after, v == INT32_MIN ? INT32_MAX : INT32_MIN);
        EXPECT_EQ(r.call.args[3].bits, 0xFFFFFFFFu);
        EXPECT_EQ(r.call.args[4].bits, UINT64_MAX);
        EXPECT_EQ(r.call.result, IntResult);
        EXPECT_EQ(r.call.intResult, v);
    }
    EXPECT_EQ(records.back().waitMs, 0xFFFFFFFFu);
}

TEST_F(RecorderRoundTrip, TextsAtTheirCutAndChangingUnderOneAddress)
{
    static char at[2048];
    static char elsewhere[2048];
    // clang-format off
    const struct {
        char* address;
        std::string text;     // put at the address before the call
        std::string read;     // what the reader must give
    } steps[] = {
        {at,        std::string(1023, 'a'),          std::string(1023, 'a')},
        {at,        std::string(1024, 'a'),          std::string(1024, 'a')},  // longer, same prefix
        {at,        std::string(1025, 'a'),          std::string(1024, 'a')},  // cut to 1024
        {at,        std::string(1024, 'b'),          std::string(1024, 'b')},  // same length, changed
        {at,        "Saint Denis",                   "Saint Denis"},
        {at,        "Saint Denis - 8.65$",           "Saint Denis - 8.65$"},   // longer, same prefix
        {at,        "Saint",                         "Saint"},                 // shorter, same prefix
        {at,        "Saint Denis",                   "Saint Denis"},           // back to a known one
        {elsewhere, "Saint Denis",                   "Saint Denis"},
        {elsewhere, "",                              ""},
        {elsewhere, std::string(1025, 'z'),          std::string(1024, 'z')},  // new, and cut
        {at,        std::string(1024, 'a'),          std::string(1024, 'a')},
        // Differs from the one above only where no cheap fingerprint looks.
        {elsewhere, std::string(100, 'a') + "c" + std::string(923, 'a'),
                    std::string(100, 'a') + "c" + std::string(923, 'a')},
        {at,        "Saint Denis",                   "Saint Denis"},
    };
    // clang-format on
    Start();
    for (const auto& s : steps) {
        std::memcpy(s.address, s.text.c_str(), s.text.size() + 1);
        const ArgNote args[] = {Text(s.address), Int(7)};
        RecordCall(1, args, 2, NoAnswer());
    }
    RecordingReader reader;
    const std::vector<Record> records = ReadBack(reader);
    ASSERT_EQ(records.size(), std::size(steps));
    for (size_t i = 0; i < std::size(steps); ++i) {
        ASSERT_EQ(records[i].call.args.size(), 2u);
        EXPECT_EQ(records[i].call.args[0].text, steps[i].read) << "step " << i;
        EXPECT_EQ(records[i].call.args[1].value, 7);
    }
}

// Waits of under 128 ms are two bytes a record; the clock stands still, so only the fill sends
// a block out: at the record after the payload has reached 64 KiB, not one record sooner.
TEST_F(RecorderRoundTrip, ABlockGoesOutAtTheRecordAfterTheThreshold)
{
    const struct {
        size_t waits;
        size_t blocks;  // the header's, the ones filled, the last with the end record
    } cases[] = {
        {32767 + 1, 2},
        {32768 + 1, 3},
        {65536 + 1, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waits);
        Start();
        for (size_t i = 0; i < c.waits; ++i)
            RecordWait(16);
        RecordingReader reader;
        const std::vector<Record> records = ReadBack(reader);
        EXPECT_EQ(reader.ValidBlocks(), c.blocks);
        EXPECT_EQ(records.size(), c.waits);
        EXPECT_TRUE(reader.Closed());
        if (c.blocks > 2) {
            EXPECT_EQ(Writes[2], 1 + 3 + 65536 + 4) << "tag, length, 64 KiB of records, checksum";
        }
    }
}

// A due block waits for the next record that is not part of a key reading: nothing is written
// between the script's load of a key's word and its reading of the tick.
TEST_F(RecorderRoundTrip, KeyReadingsNeverSendABlockOut)
{
    Start();
    for (size_t i = 0; i < 32768; ++i)
        RecordWait(16);  // 64 KiB: the next record may send the block
    const size_t before = Writes.size();
    for (uint32_t i = 0; i < 1000; ++i) {
        RecordKeyWord(40, (uint64_t{1} << 32) | i);
        RecordTick(i);
    }
    EXPECT_EQ(Writes.size(), before) << "a thousand key readings behind a due block";
    EXPECT_TRUE(SessionRecording);
    RecordWait(16);
    EXPECT_EQ(Writes.size(), before + 1) << "the wait after them sends it";
    RecordingReader reader;
    EXPECT_EQ(ReadBack(reader).size(), 32768u + 2000u + 1u);
}

// Each wait is a block of its own (the clock moves 2 s each time). A write that fails leaves the
// file as it was before it: the blocks before it, readable without salvage, and nothing after.
TEST_F(RecorderRoundTrip, AFailedWriteLeavesTheBlocksBeforeIt)
{
    const auto session = [] {
        for (uint32_t ms = 1; ms <= 5; ++ms) {
            Now += 2000;
            RecordWait(ms);
            RecordTick(Now);
        }
    };
    Start();
    session();
    StopSessionRecording();
    const std::string whole = Bytes();
    const std::vector<uint32_t> sizes = Writes;
    ASSERT_EQ(sizes.size(), 8u) << "the signature, the header, five waits, the end";

    const struct {
        size_t failing;
        size_t waits;  // what the reader gives back
    } cases[] = {
        {3, 0},  // the first block after the header
        {5, 2},  // a middle one
        {8, 5},  // the last, with the end record
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failing);
        Now = 0;
        Start();
        FailingWrite = c.failing;
        session();
        StopSessionRecording();
        EXPECT_EQ(Writes.size(), c.failing) << "nothing is written after a failed write";
        size_t kept = 0;
        for (size_t i = 0; i + 1 < c.failing; ++i)
            kept += sizes[i];
        EXPECT_EQ(Bytes(), whole.substr(0, kept));
        RecordingReader reader;
        ASSERT_TRUE(reader.Open("Quorvane.rec")) << reader.Error();
        EXPECT_FALSE(reader.Closed());
        size_t waits = 0;
        for (Record r; reader.Next(r);)
            waits += r.tag == WaitTag ? 1 : 0;
        EXPECT_EQ(waits, c.waits);
    }
    // The header's own block failing leaves the signature alone: nothing to replay.
    Now = 0;
    fs::remove("Quorvane.rec");
    Writes.clear();
    FailingWrite = 2;
    StartSessionRecording(RecordedSettings{14, 38, 40, 1});
    EXPECT_FALSE(SessionRecording);
    EXPECT_EQ(Bytes(), whole.substr(0, sizes[0]));
}
