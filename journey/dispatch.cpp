// journey/dispatch.cpp -- creates the trip's train beside the origin station. Not built yet:
// no train is created, so Train stays 0 and the main loop goes back to scanning.
#include "journey/route.h"

void DispatchTrain()
{
}
