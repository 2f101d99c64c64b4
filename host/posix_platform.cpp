// host/posix_platform.cpp -- the OS calls off Windows: a monotonic millisecond tick, the
// settings reader that behaves as GetPrivateProfileIntA does, and the recording's file.
#include <time.h>

#include <cstdio>
#include <string>

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

namespace {
// ".\\Quorvane.rec" names a file in the working folder here too.
std::string LocalPath(const char* path)
{
    std::string local(path);
    for (char& c : local) {
        if (c == '\\')
            c = '/';
    }
    return local;
}
} // namespace

void* PlatformRecordingOpen(const char* path, const char* previousPath)
{
    const std::string target = LocalPath(path);
    std::rename(target.c_str(), LocalPath(previousPath).c_str());  // no earlier file is fine
    return std::fopen(target.c_str(), "wb");
}

bool PlatformRecordingWrite(void* file, const void* bytes, uint32_t count)
{
    auto* f = static_cast<std::FILE*>(file);
    return std::fwrite(bytes, 1, count, f) == count && std::fflush(f) == 0;
}

void PlatformRecordingClose(void* file)
{
    std::fclose(static_cast<std::FILE*>(file));
}
