// plugin/script.h -- the script's entry and the library's load-time work.
#pragma once

#include <cstdint>

// Runs on the script fibre for as long as the library is loaded; never returns.
void ScriptEntry();

// The library entry: reason 1 registers the script and the key handler, reason 0 unregisters
// both; every reason answers 1.
int32_t LibraryEntry(void* module, uint32_t reason, void* reserved);

// Everything the library does while it is loaded, before the entry runs: all state to zero,
// the settings read.
void PluginStaticInit();
