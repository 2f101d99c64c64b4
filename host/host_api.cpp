// host/host_api.cpp -- the one HostApi table. Constant-initialised, so it is ready before any
// dynamic initialiser of the plug-in (the settings read) runs.
#include "host/host_api.h"
#include "host/native_call.h"

uint32_t WaitGeneration = 0;

HostApi Host = {
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    &PlatformTickCount,
    &PlatformReadProfileInt,
    &PlatformRecordingOpen,
    &PlatformRecordingWrite,
    &PlatformRecordingClose,
};
