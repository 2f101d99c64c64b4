// sim/scenarios.h -- end-to-end scenarios, written once and run two ways: against the plug-in
// linked into a Linux test, and against the real Quorvane.asi loaded under Wine.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "sim/sim.h"

// Runs the named scenario with the given plug-in; prints each check; returns the failure count,
// or -1 for an unknown name.
int RunScenario(const std::string& name, PluginModule& plugin, std::ostream& out);
std::vector<std::string> ScenarioNames();

// Three sessions played with RECORD_SESSION=1, each in its own folder under recorded-sessions/
// in the working folder (sim/recorded_scenarios.cpp).
int RecordSessions(PluginModule& plugin, std::ostream& out);
