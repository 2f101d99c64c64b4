// tools/quorvane-sim -- runs the plug-in in the simulated world and prints what happens, in game
// time: the player appears, walks to a station, takes the prompt, picks a destination in the
// menu and pays for it (or is refused), rides the train to it, gets off and walks away until the
// train is given up. Can save pictures of the menu, the refusal notice and the trip.
//
// With --replay FILE it replays a recorded session instead (tools/replay_command.cpp).
//
// The visit plays in a game folder of its own (tools/game_folder.h): the current folder, which may
// well be a player's game folder, is never read or written.
//
// Exit codes: 0 all went as asked; 1 the visit went wrong (no prompt, no train, no arrival, a
// picture or the recording not written, a host error), or the replay parted from the recording;
// 2 the command line was wrong, a file or folder it names cannot be used, or the recording cannot
// be read.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "quorvane_version.h"
#include "sim/observer.h"
#include "sim/picture.h"
#include "sim/sim.h"
#include "sim/static_plugin.h"
#include "sim/visit.h"
#include "tools/game_folder.h"
#include "tools/option_checks.h"
#include "tools/replay_command.h"

namespace {

// One line on stderr and exit code 2: what a script calling the tool can rely on.
int UsageError(std::string message)
{
    for (char& c : message) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    std::fprintf(stderr, "quorvane-sim: %s (see --help)\n", message.c_str());
    return 2;
}

std::string Footer()
{
    std::string text =
        "Files: the visit plays in a game folder of its own, made in the system's folder for temporary\n"
        "files and removed afterwards; nothing in the current folder is read, created, replaced or\n"
        "removed but the files named on the command line. --ini FILE gives it that settings file\n"
        "(read only); --record FILE writes the session's recording to FILE, replacing a file of that\n"
        "name.\n\n"
        "Exit codes: 0 all went as asked; 1 the visit went wrong (no prompt, no train, no arrival,\n"
        "a picture or the recording not written, a host error) or a replay parted from its recording;\n"
        "2 a wrong command line, a file or folder that cannot be used, or a recording that cannot be read.\n\n";
    text += "Stations (--from, --to); a trip stays on its line:\n";
    for (int32_t i = 0; i < 13; ++i) {
        char row[80];
        std::snprintf(row, sizeof row, "  %2d  %-18s line %s\n", i, SimStationName(i), i <= 2 ? "two" : "one");
        text += row;
    }
    return text;
}

}  // namespace

static int Main(int argc, char** argv)
{
    CLI::App app{"Rides the Quorvane plug-in through a simulated visit to a station.", "quorvane-sim"};
    app.option_defaults()->always_capture_default();
    app.set_version_flag("--version", std::string("quorvane-sim ") + QuorvaneVersionText, "print the version");
    app.footer(Footer());
    VisitPlan plan;
    uint32_t seed = 1;
    uint32_t frameMs = 16;
    std::string input = "keyboard";
    app.add_option("--from,--station", plan.from, "station to visit, 0 to 12")->check(CLI::Range(0, 12));
    app.add_option("--to", plan.to, "buy a ticket to this station (same line as --from); -1: none")
        ->check(CLI::Range(-1, 12));
    app.add_option("--cash", plan.cash, "the player's cash in cents")->check(CLI::Range(0, INT32_MAX));
    app.add_option("--input", input, "keyboard or pad")->check(CLI::IsMember({"keyboard", "pad"}));
    std::string ini, record;
    app.add_option("--ini", ini, "play with this settings file (a Quorvane.ini); only read")->check(NotEmpty);
    app.add_option("--record", record, "record the session (RECORD_SESSION=1) to this file, replacing it")
        ->check(NotEmpty);
    app.add_option("--screenshots", plan.pictures,
                   "existing folder for menu.svg, refusal.svg and trip.svg (and PNGs with rsvg-convert)");
    app.add_flag("!--no-ride", plan.ride, "after buying, do not ride the train");
    app.add_option("--seed", seed, "seed of the game's random numbers")->check(NotEmpty);
    app.add_option("--frame-ms", frameMs, "game milliseconds per frame")->check(NotEmpty & CLI::Range(1, 1000));
    app.add_option("--walk-speed", plan.walkSpeed, "player's walking speed, units per second")
        ->check(FiniteNumber & CLI::Range(0.5, 50.0));
    app.add_option("--stand-off", plan.standOff,
                   "how far east of the station the player stops, in units (the prompt comes within 20)")
        ->check(FiniteNumber & CLI::Range(0.0, 1000.0));
    std::string replay;
    bool salvage = false;
    CLI::Option* replayOption = app.add_option("--replay", replay,
                                               "replay a session recorded with RECORD_SESSION=1 (a Quorvane.rec) "
                                               "against this plug-in, call for call, instead of a visit")
                                    ->check(NotEmpty);
    app.add_flag("--salvage", salvage, "with --replay: a damaged file's sound blocks are replayed")
        ->needs(replayOption);
    for (const char* visitOnly : {"--from", "--to", "--cash", "--input", "--no-ride", "--seed", "--frame-ms",
                                  "--walk-speed", "--stand-off", "--ini", "--record"})
        replayOption->excludes(visitOnly);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(e);  // --help, --version: printed on stdout
        return UsageError(e.what());
    }
    if (!replay.empty() || app.count("--replay") > 0) {
        if (app.count("--screenshots") > 0) {
            const std::string problem = PictureFolderProblem(plan.pictures);
            if (!problem.empty()) {
                std::fprintf(stderr, "quorvane-sim: %s\n", problem.c_str());
                return 2;
            }
        }
        return RunReplay(replay, plan.pictures, salvage);
    }
    if (plan.to >= 0 && (plan.to == plan.from || (plan.to <= 2) != (plan.from <= 2)))
        return UsageError("--to must be another station of the same line as --from (0 to 2, or 3 to 12)");
    plan.pad = input == "pad";
    // Checked before the run, so that a long ride is not wasted on a folder that cannot take
    // its pictures.
    if (app.count("--screenshots") > 0) {
        const std::string problem = PictureFolderProblem(plan.pictures);
        if (!problem.empty()) {
            std::fprintf(stderr, "quorvane-sim: %s\n", problem.c_str());
            return 2;
        }
    }

    std::string problem;
    const std::unique_ptr<GameFolder> folder = GameFolder::Make(ini, record, problem);
    if (!folder) {
        std::fprintf(stderr, "quorvane-sim: %s\n", problem.c_str());
        return 2;
    }

    SimConfig config;
    config.seed = seed;
    config.frameMs = frameMs;
    config.gameDir = folder->Path();
    StaticPlugin plugin;
    Sim sim(config);
    VisitOutcome outcome = RunVisit(sim, plugin, plan);
    const std::string kept = folder->KeepRecording();
    if (!kept.empty())
        outcome.problems.push_back(kept);

    std::printf("Quorvane in the simulated game: a visit to %s (frames of %u ms, seed %u)\n\n",
                SimStationName(plan.from), frameMs, seed);
    // The plug-in's story as a replay of its recording tells it, with what the player did between.
    for (const WorldEvent& e : sim.Events())
        std::printf("  %s\n", TimelineLine(ObservedEvent{e.frame, e.timeRead, e.gameTime, e.text}).c_str());
    std::printf("\n%zu native calls in %llu frames\n", sim.Log().size(), static_cast<unsigned long long>(sim.Frame()));
    for (const std::string& p : outcome.problems)
        std::fprintf(stderr, "quorvane-sim: %s\n", p.c_str());
    for (const std::string& e : sim.Errors())
        std::fprintf(stderr, "host error: %s\n", e.c_str());
    return outcome.problems.empty() && sim.Errors().empty() ? 0 : 1;
}

int main(int argc, char** argv) { return RunTool("quorvane-sim", &Main, argc, argv); }
