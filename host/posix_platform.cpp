// host/posix_platform.cpp -- the two OS calls off Windows: a monotonic millisecond tick and the
// settings reader that behaves as GetPrivateProfileIntA does.
#include <time.h>

#include "host/host_api.h"
#include "host/profile_int.h"

uint32_t PlatformTickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u +
                                 static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

uint32_t PlatformReadProfileInt(const char* section, const char* key, int32_t defaultValue,
                                const char* path)
{
    return ReadProfileInt(section, key, defaultValue, path);
}
