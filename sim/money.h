// sim/money.h -- an amount of money as the menu writes a fare: 865 -> "8.65$". The pictures and
// both timelines (a visit's and a replay's) write every fare and cash amount so, and nothing else.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string MoneyText(int32_t cents)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%d.%02d$", cents < 0 ? "-" : "", std::abs(cents / 100), std::abs(cents % 100));
    return text;
}
