// sim/script_module.h -- a stand-in plug-in whose script is a function of the caller's, loaded
// through the simulated hook as the real plug-in would be. For tests and benchmarks.
#pragma once

#include "host/host_api.h"
#include "sim/sim.h"

class ScriptModule : public PluginModule {
public:
    explicit ScriptModule(ScriptEntryFn entry) : entry_(entry) {}
    bool Load() override
    {
        Host = SimHostApi();
        Host.scriptRegister(this, entry_);
        return true;
    }
    void Unload() override { Host.scriptUnregister(this); }
    void* Handle() const override { return const_cast<ScriptModule*>(this); }

private:
    ScriptEntryFn entry_;
};
