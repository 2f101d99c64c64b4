// tools/win_load_order.h -- the runner's scenarios with the Microsoft-ABI stand-in hook.
#pragma once

#include <string>
#include <vector>

// Runs the named scenario with the plug-in at that path; the failure count, or -1 for a name
// that is not one of these.
int RunMsvcScenario(const char* name, const char* plugin);
std::vector<std::string> MsvcScenarioNames();
