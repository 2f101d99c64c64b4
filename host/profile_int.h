// host/profile_int.h -- GetPrivateProfileIntA for platforms that lack it, with the same answers:
// the key's value read as Windows reads it, or the default when there is no such value.
#pragma once

#include <cstddef>
#include <cstdint>

// Backslashes in path are taken as directory separators.
uint32_t ReadProfileInt(const char* section, const char* key, int32_t defaultValue, const char* path);

// The same, over the file's contents already read (bytes as on disk).
uint32_t ProfileIntFromText(const char* text, size_t length, const char* section, const char* key,
                            int32_t defaultValue);

// The number part alone: what Windows makes of a value string once the file has been parsed.
uint32_t ParseProfileInt(const char* value);
