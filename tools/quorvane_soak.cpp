// tools/quorvane-soak -- hours of simulated play with the plug-in, sampling memory and the
// game's handles every game hour. Progress goes to stderr; the summary to stdout. It plays in a
// game folder of its own (tools/game_folder.h), never in the current folder.
//
// Exit codes: 0 flat; 1 something grew, the host saw an error, or the recording was not written;
// 2 a usage error, a file that cannot be used, or a run too short to judge.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "alloc_counter.h"
#include "quorvane_version.h"
#include "sim/soak.h"
#include "sim/static_plugin.h"
#include "tools/game_folder.h"
#include "tools/option_checks.h"

namespace {

int UsageError(std::string message)
{
    std::replace(message.begin(), message.end(), '\n', ' ');
    std::fprintf(stderr, "quorvane-soak: %s (see --help)\n", message.c_str());
    return 2;
}

// On a terminal one line rewritten every game hour; into a file or a pipe, a line about every
// tenth of the run, so that a log stays short.
class Progress {
public:
    explicit Progress(double hours) : hours_(hours), terminal_(isatty(STDERR_FILENO) != 0)
    {
        step_ = std::max(1, static_cast<int>(std::ceil(hours / 10.0)));
    }
    // Samples come between visits, so a little after each game hour.
    void Sample(const SoakSample& s, const SoakResult& r)
    {
        if (!terminal_ && (r.samples.size() - 1) % static_cast<size_t>(step_) != 0)
            return;
        std::fprintf(stderr, "%sgame hour %.1f of %g: %d visits, %llu heap blocks%s", terminal_ ? "\r" : "",
                     s.gameHours, hours_, r.visits, static_cast<unsigned long long>(s.liveHeapBlocks),
                     terminal_ ? "" : "\n");
        std::fflush(stderr);
        dirty_ = terminal_;
    }
    void Done()
    {
        if (dirty_)
            std::fputc('\n', stderr);
    }

private:
    double hours_;
    bool terminal_;
    int step_ = 1;
    bool dirty_ = false;
};

}  // namespace

static int Main(int argc, char** argv)
{
    CLI::App app{"A long session of simulated play, with memory and handles sampled every game hour.", "quorvane-soak"};
    app.option_defaults()->always_capture_default();
    app.set_version_flag("--version", std::string("quorvane-soak ") + QuorvaneVersionText, "print the version");
    app.footer("Files: the session plays in a game folder of its own, made in the system's folder for\n"
               "temporary files and removed afterwards; nothing in the current folder is read, created,\n"
               "replaced or removed but the files named on the command line. --ini FILE gives it that\n"
               "settings file (read only); --record FILE writes the session's recording to FILE,\n"
               "replacing a file of that name.\n\n"
               "Exit codes: 0 flat; 1 something grew, the host saw an error, or the recording was not\n"
               "written; 2 a wrong command line, a file that cannot be used, or a run too short to judge.");
    double hours = 24;
    uint32_t seed = 1;
    bool hourly = false;
    std::string ini, record;
    app.add_option("--hours", hours, "game hours to play; a verdict needs 3 hourly samples")
        ->check(FiniteNumber & CLI::Range(0.1, 10000.0));
    app.add_option("--seed", seed, "seed of the player's choices and the game's numbers")->check(NotEmpty);
    app.add_flag("--hourly", hourly, "print one row per game hour, not only the summary");
    app.add_option("--ini", ini, "play with this settings file (a Quorvane.ini); only read")->check(NotEmpty);
    app.add_option("--record", record, "record the session (RECORD_SESSION=1) to this file, replacing it")
        ->check(NotEmpty);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success))
            return app.exit(e);
        return UsageError(e.what());
    }

    std::string problem;
    const std::unique_ptr<GameFolder> folder = GameFolder::Make(ini, record, problem);
    if (!folder) {
        std::fprintf(stderr, "quorvane-soak: %s\n", problem.c_str());
        return 2;
    }

    StaticPlugin plugin;
    Progress progress(hours);
    const SoakResult r = RunSoak(
        plugin, hours, seed, SoakProbes{[] { return CurrentHeapCounts().Live(); }, [] { return ResidentKiB(); }},
        [&](const SoakSample& s, const SoakResult& sofar) { progress.Sample(s, sofar); }, folder->Path());
    progress.Done();
    const std::string kept = folder->KeepRecording();

    if (hourly) {
        std::printf("%-8s %12s %12s %8s %8s %8s %8s\n", "hour", "heap blocks", "resident KiB", "prompts", "trains",
                    "owned", "assets");
        for (const SoakSample& s : r.samples)
            std::printf("%-8.1f %12llu %12llu %8zu %8zu %8zu %8zu\n", s.gameHours,
                        static_cast<unsigned long long>(s.liveHeapBlocks),
                        static_cast<unsigned long long>(s.residentKiB), s.prompts, s.trainsInWorld, s.trainsOwned,
                        s.assetsHeld);
        std::printf("\n");
    }
    std::printf("%g game hours, %zu hourly samples, seed %u\n", hours, r.samples.size(), seed);
    std::printf("%d visits: %d scans only, %d menus cancelled, %d closed, %d refusals, %d rides, "
                "%d trains left behind, %d deaths, %d with no prompt, %d with no train\n",
                r.visits, r.scansOnly, r.cancels, r.closes, r.refusals, r.rides, r.abandoned, r.deaths, r.noPrompt,
                r.noTrain);
    if (r.samples.size() >= 2) {
        const SoakSample& first = r.samples[1];
        const SoakSample& last = r.samples.back();
        const SoakSample& most = r.most;
        std::printf("heap blocks %llu at hour 1, %llu at the end, at most %llu (at hour %.1f)\n",
                    static_cast<unsigned long long>(first.liveHeapBlocks),
                    static_cast<unsigned long long>(last.liveHeapBlocks),
                    static_cast<unsigned long long>(most.liveHeapBlocks), most.gameHours);
        std::printf("resident %llu KiB at hour 1, %llu KiB at the end, at most %llu KiB of the hourly samples\n",
                    static_cast<unsigned long long>(first.residentKiB),
                    static_cast<unsigned long long>(last.residentKiB),
                    static_cast<unsigned long long>(most.residentKiB));
        std::printf("in any frame at most %zu prompt(s), %zu owned train(s), %zu train(s) in the world, "
                    "%zu asset(s) held\n",
                    most.prompts, most.trainsOwned, most.trainsInWorld, most.assetsHeld);
    }
    for (const std::string& e : r.errors)
        std::fprintf(stderr, "host error: %s\n", e.c_str());
    if (!kept.empty())
        std::fprintf(stderr, "quorvane-soak: %s\n", kept.c_str());

    const SoakVerdict verdict = JudgeSoak(r);
    if (verdict.kind == SoakVerdict::TooShort) {
        std::fprintf(stderr, "quorvane-soak: %s\n", verdict.reason.c_str());
        return 2;
    }
    std::printf("%s\n", verdict.reason.c_str());
    return verdict.kind == SoakVerdict::Flat && kept.empty() ? 0 : 1;
}

int main(int argc, char** argv) { return RunTool("quorvane-soak", &Main, argc, argv); }
