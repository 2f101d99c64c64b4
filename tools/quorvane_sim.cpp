// tools/quorvane-sim -- runs the plug-in in the simulated world and prints what happens, in game
// time: the player appears, walks to a station, takes the prompt, picks a destination in the
// menu and pays for it (or is refused), and walks away. Can save pictures of the menu.
#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <iostream>

#include "data/stations.h"
#include "sim/picture.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"

namespace {

// The names as the menus spell them.
const char* const DisplayNames[StationCount] = {
    "Benedict Point", "Armadillo",   "MacFarlanes Ranch", "Riggs Station", "Flatneck Station",
    "Wallace Station", "Valentine",  "Emerald Station",   "Annesburg",     "Van Horn",
    "Saint Denis",     "Rhodes",     "Bacchus Station",
};

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

} // namespace

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
    app.add_option("--from,--station", from, "station to visit, 0 to 12")->check(CLI::Range(0, 12));
    app.add_option("--to", to, "buy a ticket to this station (same group as --from)")
        ->check(CLI::Range(0, 12));
    app.add_option("--cash", cash, "the player's cash in cents");
    app.add_option("--input", input, "keyboard or pad")->check(CLI::IsMember({"keyboard", "pad"}));
    app.add_option("--screenshots", pictures, "folder for menu.svg and refusal.svg (and PNGs)");
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
    Sim sim(config);
    StaticPlugin plugin;
    const size_t s = static_cast<size_t>(from);
    const std::string name = DisplayNames[s];
    sim.SetCash(cash);
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
            if (view.rows[row].rfind(DisplayNames[to], 0) == 0)
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
        } else if (sim.Cash() != before) {
            sim.Note("ticket bought to " + std::string(DisplayNames[to]));
        }
    } else if (to >= 0) {
        std::fprintf(stderr, "no prompt was offered at %s\n", name.c_str());
        status = 1;
    }

    sim.Note("player walks away from " + name);
    sim.WalkPlayerTo(Offset(s, 60.0f), walkSpeed);
    sim.RunUntil([&] { return !sim.PlayerWalking(); }, 600000);
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
