// journey/progress.cpp -- brings the train into a station, holds it there and sends it on.
#include "journey/route.h"
#include "host/natives.h"
#include "plugin/journey_state.h"

void StationStop(bool)
{
    // A train that no longer exists ends the journey; with no dispatch yet, that is every train.
    if (!Invoke<bool>(NativeEntityExists, Journey.Train))
        Journey.Train = 0;
}

void DepartureRamp()
{
}
