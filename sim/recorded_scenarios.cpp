// sim/recorded_scenarios.cpp -- three sessions played with RECORD_SESSION=1, each in a game
// folder of its own under recorded-sessions/ in the working folder: a trip on each line and a
// refusal; and a fourth without the key, which must leave no file. Run against the real DLL under Wine, the files are what a player's game would write;
// the Linux side then replays them with the linked plug-in (tests/replay_files.cmake), and copies
// of them are kept under tests/data/recordings/.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#ifdef _WIN32
#include <windows.h>
#endif

#include "sim/recording_reader.h"
#include "sim/scenarios.h"
#include "sim/world_data.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t Down = 40, Enter = 13, Backspace = 8;

Vec3 StationAt(size_t station, float east = 0.0f)
{
    const Vec3 p = SimStationPosition(station);
    return Vec3{p.x + east, p.y, p.z};
}

void Tap(Sim& sim, uint32_t key)
{
    sim.TapKey(key);
    sim.RunFor(200);
}

// A line through the origin and the stops, with a junction reported halfway along each leg.
void Railway(Sim& sim, const std::vector<size_t>& stations, const std::vector<JunctionSpot>& junctions)
{
    sim.SetTrainPath([stations](Vec3 spawn, bool) {
        std::vector<Vec3> path{spawn};
        for (size_t s : stations)
            path.push_back(StationAt(s));
        const Vec3 a = path[path.size() - 2], b = path.back();
        path.push_back(Vec3{b.x + (b.x - a.x), b.y + (b.y - a.y), b.z});
        return path;
    });
    for (const JunctionSpot& j : junctions)
        sim.AddJunctionSpot(j);
}

Vec3 Between(size_t a, size_t b)
{
    const Vec3 p = StationAt(a), q = StationAt(b);
    return Vec3{(p.x + q.x) / 2, (p.y + q.y) / 2, (p.z + q.z) / 2};
}

// Buys with `downs` presses of Down, rides to the last station and walks away until the train is
// given up. True when the trip ran to its end.
bool Trip(Sim& sim, size_t origin, int downs, size_t last)
{
    sim.MovePlayerTo(StationAt(origin, 5.0f));
    if (!sim.RunUntil([&] { return sim.LivePrompt() != nullptr; }, 10000))
        return false;
    sim.UsePrompt();
    sim.RunFor(300);
    for (int i = 0; i < downs; ++i)
        Tap(sim, Down);
    sim.BoardTrain();
    Tap(sim, Enter);
    const bool arrived = sim.RunUntil(
        [&] { return sim.Halts().size() > 1 && sim.Halts().back().nearestStation == static_cast<int32_t>(last); },
        60 * 60000);
    sim.LeaveTrain();
    sim.MovePlayerTo(Vec3{0, 0, 0});
    return arrived && sim.RunUntil([&] { return !sim.Trains().empty() && sim.Trains().back().givenUp; }, 10 * 60000);
}

bool Refusal(Sim& sim)
{
    sim.SetCash(500);
    sim.MovePlayerTo(StationAt(3, 5.0f));
    if (!sim.RunUntil([&] { return sim.LivePrompt() != nullptr; }, 10000))
        return false;
    sim.UsePrompt();
    sim.RunFor(300);
    for (int i = 0; i < 6; ++i)
        Tap(sim, Down);  // Saint Denis, 8.65
    Tap(sim, Enter);
    sim.RunFor(2000);
    Tap(sim, Backspace);
    sim.MovePlayerTo(StationAt(3, 60.0f));
    sim.RunFor(10000);
    return sim.Cash() == 500;
}

struct Session {
    const char* folder;
    const char* what;
    bool (*play)(Sim&);
};

const Session Sessions[] = {
    {"line-one", "Riggs Station to Saint Denis, ridden to the end",
     [](Sim& sim) {
         Railway(sim, {3, 4, 11, 10},
                 {JunctionSpot{Between(3, 4), 150.0f, 0, 2, 0}, JunctionSpot{Between(4, 11), 150.0f, 0, 18, 0},
                  JunctionSpot{Between(11, 10), 150.0f, 12, 2, 12}});
         return Trip(sim, 3, 6, 10);
     }},
    {"line-two", "Benedict Point to MacFarlanes Ranch, ridden to the end",
     [](Sim& sim) {
         Railway(sim, {0, 1, 2},
                 {JunctionSpot{Between(0, 1), 150.0f, 23, 5, 23}, JunctionSpot{Between(1, 2), 150.0f, 25, 1, 25}});
         return Trip(sim, 0, 2, 2);
     }},
    {"refusal", "too little cash for Saint Denis at Riggs Station, then the menu cancelled", &Refusal},
};

}  // namespace

int RecordSessions(PluginModule& plugin, std::ostream& out)
{
    Checker c(out);
    std::error_code ignored;
    const fs::path base = fs::current_path(ignored) / "recorded-sessions";
    fs::remove_all(base, ignored);
    for (const Session& s : Sessions) {
        const fs::path dir = base / s.folder;
        fs::create_directories(dir, ignored);
        std::ofstream(dir / "Quorvane.ini", std::ios::binary) << "[SETTINGS]\r\nRECORD_SESSION=1\r\n";
        // The plug-in reads .\Quorvane.ini and writes .\Quorvane.rec in the working folder.
        const fs::path previous = fs::current_path(ignored);
        fs::current_path(dir, ignored);
        size_t calls = 0;
        {
            SimConfig config;
            config.gameDir = ".";
            Sim sim(config);
            sim.SetCash(2000);
            sim.MovePlayerTo(Vec3{0, 0, 0});
            c.Check(sim.Load(plugin), std::string(s.folder) + ": the plug-in loads, recording");
            c.Check(s.play(sim), std::string(s.folder) + ": " + s.what);
            sim.Unload();
            calls = sim.Log().size();
            for (const std::string& e : sim.Errors())
                out << "  host error: " << e << "\n";
            c.Check(sim.Errors().empty(), std::string(s.folder) + ": no host error");
        }
        fs::current_path(previous, ignored);
        RecordingReader reader;
        const bool read = reader.Open((dir / "Quorvane.rec").string());
        c.Check(read && reader.Closed(), std::string(s.folder) + ": Quorvane.rec reads back whole, closed at unload" +
                                             (read ? "" : " (" + reader.Error() + ")"));
        out << "  " << s.folder << "/Quorvane.rec: " << calls << " native calls, " << reader.RecordCount()
            << " records, " << fs::file_size(dir / "Quorvane.rec", ignored) << " bytes\n";
    }

    // The same trip with the settings file saying nothing of recording: no file at all.
    const fs::path dir = base / "not-recording";
    fs::create_directories(dir, ignored);
    std::ofstream(dir / "Quorvane.ini", std::ios::binary) << "[SETTINGS]\r\nMAX_TRAIN_SPEED=14\r\n";
    const fs::path previous = fs::current_path(ignored);
    fs::current_path(dir, ignored);
    {
        SimConfig config;
        config.gameDir = ".";
        Sim sim(config);
        sim.SetCash(2000);
        sim.MovePlayerTo(Vec3{0, 0, 0});
        c.Check(sim.Load(plugin) && Sessions[1].play(sim), "not-recording: the line-two trip without RECORD_SESSION");
        sim.Unload();
    }
    fs::current_path(previous, ignored);
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir, ignored))
        files += entry.path().filename() != "Quorvane.ini" ? 1 : 0;
    c.Check(files == 0, "not-recording: the plug-in wrote no file");
    return c.Failures();
}

// ---- the recording's folder: what a session finds there, and what it leaves ----------------

namespace {

std::string FileBytes(const fs::path& path)
{
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored))
        return "(not a file)";
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Idle(Sim& sim)
{
    sim.RunFor(5000);
    return true;
}

bool LineTwo(Sim& sim) { return Sessions[1].play(sim); }

// Plays one session in dir with the given settings file and answers the game's calls as a trace
// (composed texts are addresses of the game's, different in every game, and left out).
std::vector<std::string> PlayIn(PluginModule& plugin, const fs::path& dir, const std::string& ini, bool (*play)(Sim&),
                                Checker& c, const std::string& what)
{
    std::error_code ignored;
    fs::create_directories(dir, ignored);
    std::ofstream(dir / "Quorvane.ini", std::ios::binary) << "[SETTINGS]\r\n" << ini << "\r\n";
    const fs::path previous = fs::current_path(ignored);
    fs::current_path(dir, ignored);
    std::vector<std::string> trace;
    {
        SimConfig config;
        config.gameDir = ".";
        Sim sim(config);
        sim.SetCash(2000);
        sim.MovePlayerTo(Vec3{0, 0, 0});
        c.Check(sim.Load(plugin) && play(sim), what + ": the session plays");
        for (const std::string& line : sim.Trace())
            trace.push_back(std::regex_replace(line, std::regex("0x[0-9A-F]{6,}"), "<text>"));
        sim.Unload();
        for (const std::string& e : sim.Errors())
            c.Check(false, std::string(what).append(": host error: ").append(e));
    }
    fs::current_path(previous, ignored);
    return trace;
}

std::vector<std::string> FilesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(dir, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

fs::path FreshFolder(const char* name)
{
    std::error_code ignored;
    fs::path dir = fs::current_path(ignored) / "recording-folder" / name;
    fs::remove_all(dir, ignored);
    fs::create_directories(dir, ignored);
    return dir;
}

}  // namespace

int RecordingKeepsTheLastTwo(PluginModule& plugin, std::ostream& out)
{
    Checker c(out);
    const fs::path dir = FreshFolder("three-sessions");
    std::string kept[3];
    for (int i = 0; i < 3; ++i) {
        const std::string session = "session " + std::to_string(i + 1);
        // Each session's top speed in its header tells the files apart.
        PlayIn(plugin, dir, "RECORD_SESSION=1\r\nMAX_TRAIN_SPEED=" + std::to_string(11 + i), &Idle, c, session);
        kept[i] = FileBytes(dir / "Quorvane.rec");
        RecordingReader reader;
        const bool read = reader.Open((dir / "Quorvane.rec").string());
        c.Check(read && reader.Closed() && !reader.Header().settings.empty() &&
                    reader.Header().settings[0].second == static_cast<uint32_t>(11 + i),
                session + ": Quorvane.rec is this session's, whole" + (read ? "" : " (" + reader.Error() + ")"));
        if (i > 0)
            c.Check(FileBytes(dir / "Quorvane.old.rec") == kept[i - 1],
                    session + ": Quorvane.old.rec is the session before, byte for byte");
    }
    c.Check(FilesIn(dir) == std::vector<std::string>{"Quorvane.ini", "Quorvane.old.rec", "Quorvane.rec"},
            "nothing else is left in the folder");
    return c.Failures();
}

// An earlier Quorvane.rec whose older one cannot be replaced stays exactly as it was, and the
// session that could not record plays exactly as one that was never asked to.
int RecordingOldBlocked(PluginModule& plugin, std::ostream& out)
{
    Checker c(out);
    const std::vector<std::string> unrecorded =
        PlayIn(plugin, FreshFolder("unrecorded"), "RECORD_SESSION=0", &Refusal, c, "unrecorded");

    const auto blocked = [&](const char* name, bool (*block)(const fs::path& old), void (*unblock)()) {
        const fs::path dir = FreshFolder(name);
        PlayIn(plugin, dir, "RECORD_SESSION=1", &Idle, c, std::string(name) + ", the earlier session");
        const std::string earlier = FileBytes(dir / "Quorvane.rec");
        c.Check(earlier.size() > 16, std::string(name) + ": the earlier session is recorded");
        const fs::path old = dir / "Quorvane.old.rec";
        c.Check(block(old), std::string(name) + ": Quorvane.old.rec is blocked");
        const std::string oldBytes = FileBytes(old);
        const std::vector<std::string> trace = PlayIn(plugin, dir, "RECORD_SESSION=1", &Refusal, c, name);
        unblock();
        c.Check(FileBytes(dir / "Quorvane.rec") == earlier, std::string(name) + ": Quorvane.rec is kept byte for byte");
        std::error_code ignored;
        c.Check(FileBytes(old) == oldBytes && fs::exists(old, ignored),
                std::string(name) + ": and Quorvane.old.rec as it was");
        c.Check(FilesIn(dir) == std::vector<std::string>{"Quorvane.ini", "Quorvane.old.rec", "Quorvane.rec"},
                std::string(name) + ": no other file is made");
        size_t same = 0;
        while (same < trace.size() && same < unrecorded.size() && trace[same] == unrecorded[same])
            ++same;
        c.Check(trace == unrecorded && !trace.empty(),
                std::string(name) + ": the game saw the calls of a session not recorded" +
                    (same < trace.size() || same < unrecorded.size()
                         ? " (call " + std::to_string(same) + ": " + (same < trace.size() ? trace[same] : "none") +
                               ", unrecorded: " + (same < unrecorded.size() ? unrecorded[same] : "none") + ")"
                         : ""));
    };
    blocked(
        "old-is-a-folder",
        [](const fs::path& old) {
            std::error_code ignored;
            return fs::create_directories(old / "inside", ignored);
        },
        [] {});
#ifdef _WIN32
    // Another program has it open without delete sharing (an archiver, say, or the mail that is
    // sending it).
    static HANDLE held = INVALID_HANDLE_VALUE;
    blocked(
        "old-held-open",
        [](const fs::path& old) {
            std::ofstream(old, std::ios::binary) << "an older recording";
            held = CreateFileW(old.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            return held != INVALID_HANDLE_VALUE;
        },
        [] { CloseHandle(held); });
#endif
    return c.Failures();
}

// A trip recorded in write-fails/: run with a file-size limit (tests/recording_wine_cases.cmake),
// the recording stops at a write the limit cuts short, and the plug-in rides on.
int RecordingWriteFails(PluginModule& plugin, std::ostream& out)
{
    Checker c(out);
    const fs::path dir = FreshFolder("write-fails");
    PlayIn(plugin, dir, "RECORD_SESSION=1", &LineTwo, c, "write-fails");
    std::error_code ignored;
    out << "  write-fails/Quorvane.rec: " << fs::file_size(dir / "Quorvane.rec", ignored) << " bytes\n";
    return c.Failures();
}
