// sim/static_plugin.cpp -- the linked-in plug-in's load and unload. Its key reads are reported to
// the simulator running it, so that the timeline can tell what the menu made of each key.
#include "sim/static_plugin.h"

#include "host/host_api.h"
#include "plugin/keyboard.h"
#include "plugin/script.h"

namespace {
uint64_t ObservedKeyWord(uint32_t key)
{
    const uint64_t word = LoadKeyWord(key);
    if (Sim* sim = Sim::Current())
        sim->ObserveKeyRead(key, word);
    return word;
}
}  // namespace

bool StaticPlugin::Load()
{
    Host = SimHostApi();
    ReadKeyWord = &ObservedKeyWord;
    PluginStaticInit();
    return LibraryEntry(Handle(), 1, nullptr) == 1;
}

void StaticPlugin::Unload()
{
    LibraryEntry(Handle(), 0, nullptr);
    ReadKeyWord = &LoadKeyWord;
}
