// host/host_api.h -- the seam between the plug-in and the script hook. Everything the plug-in
// does to the game goes through the one HostApi table; nothing here includes a platform header.
#pragma once

#include <cstdint>

// Every vector a native returns, and every position the plug-in keeps.
struct PaddedVector3 {
    float x;
    uint32_t padX;
    float y;
    uint32_t padY;
    float z;
    uint32_t padZ;
};
static_assert(sizeof(PaddedVector3) == 24, "natives hand back vectors as three padded floats");

using ScriptEntryFn = void (*)();
// virtual key, repeat count, scan code, extended, Alt held, was down before, is up now:
// the fields of a Windows keystroke message, in the order the script hook passes them.
using KeyboardHandlerFn = void (*)(uint32_t key, uint16_t repeats, uint8_t scanCode, int32_t isExtended,
                                   int32_t isWithAlt, int32_t wasDownBefore, int32_t isUpNow);

struct HostApi {
    // The nine functions of the script hook.
    void (*scriptRegister)(void* module, ScriptEntryFn entry);
    void (*scriptUnregister)(void* module);
    void (*scriptWait)(uint32_t milliseconds);
    void (*keyboardHandlerRegister)(KeyboardHandlerFn handler);
    void (*keyboardHandlerUnregister)(KeyboardHandlerFn handler);
    void (*nativeInit)(uint64_t hash);
    void (*nativePush64)(uint64_t slot);
    uint64_t* (*nativeCall)();
    int32_t (*worldGetAllPeds)(int32_t* handles, int32_t capacity);

    // The two operating-system calls the plug-in makes: GetTickCount and GetPrivateProfileIntA.
    uint32_t (*tickCount)();
    uint32_t (*readProfileInt)(const char* section, const char* key, int32_t defaultValue, const char* path);

    // The session recording's file, used only when RECORD_SESSION=1. Open moves an existing file
    // to previousPath (replacing one there) and makes a new one; it answers null, touching nothing,
    // if the move fails for any reason but there being no file, and never truncates. Write puts
    // all the bytes out, unbuffered, or answers false with the file cut back to its length before.
    void* (*recordingOpen)(const char* path, const char* previousPath);
    bool (*recordingWrite)(void* file, const void* bytes, uint32_t count);
    void (*recordingClose)(void* file);
};

// Bound at load: by the Windows entry from the script hook's exports, by the simulator on Linux.
// The two OS calls are set before any static initialiser of the plug-in runs.
extern HostApi Host;

// The platform's own implementations of the OS calls (win32_entry.cpp on Windows,
// posix_platform.cpp elsewhere); Host starts out pointing at them.
uint32_t PlatformTickCount();
uint32_t PlatformReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path);
void* PlatformRecordingOpen(const char* path, const char* previousPath);
bool PlatformRecordingWrite(void* file, const void* bytes, uint32_t count);
void PlatformRecordingClose(void* file);
