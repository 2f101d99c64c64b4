// host/win32_entry.cpp -- the only Windows file: DllMain, binding to the script hook's exports,
// and the two OS calls. Everything else reaches Windows through the HostApi table.
#include <windows.h>
#include <psapi.h>

#include "host/host_api.h"
#include "plugin/script.h"

uint32_t PlatformTickCount() { return GetTickCount(); }

uint32_t PlatformReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path)
{
    return GetPrivateProfileIntA(section, key, defaultValue, path);
}

// The recording goes straight to the OS, one WriteFile per block and no buffer of the C
// library's in between, so a game that crashes leaves every block written so far.
void* PlatformRecordingOpen(const char* path, const char* previousPath)
{
    // Any failure to move the earlier recording aside but "there is none" (a Quorvane.old.rec
    // open in another program, read-only, or a folder) keeps it where it is, and this session
    // unrecorded: never a truncated Quorvane.rec.
    if (!MoveFileExA(path, previousPath, MOVEFILE_REPLACE_EXISTING) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return nullptr;
    // CREATE_NEW: a file that appeared under the name since is not ours to truncate.
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

bool PlatformRecordingWrite(void* file, const void* bytes, uint32_t count)
{
    const HANDLE handle = static_cast<HANDLE>(file);
    LARGE_INTEGER start{};
    const LARGE_INTEGER here{};
    if (!SetFilePointerEx(handle, here, &start, FILE_CURRENT))
        return false;
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        DWORD done = 0;
        if (!WriteFile(handle, p, count, &done, nullptr) || done == 0) {
            // A block cut short (a full disk, a quota) goes again: the file ends on the last
            // whole block and reads without salvage.
            if (SetFilePointerEx(handle, start, nullptr, FILE_BEGIN))
                SetEndOfFile(handle);
            return false;
        }
        p += done;
        count -= done;
    }
    return true;
}

void PlatformRecordingClose(void* file) { CloseHandle(static_cast<HANDLE>(file)); }

namespace {

// The script hook's functions under their MSVC x64 decorated names.
struct Export {
    const char* name;
    void** slot;
};

template <typename F>
void** SlotOf(F& field)
{
    return reinterpret_cast<void**>(&field);
}

bool BindFrom(HMODULE module, HostApi& api)
{
    const Export exports[] = {
        {"?scriptRegister@@YAXPEAUHINSTANCE__@@P6AXXZ@Z", SlotOf(api.scriptRegister)},
        {"?scriptUnregister@@YAXPEAUHINSTANCE__@@@Z", SlotOf(api.scriptUnregister)},
        {"?scriptWait@@YAXK@Z", SlotOf(api.scriptWait)},
        {"?keyboardHandlerRegister@@YAXP6AXKGEHHHH@Z@Z", SlotOf(api.keyboardHandlerRegister)},
        {"?keyboardHandlerUnregister@@YAXP6AXKGEHHHH@Z@Z", SlotOf(api.keyboardHandlerUnregister)},
        {"?nativeInit@@YAX_K@Z", SlotOf(api.nativeInit)},
        {"?nativePush64@@YAX_K@Z", SlotOf(api.nativePush64)},
        {"?nativeCall@@YAPEA_KXZ", SlotOf(api.nativeCall)},
        {"?worldGetAllPeds@@YAHPEAHH@Z", SlotOf(api.worldGetAllPeds)},
    };
    for (const Export& e : exports) {
        FARPROC proc = GetProcAddress(module, e.name);
        if (proc == nullptr)
            return false;
        *e.slot = reinterpret_cast<void*>(proc);
    }
    return true;
}

// Keeps the hook's module loaded for as long as the process lives: one more reference on it,
// never given back. Without it, a game that frees the hook before the plug-in would leave the
// plug-in's detach calling scriptUnregister in unmapped memory. (FreeLibrary must not be called
// from DllMain anyway.)
bool HoldModule(void* codeInIt)
{
    HMODULE held = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, static_cast<LPCWSTR>(codeInIt), &held) != FALSE;
}

// Looks through the process's modules, in the order the process loaded them, for the first one
// that exports all nine functions. The table is filled only from a module that has them all, so
// with two such hooks loaded the plug-in binds to the earlier and registers with it alone.
bool BindScriptHook()
{
    HMODULE modules[1024];
    DWORD bytes = 0;
    if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes))
        return false;
    const DWORD count = bytes / sizeof(HMODULE);
    for (DWORD i = 0; i < count && i < 1024; ++i) {
        HostApi candidate = Host;
        if (BindFrom(modules[i], candidate)) {
            // A hook that cannot be held could be freed under the plug-in, whose detach would then
            // call into unmapped memory: the plug-in stays inert instead, as with no hook at all
            // (registers nothing, so it has nothing to call at detach).
            if (!HoldModule(reinterpret_cast<void*>(candidate.scriptUnregister)))
                return false;
            Host = candidate;
            return true;
        }
    }
    return false;
}

bool bound = false;

// The settings are read while the library loads, before DllMain.
const bool staticInitDone = (PluginStaticInit(), true);

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)staticInitDone;
    if (reason == DLL_PROCESS_ATTACH) {
        bound = BindScriptHook();
        if (!bound)
            return TRUE;  // no script hook in this process: stay inert
        DisableThreadLibraryCalls(instance);
    }
    if (!bound)
        return TRUE;
    return LibraryEntry(instance, reason, reserved) ? TRUE : FALSE;
}
