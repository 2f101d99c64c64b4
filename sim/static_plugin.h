// sim/static_plugin.h -- loads the plug-in that is linked into this program, as the game would
// load the DLL: the script hook functions bound to the simulator, static initialisation, attach.
#pragma once

#include "sim/sim.h"

class StaticPlugin final : public PluginModule {
public:
    bool Load() override;
    void Unload() override;
    void* Handle() const override { return const_cast<char*>(&moduleTag_); }

private:
    char moduleTag_ = 0;  // its address stands in for the module handle
};
