// sim/call_slots.h -- the script hook's call protocol as each of our hosts keeps it: nativeInit
// opens a call, nativePush64 fills the next of 32 argument slots, nativeCall closes the call and
// hands back the result slots; one call at a time. Each host words the faults its own way.
// Freestanding (<stdint.h> only), so that the Microsoft-ABI hook keeps the same protocol.
#pragma once

#include <stdint.h>

struct CallSlots {
    static constexpr int MaxArgs = 32;
    enum Fault { Fine, InitWhileOpen, PushWithoutInit, PushPastMax, CallWithoutInit };

    // No member initialisers: a host may keep this in zero-initialised static storage with no
    // constructor to run (the Microsoft-ABI hook has no C runtime to run one).
    bool open;
    uint64_t hash;
    uint64_t args[MaxArgs];
    int argc;
    bool overflowed;     // a push past the last slot was dropped
    uint64_t abandoned;  // after InitWhileOpen: the hash of the call left open
    uint64_t result[4];  // what nativeCall hands back

    // Opens a call; a call still open is abandoned.
    Fault Init(uint64_t nativeHash)
    {
        const Fault fault = open ? InitWhileOpen : Fine;
        abandoned = open ? hash : 0;
        open = true;
        hash = nativeHash;
        argc = 0;
        overflowed = false;
        return fault;
    }
    Fault Push(uint64_t value)
    {
        if (!open)
            return PushWithoutInit;
        if (argc == MaxArgs) {
            overflowed = true;
            return PushPastMax;
        }
        args[argc++] = value;
        return Fine;
    }
    // Closes the call; the host then answers it in result.
    Fault Call()
    {
        if (!open)
            return CallWithoutInit;
        open = false;
        return Fine;
    }
};
