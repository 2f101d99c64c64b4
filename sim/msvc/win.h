// sim/msvc/win.h -- the few Windows types and KERNEL32 functions the freestanding stand-in hook
// uses, declared here as the Windows headers declare them (there is no SDK on this machine, and the
// hook links no C library). The import library is made from kernel32.def.
#pragma once

typedef unsigned long DWORD;
typedef unsigned short WORD;
typedef unsigned char BYTE;
typedef int BOOL;
typedef unsigned long long UINT64;
typedef unsigned long long SIZE_T;
typedef void* HANDLE;

// HMODULE as the headers define it with STRICT: a pointer to a struct of its own, which is what
// gives the hook's exports their decorated names.
struct HINSTANCE__ {
    int unused;
};
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;

#define WINAPI __stdcall

constexpr DWORD StdOutputHandle = static_cast<DWORD>(-11);
constexpr DWORD Infinite = 0xFFFFFFFF;

extern "C" {
__declspec(dllimport) HANDLE WINAPI GetStdHandle(DWORD which);
__declspec(dllimport) BOOL WINAPI
    WriteFile(HANDLE file, const void* data, DWORD bytes, DWORD* written, void* overlapped);
__declspec(dllimport) void* WINAPI ConvertThreadToFiber(void* parameter);
__declspec(dllimport) BOOL WINAPI IsThreadAFiber();
__declspec(dllimport) void* WINAPI CreateFiber(SIZE_T stackBytes, void(WINAPI* start)(void*), void* parameter);
__declspec(dllimport) void WINAPI SwitchToFiber(void* fiber);
__declspec(dllimport) void WINAPI DeleteFiber(void* fiber);
__declspec(dllimport) HANDLE WINAPI CreateThread(void* attributes, SIZE_T stackBytes, DWORD(WINAPI* start)(void*),
                                                 void* parameter, DWORD flags, DWORD* threadId);
__declspec(dllimport) DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds);
__declspec(dllimport) BOOL WINAPI CloseHandle(HANDLE handle);
__declspec(dllimport) void WINAPI Sleep(DWORD milliseconds);
__declspec(dllimport) DWORD WINAPI GetTickCount();
}
