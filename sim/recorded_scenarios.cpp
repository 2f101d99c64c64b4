// sim/recorded_scenarios.cpp -- three sessions played with RECORD_SESSION=1, each in a game
// folder of its own under recorded-sessions/ in the working folder: a trip on each line and a
// refusal; and a fourth without the key, which must leave no file. Run against the real DLL under Wine, the files are what a player's game would write;
// the Linux side then replays them with the linked plug-in (tests/replay_files.cmake), and copies
// of them are kept under tests/data/recordings/.
#include <filesystem>
#include <fstream>

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
void Railway(Sim& sim, std::vector<size_t> stations, const std::vector<JunctionSpot>& junctions)
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
    const bool arrived = sim.RunUntil([&] {
        return sim.Halts().size() > 1 && sim.Halts().back().nearestStation == static_cast<int32_t>(last);
    }, 60 * 60000);
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
         Railway(sim, {0, 1, 2}, {JunctionSpot{Between(0, 1), 150.0f, 23, 5, 23}, JunctionSpot{Between(1, 2), 150.0f, 25, 1, 25}});
         return Trip(sim, 0, 2, 2);
     }},
    {"refusal", "too little cash for Saint Denis at Riggs Station, then the menu cancelled", &Refusal},
};


} // namespace

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
