// tests/scenario_test.cpp -- the end-to-end scenarios against the linked-in plug-in; the same
// scenarios run against the real DLL under Wine.
#include <gtest/gtest.h>

#include <sstream>

#include "sim/scenarios.h"
#include "sim/static_plugin.h"

class LinkedPlugin : public testing::TestWithParam<std::string> {};

TEST_P(LinkedPlugin, PassesEveryCheck)
{
    StaticPlugin plugin;
    std::ostringstream out;
    EXPECT_EQ(RunScenario(GetParam(), plugin, out), 0) << out.str();
}

INSTANTIATE_TEST_SUITE_P(Scenarios, LinkedPlugin, testing::ValuesIn(ScenarioNames()),
                         [](const testing::TestParamInfo<std::string>& param) {
                             std::string name;
                             for (char c : param.param)
                                 name += c == '-' ? '_' : c;
                             return name;
                         });
