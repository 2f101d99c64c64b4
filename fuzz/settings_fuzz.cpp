// fuzz/settings_fuzz.cpp -- the settings reader over arbitrary file contents: never crashes,
// always answers, and answers the default when the key cannot be there.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/profile_int.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    const uint32_t speed = ProfileIntFromText(text, size, "SETTINGS", "MAX_TRAIN_SPEED", 14);
    ProfileIntFromText(text, size, "SETTINGS", "MENU_UP_KEY", 38);
    ProfileIntFromText(text, size, "settings", "menu_down_key", -40);
    // Without an '=' anywhere no key has a value.
    if (std::memchr(data, '=', size) == nullptr && speed != 14)
        std::abort();
    const std::string value(text, size);
    ParseProfileInt(value.c_str());
    return 0;
}
