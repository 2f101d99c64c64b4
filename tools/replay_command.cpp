// tools/replay_command.cpp -- quorvane-sim --replay FILE: a recorded session replayed against the
// plug-in linked into the tool, call for call, with the session's timeline and, on request, its
// pictures. Exit codes: 0 identical to the recording; 1 the plug-in parted from it (where and how
// on stderr); 2 the file cannot be read (one line on stderr) or a picture could not be written.
// Nothing escapes as an exception: whatever goes wrong is that one line and exit 2.
#include "tools/replay_command.h"

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include "quorvane_version.h"
#include "sim/observer.h"
#include "sim/picture.h"
#include "sim/recording_reader.h"
#include "sim/replay.h"

namespace {

// Saves one picture; false (with the reason on stderr) when it was not written.
bool Save(const std::string& dir, const char* name, const std::string& svg)
{
    const SavedPicture saved = SavePicture(dir + "/" + name, svg);
    if (!saved.problem.empty()) {
        std::fprintf(stderr, "quorvane-sim: %s\n", saved.problem.c_str());
        return false;
    }
    std::printf("  picture %s%s\n", saved.svg.c_str(), saved.png.empty() ? "" : (" and " + saved.png).c_str());
    return true;
}

int Replay(const std::string& path, const std::string& pictures, bool salvage)
{
    RecordingReader reader;
    const bool whole = reader.Open(path);
    if (!whole && !(salvage && reader.ValidBlocks() > 0)) {
        std::fprintf(stderr, "quorvane-sim: %s: %s%s\n", path.c_str(), reader.Error().c_str(),
                     reader.ValidBlocks() > 0 ? " (--salvage replays the sound blocks before it)" : "");
        return 2;
    }

    const RecordingHeader& header = reader.Header();
    std::printf("Quorvane session recording %s\n  plug-in %s, format %u; settings", path.c_str(),
                header.pluginVersion.c_str(), header.formatVersion);
    for (const auto& s : header.settings)
        std::printf(" %s=%u", s.first.c_str(), s.second);
    std::printf("\n");
    // The replay runs this tool's plug-in: where another version behaves otherwise, it parts
    // from the recording for that reason alone.
    if (header.pluginVersion != QuorvaneVersionText)
        std::printf("  warning: recorded by plug-in %s, replayed against plug-in %s\n", header.pluginVersion.c_str(),
                    QuorvaneVersionText);
    std::printf("\n");

    const ReplayResult r = ReplaySession(reader);
    // A file changed or cut while it was replayed: the rest of it was not replayed.
    const bool sound = whole && reader.Error().empty();
    for (const ReplayEvent& e : r.timeline)
        std::printf("  %s\n", TimelineLine(e).c_str());
    if (!whole) {
        const RecordingReader::Unread lost = reader.UnreadAfterFault();
        std::printf("\n  salvaged: %zu blocks replayed; %zu block%s (%llu bytes) after the damage not replayed; "
                    "the last game time replayed %s\n",
                    reader.ValidBlocks(), lost.blocks, lost.blocks == 1 ? "" : "s",
                    static_cast<unsigned long long>(lost.bytes),
                    r.timeRead ? FormatGameTime(r.lastGameTime).c_str() : "none (the clock was never read)");
    }

    bool picturesOk = true;
    if (!pictures.empty()) {
        std::printf("\n");
        if (!r.menuFrame.empty())
            picturesOk = Save(pictures, "menu.svg", FrameToSvg(r.menuFrame)) && picturesOk;
        if (!r.refusalFrame.empty())
            picturesOk = Save(pictures, "refusal.svg", FrameToSvg(r.refusalFrame)) && picturesOk;
        if (!r.trip.trail.empty())
            picturesOk =
                Save(pictures, "trip.svg", TripMapSvg(r.trip, r.origin, r.destination, r.fareCents)) && picturesOk;
    }

    std::printf("\n%llu native calls in %llu frames replayed", static_cast<unsigned long long>(r.calls),
                static_cast<unsigned long long>(r.frames));
    if (r.outcome == ReplayResult::Differs) {
        std::printf(": the plug-in parts from the recording\n");
        std::fprintf(stderr, "quorvane-sim: the replay differs at %s\n", r.difference.c_str());
        return 1;
    }
    const char* ending = !sound ? "its sound blocks only"
                         : reader.EndReason() == recording::EndSizeCap
                             ? "which ends where it reached its size cap; the plug-in went on unrecorded"
                         : reader.Closed() ? "which ends where the plug-in was unloaded"
                                           : "which stops without a closing record: the game ended while recording";
    std::printf(": identical to the recording (%s)\n", ending);
    if (!sound) {
        std::fprintf(stderr, "quorvane-sim: %s: %s\n", path.c_str(), reader.Error().c_str());
        return 2;
    }
    return picturesOk ? 0 : 2;
}

}  // namespace

int RunReplay(const std::string& path, const std::string& pictures, bool salvage)
{
    try {
        return Replay(path, pictures, salvage);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "quorvane-sim: %s: out of memory while replaying it\n", path.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvane-sim: %s: %s\n", path.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "quorvane-sim: %s: the replay failed unexpectedly\n", path.c_str());
    }
    return 2;
}
