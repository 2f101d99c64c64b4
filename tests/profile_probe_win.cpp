// tests/profile_probe_win.cpp -- the Windows probe reads through the real GetPrivateProfileIntA.
#include <windows.h>

#include <cstdint>

uint32_t PlatformReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path)
{
    return GetPrivateProfileIntA(section, key, defaultValue, path);
}
