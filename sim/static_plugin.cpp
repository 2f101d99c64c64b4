// sim/static_plugin.cpp -- the linked-in plug-in's load and unload.
#include "sim/static_plugin.h"

#include "host/host_api.h"
#include "plugin/script.h"

bool StaticPlugin::Load()
{
    Host = SimHostApi();
    PluginStaticInit();
    return LibraryEntry(Handle(), 1, nullptr) == 1;
}

void StaticPlugin::Unload()
{
    LibraryEntry(Handle(), 0, nullptr);
}
