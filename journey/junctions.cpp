// journey/junctions.cpp -- steers the train through the junctions of its route.
#include "journey/route.h"

void ApplyJunctionSettings()
{
}
