// tests/replay_refusal_test.cpp -- quorvane-sim --replay on every file docs/recording.md says it
// refuses, run as a player runs it (a child process): exit 2 and one line naming the fault, the
// memory it took bounded whatever the file's size, and --salvage replaying exactly the sound
// blocks before the fault. The files are made here, with the tests' own writer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "recording_codec.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"

namespace fs = std::filesystem;
using testrec::Frame;
using testrec::Rec;
using Bytes = std::vector<uint8_t>;

namespace {

struct Finished {
    int exitCode = -1;
    std::string out, err;
    long peakKiB = 0;
    size_t ErrLines() const { return static_cast<size_t>(std::count(err.begin(), err.end(), '\n')); }
};

std::string Slurp(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A folder of this process's own, removed afterwards.
struct Scratch {
    Scratch() : path(fs::temp_directory_path() / ("quorvane_refusals_" + std::to_string(getpid())))
    {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Scratch()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path Write(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream(path / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path / name;
    }
    const fs::path path;
};

// quorvane-sim with these arguments, its output and its peak resident memory.
Finished Tool(const std::vector<std::string>& args, const fs::path& scratch)
{
    const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
    std::vector<char*> argv{const_cast<char*>(QV_SIM_TOOL)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0 || chdir(scratch.c_str()) != 0)
            _exit(126);
        execv(QV_SIM_TOOL, argv.data());
        _exit(127);
    }
    Finished f;
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child && WIFEXITED(status))
        f.exitCode = WEXITSTATUS(status);
    f.peakKiB = usage.ru_maxrss;
    f.out = Slurp(out);
    f.err = Slurp(err);
    return f;
}

Bytes Header(uint64_t version = 1)
{
    Bytes h{'H'};
    testrec::Varint(h, version);
    testrec::Text(h, "1.0.0");
    testrec::Varint(h, 4);
    for (const auto& [key, value] : {std::pair<const char*, int>{"MAX_TRAIN_SPEED", 14},
                                     {"MENU_UP_KEY", 38},
                                     {"MENU_DOWN_KEY", 40},
                                     {"RECORD_SESSION", 1}}) {
        testrec::Text(h, key);
        testrec::Varint(h, static_cast<uint64_t>(value));
    }
    return h;
}

Bytes Encoded(const Rec& r)
{
    Bytes b;
    testrec::Encode(b, r);
    return b;
}

Rec Wait(uint64_t ms)
{
    Rec r;
    r.tag = 'W';
    r.number = ms;
    return r;
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A sound file: the header's block, then blocks holding the given payloads.
Bytes Recording(const std::vector<Bytes>& payloads, uint64_t version = 1)
{
    Bytes out = testrec::Start(version);
    Frame(out, Header());
    for (const Bytes& p : payloads)
        Frame(out, p);
    return out;
}

// A call of no arguments and no result to a hash given by code.
Bytes Call(uint64_t code, uint64_t hash = 0x1234)
{
    Rec r;
    r.tag = 'C';
    r.hashCode = code;
    r.hash = hash;
    return Encoded(r);
}

Bytes CallWithText(uint64_t code, const std::string& text)
{
    Rec r;
    r.tag = 'C';
    r.hashCode = 0;
    r.hash = 0x1234;
    r.args.resize(1);
    r.args[0].kind = 3;
    r.args[0].textCode = code;
    r.args[0].text = text;
    return Encoded(r);
}

Bytes Times(int n, const Bytes& one)
{
    Bytes out;
    for (int i = 0; i < n; ++i)
        out = out + one;
    return out;
}

Bytes Definitions(int from, int n)
{
    Bytes out;
    for (int i = from; i < from + n; ++i)
        out = out + Call(1, 0x9E3779B97F4A7C15ull * static_cast<uint64_t>(i + 1));
    return out;
}

constexpr long LimitKiB = 64 * 1024;

// The child's peak counts the pages it had between fork and exec, a copy of this process's: with
// the address sanitizer's shadow memory that is hundreds of MB before the tool reads a byte, and
// the figure says nothing of the tool.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool PeakMeasurable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool PeakMeasurable = false;
#else
constexpr bool PeakMeasurable = true;
#endif
#else
constexpr bool PeakMeasurable = true;
#endif

}  // namespace

// Each refusal of the reader, one file each: exit 2, one line on stderr saying what is wrong.
TEST(ReplayRefusals, EachFaultTheDocumentNamesIsOneLineAndExitTwo)
{
    const Scratch scratch;
    const Bytes sound = Recording({Encoded(Wait(0))});
    const Bytes longBlock = Recording({Times(100, Encoded(Wait(0)))});  // a length of two bytes
    const size_t lastBlock = sound.size() - (1 + 1 + 2 + 4);
    Bytes badCrc = sound;
    badCrc.back() ^= 1;
    Bytes notBlock = sound;
    notBlock[lastBlock] = 'C';
    Bytes huge = testrec::Start();
    Frame(huge, Header());
    huge.push_back('B');
    testrec::Varint(huge, 128 * 1024 + 1);
    huge.resize(huge.size() + 128 * 1024 + 5);

    Rec end;
    end.tag = 'E';
    end.number = 1;
    const struct Case {
        const char* what;
        Bytes bytes;
        const char* line;  // how stderr's line goes on after "quorvane-sim: FILE: "
    } cases[] = {
        {"empty", {}, "not a Quorvane recording: the file is empty"},
        {"a settings file",
         {'[', 'S', 'E', 'T', 'T', 'I', 'N', 'G', 'S', ']', '\r', '\n'},
         "not a Quorvane recording: it does not begin with the recording's signature"},
        {"format version 0", Recording({Encoded(Wait(0))}, 0),
         "a recording of format version 0; this replay reads version 1"},
        {"format version 2", Recording({Encoded(Wait(0))}, 2),
         "a recording of format version 2; this replay reads version 1"},
        {"the signature and nothing more", testrec::Start(), "empty: the recording ends before its header"},
        {"a block that does not begin as one", notBlock, "damaged: block 1 at byte .* does not begin as a block"},
        {"a block longer than the writer's buffer", huge, "damaged: block 1 at byte .* claims 131073 bytes"},
        {"cut inside a block's length",
         Bytes(longBlock.begin(), longBlock.begin() + static_cast<std::ptrdiff_t>(longBlock.size() - 200 - 4 - 1)),
         "truncated: the file ends inside the length of block 1"},
        {"cut inside a payload", Bytes(sound.begin(), sound.end() - 5),
         "truncated: the file ends inside block 1 \\(.*, 5 bytes short\\)"},
        {"cut inside the last checksum", Bytes(sound.begin(), sound.end() - 1),
         "truncated: the file ends inside block 1 \\(.*, 1 bytes short\\)"},
        {"a checksum that does not match", badCrc, "damaged: block 1 at byte .* fails its checksum"},
        {"a record of unknown kind", Recording({Bytes{'Z', 0}}), "damaged: block 1 has a record of unknown kind 90"},
        {"a record cut short", Recording({Bytes{'C', 0, 1, 2}}), "damaged: block 1 has a record cut short"},
        {"a hash number never defined", Recording({Definitions(0, 3) + Call(5)}),
         "damaged: block 1 has a call to a hash number that was never defined"},
        {"a text number never defined", Recording({CallWithText(1, "a") + CallWithText(3, "")}),
         "damaged: block 1 has a text number that was never defined"},
        {"records after the end", Recording({Encoded(end), Encoded(Wait(0))}),
         "damaged: block 2 has records after the closing record"},
        {"a 193rd hash defined", Recording({Definitions(0, 100), Definitions(100, 93)}),
         "damaged: block 2 has more hash numbers than the 192 a recording defines"},
        {"a 769th text defined", Recording({Times(769, CallWithText(1, "t"))}),
         "damaged: block 1 has more text numbers than the 768 a recording defines"},
        {"a header of another version",
         [] {
             Bytes b = testrec::Start();
             Frame(b, Header(2));
             return b;
         }(),
         "damaged: block 0 has a header of format version 2"},
        {"a header of 9 settings",
         [] {
             Bytes h{'H', 1};
             testrec::Text(h, "1.0.0");
             testrec::Varint(h, 9);
             for (int i = 0; i < 9; ++i)
                 testrec::Text(h, "KEY"), testrec::Varint(h, 0);
             Bytes b = testrec::Start();
             Frame(b, h);
             return b;
         }(),
         "damaged: block 0 has a header of 9 settings"},
        {"no header first",
         [] {
             Bytes b = testrec::Start();
             Frame(b, Encoded(Wait(0)));
             return b;
         }(),
         "damaged: block 0 has no header as its first record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path file = scratch.Write("case.rec", c.bytes);
        const Finished f = Tool({"--replay", file.string()}, scratch.path);
        EXPECT_EQ(f.exitCode, 2) << f.err;
        EXPECT_EQ(f.ErrLines(), 1u) << f.err;
        EXPECT_TRUE(std::regex_search(
            f.err, std::regex("^quorvane-sim: " + file.string() + ": " + c.line + "( \\(--salvage|\n)")))
            << f.err;
    }
}

// Anything that is not a recording is refused before it is read, in little memory whatever its size.
TEST(ReplayRefusals, AFolderADeviceAndHugeOrEndlessFilesAreRefusedBeforeTheyAreRead)
{
    const Scratch scratch;
    fs::create_directories(scratch.path / "Quorvane.rec");
    ASSERT_EQ(mkfifo((scratch.path / "pipe.rec").c_str(), 0600), 0);  // opened, it would wait for a writer
    // Larger than any recording, and within the largest size but of nothing the writer writes.
    const auto sparse = [&](const char* name, const Bytes& start, off_t size) {
        fs::path path = scratch.Write(name, start);
        EXPECT_EQ(truncate(path.c_str(), size), 0);
        return path;
    };
    // A well-formed file of nothing but hash definitions: 50 MB of sound blocks.
    const fs::path definitions = scratch.path / "definitions.rec";
    {
        std::ofstream out(definitions, std::ios::binary);
        Bytes start = testrec::Start();
        Frame(start, Header());
        out.write(reinterpret_cast<const char*>(start.data()), static_cast<std::streamsize>(start.size()));
        Bytes block;
        Frame(block, Definitions(0, 5000));
        for (size_t written = 0; written < 50u << 20; written += block.size())
            out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size()));
    }
    const std::string afterStart = "damaged: block 1 at byte " + std::to_string(Recording({}).size());
    const struct Case {
        const char* what;
        fs::path path;
        std::string line;
    } cases[] = {
        {"a folder", scratch.path / "Quorvane.rec", "not a Quorvane recording: it is a folder"},
        {"/dev/zero", "/dev/zero", "not a Quorvane recording: it is not a regular file"},
        {"a named pipe", scratch.path / "pipe.rec", "not a Quorvane recording: it is not a regular file"},
        {"300 MB", sparse("huge.rec", Bytes(1000, 0x5A), 300 << 20),
         "not a Quorvane recording: 314572800 bytes, larger than any recording"},
        {"200 MB after a sound start", sparse("zeros.rec", Recording({}), 200 << 20),
         afterStart + " does not begin as a block"},
        {"50 MB of definitions", definitions, "damaged: block 1 has more hash numbers than the 192"},
        {"no such file", scratch.path / "none.rec", "cannot be read: No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Finished f = Tool({"--replay", c.path.string()}, scratch.path);
        EXPECT_EQ(f.exitCode, 2) << f.err;
        EXPECT_EQ(f.ErrLines(), 1u) << f.err;
        EXPECT_EQ(f.err.rfind("quorvane-sim: " + c.path.string() + ": " + c.line, 0), 0u) << f.err;
        if (PeakMeasurable) {
            EXPECT_LT(f.peakKiB, LimitKiB) << "peak resident memory";
        }
    }
}

// A kept recording damaged in one block: --salvage replays exactly the calls and frames of the
// blocks before it, and still says the file is damaged.
TEST(ReplayRefusals, SalvageReplaysExactlyTheSoundBlocksBeforeTheDamage)
{
    const Scratch scratch;
    const Bytes kept = testrec::ReadFile(QV_TEST_DATA "/recordings/line-two.rec");
    const testrec::File file = testrec::Decode(kept);
    ASSERT_GT(file.blocks.size(), 4u);
    for (size_t damaged : {size_t{1}, file.blocks.size() / 2, file.blocks.size() - 1}) {
        SCOPED_TRACE("block " + std::to_string(damaged));
        uint64_t calls = 0, waits = 0;
        for (size_t b = 0; b < damaged; ++b) {
            for (const Rec& r : file.blocks[b])
                calls += r.tag == 'C', waits += r.tag == 'W';
        }
        // The damaged block's last checksum byte, found by writing the blocks before it.
        testrec::File before = file;
        before.blocks.resize(damaged + 1);
        Bytes bytes = kept;
        bytes[testrec::Encode(before).size() - 1] ^= 0x40;
        const fs::path path = scratch.Write("damaged.rec", bytes);

        const Finished refused = Tool({"--replay", path.string()}, scratch.path);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_NE(refused.err.find("damaged: block " + std::to_string(damaged) + " at byte"), std::string::npos)
            << refused.err;
        const Finished salvaged = Tool({"--replay", path.string(), "--salvage"}, scratch.path);
        EXPECT_EQ(salvaged.exitCode, 2) << "a salvaged replay is not a whole one";
        EXPECT_NE(salvaged.out.find(std::to_string(calls) + " native calls in " + std::to_string(waits) +
                                    " frames replayed: identical to the recording (its sound blocks only)"),
                  std::string::npos)
            << salvaged.out;
    }
}

// What --salvage leaves out, counted by the tests' own codec: from the damaged block to the end
// of the file, every byte, and the blocks as far as their framing still reads. A failed checksum
// leaves the blocks after it countable; a block cut short or one that is not a block ends the count.
TEST(ReplayRefusals, TheUnreadPartAfterTheDamageIsCountedInBlocksAndBytes)
{
    const Scratch scratch;
    const Bytes kept = testrec::ReadFile(QV_TEST_DATA "/recordings/line-two.rec");
    const testrec::File file = testrec::Decode(kept);
    const size_t blocks = file.blocks.size();
    ASSERT_GT(blocks, 4u);
    enum Damage { Checksum, Cut, NotABlock };
    for (const Damage damage : {Checksum, Cut, NotABlock}) {
        for (size_t damaged : {size_t{1}, blocks / 2, blocks - 1}) {
            SCOPED_TRACE("damage " + std::to_string(damage) + " in block " + std::to_string(damaged));
            testrec::File upTo = file;
            upTo.blocks.resize(damaged);
            const size_t at = testrec::Encode(upTo).size();  // where the damaged block begins
            upTo.blocks.push_back(file.blocks[damaged]);
            const size_t end = testrec::Encode(upTo).size();
            Bytes bytes = kept;
            size_t expectBlocks = 0;
            switch (damage) {
            case Checksum: bytes[end - 1] ^= 0x40, expectBlocks = blocks - damaged; break;
            case Cut: bytes.resize(end - 2), expectBlocks = 1; break;
            case NotABlock: bytes[at] = 'X', expectBlocks = 0; break;
            }
            const fs::path path = scratch.Write("damaged.rec", bytes);
            for (const bool fromFile : {false, true}) {
                SCOPED_TRACE(fromFile ? "from a file" : "from memory");
                RecordingReader reader;
                ASSERT_FALSE(fromFile ? reader.Open(path.string()) : reader.Load(bytes));
                EXPECT_EQ(reader.ValidBlocks(), damaged);
                const RecordingReader::Unread lost = reader.UnreadAfterFault();
                EXPECT_EQ(lost.blocks, expectBlocks);
                EXPECT_EQ(lost.bytes, bytes.size() - at);
            }
        }
    }
    RecordingReader whole;
    ASSERT_TRUE(whole.Load(kept)) << whole.Error();
    EXPECT_EQ(whole.UnreadAfterFault().blocks, 0u);
    EXPECT_EQ(whole.UnreadAfterFault().bytes, 0u);
}

// The end of a recording says why it ended.
TEST(ReplayRefusals, ARecordingEndedByItsSizeCapSaysSo)
{
    const Scratch scratch;
    for (const auto& [reason, says] : {std::pair<uint64_t, const char*>{1, "which ends where the plug-in was unloaded"},
                                       {2, "which ends where it reached its size cap"}}) {
        testrec::File f = testrec::Decode(testrec::ReadFile(QV_TEST_DATA "/recordings/refusal.rec"));
        ASSERT_EQ(f.blocks.back().back().tag, 'E');
        f.blocks.back().back().number = reason;
        const fs::path path = scratch.Write("ended.rec", testrec::Encode(f));
        const Finished done = Tool({"--replay", path.string()}, scratch.path);
        EXPECT_EQ(done.exitCode, 0) << done.err;
        EXPECT_NE(done.out.find(says), std::string::npos) << done.out;
    }
}

// The blocks are read again as they are replayed: a file cut while it is replayed stops the
// replay at the first block that no longer reads, and the reader says so.
namespace {
std::string cutPath;
uint64_t cutAfterWaits = 0;
void (*realWait)(uint32_t) = nullptr;
void CutTheFileMidway(HostApi& host)
{
    realWait = host.scriptWait;
    host.scriptWait = [](uint32_t ms) {
        if (--cutAfterWaits == 0) {
            EXPECT_EQ(truncate(cutPath.c_str(), 1000), 0);
        }
        realWait(ms);
    };
}
}  // namespace

TEST(ReplayRefusals, AFileCutWhileItIsReplayedStopsTheReplayAndSaysSo)
{
    const Scratch scratch;
    const Bytes kept = testrec::ReadFile(QV_TEST_DATA "/recordings/line-two.rec");
    cutPath = scratch.Write("cut.rec", kept).string();
    RecordingReader reader;
    ASSERT_TRUE(reader.Open(cutPath)) << reader.Error();
    cutAfterWaits = 2000;
    ReplayHostInstalled = &CutTheFileMidway;
    const ReplayResult r = ReplaySession(reader);
    ReplayHostInstalled = nullptr;
    EXPECT_EQ(reader.Error().rfind("damaged: block ", 0), 0u) << reader.Error();
    EXPECT_NE(reader.Error().find("no longer reads as it did"), std::string::npos) << reader.Error();
    EXPECT_GE(r.frames, 2000u);
    EXPECT_LT(r.frames, 4341u) << "the frames of the whole recording";
}

// The writer never writes an empty block, but one is sound: read from memory (as the fuzzer
// reads) and from a file, it holds no record and the next block's records follow.
TEST(ReplayRefusals, AnEmptyBlockHoldsNoRecordAndIsSound)
{
    const Scratch scratch;
    const Bytes bytes = Recording({Bytes{}, Encoded(Wait(7))});
    const fs::path path = scratch.Write("empty-block.rec", bytes);
    for (const bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "from a file" : "from memory");
        RecordingReader reader;
        ASSERT_TRUE(fromFile ? reader.Open(path.string()) : reader.Load(bytes)) << reader.Error();
        EXPECT_EQ(reader.ValidBlocks(), 3u);
        Record r;
        ASSERT_TRUE(reader.Next(r));
        EXPECT_EQ(r.tag, recording::WaitTag);
        EXPECT_EQ(r.waitMs, 7u);
        EXPECT_FALSE(reader.Next(r));
    }
}
