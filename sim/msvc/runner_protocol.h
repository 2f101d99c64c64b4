// sim/msvc/runner_protocol.h -- what the Microsoft-ABI stand-in hook and the load-order runner
// (tools/win_load_order.cpp) exchange through the hook's Qv* exports: the phases of the hook's
// scripted trip and the numbers QvHookQuery answers to. Plain enums, no library, for both sides.
#pragma once

// Where the hook's world is in its script, in the order it reaches them. QvHookFrames runs
// frames until one is reached and answers the phase.
enum HookPhase : int {
    Loading,    // the character does not exist yet
    Away,       // far from every station
    AtStation,  // 4 units from Benedict Point; the prompt is used once it has been up a while
    MenuOpen,   // a menu frame was drawn; the key thread is at work
    Bought,     // the fare was charged
    Riding,     // the train halted for boarding and the player got on
    GotOff,     // the train halted at MacFarlanes Ranch and the player left it
    GivenUp,    // the plug-in gave the train up
    Done,
};

// What QvHookQuery answers; -1 for any other number.
enum HookQuery : int {
    QueryPhase = 0,
    QueryRegistrations = 1,         // scriptRegister calls
    QueryUnregistrations = 2,       // scriptUnregister calls
    QueryScriptRegistered = 3,      // 1 while a script is registered
    QueryKeyHandlerRegistered = 4,  // 1 while a key handler is registered
    QueryCallsAfterUnregister = 5,  // natives begun with no script registered
    QueryCalls = 6,                 // natives called
    QueryErrors = 7,                // protocol and world errors seen
    QueryKeyEvents = 8,             // key events sent through the plug-in's handler
};
