// sim/visit.cpp -- the visit quorvane-sim tells: everything it does goes through the simulator's
// own controls (keys, pad, prompt, walking), and what it sees is read from the frames drawn.
#include "sim/visit.h"

#include <algorithm>
#include <cmath>

#include "journey/route.h"
#include "plugin/journey_state.h"
#include "sim/observer.h"
#include "sim/picture.h"
#include "sim/world_data.h"

namespace {

constexpr uint32_t UpKey = 38, DownKey = 40, EnterKey = 13;

// Where the game has the station: the simulator's own stations, not the plug-in's table.
Vec3 At(int32_t station) { return SimStationPosition(static_cast<size_t>(station)); }

Vec3 Offset(size_t station, float east)
{
    const Vec3 p = SimStationPosition(station);
    return Vec3{p.x + east, p.y, p.z};
}

class Visit {
public:
    Visit(Sim& sim, const VisitPlan& plan, VisitOutcome& outcome) : sim_(sim), plan_(plan), outcome_(outcome) {}

    void Step(bool up)
    {
        if (plan_.pad) {
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
        if (plan_.pad) {
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

    // Saves a picture into the plan's folder; the timeline names only files that were written.
    void Save(const std::string& name, const std::string& svgText, const std::string& what)
    {
        if (plan_.pictures.empty())
            return;
        const SavedPicture saved = SavePicture(plan_.pictures + "/" + name, svgText);
        if (!saved.svg.empty()) {
            outcome_.written.push_back(saved.svg);
            if (!saved.png.empty())
                outcome_.written.push_back(saved.png);
            sim_.Note(what + " " + saved.svg + (saved.png.empty() ? "" : " and " + saved.png));
        }
        if (!saved.problem.empty()) {
            outcome_.problems.push_back(saved.problem);
            sim_.Note("not saved: " + saved.problem);
        }
    }

    void Ride()
    {
        PlaceJunctions();
        if (!sim_.RunUntil([&] { return !sim_.Halts().empty(); }, 5 * 60000)) {
            sim_.Note("no train came");
            outcome_.problems.push_back("no train came to " + std::string(SimStationName(Journey.OriginIndex)));
            return;
        }
        sim_.Note("player boards the train");
        sim_.BoardTrain();
        outcome_.arrived = sim_.RunUntil(
            [&] { return sim_.Halts().size() > 1 && sim_.Halts().back().nearestStation == plan_.to; }, 90 * 60000);
        if (!outcome_.arrived) {
            sim_.Note("the train never reached the destination");
            outcome_.problems.push_back(std::string("the train never reached ") + SimStationName(plan_.to));
            return;
        }
        sim_.LeaveTrain();
        sim_.Note(std::string("player gets off at ") + SimStationName(plan_.to));
        const Vec3 here = sim_.PlayerPosition();
        sim_.WalkPlayerTo(Vec3{here.x + 250.0f, here.y + 250.0f, here.z}, 5.0f);
        const SimTrain* train = sim_.LatestTrain();
        const int32_t handle = train ? train->handle : 0;
        sim_.RunUntil(
            [&] {
                return std::any_of(sim_.Trains().begin(), sim_.Trains().end(),
                                   [&](const SimTrain& t) { return t.handle == handle && t.givenUp; });
            },
            30 * 60000);
        const Observer& seen = sim_.Observed();
        Save("trip.svg", TripMapSvg(seen.Trip(), seen.Origin(), plan_.to, outcome_.farePaid), "map of the trip");
    }

private:
    // Puts the plan's junctions along the line, evenly between the origin and the last stop, each
    // reported to the train while it is within 120 units.
    void PlaceJunctions()
    {
        std::vector<Vec3> line{At(Journey.OriginIndex)};
        for (int32_t stop : RouteStops)
            line.push_back(At(stop));
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
            const Vec3 p{line[k - 1].x + (line[k].x - line[k - 1].x) * f,
                         line[k - 1].y + (line[k].y - line[k - 1].y) * f, line[k - 1].z};
            const JunctionSetting& s = RouteJunctions[j];
            sim_.AddJunctionSpot(JunctionSpot{p, 120.0f, s.TrackIndex, s.JunctionIndex, s.TrackIndex});
        }
    }

    Sim& sim_;
    const VisitPlan& plan_;
    VisitOutcome& outcome_;
};

}  // namespace

std::vector<Vec3> TrackThroughPlannedStops(Vec3 spawn)
{
    std::vector<Vec3> path{spawn, At(Journey.OriginIndex)};
    for (int32_t stop : RouteStops)
        path.push_back(At(stop));
    const Vec3 a = path[path.size() - 2], b = path.back();
    const float dx = b.x - a.x, dy = b.y - a.y, n = std::max(std::sqrt(dx * dx + dy * dy), 1.0f);
    path.push_back(Vec3{b.x + dx / n * 3000.0f, b.y + dy / n * 3000.0f, b.z});
    return path;
}

VisitOutcome RunVisit(Sim& sim, PluginModule& plugin, const VisitPlan& plan)
{
    VisitOutcome outcome;
    Visit visit(sim, plan, outcome);
    const size_t s = static_cast<size_t>(plan.from);
    const std::string name = SimStationName(plan.from);
    sim.SetCash(plan.cash);
    sim.SetTrainPath([](Vec3 spawn, bool) { return TrackThroughPlannedStops(spawn); });
    sim.SetUsingKeyboard(!plan.pad);

    sim.SetPlayerExists(false);
    sim.MovePlayerTo(Offset(s, 150.0f));
    sim.Load(plugin);
    sim.RunFor(2500);
    sim.SetPlayerExists(true);
    sim.RunFor(2000);

    sim.Note("player walks toward " + name);
    sim.WalkPlayerTo(Offset(s, plan.standOff), plan.walkSpeed);
    sim.RunUntil([&] { return !sim.PlayerWalking(); }, 600000);
    sim.Note("player stands at " + name);
    outcome.offered = sim.RunUntil([&] { return sim.LivePrompt() != nullptr; }, 9000);
    sim.RunFor(3000);

    if (plan.to >= 0 && outcome.offered) {
        sim.UsePrompt();
        sim.RunFrames(2);
        sim.Note(std::string("the player reads the menu and chooses with the ") + (plan.pad ? "pad" : "keyboard"));
        visit.Save("menu.svg", FrameToSvg(sim.FrameDraws()), "screenshot");
        const MenuView& view = sim.Observed().Menu();
        int target = -1;
        for (int item = 0; item + 1 < view.lineCount; ++item) {
            if (std::string(view.Item(item)).rfind(SimStationName(plan.to), 0) == 0)
                target = item;
        }
        // The view is the observer's, so it follows each frame drawn. Bounded: with the keys moved
        // elsewhere by the settings, the highlight never comes.
        for (int steps = 0; target >= 0 && view.IsMenu() && view.highlighted >= 0 && view.highlighted != target &&
                            steps < 2 * view.lineCount;
             ++steps)
            visit.Step(view.highlighted > target);
        if (target < 0 || !view.IsMenu() || view.highlighted != target) {
            sim.Note(std::string("the selection does not reach ") + SimStationName(plan.to));
            outcome.problems.push_back(std::string("the menu's selection never reached ") + SimStationName(plan.to));
        } else {
            const int32_t before = sim.Cash();
            visit.Accept();
            if (sim.Observed().Menu().IsNotice()) {
                outcome.refused = true;
                visit.Save("refusal.svg", FrameToSvg(sim.FrameDraws()), "screenshot");
                sim.RunFor(1600);
            } else {
                outcome.bought = true;
                outcome.farePaid = before - sim.Cash();
                if (outcome.farePaid == 0)
                    sim.Note(std::string("ticket reused to ") + SimStationName(plan.to));
                if (plan.ride)
                    visit.Ride();
            }
        }
    } else if (!outcome.offered) {
        // Without --to too: a visit is asked to see the prompt at least.
        outcome.problems.push_back("no prompt was offered at " + name);
    }

    if (sim.Trains().empty()) {
        sim.Note("player walks away from " + name);
        sim.WalkPlayerTo(Offset(s, std::max(60.0f, plan.standOff + 56.0f)), plan.walkSpeed);
        sim.RunUntil([&] { return !sim.PlayerWalking(); }, 600000);
    }
    sim.RunFor(10000);
    sim.Unload();
    return outcome;
}
