// tools/quorvane-sim -- runs the plug-in in the simulated world and prints what happens, in game
// time: the player appears, walks to a station, takes the prompt, picks a destination in the
// menu and pays for it (or is refused), rides the train to it, gets off and walks away until the
// train is given up. Can save pictures of the menu, the refusal notice and the trip.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>

#include "data/stations.h"
#include "journey/route.h"
#include "plugin/journey_state.h"
#include "sim/picture.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

namespace {

constexpr uint32_t UpKey = 38, DownKey = 40, EnterKey = 13;

Vec3 Offset(size_t station, float east)
{
    const PaddedVector3& p = StationTable[station].Position;
    return Vec3{p.x + east, p.y, p.z};
}

// The menu as drawn in the last frame: the highlighted item and the text of every row.
struct MenuView {
    int highlighted = -1;
    std::vector<std::string> rows;
};

MenuView ReadMenu(const Sim& sim)
{
    MenuView view;
    for (const DrawItem& d : sim.FrameDraws()) {
        if (d.kind == DrawItem::Sprite && d.width == 0.22f)
            view.highlighted = static_cast<int>(std::lround((d.y - 0.1336f) / 0.04f)) - 1;
        if (d.kind == DrawItem::Text)
            view.rows.push_back(StripMarkup(d.text));
    }
    return view;
}

class Visit {
public:
    Visit(Sim& sim, bool pad) : sim_(sim), pad_(pad) {}

    void Step(bool up)
    {
        if (pad_) {
            const char* control = up ? "INPUT_FRONTEND_UP" : "INPUT_FRONTEND_DOWN";
            sim_.PadHold(control);
            sim_.RunFrame();
            sim_.PadRelease(control);
        } else {
            sim_.PressKey(up ? UpKey : DownKey);
            sim_.RunFrame();
            sim_.ReleaseKey(up ? UpKey : DownKey);
        }
        sim_.RunFor(200);
    }

    void Accept()
    {
        if (pad_) {
            sim_.PadHold("INPUT_FRONTEND_ACCEPT");
            sim_.RunFrame();
            sim_.PadRelease("INPUT_FRONTEND_ACCEPT");
        } else {
            sim_.PressKey(EnterKey);
            sim_.RunFrame();
            sim_.ReleaseKey(EnterKey);
        }
        sim_.RunFrame();
    }

private:
    Sim& sim_;
    bool pad_;
};

Vec3 At(const PaddedVector3& p) { return Vec3{p.x, p.y, p.z}; }

// The railway the train runs on: from its spawn point through the origin and every stop of the
// plan, then on. The planner has run by the time the train is created.
std::vector<Vec3> TrackThroughStops(Vec3 spawn)
{
    std::vector<Vec3> path{spawn, At(StationTable[static_cast<size_t>(Journey.OriginIndex)].Position)};
    for (int32_t stop : RouteStops)
        path.push_back(At(StationTable[static_cast<size_t>(stop)].Position));
    const Vec3 a = path[path.size() - 2], b = path.back();
    const float dx = b.x - a.x, dy = b.y - a.y, n = std::sqrt(dx * dx + dy * dy);
    path.push_back(Vec3{b.x + dx / n * 3000.0f, b.y + dy / n * 3000.0f, b.z});
    return path;
}

// Puts the plan's junctions along the line, evenly between the origin and the last stop, each
// reported to the train while it is within 120 units.
void PlaceJunctions(Sim& sim)
{
    std::vector<Vec3> line{At(StationTable[static_cast<size_t>(Journey.OriginIndex)].Position)};
    for (int32_t stop : RouteStops)
        line.push_back(At(StationTable[static_cast<size_t>(stop)].Position));
    std::vector<float> at{0};
    for (size_t i = 1; i < line.size(); ++i) {
        const float dx = line[i].x - line[i - 1].x, dy = line[i].y - line[i - 1].y;
        at.push_back(at.back() + std::sqrt(dx * dx + dy * dy));
    }
    const size_t n = RouteJunctions.size();
    for (size_t j = 0; j < n; ++j) {
        const float target = at.back() * static_cast<float>(j + 1) / static_cast<float>(n + 1);
        size_t k = 1;
        while (k + 1 < at.size() && at[k] < target)
            ++k;
        const float f = (target - at[k - 1]) / std::max(at[k] - at[k - 1], 1.0f);
        const Vec3 p{line[k - 1].x + (line[k].x - line[k - 1].x) * f, line[k - 1].y + (line[k].y - line[k - 1].y) * f,
                     line[k - 1].z};
        const JunctionSetting& s = RouteJunctions[j];
        sim.AddJunctionSpot(JunctionSpot{p, 120.0f, s.TrackIndex, s.JunctionIndex, s.TrackIndex});
    }
}

} // namespace

// From the purchase to the train being given up: board at the boarding halt, ride to the
// destination, get off there and walk away.
int Ride(Sim& sim, int to, const std::string& pictures)
{
    PlaceJunctions(sim);
    if (!sim.RunUntil([&] { return !sim.Halts().empty(); }, 5 * 60000)) {
        sim.Note("no train came");
        return 0;
    }
    sim.Note("player boards the train");
    sim.BoardTrain();
    const bool arrived = sim.RunUntil([&] {
        return !sim.Halts().empty() && sim.Halts().size() > 1 && sim.Halts().back().nearestStation == to;
    }, 90 * 60000);
    if (!arrived) {
        sim.Note("the train never reached the destination");
        return 1;
    }
    sim.LeaveTrain();
    sim.Note(std::string("player gets off at ") + SimStationName(to));
    const Vec3 here = sim.PlayerPosition();
    sim.WalkPlayerTo(Vec3{here.x + 250.0f, here.y + 250.0f, here.z}, 5.0f);
    const SimTrain* train = sim.LatestTrain();
    const int32_t handle = train ? train->handle : 0;
    sim.RunUntil([&] {
        for (const SimTrain& t : sim.Trains())
            if (t.handle == handle && t.givenUp)
                return true;
        return false;
    }, 30 * 60000);
    if (!pictures.empty()) {
        const std::string svg = pictures + "/trip.svg";
        std::ofstream(svg) << TripMapSvg(sim, Journey.OriginIndex, to);
        const std::string png = ConvertToPng(svg);
        sim.Note("map of the trip " + svg + (png.empty() ? "" : " and " + png));
    }
    return 0;
}

int main(int argc, char** argv)
{
    CLI::App app{"Rides the Quorvane plug-in through a simulated visit to a station."};
    int from = 3;
    int to = -1;
    int32_t cash = 2000;
    uint32_t seed = 1;
    uint32_t frameMs = 16;
    float walkSpeed = 5.0f;
    std::string input = "keyboard";
    std::string pictures;
    bool ride = true;
    app.add_option("--from,--station", from, "station to visit, 0 to 12")->check(CLI::Range(0, 12));
    app.add_option("--to", to, "buy a ticket to this station (same group as --from)")
        ->check(CLI::Range(0, 12));
    app.add_option("--cash", cash, "the player's cash in cents");
    app.add_option("--input", input, "keyboard or pad")->check(CLI::IsMember({"keyboard", "pad"}));
    app.add_option("--screenshots", pictures, "folder for menu.svg and refusal.svg (and PNGs)");
    app.add_flag("!--no-ride", ride, "after buying, do not ride the train");
    app.add_option("--seed", seed, "seed of the game's random numbers");
    app.add_option("--frame-ms", frameMs, "game milliseconds per frame")->check(CLI::Range(1, 1000));
    app.add_option("--walk-speed", walkSpeed, "player's walking speed, units per second")
        ->check(CLI::Range(0.5, 50.0));
    CLI11_PARSE(app, argc, argv);
    if (to >= 0 && (to == from || (to <= 2) != (from <= 2))) {
        std::fprintf(stderr, "--to must be another station of the same line as --from "
                             "(0 to 2, or 3 to 12)\n");
        return 2;
    }

    SimConfig config;
    config.seed = seed;
    config.frameMs = frameMs;
    StaticPlugin plugin;
    Sim sim(config);
    const size_t s = static_cast<size_t>(from);
    const std::string name = SimStationName(from);
    sim.SetCash(cash);
    sim.SetTrainPath([](Vec3 spawn, bool) { return TrackThroughStops(spawn); });
    sim.SetUsingKeyboard(input == "keyboard");

    sim.SetPlayerExists(false);
    sim.MovePlayerTo(Offset(s, 150.0f));
    sim.Load(plugin);
    sim.RunFor(2500);
    sim.SetPlayerExists(true);
    sim.RunFor(2000);

    sim.Note("player walks toward " + name);
    sim.WalkPlayerTo(Offset(s, 4.0f), walkSpeed);
    sim.RunUntil([&] { return !sim.PlayerWalking(); }, 600000);
    sim.Note("player stands at " + name);
    const bool offered = sim.RunUntil([&] { return sim.LivePrompt() != nullptr; }, 9000);
    sim.RunFor(3000);

    int status = 0;
    if (to >= 0 && offered) {
        Visit visit(sim, input == "pad");
        sim.UsePrompt();
        sim.RunFrames(2);
        sim.Note(std::string("menu ") + (from > 2 ? "one" : "two") + " is open, with " + input);
        std::string svg;
        if (!pictures.empty()) {
            std::string png;
            svg = pictures + "/menu.svg";
            if (SaveFramePicture(sim.FrameDraws(), svg, &png))
                sim.Note("screenshot " + svg + (png.empty() ? "" : " and " + png));
        }
        MenuView view = ReadMenu(sim);
        int target = -1;
        for (size_t row = 1; row < view.rows.size(); ++row) {
            if (view.rows[row].rfind(SimStationName(to), 0) == 0)
                target = static_cast<int>(row) - 1;
        }
        while (target >= 0 && view.highlighted != target) {
            visit.Step(view.highlighted > target);
            view = ReadMenu(sim);
            sim.Note("selection on \"" + view.rows.at(static_cast<size_t>(view.highlighted) + 1) + "\"");
        }
        const int32_t before = sim.Cash();
        sim.Note("player accepts");
        visit.Accept();
        const MenuView notice = ReadMenu(sim);
        if (notice.rows.size() == 1) {
            sim.Note("refused: \"" + notice.rows[0] + "\"");
            if (!pictures.empty()) {
                std::string png;
                svg = pictures + "/refusal.svg";
                if (SaveFramePicture(sim.FrameDraws(), svg, &png))
                    sim.Note("screenshot " + svg + (png.empty() ? "" : " and " + png));
            }
            sim.RunFor(1600);
            sim.Note("menu is back");
        } else {
            sim.Note(std::string(sim.Cash() != before ? "ticket bought" : "ticket reused") + " to " + SimStationName(to));
            if (ride)
                status = Ride(sim, to, pictures);
        }
    } else if (to >= 0) {
        std::fprintf(stderr, "no prompt was offered at %s\n", name.c_str());
        status = 1;
    }

    if (sim.Trains().empty()) {
        sim.Note("player walks away from " + name);
        sim.WalkPlayerTo(Offset(s, 60.0f), walkSpeed);
        sim.RunUntil([&] { return !sim.PlayerWalking(); }, 600000);
    }
    sim.RunFor(10000);
    sim.Unload();

    std::printf("Quorvane in the simulated game: a visit to %s (frames of %u ms, seed %u)\n\n",
                name.c_str(), frameMs, seed);
    for (const WorldEvent& e : sim.Events())
        std::printf("  %s  %s\n", FormatGameTime(e.gameTime).c_str(), e.text.c_str());
    std::printf("\n%zu native calls in %llu frames\n", sim.Log().size(),
                static_cast<unsigned long long>(sim.Frame()));
    for (const std::string& e : sim.Errors())
        std::fprintf(stderr, "host error: %s\n", e.c_str());
    return sim.Errors().empty() ? status : 1;
}
