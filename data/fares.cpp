// data/fares.cpp -- one grid gives both tables, so a label can never disagree with its fare.
// The fares are not symmetric: 6 -> 12 is 2.85, 12 -> 6 is 5.85.
#include "data/fares.h"

#include <cmath>

namespace {

struct Fare {
    float dollars;
    const char* label;
};

// F(6.50) is the float 6.50f shown as "6.50", exactly as written.
// clang-format off
#define F(amount) Fare{amount##f, #amount}

constexpr Fare Fares[StationCount][StationCount] = {
    // to:  0         1         2         3         4         5         6         7         8         9         10        11        12          from
    { F(0.0),  F(3.85),  F(6.50),  F(11.20), F(12.85), F(12.25), F(14.45), F(17.35), F(20.95), F(20.20), F(18.15), F(15.15), F(17.25) },  // 0
    { F(3.80), F(0.0),   F(2.80),  F(7.40),  F(9.05),  F(8.50),  F(10.70), F(13.50), F(17.15), F(16.40), F(14.50), F(11.45), F(13.55) },  // 1
    { F(6.45), F(2.75),  F(0.0),   F(5.15),  F(6.65),  F(6.85),  F(8.55),  F(10.95), F(14.65), F(13.75), F(11.75), F(8.65),  F(11.45) },  // 2
    { F(11.20),F(7.40),  F(5.10),  F(0.0),   F(1.75),  F(2.20),  F(3.35),  F(6.25),  F(9.85),  F(9.25),  F(8.65),  F(5.40),  F(6.25)  },  // 3
    { F(12.85),F(9.05),  F(6.65),  F(1.75),  F(0.0),   F(2.70),  F(2.25),  F(4.45),  F(8.15),  F(7.50),  F(7.15),  F(4.05),  F(4.95)  },  // 4
    { F(12.25),F(8.60),  F(6.80),  F(2.20),  F(2.70),  F(0.0),   F(2.55),  F(6.25),  F(9.65),  F(9.35),  F(9.80),  F(6.80),  F(5.05)  },  // 5
    { F(14.45),F(10.70), F(8.55),  F(3.35),  F(2.25),  F(2.55),  F(0.0),   F(3.80),  F(7.05),  F(6.80),  F(7.85),  F(5.30),  F(2.85)  },  // 6
    { F(17.50),F(13.50), F(11.00), F(6.25),  F(4.50),  F(6.25),  F(3.80),  F(0.0),   F(5.65),  F(5.05),  F(4.95),  F(3.95),  F(3.45)  },  // 7
    { F(20.95),F(17.15), F(14.65), F(9.85),  F(8.15),  F(9.65),  F(7.05),  F(6.65),  F(0.0),   F(1.45),  F(6.10),  F(6.90),  F(5.35)  },  // 8
    { F(20.20),F(16.40), F(13.75), F(9.25),  F(7.50),  F(9.35),  F(6.80),  F(6.05),  F(1.45),  F(0.0),   F(4.65),  F(5.65),  F(5.65)  },  // 9
    { F(18.15),F(14.50), F(11.75), F(8.65),  F(7.15),  F(9.80),  F(7.85),  F(4.95),  F(6.05),  F(4.65),  F(0.0),   F(3.25),  F(8.40)  },  // 10
    { F(15.15),F(11.45), F(8.65),  F(5.45),  F(4.05),  F(6.80),  F(5.30),  F(3.95),  F(6.85),  F(5.65),  F(3.25),  F(0.0),   F(6.80)  },  // 11
    { F(17.25),F(13.55), F(11.40), F(6.25),  F(6.95),  F(5.05),  F(5.85),  F(6.45),  F(5.35),  F(5.65),  F(8.40),  F(6.80),  F(0.0)   },  // 12
};

#undef F
// clang-format on

template <typename T, typename Pick>
constexpr StationGrid<T> Build(Pick pick)
{
    StationGrid<T> grid{};
    for (size_t from = 0; from < StationCount; ++from) {
        for (size_t to = 0; to < StationCount; ++to)
            grid[from][to] = pick(Fares[from][to]);
    }
    return grid;
}

}  // namespace

const StationGrid<float> FareTable = Build<float>([](const Fare& f) { return f.dollars; });
const StationGrid<const char*> FareLabels = Build<const char*>([](const Fare& f) { return f.label; });

int32_t FareInCents(int32_t origin, int32_t destination)
{
    // Rounded, not truncated: 8.65f * 100 is 864.99994, and the player is shown 8.65.
    const float product = FareTable[origin][destination] * 100.0f;
    return static_cast<int32_t>(std::lround(product));
}
