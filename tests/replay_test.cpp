// tests/replay_test.cpp -- sessions recorded in the simulator with RECORD_SESSION=1 and replayed
// against the same plug-in: identical call for call, whatever the session held; recording on or
// off changes nothing the game sees; and the recording's own faults (a failed write, the size
// cap) end it without touching the plug-in.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>

#include "host/natives.h"
#include "host/recorder.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"
#include "sim_fixture.h"

namespace fs = std::filesystem;

namespace {
constexpr uint32_t Down = 40, Enter = 13, Backspace = 8;
}

class RecordedSession : public SimTest {
protected:
    void SetUp() override
    {
        // The process id too: another checkout on the machine may run the same test at once.
        dir_ = fs::temp_directory_path() / (std::string("quorvane_rec_") + std::to_string(getpid()) + "_" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        SimTest::TearDown();
        RecordingSizeCap = DefaultRecordingSizeCap;
        fs::remove_all(dir_);
    }

    // A game whose Quorvane.ini holds the given RECORD_SESSION line (none when empty).
    Sim& MakeGame(const std::string& recordLine, uint32_t seed = 1)
    {
        std::ofstream(dir_ / "Quorvane.ini", std::ios::binary) << "[SETTINGS]\r\n" << recordLine << "\r\n";
        SimConfig config;
        config.gameDir = dir_.string();
        config.seed = seed;
        Sim& s = MakeSim(config);
        s.SetCash(2000);
        return s;
    }

    // Takes the prompt at the station, moves to the destination and presses Enter.
    void Buy(size_t station, int steps)
    {
        sim().MovePlayerTo(NearStation(station));
        ASSERT_TRUE(sim().RunUntil([&] { return sim().LivePrompt() != nullptr; }, 10000));
        sim().UsePrompt();
        sim().RunFor(200);
        for (int i = 0; i < steps; ++i)
            Tap(Down), WaitOutGate();
        sim().BoardTrain();
        Tap(Enter);
    }

    // The whole trip from the purchase to the train given up, the player getting off at the end.
    void RideToTheEnd(size_t last)
    {
        ASSERT_TRUE(sim().RunUntil(
            [&] {
                return !sim().Halts().empty() && sim().Halts().back().nearestStation == static_cast<int32_t>(last) &&
                       sim().Halts().size() > 1;
            },
            60 * 60000));
        sim().LeaveTrain();
        sim().MovePlayerTo(Vec3{0, 0, 0});
        ASSERT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 10 * 60000));
    }

    // Unloads (which closes the recording) and replays it.
    ReplayResult Replay(bool expectClosed = true)
    {
        calls_ = sim().Log().size();
        sim().Unload();
        RecordingReader reader;
        EXPECT_TRUE(reader.Open(RecordingFile())) << reader.Error();
        EXPECT_EQ(reader.Closed(), expectClosed);
        ReplayResult r = ReplaySession(reader);
        EXPECT_EQ(r.outcome, ReplayResult::Identical) << r.difference;
        return r;
    }

    std::string RecordingFile() const { return (dir_ / "Quorvane.rec").string(); }
    bool Saw(const ReplayResult& r, const std::string& text) const
    {
        for (const ReplayEvent& e : r.timeline) {
            if (e.text == text)
                return true;
        }
        std::printf("not in the timeline: %s\n", text.c_str());
        for (const ReplayEvent& e : r.timeline)
            std::printf("  %s\n", TimelineLine(e).c_str());
        return false;
    }

    fs::path dir_;
    size_t calls_ = 0;
};

TEST_F(RecordedSession, ATripOnLineOneReplaysCallForCallAndTellsItsStory)
{
    MakeGame("RECORD_SESSION=1");
    RouteTrainsThrough(3, {4, 11, 10});
    const Vec3 a = SimStationPosition(3), b = SimStationPosition(4);
    sim().AddJunctionSpot(JunctionSpot{Vec3{(a.x + b.x) / 2, (a.y + b.y) / 2, a.z}, 150.0f, 0, 2, 0});
    Load();
    Buy(3, 6);  // Saint Denis
    RideToTheEnd(10);
    const ReplayResult r = Replay();
    EXPECT_EQ(r.calls, calls_) << "every native call the game saw is replayed";
    EXPECT_GT(r.frames, 1000u);
    const int32_t fare = FaresInCents()[3][10];
    const std::string item = "\"Saint Denis - " + FareText(fare) + "$\"";
    for (const std::string& line :
         {std::string("prompt \"Quorvane\" offered at Riggs Station"), std::string("menu one is open at Riggs Station"),
          "key Down: moved to row 7, " + item, "key Enter: accepted " + item,
          "ticket bought to Saint Denis for " + FareText(fare) + "$, " + FareText(2000 - fare) + "$ left",
          std::string("menu closes: ticket bought"), std::string("train stops at Riggs Station"),
          std::string("train stops at Flatneck Station"), std::string("train stops at Rhodes"),
          std::string("train stops at Saint Denis"), std::string("junction (0, 2) set to 0 near Riggs Station"),
          std::string("the train is given up")})
        EXPECT_TRUE(Saw(r, line)) << line;
    EXPECT_EQ(r.origin, 3);
    EXPECT_EQ(r.destination, 10);
    EXPECT_FALSE(r.menuFrame.empty());
}

TEST_F(RecordedSession, LineTwoRefusalsCancelsAndFaultsReplayIdentically)
{
    MakeGame("RECORD_SESSION=1", 7);
    RouteTrainsThrough(0, {1, 2});
    sim().SetCash(300);  // 6.50 to MacFarlanes Ranch is too dear
    Load();
    Buy(0, 2);
    sim().RunFor(2000);
    // Cancelled with Backspace, then bought with enough cash; the train vanishes mid-ride.
    Tap(Backspace);
    sim().SetCash(5000);
    sim().RunFor(3000);
    Buy(0, 0);  // the selection is still on MacFarlanes Ranch
    ASSERT_TRUE(sim().RunUntil([&] { return sim().Halts().size() == 1; }, 10 * 60000));
    sim().VanishTrain();
    sim().LeaveTrain();
    ASSERT_TRUE(sim().RunUntil([&] { return Journey.Train == 0; }, 10 * 60000));
    // Odd answers from the game: a player handle of 0 for a while.
    sim().SetAnswerHook([](uint64_t hash, const uint64_t*, int, uint64_t* result) {
        if (hash == NativePlayerPed)
            result[0] = 0;
    });
    sim().RunFor(20000);
    sim().SetAnswerHook(nullptr);
    sim().RunFor(20000);
    const ReplayResult r = Replay();
    EXPECT_EQ(r.calls, calls_);
    EXPECT_TRUE(Saw(r, "refused: \"You don't have enough money.\": fare " + FareText(FaresInCents()[0][2]) +
                           "$, cash " + FareText(300) + "$"));
    EXPECT_TRUE(Saw(r, "menu two is open at Benedict Point"));
    EXPECT_TRUE(Saw(r, "key Backspace: cancelled"));
    EXPECT_TRUE(Saw(r, "menu closes: cancelled"));
    EXPECT_FALSE(r.refusalFrame.empty());
}

TEST_F(RecordedSession, RecordingOnOrOffTheGameSeesTheSameCalls)
{
    std::vector<std::string> traces[2];
    for (int on = 0; on < 2; ++on) {
        MakeGame(on == 1 ? "RECORD_SESSION=1" : "", 3);
        RouteTrainsThrough(3, {4, 11, 10});
        Load();
        Buy(3, 6);
        RideToTheEnd(10);
        // Composed texts are the game's own addresses, different in every game; the rest is the same.
        for (const std::string& line : sim().Trace())
            traces[on].push_back(std::regex_replace(line, std::regex("0x[0-9A-F]{9,}"), "<text>"));
        EXPECT_EQ(fs::exists(dir_ / "Quorvane.rec"), on == 1);
        sim().Unload();
        fs::remove(dir_ / "Quorvane.rec");
    }
    EXPECT_EQ(traces[0], traces[1]);
    EXPECT_GT(traces[0].size(), 10000u);
}

TEST_F(RecordedSession, OnlyTheValueOneRecordsAndAnEarlierFileIsKept)
{
    for (const char* line : {"", "RECORD_SESSION=0", "RECORD_SESSION=2", "RECORD_SESSION=-1", "RECORD_SESSION=yes"}) {
        MakeGame(line);
        Load();
        sim().RunFor(20000);
        sim().Unload();
        EXPECT_FALSE(fs::exists(dir_ / "Quorvane.rec")) << line;
    }
    MakeGame("RECORD_SESSION=1");
    Load();
    sim().RunFor(10000);
    sim().Unload();
    const auto first = fs::file_size(dir_ / "Quorvane.rec");
    MakeGame("RECORD_SESSION=1");
    Load();
    sim().RunFor(30000);
    sim().Unload();
    ASSERT_TRUE(fs::exists(dir_ / "Quorvane.old.rec"));
    EXPECT_EQ(fs::file_size(dir_ / "Quorvane.old.rec"), first) << "the session before is kept as it was";
    RecordingReader old;
    EXPECT_TRUE(old.Open((dir_ / "Quorvane.old.rec").string())) << old.Error();
}

TEST_F(RecordedSession, AFailedWriteEndsTheRecordingQuietlyAndTheFileStaysReadable)
{
    MakeGame("RECORD_SESSION=1");
    RouteTrainsThrough(3, {4});
    sim().FailRecordingWritesAfter(3);  // the header and two blocks
    Load();
    Buy(3, 3);  // Flatneck Station
    RideToTheEnd(4);
    EXPECT_EQ(sim().Cash(), 2000 - 175) << "the plug-in went on";
    const ReplayResult r = Replay(false);
    EXPECT_GT(r.calls, 0u);
    EXPECT_LT(r.calls, calls_) << "replayed up to the last block written";
}

TEST_F(RecordedSession, TheSizeCapClosesTheRecordingAndThePlugInGoesOn)
{
    RecordingSizeCap = 300 * 1024;
    MakeGame("RECORD_SESSION=1");
    RouteTrainsThrough(3, {4});
    Load();
    Buy(3, 3);
    RideToTheEnd(4);
    sim().Unload();
    EXPECT_LE(fs::file_size(dir_ / "Quorvane.rec"), RecordingSizeCap);
    // and not long before it: the cap keeps one 128 KiB buffer free, no more.
    EXPECT_GT(fs::file_size(dir_ / "Quorvane.rec"), RecordingSizeCap - 128 * 1024);
    RecordingReader reader;
    ASSERT_TRUE(reader.Open(RecordingFile())) << reader.Error();
    EXPECT_TRUE(reader.Closed());
    Record last;
    while (reader.Next(last)) {
    }
    EXPECT_EQ(last.tag, recording::EndTag);
    EXPECT_EQ(last.endReason, recording::EndSizeCap);
    EXPECT_EQ(ReplaySession(reader).outcome, ReplayResult::Identical);
}

// The recording's header says what the settings were; a replay that reads another top speed is
// a plug-in that behaves differently, and the replay stops at the first call that shows it.
TEST_F(RecordedSession, ADifferenceStopsTheReplayAtItsFirstCall)
{
    MakeGame("RECORD_SESSION=1\r\nMAX_TRAIN_SPEED=14");
    RouteTrainsThrough(3, {4});
    Load();
    Buy(3, 3);
    RideToTheEnd(4);
    sim().Unload();
    std::ifstream in(RecordingFile(), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // In the header block: "MAX_TRAIN_SPEED" then its value 14 as a one-byte varint; 15 instead,
    // and the block's checksum made good again.
    const std::string key = "MAX_TRAIN_SPEED";
    const auto at = std::search(bytes.begin(), bytes.end(), key.begin(), key.end());
    ASSERT_NE(at, bytes.end());
    const size_t value = static_cast<size_t>(at - bytes.begin()) + key.size();
    ASSERT_EQ(bytes[value], 14);
    bytes[value] = 15;
    const size_t payload = sizeof recording::Magic + 1 + 2;  // version, 'B', a one-byte length
    const size_t length = bytes[payload - 1];
    const uint32_t crc = recording::Crc32(bytes.data() + payload, length);
    for (int i = 0; i < 4; ++i)
        bytes[payload + length + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
    RecordingReader reader;
    ASSERT_TRUE(reader.Load(bytes)) << reader.Error();
    const ReplayResult r = ReplaySession(reader);
    EXPECT_EQ(r.outcome, ReplayResult::Differs);
    EXPECT_NE(r.difference.find("the recording has TrainInitialSpeed("), std::string::npos) << r.difference;
    EXPECT_NE(r.difference.find(", 14)"), std::string::npos) << r.difference;
    EXPECT_NE(r.difference.find("the plug-in called TrainInitialSpeed("), std::string::npos) << r.difference;
    EXPECT_NE(r.difference.find(", 15)"), std::string::npos) << r.difference;
    EXPECT_EQ(r.difference.rfind("frame ", 0), 0u) << r.difference;
}

// Whatever is wrong with a file is one sentence, before anything is replayed; the blocks before
// a fault stay readable, as a crash mid-write leaves them.
TEST_F(RecordedSession, DamagedTruncatedAndForeignFilesAreOneSentence)
{
    MakeGame("RECORD_SESSION=1");
    Load();
    sim().RunFor(300000);  // five minutes of scanning: several blocks
    sim().Unload();
    std::ifstream in(RecordingFile(), std::ios::binary);
    const std::vector<uint8_t> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RecordingReader whole;
    ASSERT_TRUE(whole.Load(good)) << whole.Error();
    ASSERT_GT(whole.ValidBlocks(), 2u);

    const auto refused = [](const std::vector<uint8_t>& bytes, const std::string& start) {
        RecordingReader reader;
        const bool loaded = reader.Load(bytes);
        EXPECT_FALSE(loaded) << start;
        EXPECT_EQ(reader.Error().rfind(start, 0), 0u) << reader.Error();
        EXPECT_EQ(reader.Error().find('\n'), std::string::npos);
        return reader.ValidBlocks();
    };
    refused({}, "not a Quorvane recording");
    refused(std::vector<uint8_t>{'[', 'S', 'E', 'T', 'T', 'I', 'N', 'G', 'S', ']'}, "not a Quorvane recording");
    std::vector<uint8_t> later = good;
    later[sizeof recording::Magic] = 2;
    refused(later, "a recording of format version 2");

    std::vector<uint8_t> cut(good.begin(), good.end() - 7);
    const size_t before = refused(cut, "truncated: the file ends inside block");
    EXPECT_EQ(before, whole.ValidBlocks() - 1) << "every block before the cut is sound";
    RecordingReader salvage;
    salvage.Load(cut);
    EXPECT_EQ(ReplaySession(salvage).outcome, ReplayResult::Identical) << "the sound blocks replay";

    std::vector<uint8_t> flipped = good;
    flipped[good.size() / 2] ^= 0x10;
    refused(flipped, "damaged: block");
    std::vector<uint8_t> twice = good;
    twice.insert(twice.end(), good.begin(), good.end());
    refused(twice, "damaged: block");
}

TEST(RecordingChecksum, IsTheCrc32OfZipAndPng)
{
    const std::string check = "123456789";  // the standard check value of CRC-32 (IEEE)
    EXPECT_EQ(recording::Crc32(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    const std::string fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(recording::Crc32(reinterpret_cast<const uint8_t*>(fox.data()), fox.size()), 0x414FA339u);
}

namespace {

// An expected line with its fares taken from tests/data/fares.txt, so that a fare changed there
// and in the table (and the recordings made again) needs no edit here: "{fare A B}" is the fare
// from A to B as the menu shows it ("8.65"), "{left C A B}" what is left of C cents after paying
// it, written the same way.
std::string WithFares(std::string line)
{
    const std::regex token("\\{(fare|left) ([0-9]+) ([0-9]+)(?: ([0-9]+))?\\}");
    std::smatch m;
    while (std::regex_search(line, m, token)) {
        const bool left = m[1] == "left";
        const int a = std::stoi(m[left ? 3 : 2]), b = std::stoi(m[left ? 4 : 3]);
        const int32_t fare = FaresInCents().at(static_cast<size_t>(a)).at(static_cast<size_t>(b));
        const std::string text = left ? FareText(std::stoi(m[2]) - fare) : FareText(fare);
        line = m.prefix().str() + text + m.suffix().str();
    }
    return line;
}

}  // namespace

// Sessions recorded with the real Quorvane.asi under Wine (the record-sessions scenario), kept as
// regression tests: the plug-in as built now must make exactly the calls it made then, and each
// NAME.expect beside NAME.rec lists lines its replay's timeline must hold (fares as WithFares).
TEST(KeptRecordings, EachReplaysCallForCall)
{
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(QV_TEST_DATA "/recordings")) {
        if (entry.path().extension() != ".rec")
            continue;
        ++files;
        SCOPED_TRACE(entry.path().filename().string());
        RecordingReader reader;
        ASSERT_TRUE(reader.Open(entry.path().string())) << reader.Error();
        EXPECT_TRUE(reader.Closed());
        const ReplayResult r = ReplaySession(reader);
        EXPECT_EQ(r.outcome, ReplayResult::Identical) << r.difference;
        EXPECT_GT(r.calls, 1000u);
        std::ifstream expect(fs::path(entry.path()).replace_extension(".expect"));
        for (std::string line; std::getline(expect, line);) {
            line = WithFares(line);
            bool seen = false;
            for (const ReplayEvent& e : r.timeline)
                seen = seen || e.text == line;
            EXPECT_TRUE(seen) << line;
        }
    }
    EXPECT_GE(files, 3u) << "one recording per line of the map and a refusal";
}
