// data/stations.cpp -- station coordinates, in index order. The two misspelt names are the stored
// ones; they never reach the screen.
#include "data/stations.h"

namespace {
constexpr PaddedVector3 At(float x, float y, float z) { return PaddedVector3{x, 0, y, 0, z, 0}; }
}  // namespace

// clang-format off
const std::array<Station, StationCount> StationTable = {{
    //  name                    position                          spawn point 0                        spawn point 1
    { 0, At(-5226.38f, -3472.46f, -20.5509f), {At(-5234.93f, -3300.77f, -17.2545f), At(-5332.26f, -3605.09f, -21.1388f)}, "Beneditc Point" },
    { 1, At(-3739.02f, -2606.76f, -13.0981f), {At(-3759.84f, -2777.55f, -14.253f),  At(-3761.02f, -2435.11f, -10.9739f)}, "Armadillo" },
    { 2, At(-2497.33f, -2427.82f,  60.6003f), {At(-2516.13f, -2259.73f,  72.7125f), At(-2355.84f, -2505.46f,  61.0657f)}, "MacFarlanes Ranch" },
    { 3, At(-1094.87f,  -575.685f, 82.4108f), {At(-1209.44f,  -487.449f, 93.1465f), At( -950.682f, -636.404f, 72.9347f)}, "Riggs Staion" },
    { 4, At( -337.312f, -356.057f, 88.0414f), {At( -471.836f, -416.548f, 83.4467f), At( -209.328f, -277.607f, 89.8457f)}, "Flatneck Station" },
    { 5, At(-1305.41f,   397.223f, 95.4293f), {At(-1249.0f,    534.62f,  93.2829f), At(-1421.46f,   319.526f, 99.1626f)}, "Wallace Station" },
    { 6, At( -173.497f,  629.618f,114.032f),  {At( -170.604f,  506.316f,112.629f),  At(  -61.6995f, 687.428f,115.453f)},  "Valentine" },
    { 7, At( 1522.23f,   438.268f, 90.6807f), {At( 1480.05f,   299.757f, 91.5124f), At( 1525.21f,   585.227f, 92.2493f)}, "Emerald Station" },
    { 8, At( 2941.03f,  1279.66f,  44.634f),  {At( 2843.29f,  1149.28f,  45.9217f), At( 3008.36f,  1434.02f,  46.2959f)}, "Annesburg" },
    { 9, At( 2894.66f,   627.567f, 57.7292f), {At( 2828.41f,   479.824f, 56.974f),  At( 2903.29f,   796.315f, 50.7195f)}, "Van Horn" },
    {10, At( 2695.81f, -1450.3f,   46.2662f), {At( 2540.853f,-1482.41f,  45.9568f), At( 2825.1f,  -1342.93f,  46.0114f)}, "Saint Denis" },
    {11, At( 1234.25f, -1304.09f,  76.9028f), {At( 1120.14f, -1194.41f,  71.1927f), At( 1344.58f, -1414.62f,  76.0029f)}, "Rhodes" },
    {12, At(  579.422f, 1684.05f, 187.791f),  {At(  819.835f, 1611.23f, 192.649f),  At(  281.906f, 1757.61f, 187.418f)},  "Bacchus Station" },
}};
// clang-format on
static_assert(StationTable.size() == 13, "the service has 13 stations");
