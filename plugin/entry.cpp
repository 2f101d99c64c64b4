// plugin/entry.cpp -- load and unload. The Windows DllMain forwards here once the script hook is
// bound; the simulator calls the same routines when it loads the plug-in.
#include "host/host_api.h"
#include "host/recorder.h"
#include "journey/route.h"
#include "plugin/journey_state.h"
#include "plugin/keyboard.h"
#include "plugin/script.h"
#include "plugin/settings.h"

namespace {
constexpr uint32_t ProcessDetach = 0;
constexpr uint32_t ProcessAttach = 1;
}  // namespace

void PluginStaticInit()
{
    Journey = JourneyState{};
    ClearKeyboardState();
    ClearRoute();
    ReadSettings();
}

int32_t LibraryEntry(void* module, uint32_t reason, void*)
{
    if (reason == ProcessAttach) {
        // Only once bound to a hook: a plug-in that stays inert writes no recording either.
        if (RecordSession)
            StartSessionRecording(SettingsAsRead);
        Host.scriptRegister(module, &ScriptEntry);
        Host.keyboardHandlerRegister(&KeyboardHandler);
    } else if (reason == ProcessDetach) {
        Host.scriptUnregister(module);
        Host.keyboardHandlerUnregister(&KeyboardHandler);
        StopSessionRecording();
    }
    return 1;
}
