// sim/scenarios.h -- end-to-end scenarios, written once and run two ways: against the plug-in
// linked into a Linux test, and against the real Quorvane.asi loaded under Wine.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sim/sim.h"

// Prints each check of a scenario, "ok" or "FAIL", and counts the failures.
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

// Runs the named scenario with the given plug-in; prints each check; returns the failure count,
// or -1 for an unknown name.
int RunScenario(const std::string& name, PluginModule& plugin, std::ostream& out);
std::vector<std::string> ScenarioNames();

// Three sessions played with RECORD_SESSION=1, each in its own folder under recorded-sessions/
// in the working folder (sim/recorded_scenarios.cpp).
int RecordSessions(PluginModule& plugin, std::ostream& out);

// The recording's folder (sim/recorded_scenarios.cpp): three sessions keep the last two; an
// earlier recording whose older one cannot be replaced is kept as it was; a trip for a run under
// a file-size limit.
int RecordingKeepsTheLastTwo(PluginModule& plugin, std::ostream& out);
int RecordingOldBlocked(PluginModule& plugin, std::ostream& out);
int RecordingWriteFails(PluginModule& plugin, std::ostream& out);
