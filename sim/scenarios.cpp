// sim/scenarios.cpp -- what the game would see of the plug-in, checked from the call log.
#include "sim/scenarios.h"

#include <functional>

#include "data/stations.h"
#include "host/natives.h"
#include "sim/native_call_sim.h"

namespace {

class Checker {
public:
    explicit Checker(std::ostream& out) : out_(out) {}
    bool Check(bool ok, const std::string& what)
    {
        out_ << (ok ? "  ok    " : "  FAIL  ") << what << "\n";
        failures_ += ok ? 0 : 1;
        return ok;
    }
    int Failures() const { return failures_; }

private:
    std::ostream& out_;
    int failures_ = 0;
};

Vec3 StationSpot(size_t station, float east)
{
    const PaddedVector3& p = StationTable[station].Position;
    return Vec3{p.x + east, p.y, p.z};
}

// Game times at which the native was called, from log index first on.
std::vector<int64_t> CallTimes(const Sim& sim, uint64_t hash, size_t first = 0)
{
    std::vector<int64_t> times;
    for (size_t i = first; i < sim.Log().size(); ++i) {
        if (sim.Log()[i].hash == hash)
            times.push_back(sim.Log()[i].gameTime);
    }
    return times;
}

bool GapsAre(const std::vector<int64_t>& times, int64_t gap, int64_t slack)
{
    for (size_t i = 1; i < times.size(); ++i) {
        const int64_t d = times[i] - times[i - 1];
        if (d < gap || d > gap + slack)
            return false;
    }
    return times.size() >= 2;
}

// Loads with the player not yet in the world, lets it appear, scans, offers the prompt at
// Riggs Station, withdraws it when the player walks off, and unloads.
int ScanAndPrompt(PluginModule& plugin, std::ostream& out)
{
    Checker c(out);
    Sim sim;
    sim.SetPlayerExists(false);
    sim.MovePlayerTo(Vec3{0, 0, 0});
    c.Check(sim.Load(plugin), "the plug-in loads");
    c.Check(sim.ScriptRegistered() && sim.KeyboardHandlerRegistered(),
            "it registers its script and its key handler");

    sim.RunFor(4500);
    c.Check(GapsAre(CallTimes(sim, NativeEntityExists), 1000, sim.FrameMs()),
            "while the character does not exist, it asks again every 1000 ms");
    c.Check(sim.CountCalls(NativePlayerCanInteract) == 0, "nothing else is asked meanwhile");

    sim.SetPlayerExists(true);
    const size_t scanStart = sim.Log().size();
    sim.RunFor(33000);
    c.Check(GapsAre(CallTimes(sim, NativePlayerCanInteract, scanStart), 8000, sim.FrameMs()) &&
                CallTimes(sim, NativePlayerCanInteract, scanStart).size() >= 4,
            "with no station near, it scans every 8000 ms");
    c.Check(sim.CountCalls(NativePromptBegin) == 0, "and offers no prompt");

    // Between Riggs Station (3) and Flatneck is nothing; stand 5 units east of Riggs.
    sim.MovePlayerTo(StationSpot(3, 5.0f));
    const size_t offerStart = sim.Log().size();
    c.Check(sim.RunUntil([&] { return sim.LivePrompt() != nullptr; }, 8100),
            "the next scan offers the prompt");
    const std::vector<std::string> trace =
        sim.Trace(offerStart, {NativePromptBegin, NativeHashOfName, NativePromptSetControl,
                               NativeComposeText, NativePromptSetLabel, NativePromptSettingA,
                               NativePromptSettingB, NativePromptFinishSetup, NativePromptSettingC,
                               NativePromptSettingD});
    std::vector<std::string> offer = trace;
    // The label is whatever address the game gave for the composed text; the host checks that
    // it is one of its own texts, so only its place in the order is compared here.
    if (offer.size() > 4 && offer[4].rfind("PromptSetLabel(", 0) == 0)
        offer[4] = offer[4].substr(0, offer[4].find(", ") + 2) + "<the composed label>)";
    const SimPrompt* prompt = sim.LivePrompt();
    const std::string h = prompt ? std::to_string(prompt->handle) : "?";
    const std::vector<std::string> expected = {
        "PromptBegin() -> " + h,
        "HashOfName(\"INPUT_INTERACT_OPTION1\") -> " + std::to_string(static_cast<int32_t>(SimHashOfName("INPUT_INTERACT_OPTION1"))),
        "PromptSetControl(" + h + ", " + Hex(SimHashOfName("INPUT_INTERACT_OPTION1")) + ")",
        "ComposeText(10, \"LITERAL_STRING\", \"Quorvane\") -> text \"Quorvane\"",
        "PromptSetLabel(" + h + ", <the composed label>)",
        "PromptSettingA(" + h + ", 1)",
        "PromptSettingB(" + h + ", 0)",
        "PromptFinishSetup(" + h + ")",
        "PromptSettingC(" + h + ", 1)",
        "PromptSettingD(" + h + ", 1)",
    };
    c.Check(offer == expected, "the prompt is made with exactly the calls and order of the game's prompt setup");
    if (offer != expected) {
        for (const std::string& line : trace)
            out << "        " << line << "\n";
    }
    c.Check(prompt != nullptr && prompt->label == "Quorvane", "its label reads \"Quorvane\"");

    const size_t framesStart = sim.Log().size();
    sim.RunFrames(30);
    c.Check(sim.CountCalls(NativePromptWasUsed, framesStart) == 30,
            "while it is offered, its use is asked once per frame");
    c.Check(sim.LivePrompt() != nullptr, "standing still keeps the prompt");

    sim.WalkPlayerTo(StationSpot(3, 40.0f), 5.0f);
    // 15 more units at 5 units/s: 3 s to leave the 20-unit reach.
    c.Check(sim.RunUntil([&] { return sim.LivePrompt() == nullptr; }, 5000),
            "walking away withdraws the prompt");
    const float dx = sim.PlayerPosition().x - StationTable[3].Position.x;
    c.Check(dx >= 20.0f && dx < 20.0f + 5.0f * static_cast<float>(sim.FrameMs()) / 1000.0f * 2,
            "within a frame of leaving the 20-unit reach");
    c.Check(sim.StalePromptQueries() == 0, "a withdrawn prompt is never asked about again");

    sim.RunFor(9000);
    c.Check(sim.CountCalls(NativePromptBegin) == 1, "away from the station, no new prompt");

    const size_t unloadStart = sim.Log().size();
    sim.Unload();
    c.Check(!sim.ScriptRegistered() && !sim.KeyboardHandlerRegistered(),
            "unloading unregisters the script and the key handler");
    sim.RunFor(10000);
    c.Check(sim.Log().size() == unloadStart, "after unloading, no native is called");
    for (const std::string& e : sim.Errors())
        out << "  host error: " << e << "\n";
    c.Check(sim.Errors().empty(), "the host saw no protocol error and no unknown native");
    return c.Failures();
}

struct Scenario {
    const char* name;
    int (*run)(PluginModule&, std::ostream&);
};

const Scenario Scenarios[] = {
    {"spine-scan-and-prompt", &ScanAndPrompt},
};

} // namespace

int RunScenario(const std::string& name, PluginModule& plugin, std::ostream& out)
{
    for (const Scenario& s : Scenarios) {
        if (name == s.name) {
            out << "scenario " << name << "\n";
            const int failures = s.run(plugin, out);
            out << (failures == 0 ? "passed" : "FAILED") << "\n";
            return failures;
        }
    }
    return -1;
}

std::vector<std::string> ScenarioNames()
{
    std::vector<std::string> names;
    for (const Scenario& s : Scenarios)
        names.emplace_back(s.name);
    return names;
}
