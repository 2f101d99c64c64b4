// fuzz/host_fuzz.cpp -- the plug-in in a simulated game whose every answer the input decides:
// natives' results, the player, keys, the pad, the clock, cash, assets, creation, trains. Runs
// up to a few thousand frames per input. Fails on a sanitizer report, on any host error (an
// unknown native, a broken call, a configuration, asset or spawn point the game does not have,
// a script that stops yielding), on a recorded session that does not replay call for call, and
// through libFuzzer's limits, on runaway memory.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "data/stations.h"
#include "host/natives.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

namespace {

constexpr int MaxFrames = 6000;
constexpr int TailFrames = 2500;  // frames run after the input is used up: a dispatch and a stop

uint64_t framesRun = 0;
uint64_t inputsRun = 0;
uint64_t inputsReplayed = 0;

struct Report {
    ~Report()
    {
        std::fprintf(stderr, "host_fuzz: %llu inputs, %llu frames, %llu sessions recorded and replayed\n",
                     static_cast<unsigned long long>(inputsRun), static_cast<unsigned long long>(framesRun),
                     static_cast<unsigned long long>(inputsReplayed));
    }
} report;

std::string SettingsDir()
{
    static const std::string dir = [] {
        char pattern[] = "/tmp/quorvane_fuzz_XXXXXX";
        const char* made = mkdtemp(pattern);
        return std::string(made ? made : "/tmp");
    }();
    return dir;
}

const char* const Controls[] = {"INPUT_FRONTEND_UP", "INPUT_FRONTEND_DOWN", "INPUT_FRONTEND_ACCEPT",
                                "INPUT_FRONTEND_CANCEL"};

// Within reach of a station, or just outside it.
Vec3 NearStation(FuzzedDataProvider& in)
{
    const PaddedVector3& p = StationTable[in.ConsumeIntegralInRange<size_t>(0, StationCount - 1)].Position;
    return Vec3{p.x + in.ConsumeFloatingPointInRange<float>(-15, 22),
                p.y + in.ConsumeFloatingPointInRange<float>(-15, 15), p.z};
}

// Whether, and how, to rewrite a native's answer. Composed texts are the game's own pointers and
// are left alone: a game that hands out garbage pointers crashes whatever the script does.
void MaybeRewrite(FuzzedDataProvider& in, uint64_t hash, uint64_t* result)
{
    if (hash == NativeComposeText || in.remaining_bytes() == 0 || in.ConsumeIntegralInRange<int>(0, 7) != 0)
        return;
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
    case 0: result[0] = in.ConsumeIntegral<uint32_t>(); break;  // any whole number
    case 1: result[0] = in.ConsumeBool() ? 1 : 0; break;        // yes or no
    case 2: {                                                   // any float
        const float f = in.ConsumeFloatingPoint<float>();
        std::memcpy(result, &f, sizeof f);
        break;
    }
    case 3: result[0] = static_cast<uint32_t>(in.ConsumeIntegralInRange<int32_t>(-2, 40)); break;
    default:  // a vector
        for (int i = 0; i < 3; ++i) {
            const float f = in.ConsumeFloatingPointInRange<float>(-6000, 6000);
            std::memcpy(reinterpret_cast<char*>(result) + 8 * i, &f, sizeof f);
        }
    }
}

void Act(FuzzedDataProvider& in, Sim& sim)
{
    switch (in.ConsumeIntegralInRange<int>(0, 27)) {
    case 0: sim.PressKey(in.ConsumeIntegralInRange<uint32_t>(0, 300)); break;
    case 1: sim.ReleaseKey(in.ConsumeIntegralInRange<uint32_t>(0, 300)); break;
    case 2: sim.PressKey(in.PickValueInArray({8u, 13u, 38u, 40u})); break;
    case 3: sim.ReleaseKey(in.PickValueInArray({8u, 13u, 38u, 40u})); break;
    case 4: sim.PadHold(in.PickValueInArray(Controls)); break;
    case 5: sim.PadRelease(in.PickValueInArray(Controls)); break;
    case 6:
        if (sim.LivePrompt() != nullptr)
            sim.UsePrompt();
        break;
    case 7: sim.MovePlayerTo(NearStation(in)); break;
    case 8:
        sim.MovePlayerTo(Vec3{in.ConsumeFloatingPointInRange<float>(-6000, 4000),
                              in.ConsumeFloatingPointInRange<float>(-4000, 2000), 50});
        break;
    case 9: sim.SetPlayerExists(in.ConsumeBool()); break;
    case 10: sim.SetPlayerCanInteract(in.ConsumeBool()); break;
    case 11: sim.SetPlayerOccupied(in.ConsumeBool()); break;
    case 12: sim.SetCash(in.ConsumeIntegral<int32_t>()); break;
    case 13: sim.VanishTrain(); break;
    case 14: sim.HoldTrain(in.ConsumeIntegralInRange<int64_t>(0, 60000)); break;
    case 15: in.ConsumeBool() ? sim.BoardTrain() : sim.LeaveTrain(); break;
    case 16: sim.JumpClock(in.ConsumeIntegralInRange<uint32_t>(0, 600000)); break;
    case 17: sim.SetTick(in.ConsumeIntegral<uint32_t>()); break;
    case 18: sim.SetUsingKeyboard(in.ConsumeBool()); break;
    case 19: sim.RunFor(in.ConsumeIntegralInRange<int64_t>(0, 120000)); break;
    case 20:
    case 21: {  // a key tapped: pressed in one frame, released in the next
        const uint32_t key = in.PickValueInArray({8u, 13u, 13u, 38u, 40u});
        sim.PressKey(key);
        sim.RunFrame();
        sim.ReleaseKey(key);
        break;
    }
    case 22:
    case 23:  // take the prompt, let the menu's input gate open, and accept
        if (sim.LivePrompt() != nullptr) {
            sim.UsePrompt();
            sim.RunFor(200);
            sim.PressKey(13);
            sim.RunFrame();
            sim.ReleaseKey(13);
        }
        break;
    default: break;  // most frames nothing happens
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Two streams: the world and the player's actions from the front of the input, the game's
    // rewritten answers from the back, so that neither starves the other. Every choice falls
    // back to an ordinary, playable world once its stream runs out: the bytes perturb a game,
    // they do not have to build one.
    const size_t split = size == 0 ? 0 : 1 + (size - 1) * data[0] / 256;
    FuzzedDataProvider in(data + (size == 0 ? 0 : 1), split == 0 ? 0 : split - 1);
    FuzzedDataProvider answers(data + split, size - split);
    SimConfig config;
    config.frameMs = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(1, 120) : 33;
    config.startGameTime = in.ConsumeIntegral<int32_t>();
    config.startTick = in.ConsumeIntegral<uint32_t>();
    config.seed = in.ConsumeIntegral<uint32_t>();
    config.gameDir = SettingsDir();
    // Half the inputs record the session, and it must then replay call for call.
    const bool record = in.ConsumeBool();
    const std::string recordingPath = config.gameDir + "/Quorvane.rec";
    std::remove(recordingPath.c_str());
    {
        const std::string path = config.gameDir + "/Quorvane.ini";
        std::remove(path.c_str());
        std::ofstream ini(path, std::ios::binary);
        ini << "[SETTINGS]\nRECORD_SESSION=" << (record ? 1 : 0) << "\n";
        if (in.ConsumeBool()) {
            ini << "MAX_TRAIN_SPEED=" << in.ConsumeRandomLengthString(24)
                << "\nMENU_UP_KEY=" << in.ConsumeRandomLengthString(12)
                << "\nMENU_DOWN_KEY=" << in.ConsumeRandomLengthString(12) << "\n";
        }
    }

    StaticPlugin plugin;
    Sim sim(config);
    sim.SetLogging(false);
    sim.SetCash(5000 - in.ConsumeIntegralInRange<int32_t>(0, 5100));
    sim.SetAssetLoadFrames(in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-1, 20) : 3);
    sim.PreloadAssets(in.ConsumeBool());
    sim.SetTrainExistsFromAttempt(in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(0, 4) : 1);
    sim.SetTrainHandleBase(in.ConsumeBool() ? in.ConsumeIntegral<int32_t>() / 2 : 0x7000);
    for (int i = in.ConsumeIntegralInRange<int>(0, 4); i > 0; --i) {
        SimPed ped{in.ConsumeIntegralInRange<int32_t>(1, 5000)};
        ped.inTheWay = in.ConsumeBool();
        ped.settled = in.ConsumeBool();
        ped.exists = !in.ConsumeBool();
        sim.AddPed(ped);
    }
    for (int i = in.ConsumeIntegralInRange<int>(0, 3); i > 0; --i) {
        sim.AddJunctionSpot(JunctionSpot{
            NearStation(in), in.ConsumeFloatingPointInRange<float>(0, 3000), in.ConsumeIntegralInRange<int32_t>(-1, 25),
            in.ConsumeIntegralInRange<int32_t>(-1, 20), in.ConsumeIntegralInRange<int32_t>(-1, 25)});
    }
    sim.SetPlayerExists(!in.ConsumeBool());
    sim.MovePlayerTo(NearStation(in));
    sim.SetAnswerHook(
        [&answers](uint64_t hash, const uint64_t*, int, uint64_t* result) { MaybeRewrite(answers, hash, result); });

    sim.Load(plugin);
    // Each action comes after a pause of its own, so a short input spans minutes of play.
    while (in.remaining_bytes() > 0 && sim.Frame() < MaxFrames) {
        sim.RunFrames(in.ConsumeIntegralInRange<int>(0, 90));
        Act(in, sim);
    }
    sim.RunFrames(TailFrames);
    framesRun += sim.Frame();
    ++inputsRun;
    sim.Unload();
    if (!sim.Errors().empty()) {
        for (const std::string& e : sim.Errors())
            std::fprintf(stderr, "host error: %s\n", e.c_str());
        __builtin_trap();
    }
    if (record) {
        RecordingReader reader;
        if (!reader.Open(recordingPath)) {
            std::fprintf(stderr, "the recording does not read back: %s\n", reader.Error().c_str());
            __builtin_trap();
        }
        const ReplayResult replay = ReplaySession(reader);
        if (replay.outcome != ReplayResult::Identical) {
            std::fprintf(stderr, "the replay differs: %s\n", replay.difference.c_str());
            __builtin_trap();
        }
        ++inputsReplayed;
    }
    return 0;
}
