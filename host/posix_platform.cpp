// host/posix_platform.cpp -- the OS calls off Windows: a monotonic millisecond tick, the
// settings reader that behaves as GetPrivateProfileIntA does, and the recording's file.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

uint32_t PlatformReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path)
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

// The handle is the descriptor plus one, so that descriptor 0 is not the null of a failed open.
int Descriptor(void* file) { return static_cast<int>(reinterpret_cast<intptr_t>(file) - 1); }
}  // namespace

void* PlatformRecordingOpen(const char* path, const char* previousPath)
{
    const std::string target = LocalPath(path);
    // rename replaces an older previousPath in one step. Any failure but "there is no file" (a
    // folder of that name, a read-only folder) leaves the player's recording where it is, and
    // this session unrecorded.
    if (std::rename(target.c_str(), LocalPath(previousPath).c_str()) != 0 && errno != ENOENT)
        return nullptr;
    // Made exclusively: whatever appeared under the name since is never truncated.
    const int fd = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    return fd < 0 ? nullptr : reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

bool PlatformRecordingWrite(void* file, const void* bytes, uint32_t count)
{
    const int fd = Descriptor(file);
    const off_t start = lseek(fd, 0, SEEK_CUR);
    if (start < 0)
        return false;
    const char* p = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t done = write(fd, p, count);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            // A block cut short (a full disk, a file-size limit) goes again: the file ends on the
            // last whole block and reads without salvage.
            if (ftruncate(fd, start) == 0)
                lseek(fd, start, SEEK_SET);
            return false;
        }
        p += done;
        count -= static_cast<uint32_t>(done);
    }
    return true;
}

void PlatformRecordingClose(void* file) { close(Descriptor(file)); }
