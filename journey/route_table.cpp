// journey/route_table.cpp -- the route table, one row per route, pairs in order, alternatives
// numbered as the draw picks them. Stations: 0 Benedict Point, 1 Armadillo, 2 MacFarlanes Ranch,
// 3 Riggs Station, 4 Flatneck Station, 5 Wallace Station, 6 Valentine, 7 Emerald Station,
// 8 Annesburg, 9 Van Horn, 10 Saint Denis, 11 Rhodes, 12 Bacchus Station.
#include "journey/route_table.h"

namespace {

constexpr Pick D0 = Pick::No, D1 = Pick::Yes, DFlip = Pick::CoinFlip;
constexpr Pick Off = Pick::No, On = Pick::Yes, Flip = Pick::CoinFlip;

constexpr PlannedJunctions J(std::initializer_list<PlannedSetting> settings)
{
    PlannedJunctions j{};
    for (const PlannedSetting& s : settings)
        j.items[j.count++] = s;
    return j;
}
constexpr PlannedJunctions None{};

constexpr PlannedStops S(std::initializer_list<int> stops)
{
    PlannedStops s{};
    for (int stop : stops)
        s.items[s.count++] = static_cast<int8_t>(stop);
    return s;
}

struct Alt {
    int8_t v, n;
};
constexpr Alt Only{0, 1};
constexpr Alt A(int v, int n) { return Alt{static_cast<int8_t>(v), static_cast<int8_t>(n)}; }

constexpr RouteRow R(int from, int to, Alt alt, Pick direction, PlannedJunctions junctions, PlannedStops stops)
{
    return RouteRow{static_cast<int8_t>(from), static_cast<int8_t>(to), alt.v, alt.n, direction, junctions, stops};
}

constexpr int Any = AnyDestination;

// The Benedict Point - Armadillo - MacFarlanes Ranch line sets the same five junctions always.
#define WEST_LINE J({{23, 5, On}, {24, 6, Flip}, {25, 1, On}, {25, 0, On}, {24, 1, Flip}})

// Trips east from Emerald Station through Saint Denis first set Emerald's own junction away from
// Valentine, (1, 1, off), as 7 -> 11 alternative 1 does; the other four settings follow.
#define EMERALD_EAST J({{1, 1, Off}, {1, 5, Off}, {0, 18, On}, {12, 2, On}, {0, 13, Off}})

// clang-format off
constexpr RouteRow Routes[] = {
    //  from to  alternative  dir    junctions: (track, junction, state), in order                      stops
    R(0,  Any, Only,     DFlip, WEST_LINE,                                                              S({1, 2})),
    R(1,  0,   Only,     D1,    WEST_LINE,                                                              S({0})),
    R(1,  2,   Only,     D0,    WEST_LINE,                                                              S({2})),
    R(2,  Any, Only,     D1,    WEST_LINE,                                                              S({1, 0})),

    R(3,  4,   Only,     D0,    None,                                                                   S({4})),
    R(3,  5,   Only,     D1,    None,                                                                   S({5})),
    R(3,  6,   Only,     D0,    J({{0, 2, On}}),                                                        S({4, 6})),
    R(3,  7,   Only,     D0,    J({{0, 2, On}, {2, 2, On}}),                                            S({4, 6, 7})),
    R(3,  8,   Only,     D1,    None,                                                                   S({5, 12, 8})),
    R(3,  9,   Only,     D1,    None,                                                                   S({5, 12, 8, 9})),
    R(3,  10,  Only,     D0,    J({{0, 2, Off}, {0, 18, On}, {12, 2, On}}),                             S({4, 11, 10})),
    R(3,  11,  Only,     D0,    J({{0, 2, Off}}),                                                       S({4, 11})),
    R(3,  12,  Only,     D1,    None,                                                                   S({5, 12})),

    R(4,  3,   Only,     D1,    None,                                                                   S({3})),
    R(4,  5,   Only,     D1,    None,                                                                   S({3, 5})),
    R(4,  6,   Only,     D0,    J({{0, 2, On}}),                                                        S({6})),
    R(4,  7,   Only,     D0,    J({{0, 2, On}, {2, 2, On}}),                                            S({6, 7})),
    R(4,  8,   Only,     D0,    J({{0, 2, Off}, {0, 18, On}, {12, 2, On}, {0, 13, Off}}),               S({11, 10, 9, 8})),
    R(4,  9,   Only,     D0,    J({{0, 2, Off}, {0, 18, On}, {12, 2, On}, {0, 13, Off}}),               S({11, 10, 9})),
    R(4,  10,  Only,     D0,    J({{0, 2, Off}, {0, 18, On}, {12, 2, On}}),                             S({11, 10})),
    R(4,  11,  Only,     D0,    J({{0, 2, Off}}),                                                       S({11})),
    R(4,  12,  Only,     D1,    None,                                                                   S({3, 5, 12})),

    R(5,  3,   Only,     D0,    None,                                                                   S({3})),
    R(5,  4,   Only,     D0,    None,                                                                   S({3, 4})),
    R(5,  6,   Only,     D0,    J({{0, 2, On}}),                                                        S({3, 4, 6})),
    R(5,  7,   Only,     D0,    J({{0, 2, On}, {2, 2, On}}),                                            S({3, 4, 6, 7})),
    R(5,  8,   Only,     D1,    None,                                                                   S({12, 8})),
    R(5,  9,   Only,     D1,    None,                                                                   S({12, 8, 9})),
    R(5,  10,  Only,     D0,    J({{0, 2, Off}, {0, 18, On}, {12, 2, On}}),                             S({3, 4, 11, 10})),
    R(5,  11,  Only,     D0,    J({{0, 2, Off}}),                                                       S({3, 4, 11})),
    R(5,  12,  Only,     D1,    None,                                                                   S({12})),

    R(6,  3,   Only,     D1,    J({{2, 5, Off}}),                                                       S({4, 3})),
    R(6,  4,   Only,     D1,    J({{2, 5, Off}}),                                                       S({4})),
    R(6,  5,   Only,     D1,    J({{2, 5, Off}}),                                                       S({4, 3, 5})),
    R(6,  7,   Only,     D0,    J({{2, 2, On}}),                                                        S({7})),
    R(6,  8,   A(0, 3),  D1,    J({{2, 5, Off}}),                                                       S({4, 3, 5, 12, 8})),
    R(6,  8,   A(1, 3),  D1,    J({{2, 5, On}, {0, 18, On}, {12, 2, On}, {0, 13, Off}}),                S({11, 10, 9, 8})),
    R(6,  8,   A(2, 3),  D0,    J({{2, 2, On}, {1, 5, Off}, {0, 18, On}, {12, 2, On}, {0, 13, Off}}),   S({7, 10, 9, 8})),
    R(6,  9,   A(0, 2),  D0,    J({{2, 2, On}, {1, 5, Off}, {0, 18, On}, {12, 2, On}, {0, 13, Off}}),   S({7, 10, 9})),
    R(6,  9,   A(1, 2),  D1,    J({{2, 5, On}, {0, 18, On}, {12, 2, On}, {0, 13, Off}}),                S({11, 10, 9})),
    R(6,  10,  A(0, 3),  D0,    J({{2, 2, Off}, {0, 15, On}, {12, 1, On}, {14, 3, On}}),                S({10})),
    R(6,  10,  A(1, 3),  D0,    J({{2, 2, On}, {1, 5, Off}, {1, 18, On}, {12, 2, On}}),                 S({7, 10})),
    R(6,  10,  A(2, 3),  D1,    J({{2, 5, On}}),                                                        S({11, 10})),
    R(6,  11,  Only,     D1,    J({{2, 5, On}}),                                                        S({11})),
    R(6,  12,  Only,     D1,    J({{2, 5, Off}}),                                                       S({4, 3, 5, 12})),

    R(7,  3,   Only,     D0,    J({{1, 1, On}, {2, 5, Off}}),                                           S({6, 4, 3})),
    R(7,  4,   Only,     D0,    J({{1, 1, On}, {2, 5, Off}}),                                           S({6, 4})),
    R(7,  5,   Only,     D0,    J({{1, 1, On}, {2, 5, Off}}),                                           S({6, 4, 3, 5})),
    R(7,  6,   Only,     D0,    J({{1, 1, On}}),                                                        S({6})),
    R(7,  8,   Only,     D1,    EMERALD_EAST,                                                           S({10, 9, 8})),
    R(7,  9,   Only,     D1,    EMERALD_EAST,                                                           S({10, 9})),
    R(7,  10,  Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}}),                             S({10})),
    R(7,  11,  A(0, 2),  D0,    J({{1, 1, On}, {2, 5, On}}),                                            S({6, 11})),
    R(7,  11,  A(1, 2),  D1,    J({{1, 1, Off}, {0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}}),  S({10, 11})),
    R(7,  12,  A(0, 2),  D0,    J({{1, 1, On}, {2, 5, Off}}),                                           S({6, 4, 3, 5, 12})),
    R(7,  12,  A(1, 2),  D1,    EMERALD_EAST,                                                           S({10, 9, 8, 12})),

    R(8,  3,   A(0, 3),  D0,    None,                                                                   S({12, 5, 3})),
    R(8,  3,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({9, 10, 7, 6, 4, 3})),
    R(8,  3,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({9, 10, 11, 4, 3})),
    R(8,  4,   A(0, 3),  D0,    None,                                                                   S({12, 5, 3, 4})),
    R(8,  4,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({9, 10, 7, 6, 4})),
    R(8,  4,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({9, 10, 11, 4})),
    R(8,  5,   Only,     D0,    None,                                                                   S({12, 5})),
    R(8,  6,   A(0, 3),  D0,    J({{0, 2, On}}),                                                        S({12, 5, 3, 4, 6})),
    R(8,  6,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}}),    S({9, 10, 7, 6})),
    R(8,  6,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, On}}),   S({9, 10, 11, 6})),
    R(8,  7,   Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}}),                S({9, 10, 7})),
    R(8,  9,   Only,     D1,    None,                                                                   S({9})),
    R(8,  10,  Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}}),                             S({9, 10})),
    R(8,  11,  Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}}),               S({9, 10, 11})),
    R(8,  12,  Only,     D0,    None,                                                                   S({12})),

    R(9,  3,   A(0, 3),  D0,    None,                                                                   S({8, 12, 5, 3})),
    R(9,  3,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({10, 7, 6, 4, 3})),
    R(9,  3,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({10, 11, 4, 3})),
    R(9,  4,   A(0, 3),  D0,    None,                                                                   S({8, 12, 5, 3, 4})),
    R(9,  4,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({10, 7, 6, 4, 3})),
    R(9,  4,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({10, 11, 4, 3})),
    R(9,  5,   A(0, 3),  D0,    None,                                                                   S({8, 12, 5})),
    R(9,  5,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({10, 7, 6, 4, 3, 5})),
    R(9,  5,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({10, 11, 4, 3, 5})),
    R(9,  6,   A(0, 2),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}}),    S({10, 7, 6})),
    R(9,  6,   A(1, 2),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({10, 11, 6})),
    R(9,  7,   Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}}),                S({10, 7})),
    R(9,  8,   Only,     D0,    None,                                                                   S({8})),
    R(9,  10,  Only,     D1,    J({{0, 15, On}}),                                                       S({10})),
    R(9,  11,  Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}}),               S({10, 11})),
    R(9,  12,  Only,     D0,    None,                                                                   S({8, 12})),

    R(10, 3,   A(0, 3),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, On}, {2, 1, Off}, {2, 5, Off}}),   S({6, 4, 3})),
    R(10, 3,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({7, 6, 4, 3})),
    R(10, 3,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({11, 4, 3})),
    R(10, 4,   A(0, 3),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, On}, {2, 1, Off}, {2, 5, Off}}),   S({6, 4})),
    R(10, 4,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({7, 6, 4})),
    R(10, 4,   A(2, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({11, 6, 4})),
    R(10, 5,   A(0, 4),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, Off}}),                            S({9, 8, 12, 5})),
    R(10, 5,   A(1, 4),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, On}, {2, 1, Off}, {2, 5, Off}}),   S({6, 4, 3, 5})),
    R(10, 5,   A(2, 4),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}, {2, 5, Off}}), S({7, 6, 4, 3, 5})),
    R(10, 5,   A(3, 4),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({11, 4, 3, 5})),
    R(10, 6,   A(0, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, On}}),   S({11, 6})),
    R(10, 6,   A(1, 3),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}, {1, 1, On}}),    S({7, 6})),
    R(10, 6,   A(2, 3),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, On}, {2, 1, Off}}),                S({6})),
    R(10, 7,   A(0, 2),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, On}}),                S({7})),
    R(10, 7,   A(1, 2),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, On}, {2, 1, On}}),                 S({7})),
    R(10, 8,   Only,     D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, Off}}),                            S({9, 8})),
    R(10, 9,   Only,     D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, Off}}),                            S({9})),
    R(10, 11,  Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}}),               S({11})),
    R(10, 12,  A(0, 2),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}, {0, 1, Off}}),  S({4, 3, 5, 12})),
    R(10, 12,  A(1, 2),  D0,    J({{0, 18, On}, {12, 2, On}, {0, 13, Off}}),                            S({9, 8, 12})),

    R(11, 3,   Only,     D1,    J({{0, 1, Off}}),                                                       S({4, 3})),
    R(11, 4,   Only,     D1,    J({{0, 1, Off}}),                                                       S({4})),
    R(11, 5,   Only,     D1,    J({{0, 1, Off}}),                                                       S({4, 3, 5})),
    R(11, 6,   Only,     D1,    J({{0, 1, On}}),                                                        S({6})),
    R(11, 7,   A(0, 2),  D1,    J({{0, 1, On}, {2, 2, On}}),                                            S({6, 7})),
    R(11, 7,   A(1, 2),  D0,    J({{0, 18, On}, {12, 12, On}, {0, 13, On}, {2, 1, On}}),                S({10, 7})),
    R(11, 8,   Only,     D0,    J({{0, 18, On}, {12, 12, On}, {0, 13, Off}}),                           S({10, 9, 8})),
    R(11, 9,   Only,     D0,    J({{0, 18, On}, {12, 12, On}, {0, 13, Off}}),                           S({10, 9})),
    R(11, 10,  Only,     D0,    J({{0, 18, On}, {12, 2, On}}),                                          S({10})),
    R(11, 12,  Only,     D1,    J({{0, 1, Off}}),                                                       S({4, 3, 5, 12})),

    R(12, 3,   Only,     D0,    None,                                                                   S({5, 3})),
    R(12, 4,   Only,     D0,    None,                                                                   S({5, 3, 4})),
    R(12, 5,   Only,     D0,    None,                                                                   S({5})),
    R(12, 6,   Only,     D0,    J({{0, 2, On}}),                                                        S({5, 3, 4, 6})),
    R(12, 7,   Only,     D0,    J({{0, 2, On}, {2, 2, On}}),                                            S({5, 3, 4, 6, 7})),
    R(12, 8,   Only,     D1,    None,                                                                   S({8})),
    R(12, 9,   Only,     D1,    None,                                                                   S({8, 9})),
    R(12, 10,  Only,     D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}}),                             S({8, 9, 10})),
    R(12, 11,  A(0, 2),  D0,    J({{0, 2, Off}}),                                                       S({5, 3, 4, 11})),
    R(12, 11,  A(1, 2),  D1,    J({{0, 15, On}, {12, 1, On}, {14, 3, On}, {0, 19, Off}}),               S({8, 9, 10, 11})),
};
// clang-format on

#undef WEST_LINE
#undef EMERALD_EAST

constexpr int RowCount = static_cast<int>(sizeof Routes / sizeof Routes[0]);

// The planner finds a pair's alternatives as consecutive rows numbered 0 to N - 1, and relies on
// every row having at least one stop.
constexpr bool RowsAreWellFormed()
{
    for (int i = 0; i < RowCount; ++i) {
        const RouteRow& r = Routes[i];
        if (r.stops.count == 0 || r.alternative >= r.alternatives)
            return false;
        const bool continues = i > 0 && Routes[i - 1].from == r.from && Routes[i - 1].to == r.to;
        if (continues != (r.alternative > 0))
            return false;
        if (continues &&
            (Routes[i - 1].alternative != r.alternative - 1 || Routes[i - 1].alternatives != r.alternatives))
            return false;
        if (i > 0 && (Routes[i - 1].from > r.from || (Routes[i - 1].from == r.from && Routes[i - 1].to > r.to)))
            return false;
    }
    return true;
}
static_assert(RowsAreWellFormed(), "rows sorted by pair, alternatives consecutive from 0");
// Rows per origin: 0 to 2 together, then 3 to 12.
static_assert(RowCount == 4 + 9 + 9 + 9 + 14 + 11 + 15 + 16 + 20 + 10 + 10,
              "every route of the table, alternatives included");

}  // namespace

RouteChoice FindRoutes(int32_t origin, int32_t destination)
{
    for (int i = 0; i < RowCount; ++i) {
        const RouteRow& r = Routes[i];
        if (r.from == origin && (r.to == AnyDestination || r.to == destination))
            return RouteChoice{&r, r.alternatives};
    }
    return RouteChoice{nullptr, 0};
}

const PlannedJunctions& ArmadilloJunctions() { return Routes[1].junctions; }
